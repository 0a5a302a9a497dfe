// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "core/FileVersion.h"
#include "core/InputStream.h"

namespace fwu::kfw::v2 {

class KfwFile;

// Reads a current-format package: header, IV, decryption, digest check, msgpack body.
class KfwParser {
public:
    virtual ~KfwParser() = default;

    // The stream starts with the current format's magic number.
    static bool isValid(InputStream* stream);
    void parse(v2::KfwFile* file, InputStream* stream);
};

}  // namespace fwu::kfw::v2
