// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "package/KfwFile.h"

namespace fwu::kfw::v1 {

// A package in the legacy unit-based format, built around the five legacy devices. A new one
// has file version 1.0.
class KfwFile : public kfw::KfwFile {
public:
    KfwFile();
    ~KfwFile() override = default;

    // The best-scoring bundle: conditions that fix earlier devices of the list weigh more.
    Bundle* bundleForVersion(const DeviceVersionList* current) const override;
    // Option bit 0 writes the legacy format; without it the package is written in the
    // current format.
    void serialize(OutputStream* stream, uint32_t options) override;
};

}  // namespace fwu::kfw::v1
