// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "hid/ReportBits.h"

namespace screenio::hid {
namespace {

using Bytes = std::vector<uint8_t>;

bool BitAt(const Bytes& bytes, size_t bit) { return (bytes[bit / 8] >> (bit % 8)) & 1u; }

// Fields worked out by hand, in buffers whose other bits are set, so a write that spills
// over shows.
TEST(ReportBits, KnownLayouts) {
    struct Case {
        uint32_t offset;
        uint32_t bits;
        uint64_t value;
        Bytes before;
        Bytes after;
    } const cases[] = {
        {0, 8, 0x5A, {0xFF, 0xFF}, {0x5A, 0xFF}},
        {4, 8, 0xAB, {0x00, 0x00}, {0xB0, 0x0A}},
        {4, 8, 0x00, {0xFF, 0xFF}, {0x0F, 0xF0}},
        {3, 12, 0xFFF, {0x00, 0x00}, {0xF8, 0x7F}},
        {8, 24, 0xFFFFFB, {0xEE, 0, 0, 0, 0xEE}, {0xEE, 0xFB, 0xFF, 0xFF, 0xEE}},
        {7, 1, 1, {0x00}, {0x80}},
        {15, 2, 0x1, {0xFF, 0x7F, 0xFF}, {0xFF, 0xFF, 0xFE}},
        {1, 64, 0x8000000000000001, Bytes(9, 0), {0x02, 0, 0, 0, 0, 0, 0, 0, 0x01}},
        {0, 64, 0x0123456789ABCDEF, Bytes(8, 0), {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
        {5, 16, 0x1234, {0xFF, 0xFF, 0xFF}, {0x9F, 0x46, 0xE2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << c.offset << ", bits " << c.bits);
        Bytes bytes = c.before;
        ASSERT_TRUE(ReportBits::write(bytes.data(), bytes.size(), c.offset, c.bits, c.value));
        EXPECT_EQ(bytes, c.after);
        uint64_t read = ~uint64_t(0);
        ASSERT_TRUE(ReportBits::read(bytes.data(), bytes.size(), c.offset, c.bits, &read));
        EXPECT_EQ(read, c.value);
    }
}

// Every size at every offset within a byte and beyond: exactly the field's bits change, and
// what was written reads back (bits of the value above the size are dropped).
TEST(ReportBits, EverySizeAndOffsetTouchesOnlyItsField) {
    const uint64_t pattern = 0xC3A5F00F96691EE1;
    for (uint32_t bits = 1; bits <= 64; ++bits) {
        for (uint32_t offset = 0; offset < 20; ++offset) {
            SCOPED_TRACE(testing::Message() << "offset " << offset << ", bits " << bits);
            const uint64_t mask = bits == 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1;
            for (uint8_t fill : {uint8_t(0x00), uint8_t(0xFF)}) {
                Bytes bytes(12, fill);
                ASSERT_TRUE(ReportBits::write(bytes.data(), bytes.size(), offset, bits, pattern));
                for (size_t bit = 0; bit < bytes.size() * 8; ++bit) {
                    const bool inside = bit >= offset && bit < offset + bits;
                    const bool expected = inside ? (pattern >> (bit - offset)) & 1u : fill != 0;
                    ASSERT_EQ(BitAt(bytes, bit), expected) << "bit " << bit;
                }
                uint64_t read = 0;
                ASSERT_TRUE(ReportBits::read(bytes.data(), bytes.size(), offset, bits, &read));
                EXPECT_EQ(read, pattern & mask);
            }
        }
    }
}

TEST(ReportBits, FieldsOutsideTheBufferAreRefusedAndChangeNothing) {
    struct Case {
        size_t size;
        uint32_t offset;
        uint32_t bits;
    } const cases[] = {
        {2, 9, 8},            // one bit past the end
        {2, 16, 1},           // starts at the end
        {8, 1, 64},           // 64 bits need a ninth byte at offset 1
        {4, 0, 0},            // no bits
        {16, 0, 65},          // wider than a value
        {4, 0xFFFFFFF0, 32},  // an offset that would wrap
        {0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.size << " bytes, offset " << c.offset << ", bits " << c.bits);
        Bytes bytes(c.size + 1, 0x77);  // one more byte, outside the given size, to catch spills
        uint64_t value = 42;
        EXPECT_FALSE(ReportBits::read(bytes.data(), c.size, c.offset, c.bits, &value));
        EXPECT_EQ(value, 42u);
        EXPECT_FALSE(ReportBits::write(bytes.data(), c.size, c.offset, c.bits, ~uint64_t(0)));
        EXPECT_EQ(bytes, Bytes(c.size + 1, 0x77));
    }
    // The last bit that fits is accepted.
    Bytes two(2, 0);
    EXPECT_TRUE(ReportBits::write(two.data(), two.size(), 15, 1, 1));
    EXPECT_EQ(two, (Bytes{0x00, 0x80}));
}

TEST(ReportBits, SignExtension) {
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    struct Case {
        uint64_t raw;
        uint32_t bits;
        int64_t value;
    } const cases[] = {
        {0x7F, 8, 127},
        {0x80, 8, -128},
        {0xFF, 8, -1},
        {0x1FF, 8, -1},  // bits above the field are ignored
        {0xFFFFFB, 24, -5},
        {0x800000, 24, -0x800000},
        {0x7FFFFF, 24, 0x7FFFFF},
        {0, 1, 0},
        {1, 1, -1},
        {0xC35, 12, -971},
        {0x8000, 16, -32768},
        {0x7FFFFFFF, 32, 0x7FFFFFFF},
        {0xFFFFFFFFFFFFFFFF, 64, -1},
        {0x8000000000000000, 64, kMin},
        {0x4000000000000000, 63, -0x4000000000000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.raw << " in " << std::dec << c.bits);
        EXPECT_EQ(ReportBits::signExtend(c.raw, c.bits), c.value);
    }
}

TEST(ReportBits, WhichValuesFitAWidth) {
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    struct Case {
        int64_t value;
        uint32_t bits;
        bool isSigned;
        bool fits;
    } const cases[] = {
        {255, 8, false, true},   {256, 8, false, false},        {-1, 8, false, false},
        {127, 8, true, true},    {128, 8, true, false},         {-128, 8, true, true},
        {-129, 8, true, false},  {1, 1, false, true},           {-1, 1, true, true},
        {1, 1, true, false},     {0xFFFFFFFF, 32, false, true}, {0x100000000, 32, false, false},
        {kMax, 64, false, true}, {-1, 64, false, false},        {kMin, 64, true, true},
        {kMin, 63, true, false}, {0, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " in " << c.bits << (c.isSigned ? "s" : "u"));
        EXPECT_EQ(ReportBits::fits(c.value, c.bits, c.isSigned), c.fits);
    }
}

}  // namespace
}  // namespace screenio::hid
