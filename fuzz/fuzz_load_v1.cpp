// SPDX-License-Identifier: Apache-2.0
// Fuzzes the legacy package reader. Every input is read twice: as a complete legacy file (the
// checksum and cipher front end), and as a plain image that the harness seals first, so that
// mutations reach the header, directories and items instead of dying at the checksum. Seeds
// come from the library's own writer (see the V1FuzzSeeds test, FLASHKIT_V1_SEED_DIR).
//
// Findings: a crash or sanitizer report, an exception other than fwu::Exception, and a
// package that was read but whose legacy form does not read back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/Exception.h"
#include "core/InputByteStream.h"
#include "core/OutputByteStream.h"
#include "package/v1/Blowfish.h"
#include "package/v1/Checksum.h"
#include "package/v1/KfwFile.h"
#include "package/v1/KfwParser.h"

namespace {

using fwu::kfw::v1::KfwFile;
using fwu::kfw::v1::KfwParser;

std::vector<uint8_t> seal(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(data, data + size);
    fwu::kfw::v1::EncodeBytes(image);
    const uint16_t checksum = fwu::kfw::v1::CalculateChecksum(image.data(), image.size(), 0);
    std::vector<uint8_t> file = {static_cast<uint8_t>(checksum),
                                 static_cast<uint8_t>(checksum >> 8)};
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

// Legacy form of a package, or empty when the package has none (for example an item tag that
// names no legacy device, which the reader accepts and the writer refuses).
std::vector<uint8_t> writeLegacy(KfwFile& file) {
    fwu::OutputByteStream out;
    try {
        file.serialize(&out, FWSerializeOptionLegacy);
    } catch (const fwu::Exception&) {
        return {};
    }
    return out.bytes();
}

void load(const uint8_t* data, size_t size) {
    KfwFile file;
    try {
        fwu::InputByteStream stream(data, size);
        if (KfwParser::isValid(&stream) && stream.position() != 0) std::abort();
        KfwParser().parse(&file, &stream);
    } catch (const fwu::Exception&) {
        return;  // the expected end of a bad file
    } catch (...) {
        std::abort();  // anything else escaped the reader's checks
    }

    // What was read must survive a write and a read unchanged.
    const std::vector<uint8_t> first = writeLegacy(file);
    if (first.empty()) return;
    KfwFile again;
    try {
        fwu::InputByteStream stream(first.data(), first.size());
        KfwParser().parse(&again, &stream);
    } catch (...) {
        std::abort();
    }
    if (again.size() != file.size() || writeLegacy(again) != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    load(data, size);
    const std::vector<uint8_t> sealed = seal(data, size);
    load(sealed.data(), sealed.size());
    return 0;
}
