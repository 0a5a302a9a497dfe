// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "core/InputStream.h"

namespace fwu::kfw::v1 {

class KfwFile;

// Reads a legacy package: checksum, Blowfish decipher, header, units and items.
class KfwParser {
public:
    virtual ~KfwParser() = default;

    // Longer than 2 bytes and the stored checksum matches; any stream error gives false.
    static bool isValid(InputStream* stream);
    void parse(v1::KfwFile* file, InputStream* stream);
};

}  // namespace fwu::kfw::v1
