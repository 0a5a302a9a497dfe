// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <vector>

#include "core/FileVersion.h"

namespace fwu::kfw::v2 {

// The fixed values of the current package format, kept in this one place. The key and the IV
// masks are derived at run time so that they never sit in the binary as one readable table;
// writer and reader must share them, so changing any of them breaks every existing package.

// The 12 bytes every current-format package starts with.
const std::vector<uint8_t>& MagicNumber();

// The 32-byte AES-256 key, the same for every format version.
const std::vector<uint8_t>& GetKey();

// The 16-byte mask the IV is stored XOR-ed with. Only 2.0, 2.1 and 2.2 exist; anything else
// throws "Unsupported file version".
const std::vector<uint8_t>& IVSource(const FileVersion& version);

}  // namespace fwu::kfw::v2
