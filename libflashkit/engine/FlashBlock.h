// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "package/Blob.h"

namespace fwu::internal {

// The two flash flows write images in 64 KiB blocks of 256-byte pages.
constexpr uint32_t kFlashBlockSize = 0x10000;
constexpr uint32_t kFlashPageSize = 256;
constexpr uint32_t kFlashPagesPerBlock = kFlashBlockSize / kFlashPageSize;
constexpr uint8_t kErasedFlashByte = 0xFF;

// Block `index` of an image as it goes to flash: its bytes, then erased flash to the block's
// end, so the whole block can be checked the same way as a full one. Returns how many image
// bytes the block holds.
inline uint32_t FillFlashBlock(const kfw::Blob& blob, size_t index, std::vector<uint8_t>* block) {
    const size_t offset = index * kFlashBlockSize;
    const uint32_t length = uint32_t(std::min<size_t>(blob.size() - offset, kFlashBlockSize));
    block->assign(kFlashBlockSize, kErasedFlashByte);
    std::copy_n(blob.bytes() + offset, length, block->begin());
    return length;
}

// How far progress moves after page `page` of a block holding `length` image bytes: progress
// counts image bytes only, not the fill.
inline uint32_t FlashPageProgress(uint32_t page, uint32_t length) {
    const uint32_t fullPages = length / kFlashPageSize;
    if (page < fullPages) return kFlashPageSize;
    return page == fullPages ? length % kFlashPageSize : 0;
}

}  // namespace fwu::internal
