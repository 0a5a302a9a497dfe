// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/Crc32.h"
#include "core/Sha256.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// Pseudo-random but fixed content, long enough to cross table and block boundaries.
std::vector<uint8_t> patternBytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    uint32_t state = 0x12345678u;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    return bytes;
}

// Bit-at-a-time reflected CRC-32, independent of any table: the register is shifted right and
// the reflected polynomial folded in whenever a one drops out.
uint32_t referenceCrc32(uint32_t initial, const std::vector<uint8_t>& data) {
    uint32_t reg = initial;
    for (uint8_t byte : data) {
        reg ^= byte;
        for (int bit = 0; bit < 8; ++bit) reg = (reg >> 1) ^ ((reg & 1u) ? 0xEDB88320u : 0u);
    }
    return ~reg;
}

// ---- CRC-32 ----

TEST(Crc32, CommonCheckValues) {
    EXPECT_EQ(fwu::Crc32::calculate(0xFFFFFFFFu, bytesOf("123456789")), 0xCBF43926u);
    EXPECT_EQ(
        fwu::Crc32::calculate(0xFFFFFFFFu, bytesOf("The quick brown fox jumps over the lazy dog")),
        0x414FA339u);
    EXPECT_EQ(fwu::Crc32::calculate(0xFFFFFFFFu, std::vector<uint8_t>()), 0u);
}

TEST(Crc32, MatchesBitwiseReferenceForAnyStartValue) {
    const std::vector<std::vector<uint8_t>> inputs = {
        {}, {0x00}, {0xFF}, bytesOf("123456789"), patternBytes(1000),
    };
    for (uint32_t initial : {0xFFFFFFFFu, 0xFEEDBEEFu, 0u, 0x12345678u, 0x80000001u}) {
        for (const auto& data : inputs) {
            SCOPED_TRACE(testing::Message()
                         << std::hex << initial << " over " << std::dec << data.size() << " bytes");
            const uint32_t expected = referenceCrc32(initial, data);
            EXPECT_EQ(fwu::Crc32::calculate(initial, data), expected);
            EXPECT_EQ(fwu::Crc32::calculate(initial, data.data(), data.size()), expected);
        }
    }
}

TEST(Crc32, IncrementalUpdateEqualsOneShot) {
    const std::vector<uint8_t> data = patternBytes(300);
    const uint32_t oneShot = fwu::Crc32::calculate(0xFEEDBEEFu, data);
    for (size_t split = 0; split <= data.size(); split += 7) {
        SCOPED_TRACE(split);
        fwu::Crc32 crc(0xFEEDBEEFu);
        crc.update(data.data(), split);
        crc.update(std::vector<uint8_t>(data.begin() + static_cast<long>(split), data.end()));
        EXPECT_EQ(crc.finalize(), oneShot);
    }

    fwu::Crc32 byByte(0xFEEDBEEFu);
    for (uint8_t b : data) byByte.update(&b, 1);
    EXPECT_EQ(byByte.finalize(), oneShot);
}

TEST(Crc32, FinalizeLeavesRegisterSoUpdatingGoesOn) {
    const std::vector<uint8_t> head = bytesOf("12345"), tail = bytesOf("6789");
    fwu::Crc32 crc(0xFFFFFFFFu);
    crc.update(head);
    const uint32_t partial = crc.finalize();
    EXPECT_EQ(partial, fwu::Crc32::calculate(0xFFFFFFFFu, head));
    EXPECT_EQ(crc.finalize(), partial);

    crc.update(tail);
    EXPECT_EQ(crc.finalize(), 0xCBF43926u);

    // A fresh crc with no data finalizes to the complement of its start value.
    EXPECT_EQ(fwu::Crc32(0xFEEDBEEFu).finalize(), ~0xFEEDBEEFu);

    crc.reset(0xFEEDBEEFu);
    EXPECT_EQ(crc.finalize(), ~0xFEEDBEEFu);
    crc.update(head);
    crc.update(tail);
    EXPECT_EQ(crc.finalize(), referenceCrc32(0xFEEDBEEFu, bytesOf("123456789")));
}

// ---- SHA-256 ----

struct Sha256Vector {
    std::string message;
    const char* digest;
};

const Sha256Vector kShaVectors[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

TEST(Sha256, KnownVectors) {
    for (const auto& v : kShaVectors) {
        SCOPED_TRACE(v.message.substr(0, 60));
        const auto* data = reinterpret_cast<const uint8_t*>(v.message.data());
        EXPECT_EQ(fwu::Sha256::calculate(data, v.message.size()).toString(), v.digest);

        fwu::Sha256::Builder builder;
        builder.calculate(v.message.data(), v.message.size());
        EXPECT_EQ(builder.get().toString(), v.digest);
    }
    EXPECT_EQ(fwu::Sha256::calculate(nullptr, 0).toString(), kShaVectors[0].digest);
}

TEST(Sha256, BuilderOverPiecesEqualsOneShot) {
    const std::vector<uint8_t> data = patternBytes(1000);
    const fwu::Sha256 oneShot = fwu::Sha256::calculate(data.data(), data.size());

    // Uneven pieces so that some end inside a 64-byte block and some exactly on its edge.
    for (size_t piece : {size_t(1), size_t(3), size_t(55), size_t(64), size_t(65), size_t(999)}) {
        SCOPED_TRACE(piece);
        fwu::Sha256::Builder builder;
        for (size_t at = 0; at < data.size(); at += piece)
            builder.calculate(data.data() + at, std::min(piece, data.size() - at));
        builder.calculate(data.data(), 0);
        EXPECT_EQ(builder.get(), oneShot);
    }
}

TEST(Sha256, BuilderGetCanBeAskedAgainAndFeedingGoesOn) {
    fwu::Sha256::Builder builder;
    EXPECT_EQ(builder.get().toString(), kShaVectors[0].digest);

    builder.calculate("ab", 2);
    builder.calculate("c", 1);
    const fwu::Sha256 first = builder.get();
    EXPECT_EQ(first.toString(), kShaVectors[1].digest);
    EXPECT_EQ(builder.get(), first);

    builder.calculate("d", 1);
    EXPECT_EQ(builder.get(), fwu::Sha256::calculate(reinterpret_cast<const uint8_t*>("abcd"), 4));
}

TEST(Sha256, BytesAndTextForm) {
    const fwu::Sha256 zero;
    EXPECT_EQ(zero.size(), 32u);
    EXPECT_EQ(zero.bytes(), std::vector<uint8_t>(32, 0));
    EXPECT_EQ(zero.toString(), std::string(64, '0'));

    std::vector<uint8_t> raw(32);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 8 + 7);
    const fwu::Sha256 digest = fwu::Sha256::fromBytes(raw.data());
    EXPECT_EQ(digest.bytes(), raw);
    EXPECT_EQ(std::memcmp(digest.data(), raw.data(), raw.size()), 0);
    EXPECT_EQ(digest.toString(),
              "070f171f272f373f474f575f676f777f878f979fa7afb7bfc7cfd7dfe7eff7ff");

    EXPECT_TRUE(digest == fwu::Sha256::fromBytes(raw.data()));
    EXPECT_FALSE(digest != fwu::Sha256::fromBytes(raw.data()));
    raw[31] ^= 1;
    EXPECT_TRUE(digest != fwu::Sha256::fromBytes(raw.data()));
    EXPECT_FALSE(digest == fwu::Sha256::fromBytes(raw.data()));
    EXPECT_NE(digest, zero);
}

}  // namespace
