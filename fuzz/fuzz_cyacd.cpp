// SPDX-License-Identifier: Apache-2.0
// Fuzzes the Cyacd image converter with arbitrary text, in memory.
//
// Findings: a crash or sanitizer report, an exception other than fwu::Exception, a line reader
// that stops making progress or moves past the data, and a converted image that breaks the
// record checksum rule (every record sums to 0 modulo 256, so the whole image does too).
//
//   build-fuzz/fuzz/fuzz_cyacd corpus/cyacd fuzz/cyacd_seeds -max_total_time=180 -rss_limit_mb=2048
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "package/image/Cyacd.h"

namespace {

namespace file = fwu::kfw::file;

void readAllLines(const uint8_t* data, size_t size) {
    file::cyacd::LineReader reader(data, size);
    size_t characters = 0;
    while (!reader.atEnd()) {
        const size_t before = reader.position();
        characters += reader.readLine().size();
        if (reader.position() <= before || reader.position() > size) std::abort();
    }
    if (characters > size) std::abort();
}

void convert(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image;
    try {
        image = file::BytesFromCyacd(data, size);
    } catch (const fwu::Exception&) {
        return;  // the expected end of a bad file
    } catch (...) {
        std::abort();
    }
    uint8_t sum = 0;
    for (uint8_t byte : image) sum = static_cast<uint8_t>(sum + byte);
    if (sum != 0 || image.size() > size / 2) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readAllLines(data, size);
    convert(data, size);
    return 0;
}
