// SPDX-License-Identifier: Apache-2.0
#include "sim/SimImage.h"

#include <algorithm>
#include <cstring>

#include "LittleEndian.h"
#include "sim/Crc32.h"

namespace screenio::sim {
namespace {

constexpr uint8_t kMagic[] = {'S', 'I', 'M', 'V'};
constexpr uint8_t kCheckedTag[] = {'S', 'I', 'M', 'C'};
constexpr uint32_t kCrcInitial = 0xFFFFFFFFu;
constexpr size_t kChunk = 4096;

}  // namespace

SimImage::Check SimImage::inspect(const Reader& read, uint32_t available) {
    Check check;
    if (available < kShortHeader) return check;
    uint8_t header[kCheckedHeader] = {};
    read(0, header, std::min<size_t>(available, kCheckedHeader));
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return check;
    check.version = common::le::Get32(header + 4);
    if (available < kCheckedHeader ||
        std::memcmp(header + 8, kCheckedTag, sizeof kCheckedTag) != 0) {
        check.form = Form::Short;
        check.valid = true;
        return check;
    }
    check.form = Form::Checked;
    check.length = common::le::Get32(header + 12);
    if (check.length < kCheckedHeader || check.length > available) return check;
    // The register runs on from chunk to chunk: Crc32 complements its result, so undo that.
    uint32_t crc = kCrcInitial;
    uint8_t buffer[kChunk];
    for (uint32_t at = kCheckedHeader; at < check.length;) {
        const size_t chunk = std::min<size_t>(kChunk, check.length - at);
        read(at, buffer, chunk);
        crc = ~Crc32::compute(crc, buffer, chunk);
        at += uint32_t(chunk);
    }
    check.valid = ~crc == common::le::Get32(header + 16);
    return check;
}

SimImage::Check SimImage::inspect(const uint8_t* bytes, size_t length) {
    const uint32_t available = uint32_t(std::min<size_t>(length, UINT32_MAX));
    return inspect(
        [bytes](uint32_t offset, uint8_t* out, size_t n) { std::memcpy(out, bytes + offset, n); },
        available);
}

std::vector<uint8_t> SimImage::make(uint32_t version, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> image(kCheckedHeader + payload.size());
    std::copy(std::begin(kMagic), std::end(kMagic), image.begin());
    common::le::Put32(&image[4], version);
    std::copy(std::begin(kCheckedTag), std::end(kCheckedTag), image.begin() + 8);
    common::le::Put32(&image[12], uint32_t(image.size()));
    common::le::Put32(&image[16], Crc32::compute(kCrcInitial, payload.data(), payload.size()));
    std::copy(payload.begin(), payload.end(), image.begin() + kCheckedHeader);
    return image;
}

}  // namespace screenio::sim
