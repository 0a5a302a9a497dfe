// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ThrowsFwuException.h"
#include "core/InputByteStream.h"
#include "core/OutputByteStream.h"

namespace {

using fwu::test::throwsFwuException;
using Bytes = std::vector<uint8_t>;

// ---- InputByteStream ----

// Ten bytes 0..9.
class InputByteStreamTest : public testing::Test {
protected:
    const Bytes data{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    fwu::InputByteStream stream{data.data(), data.size()};
};

TEST_F(InputByteStreamTest, SeekAllowsEndButNotBeyond) {
    EXPECT_EQ(stream.byteSize(), 10u);
    EXPECT_EQ(stream.position(), 0u);

    stream.seek(10);
    EXPECT_EQ(stream.position(), 10u);
    uint8_t dst = 0xAA;
    stream.readBytes(&dst, 0);
    EXPECT_EQ(stream.position(), 10u);
    EXPECT_EQ(stream.readBytes(size_t(0)), Bytes());

    stream.seek(4);
    EXPECT_TRUE(throwsFwuException([&] { stream.seek(11); }, fwu::PackageError::kBadPosition));
    EXPECT_TRUE(throwsFwuException([&] { stream.seek(std::numeric_limits<size_t>::max()); },
                                   fwu::PackageError::kBadPosition));
    EXPECT_EQ(stream.position(), 4u);

    stream.seek(0);
    EXPECT_EQ(stream.position(), 0u);
}

TEST_F(InputByteStreamTest, SkipCannotPassTheEnd) {
    stream.skip(3);
    EXPECT_EQ(stream.position(), 3u);
    stream.skip(0);
    EXPECT_EQ(stream.position(), 3u);
    stream.skip(7);
    EXPECT_EQ(stream.position(), 10u);
    EXPECT_TRUE(throwsFwuException([&] { stream.skip(1); }, fwu::PackageError::kBadPosition));
    EXPECT_EQ(stream.position(), 10u);

    // A count that would wrap the position around is refused too.
    stream.seek(5);
    EXPECT_TRUE(throwsFwuException([&] { stream.skip(std::numeric_limits<size_t>::max()); },
                                   fwu::PackageError::kBadPosition));
    EXPECT_EQ(stream.position(), 5u);
}

TEST_F(InputByteStreamTest, ReadPastEndThrowsAndKeepsPosition) {
    stream.seek(8);
    uint8_t dst[3] = {0xAA, 0xAA, 0xAA};
    EXPECT_TRUE(
        throwsFwuException([&] { stream.readBytes(dst, 3); }, fwu::PackageError::kInvalidReadSize));
    EXPECT_EQ(stream.position(), 8u);
    EXPECT_TRUE(
        throwsFwuException([&] { stream.readBytes(dst, std::numeric_limits<size_t>::max()); },
                           fwu::PackageError::kInvalidReadSize));
    EXPECT_EQ(stream.position(), 8u);
    EXPECT_TRUE(throwsFwuException([&] { stream.readBytes(size_t(3)); },
                                   fwu::PackageError::kInvalidReadSize));
    EXPECT_EQ(stream.position(), 8u);

    // What is left can still be read.
    EXPECT_EQ(stream.readBytes(size_t(2)), (Bytes{8, 9}));
    EXPECT_EQ(stream.position(), 10u);
}

TEST_F(InputByteStreamTest, ReadsCopyBytesAndAdvance) {
    uint8_t dst[4] = {};
    stream.readBytes(dst, 4);
    EXPECT_EQ(Bytes(dst, dst + 4), (Bytes{0, 1, 2, 3}));
    EXPECT_EQ(stream.position(), 4u);

    const Bytes next = stream.readBytes(size_t(5));
    EXPECT_EQ(next, (Bytes{4, 5, 6, 7, 8}));
    EXPECT_EQ(stream.position(), 9u);

    // Through the base interface, as the package readers use it.
    fwu::InputStream& base = stream;
    base.seek(1);
    EXPECT_EQ(base.readBytes(size_t(2)), (Bytes{1, 2}));
    EXPECT_EQ(base.position(), 3u);
}

TEST(InputStreamHelpers, TypedReadsAreLittleEndian) {
    const Bytes data{0x01, 0x02, 0x03, 0x04, 0xFF, 0xFE, 0x00, 0x00, 0x00, 0x80, 0xAB};
    fwu::InputByteStream stream(data.data(), data.size());

    EXPECT_EQ(stream.read<uint32_t>(), 0x04030201u);
    EXPECT_EQ(stream.position(), 4u);
    EXPECT_EQ(stream.read<uint16_t>(), 0xFEFFu);
    EXPECT_EQ(stream.position(), 6u);
    EXPECT_EQ(stream.read<uint32_t>(), 0x80000000u);
    EXPECT_EQ(stream.position(), 10u);

    // One byte left: neither width fits, and nothing is consumed.
    EXPECT_TRUE(
        throwsFwuException([&] { stream.read<uint16_t>(); }, fwu::PackageError::kInvalidReadSize));
    EXPECT_TRUE(
        throwsFwuException([&] { stream.read<uint32_t>(); }, fwu::PackageError::kInvalidReadSize));
    EXPECT_EQ(stream.position(), 10u);

    stream.seek(2);
    EXPECT_EQ(stream.read<uint16_t>(), 0x0403u);
}

TEST(InputStreamHelpers, ReadStringStopsAtFirstZeroButConsumesAll) {
    struct Case {
        Bytes data;
        size_t count;
        std::string text;
    };
    const Case cases[] = {
        {{'a', 'b', 0, 'c', 'd', 0}, 6, "ab"},
        {{'a', 'b', 'c', 'd'}, 4, "abcd"},
        {{0, 'a', 'b'}, 3, ""},
        {{'a', 'b', 'c', 'd'}, 2, "ab"},
        {{'x'}, 0, ""},
        {{}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        fwu::InputByteStream stream(c.data.data(), c.data.size());
        EXPECT_EQ(stream.readString(c.count), c.text);
        EXPECT_EQ(stream.position(), c.count);
    }

    const Bytes data{'a', 'b', 'c'};
    fwu::InputByteStream stream(data.data(), data.size());
    stream.seek(1);
    EXPECT_TRUE(
        throwsFwuException([&] { stream.readString(3); }, fwu::PackageError::kInvalidReadSize));
    EXPECT_EQ(stream.position(), 1u);
}

TEST(InputStreamHelpers, OverlongReadOfLargeStreamFailsAndRestoresPosition) {
    // Larger than the pieces a bogus size is read in, so the failure comes after some pieces
    // have already moved the position.
    const Bytes data(3 * 1024 * 1024 + 17, 0x5A);
    fwu::InputByteStream stream(data.data(), data.size());
    stream.seek(100);

    EXPECT_TRUE(throwsFwuException([&] { stream.readBytes(data.size()); },
                                   fwu::PackageError::kInvalidReadSize));
    EXPECT_EQ(stream.position(), 100u);
    EXPECT_TRUE(throwsFwuException([&] { stream.readBytes(std::numeric_limits<size_t>::max()); },
                                   fwu::PackageError::kInvalidReadSize));
    EXPECT_EQ(stream.position(), 100u);

    const Bytes rest = stream.readBytes(data.size() - 100);
    EXPECT_EQ(rest.size(), data.size() - 100);
    EXPECT_EQ(stream.position(), data.size());
}

// ---- OutputByteStream ----

TEST(OutputByteStream, ConstructionModes) {
    struct Case {
        uint32_t mode;
        size_t count;
        size_t size;
    };
    const Case cases[] = {
        {1, 64, 0},              // reserve: capacity only
        {2, 4, 4},               // zeroed
        {2, 0, 0},  {0, 64, 0},  // anything else: nothing prepared
        {3, 64, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " count " << c.count);
        fwu::OutputByteStream stream(static_cast<fwu::OutputByteStream::Mode>(c.mode), c.count);
        EXPECT_EQ(stream.byteSize(), c.size);
        EXPECT_EQ(stream.position(), 0u);
        EXPECT_EQ(stream.bytes(), Bytes(c.size, 0));
        if (c.mode == 1) {
            EXPECT_GE(stream.bytes().capacity(), c.count);
        }
    }

    fwu::OutputByteStream plain;
    EXPECT_EQ(plain.byteSize(), 0u);
    EXPECT_EQ(plain.position(), 0u);
}

TEST(OutputByteStream, WritesOverwriteZeroedBufferAndGrowPastIt) {
    fwu::OutputByteStream stream(fwu::OutputByteStream::ModeZeroed, 4);
    const uint8_t two[] = {0xA1, 0xA2};
    stream.writeBytes(two, 2);
    EXPECT_EQ(stream.byteSize(), 4u);
    EXPECT_EQ(stream.position(), 2u);
    EXPECT_EQ(stream.bytes(), (Bytes{0xA1, 0xA2, 0, 0}));

    const uint8_t six[] = {1, 2, 3, 4, 5, 6};
    stream.writeBytes(six, 6);
    EXPECT_EQ(stream.byteSize(), 8u);
    EXPECT_EQ(stream.position(), 8u);
    EXPECT_EQ(stream.bytes(), (Bytes{0xA1, 0xA2, 1, 2, 3, 4, 5, 6}));
}

TEST(OutputByteStream, ReserveModeAppendsFromStart) {
    fwu::OutputByteStream stream(fwu::OutputByteStream::ModeReserve, 16);
    const uint8_t three[] = {7, 8, 9};
    stream.writeBytes(three, 3);
    EXPECT_EQ(stream.bytes(), (Bytes{7, 8, 9}));
    EXPECT_EQ(stream.position(), 3u);
}

TEST(OutputByteStream, SeekBackOverwritesAndEndAppends) {
    fwu::OutputByteStream stream;
    const uint8_t abcdef[] = {'a', 'b', 'c', 'd', 'e', 'f'};
    stream.writeBytes(abcdef, 6);

    stream.seek(2);
    const uint8_t xy[] = {'X', 'Y'};
    stream.writeBytes(xy, 2);
    EXPECT_EQ(stream.position(), 4u);
    EXPECT_EQ(stream.byteSize(), 6u);
    EXPECT_EQ(stream.bytes(), (Bytes{'a', 'b', 'X', 'Y', 'e', 'f'}));

    // An overwrite that runs past the end grows the buffer by the overhang only.
    stream.seek(5);
    stream.writeBytes(xy, 2);
    EXPECT_EQ(stream.bytes(), (Bytes{'a', 'b', 'X', 'Y', 'e', 'X', 'Y'}));

    stream.seek(stream.byteSize());
    stream.writeBytes(abcdef, 1);
    EXPECT_EQ(stream.bytes(), (Bytes{'a', 'b', 'X', 'Y', 'e', 'X', 'Y', 'a'}));

    stream.seek(3);
    stream.writeBytes(abcdef, 0);
    EXPECT_EQ(stream.position(), 3u);
    EXPECT_EQ(stream.byteSize(), 8u);
}

TEST(OutputByteStream, SeekAndSkipStayWithinWrittenBytes) {
    fwu::OutputByteStream empty;
    empty.seek(0);
    EXPECT_EQ(empty.position(), 0u);
    EXPECT_TRUE(throwsFwuException([&] { empty.seek(1); }, fwu::PackageError::kBadPosition));
    EXPECT_TRUE(throwsFwuException([&] { empty.skip(1); }, fwu::PackageError::kBadPosition));
    EXPECT_EQ(empty.position(), 0u);
    EXPECT_EQ(empty.byteSize(), 0u);

    fwu::OutputByteStream stream(fwu::OutputByteStream::ModeZeroed, 10);
    stream.skip(4);
    EXPECT_EQ(stream.position(), 4u);
    stream.skip(6);
    EXPECT_EQ(stream.position(), 10u);
    EXPECT_TRUE(throwsFwuException([&] { stream.skip(1); }, fwu::PackageError::kBadPosition));
    stream.seek(3);
    EXPECT_TRUE(throwsFwuException([&] { stream.skip(std::numeric_limits<size_t>::max()); },
                                   fwu::PackageError::kBadPosition));
    EXPECT_TRUE(throwsFwuException([&] { stream.seek(11); }, fwu::PackageError::kBadPosition));
    EXPECT_EQ(stream.position(), 3u);
    EXPECT_EQ(stream.byteSize(), 10u);
}

TEST(OutputByteStream, WrittenBytesReadBackThroughInputStream) {
    fwu::OutputByteStream out;
    const uint8_t header[] = {0x78, 0x56, 0x34, 0x12, 0xCD, 0xAB};
    out.writeBytes(header, sizeof header);
    out.writeBytes("name\0\0\0\0", 8);

    fwu::InputByteStream in(out.bytes().data(), out.byteSize());
    EXPECT_EQ(in.read<uint32_t>(), 0x12345678u);
    EXPECT_EQ(in.read<uint16_t>(), 0xABCDu);
    EXPECT_EQ(in.readString(8), "name");
    EXPECT_EQ(in.position(), in.byteSize());
}

}  // namespace
