// SPDX-License-Identifier: Apache-2.0
#include "package/v1/KfwFile.h"

#include <algorithm>
#include <vector>

#include "package/v1/BundlePriority.h"
#include "package/v1/KfwSerializer.h"
#include "package/v2/KfwSerializer.h"

namespace fwu::kfw::v1 {

KfwFile::KfwFile() { setFileVersion(FileVersion(1, 0)); }

Bundle* KfwFile::bundleForVersion(const DeviceVersionList* current) const {
    const DeviceVersionList none;
    std::vector<BundlePriority> candidates;
    for (const auto& bundle : bundles())
        if (auto priority = BundlePriority::evaluate(bundle.get(), current ? *current : none))
            candidates.push_back(*priority);
    // Among equal scores the bundle stored first wins, as in the base class's selection.
    const auto best = std::max_element(candidates.begin(), candidates.end());
    return best == candidates.end() ? nullptr : best->bundle;
}

void KfwFile::serialize(OutputStream* stream, uint32_t options) {
    if (options & FWSerializeOptionLegacy)
        KfwSerializer().serialize(this, stream);
    else
        v2::KfwSerializer(options).serialize(this, stream);
}

}  // namespace fwu::kfw::v1
