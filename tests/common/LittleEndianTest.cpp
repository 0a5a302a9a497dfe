// SPDX-License-Identifier: Apache-2.0
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "LittleEndian.h"

using namespace common;

TEST(LittleEndian, WritesTheLowByteFirst) {
    std::vector<uint8_t> bytes(6, 0xEE);
    le::Put16(&bytes[0], 0x1234);
    le::Put32(&bytes[2], 0x89ABCDEF);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89}));
}

TEST(LittleEndian, ReadsBackWhatItWroteWithTheHighBitsIntact) {
    // Values with the top bit of every byte set catch a sign-extending read.
    const uint8_t bytes[] = {0xFF, 0x80, 0x81, 0xFE};
    EXPECT_EQ(le::Get16(bytes), 0x80FF);
    EXPECT_EQ(le::Get32(bytes), 0xFE8180FFu);
    for (const uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        uint8_t out[4] = {};
        le::Put32(out, value);
        EXPECT_EQ(le::Get32(out), value);
        le::Put16(out, uint16_t(value));
        EXPECT_EQ(le::Get16(out), uint16_t(value));
    }
}
