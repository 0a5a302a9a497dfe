// SPDX-License-Identifier: Apache-2.0
#include "package/v2/KfwFile.h"

#include "core/Exception.h"
#include "package/v2/KfwSerializer.h"

namespace fwu::kfw::v2 {

FileVersion KfwFile::version() const { return RequiredFileVersion(*this); }

void KfwFile::serialize(OutputStream* stream, uint32_t options) {
    if (options & 1u) throw Exception(PackageError::kV1NotSupported);
    KfwSerializer(options).serialize(this, stream);
}

// Readers of an older minor version do not know the newer action kinds, so a package is
// written with the lowest minor version that holds everything it contains.
FileVersion RequiredFileVersion(const kfw::KfwFile& file) {
    if (file.hasExtendFeature(FWKfwFile::ExtendFeatureZVTransfer)) return FileVersion(2, 2);
    if (file.hasExtendFeature(FWKfwFile::ExtendFeatureMStarTransfer) ||
        file.hasExtendFeature(FWKfwFile::ExtendFeatureDeviceProfile))
        return FileVersion(2, 1);
    return FileVersion(2, 0);
}

}  // namespace fwu::kfw::v2
