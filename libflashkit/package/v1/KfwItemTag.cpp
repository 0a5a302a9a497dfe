// SPDX-License-Identifier: Apache-2.0
#include "package/v1/KfwItemTag.h"

#include "profile/LegacyDevices.h"

namespace fwu::kfw::v1 {

namespace {

// Tags in legacy device order; they do not follow that order (the font has tag 1).
constexpr KfwItemTag kTagOfIndex[dev::kLegacyDeviceCount] = {
    KfwItemTagMainSystem, KfwItemTagSubController, KfwItemTagFrontEnd,
    KfwItemTagFont,       KfwItemTagFPGA,
};

}  // namespace

size_t ProfileIndexFromKfwItemTag(uint16_t tag) {
    for (size_t index = 0; index < dev::kLegacyDeviceCount; ++index)
        if (kTagOfIndex[index] == tag) return index;
    return dev::kLegacyDeviceCount;
}

KfwItemTag KfwItemTagFromProfileIndex(size_t index) {
    return index < dev::kLegacyDeviceCount ? kTagOfIndex[index] : KfwItemTagNone;
}

std::string GetFileNameFromKfwItemTag(uint16_t tag) {
    const size_t index = ProfileIndexFromKfwItemTag(tag);
    return index < dev::kLegacyDeviceCount ? dev::kLegacyDevices[index].fileName : std::string();
}

KfwItemTag GetKfwItemTagFromFileName(const std::string& name) {
    for (size_t index = 0; index < dev::kLegacyDeviceCount; ++index)
        if (name == dev::kLegacyDevices[index].fileName) return kTagOfIndex[index];
    return KfwItemTagNone;
}

}  // namespace fwu::kfw::v1
