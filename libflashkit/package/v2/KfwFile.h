// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "package/KfwFile.h"

namespace fwu::kfw::v2 {

// A package in the current format.
class KfwFile : public kfw::KfwFile {
public:
    KfwFile() = default;
    ~KfwFile() override = default;

    // The format version the content requires when written (RequiredFileVersion), not the one
    // it was read with.
    FileVersion version() const override;
    // Option bit 0 (the legacy format) is refused with "v1 is not supported"; other bits go to
    // the current-format writer.
    void serialize(OutputStream* stream, uint32_t options) override;
};

// 2.2 with any ZV transfer action; else 2.1 with any MStar transfer action or a device
// profile; else 2.0. Also used when a legacy package is written in the current format.
FileVersion RequiredFileVersion(const kfw::KfwFile& file);

}  // namespace fwu::kfw::v2
