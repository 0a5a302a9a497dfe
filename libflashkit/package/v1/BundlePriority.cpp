// SPDX-License-Identifier: Apache-2.0
#include "package/v1/BundlePriority.h"

#include <cstddef>

namespace fwu::kfw::v1 {

std::optional<BundlePriority> BundlePriority::evaluate(Bundle* bundle,
                                                       const DeviceVersionList& current) {
    if (!bundle) return std::nullopt;
    const auto& versions = current.items();
    BundlePriority priority{0, bundle};
    for (const DeviceVersionCondition& condition : bundle->conditions()) {
        size_t j = 0;
        while (j < versions.size() && versions[j].deviceID != condition.deviceVersion.deviceID) ++j;
        if (j == versions.size()) continue;
        const Version& wanted = condition.deviceVersion.version;
        if (wanted.empty()) {
            priority.score |= 1u;
        } else if (wanted.match(versions[j].version, Version::OperatorEqual)) {
            priority.score |= 1u << (31 - j % 32);
        } else {
            return std::nullopt;
        }
    }
    return priority;
}

}  // namespace fwu::kfw::v1
