// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/OutputByteStream.h"
#include "core/Sha256.h"
#include "package/KfwFile.h"
#include "package/KfwLoader.h"
#include "package/v2/KfwCipher.h"
#include "package/v2/KfwFile.h"
#include "package/v2/KfwKeys.h"
#include "package/v2/KfwSerializer.h"

namespace fwu::fuzz {

// Wraps arbitrary bytes as the body of a 2.0 package with a correct digest and encryption, so
// that mutations reach the body reader instead of dying at the digest check.
inline std::vector<uint8_t> SealBody(const uint8_t* body, size_t size) {
    std::vector<uint8_t> plain(32, 0);
    plain.insert(plain.end(), body, body + size);
    while (plain.size() % 16) plain.push_back(0);
    const Sha256 digest = Sha256::calculate(plain.data() + 32, plain.size() - 32);
    std::copy(digest.data(), digest.data() + 32, plain.begin());
    const std::vector<uint8_t> iv(16, 0x3C);
    if (!kfw::v2::EncodeBytes(plain.data(), plain.size(), iv)) std::abort();
    std::vector<uint8_t> file = kfw::v2::MagicNumber();
    file.insert(file.end(), {2, 0, 0, 0});
    const std::vector<uint8_t> masked = kfw::v2::EncodeInitialVector(kfw::FileVersion(2, 0), iv);
    file.insert(file.end(), masked.begin(), masked.end());
    file.insert(file.end(), plain.begin(), plain.end());
    return file;
}

inline std::vector<uint8_t> Write(const kfw::KfwFile& file, uint32_t options) {
    OutputByteStream out;
    kfw::v2::KfwSerializer(options).serialize(&file, &out);
    return out.bytes();
}

// Loads the bytes; whatever loads as a current-format package must survive being written and
// read again with the same canonical content. Load failures are expected and ignored; a
// broken round trip is a bug and aborts.
inline void LoadAndRoundTrip(const uint8_t* data, size_t size) {
    std::unique_ptr<kfw::KfwFile> file;
    try {
        file = kfw::LoadKfwFileFromBytes(data, size);
    } catch (...) {
        return;
    }
    if (!dynamic_cast<kfw::v2::KfwFile*>(file.get())) return;
    const std::vector<uint8_t> written = Write(*file, 0);
    const auto again = kfw::LoadKfwFileFromBytes(written.data(), written.size());
    if (Write(*file, 2) != Write(*again, 2)) std::abort();
}

}  // namespace fwu::fuzz
