// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>

#include "package/Bundle.h"
#include "profile/DeviceVersionList.h"

namespace fwu::kfw::v1 {

// How well a bundle fits a monitor's device versions; ordered by score alone.
struct BundlePriority {
    uint32_t score = 0;
    Bundle* bundle = nullptr;

    bool operator<(const BundlePriority& other) const { return score < other.score; }

    // Scores the bundle against `current`, the monitor's versions in device order. A condition
    // on a device absent from the list is ignored; an empty condition version sets bit 0; any
    // other must equal the monitor's version (an empty monitor version counts as equal) and
    // sets bit 31 - (j mod 32) for the device's position j, so that fixing earlier devices
    // weighs more. A condition that fails gives no result: the bundle is not a candidate.
    static std::optional<BundlePriority> evaluate(Bundle* bundle, const DeviceVersionList& current);
};

}  // namespace fwu::kfw::v1
