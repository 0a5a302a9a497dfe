// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "core/OutputStream.h"

namespace fwu::kfw {
class KfwFile;
}

namespace fwu::kfw::v1 {

// Writes a package in the legacy format: one unit per bundle, one item per transfer action
// (other action kinds have no legacy form and are left out). The whole image is built before
// anything is written, so a refused package leaves the stream untouched.
class KfwSerializer {
public:
    virtual ~KfwSerializer() = default;

    // Throws fwu::Exception: "Product is invalid", "Version is not 25", "Blob is not found",
    // "Tag is invalid", or 0x40001 for a package beyond the format's 53 units of 20 items.
    void serialize(const kfw::KfwFile* file, OutputStream* stream);
};

}  // namespace fwu::kfw::v1
