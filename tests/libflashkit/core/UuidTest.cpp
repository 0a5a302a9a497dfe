// SPDX-License-Identifier: Apache-2.0
#include "core/Uuid.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::array<uint8_t, 16>;

fwu::Uuid uuidOf(const Bytes& bytes) { return fwu::Uuid::fromBytes(bytes.data()); }

Bytes sequentialBytes() {
    Bytes bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

struct TextCase {
    Bytes bytes;
    const char* text;
};

// The first three groups are little-endian numbers read out of the bytes; the rest is byte order.
// High-bit bytes catch sign extension while the groups are assembled.
const TextCase kTextCases[] = {
    {{0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e,
      0x0f},
     "03020100-0504-0706-0809-0a0b0c0d0e0f"},
    {{0xf0, 0xe1, 0xd2, 0xc3, 0xb4, 0xa5, 0x96, 0x87, 0x78, 0x69, 0x5a, 0x4b, 0x3c, 0x2d, 0x1e,
      0x0f},
     "c3d2e1f0-a5b4-8796-7869-5a4b3c2d1e0f"},
    {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
      0xff},
     "ffffffff-ffff-ffff-ffff-ffffffffffff"},
    {{0x01, 0x00, 0x00, 0x80, 0x02, 0x80, 0x03, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x01},
     "80000001-8002-8003-0000-000000000001"},
    {{}, "00000000-0000-0000-0000-000000000000"},
};

TEST(Uuid, TextFormReadsFirstThreeGroupsLittleEndian) {
    for (const auto& c : kTextCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(uuidOf(c.bytes).toString(), c.text);

        fwu::Uuid parsed;
        parsed.fromString(c.text);
        EXPECT_EQ(parsed, uuidOf(c.bytes));
    }
}

TEST(Uuid, ParsesUpperCaseAndIgnoresSeparatorCharacters) {
    const fwu::Uuid expected = uuidOf(kTextCases[1].bytes);
    for (const char* text :
         {"C3D2E1F0-A5B4-8796-7869-5A4B3C2D1E0F", "c3D2e1F0-a5B4-8796-7869-5a4B3c2D1e0F",
          "c3d2e1f0xa5b4x8796x7869x5a4b3c2d1e0f"}) {
        SCOPED_TRACE(text);
        fwu::Uuid parsed;
        parsed.fromString(text);
        EXPECT_EQ(parsed, expected);
    }
}

TEST(Uuid, ShortTextLeavesUuidUnchanged) {
    const fwu::Uuid original = uuidOf(sequentialBytes());
    const std::string full = "c3d2e1f0-a5b4-8796-7869-5a4b3c2d1e0f";
    for (size_t length : {size_t(0), size_t(1), size_t(8), size_t(33)}) {
        SCOPED_TRACE(length);
        fwu::Uuid uuid = original;
        uuid.fromString(full.substr(0, length));
        EXPECT_EQ(uuid, original);
    }

    // A caller starting from an empty id keeps an empty one.
    fwu::Uuid empty;
    empty.fromString(full.substr(0, 33));
    EXPECT_TRUE(empty.empty());
}

TEST(Uuid, MalformedTextThrowsAndLeavesUuidUnchanged) {
    const char* const texts[] = {
        "g3020100-0504-0706-0809-0a0b0c0d0e0f",  // first group
        "0302010z-0504-0706-0809-0a0b0c0d0e0f",
        "03020100-05 4-0706-0809-0a0b0c0d0e0f",  // second group
        "03020100-0504-07-6-0809-0a0b0c0d0e0f",  // third group
        "03020100-0504-0706-+809-0a0b0c0d0e0f",  // bytes 8 and 9
        "03020100-0504-0706-080x-0a0b0c0d0e0f",
        "03020100-0504-0706-0809-0x0b0c0d0e0f",  // a "0x" inside a pair
        "03020100-0504-0706-0809-0a0b0c0d0e0G",  // last pair
        "0x020100-0504-0706-0809-0a0b0c0d0e0f",
        "03020100-0504-0706-0809-0a0b0c0d0e",   // 34 characters: the last pair is missing
        "03020100-0504-0706-0809-0a0b0c0d0e0",  // 35 characters: the last pair is incomplete
    };
    const fwu::Uuid original = uuidOf(kTextCases[1].bytes);
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        fwu::Uuid uuid = original;
        EXPECT_THROW(uuid.fromString(text), std::invalid_argument);
        EXPECT_EQ(uuid, original);
    }
}

TEST(Uuid, EmptinessAndEqualityLookAtAllSixteenBytes) {
    EXPECT_TRUE(fwu::Uuid().empty());
    EXPECT_EQ(fwu::Uuid(), uuidOf(Bytes{}));

    for (size_t i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        Bytes bytes{};
        bytes[i] = 0x01;
        const fwu::Uuid one = uuidOf(bytes);
        EXPECT_FALSE(one.empty());
        EXPECT_NE(one, fwu::Uuid());
        EXPECT_FALSE(one == fwu::Uuid());
        EXPECT_TRUE(one == uuidOf(bytes));
        EXPECT_FALSE(one != uuidOf(bytes));
    }
}

TEST(Uuid, ByteAccessorsReturnStoredBytes) {
    const Bytes bytes = sequentialBytes();
    const fwu::Uuid uuid = uuidOf(bytes);
    EXPECT_EQ(uuid.size(), 16u);
    EXPECT_EQ(uuid.bytes(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(std::vector<uint8_t>(uuid.data(), uuid.data() + uuid.size()),
              std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

TEST(Uuid, ExportedRecordKeepsByteOrder) {
    const fwu::Uuid uuid = uuidOf(sequentialBytes());
    const FWUuid record = uuid.toFWUuid();

    // The record's integer fields are read in host order, like the first groups of the text.
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&record);
    EXPECT_EQ(std::vector<uint8_t>(raw, raw + sizeof record), uuid.bytes());
    if (*reinterpret_cast<const uint8_t*>(&record.data1) == 0x00) {  // little-endian host
        EXPECT_EQ(record.data1, 0x03020100u);
        EXPECT_EQ(record.data2, 0x0504u);
        EXPECT_EQ(record.data3, 0x0706u);
    }
    for (int i = 0; i < 8; ++i) EXPECT_EQ(record.data4[i], 8 + i);

    EXPECT_EQ(fwu::Uuid::fromFWUuid(record), uuid);

    FWUuid other{0xc3d2e1f0u, 0xa5b4u, 0x8796u, {0x78, 0x69, 0x5a, 0x4b, 0x3c, 0x2d, 0x1e, 0x0f}};
    const fwu::Uuid fromRecord = fwu::Uuid::fromFWUuid(other);
    const FWUuid back = fromRecord.toFWUuid();
    EXPECT_EQ(back.data1, other.data1);
    EXPECT_EQ(back.data2, other.data2);
    EXPECT_EQ(back.data3, other.data3);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(back.data4[i], other.data4[i]);
}

TEST(Uuid, GenerateGivesDistinctNonEmptyIds) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const fwu::Uuid uuid = fwu::Uuid::generate();
        EXPECT_FALSE(uuid.empty());
        const std::string text = uuid.toString();
        EXPECT_EQ(text.size(), 36u);
        EXPECT_TRUE(seen.insert(text).second) << "duplicate " << text;

        fwu::Uuid parsed;
        parsed.fromString(text);
        EXPECT_EQ(parsed, uuid);
    }
}

}  // namespace
