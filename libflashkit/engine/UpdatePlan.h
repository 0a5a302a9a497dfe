// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "device/Monitor.h"
#include "flashkit/flashkit.h"

namespace fwu::kfw {
class Action;
class Blob;
}  // namespace fwu::kfw

namespace fwu::internal {

// The update protocol a plan is made for.
enum class UpdateKind { RecordFiles, Scaler, ZV };

// One image of a plan: what is written where, and what marks it for installation.
struct PlannedImage {
    const kfw::Action* action = nullptr;
    const kfw::Blob* blob = nullptr;
    bool hasDevice = false;  // the profile names the device the image is for
    uint32_t deviceID = 0;
    // Record files: the live file, the temporary copy written and its geometry.
    std::string fileName;
    std::string temporaryName;
    dev::Monitor::FileProperty property{};
    // Flash flows: the first address and the 64 KiB blocks erased and written from it.
    uint32_t address = 0;
    uint32_t blocks = 0;
    // Scaler: the address of the 4-byte marker. ZV: the index of the update flag.
    bool flagged = false;
    uint32_t flag = 0;

    uint64_t size() const;
};

// Everything an update will do, worked out and checked before the first request that changes
// the monitor, so a refusal never leaves a half-changed monitor and a dry run can show it.
struct UpdatePlan {
    UpdateKind kind = UpdateKind::RecordFiles;
    std::vector<PlannedImage> images;
    // Actions the bundle gave for this run; an action without its image is counted but not
    // planned, as progress has always counted it.
    uint32_t actionCount = 0;
    uint64_t totalBytes = 0;
    uint32_t estimatedSeconds = 0;

    // The progress record at the start of the run.
    FWTransferProgress startProgress() const;
    // Adds an image and its bytes.
    void add(PlannedImage image);
};

// Flash ranges as the checks of the two flash flows see them: [begin, end), 64-bit so that a
// range past the end of the address space is visible instead of wrapping.
struct FlashRange {
    uint64_t begin = 0;
    uint64_t end = 0;
    bool overlaps(const FlashRange& other) const { return begin < other.end && other.begin < end; }
};

// An image's blocks as a range.
FlashRange ImageRange(const PlannedImage& image);
// True when no two images of the plan share a block.
bool ImagesApart(const UpdatePlan& plan);

}  // namespace fwu::internal
