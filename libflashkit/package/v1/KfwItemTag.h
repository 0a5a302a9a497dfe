// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace fwu::kfw::v1 {

// The 16-bit tag of an item in a legacy unit; it names one of the five legacy devices.
enum KfwItemTag : uint16_t {
    KfwItemTagNone = 0,
    KfwItemTagFont = 1,
    KfwItemTagMainSystem = 2,
    KfwItemTagSubController = 3,
    KfwItemTagFrontEnd = 4,
    KfwItemTagFPGA = 5,
};

// Index into the legacy device table for a tag; tags outside 1..5 give 5, which names no device.
size_t ProfileIndexFromKfwItemTag(uint16_t tag);
// Tag of the legacy device at an index; an index above 4 gives KfwItemTagNone.
KfwItemTag KfwItemTagFromProfileIndex(size_t index);
// File name of the device the tag names; empty for an unknown tag.
std::string GetFileNameFromKfwItemTag(uint16_t tag);
// Tag of the device whose file name is exactly `name` (case matters); KfwItemTagNone otherwise.
KfwItemTag GetKfwItemTagFromFileName(const std::string& name);

}  // namespace fwu::kfw::v1
