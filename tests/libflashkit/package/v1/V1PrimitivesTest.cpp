// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include "core/ErrorCode.h"
#include "libflashkit/core/ThrowsFwuException.h"
#include "libflashkit/package/TestPackage.h"
#include "package/v1/Blowfish.h"
#include "package/v1/Checksum.h"
#include "package/v1/KfwItemTag.h"
#include "package/v1/VersionString.h"

namespace fwu::kfw::v1 {
namespace {

using test::throwsFwuException;

TEST(V1ItemTag, ConvertsBetweenTagsIndicesAndFileNames) {
    struct Case {
        uint16_t tag;
        size_t index;
        const char* fileName;
    };
    const Case cases[] = {
        {2, 0, "PRG000"}, {3, 1, "PRG001"}, {4, 2, "INP027"}, {1, 3, "AIC653"}, {5, 4, "AIC904"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName);
        EXPECT_EQ(ProfileIndexFromKfwItemTag(c.tag), c.index);
        EXPECT_EQ(KfwItemTagFromProfileIndex(c.index), c.tag);
        EXPECT_EQ(GetFileNameFromKfwItemTag(c.tag), c.fileName);
        EXPECT_EQ(GetKfwItemTagFromFileName(c.fileName), c.tag);
    }
}

TEST(V1ItemTag, UnknownValuesMapToNone) {
    for (uint16_t tag : {0, 6, 0x10, 0xFFFF}) {
        EXPECT_EQ(ProfileIndexFromKfwItemTag(tag), 5u) << tag;
        EXPECT_EQ(GetFileNameFromKfwItemTag(tag), "") << tag;
    }
    EXPECT_EQ(KfwItemTagFromProfileIndex(5), KfwItemTagNone);
    EXPECT_EQ(KfwItemTagFromProfileIndex(SIZE_MAX), KfwItemTagNone);
    // File names match exactly: case, length and embedded zero bytes count.
    for (const std::string& name :
         {std::string("aic653"), std::string("PRG00"), std::string("PRG0000"),
          std::string("PRG000\0", 7), std::string()})
        EXPECT_EQ(GetKfwItemTagFromFileName(name), KfwItemTagNone) << name;
}

TEST(V1VersionString, WritesFiveZeroPaddedSlicesInLegacyDeviceOrder) {
    // Out of order, with 0x600 (shown in hexadecimal elsewhere) still written in decimal.
    const auto list = test::pkg::makeVersions(
        {{0x600, 12}, {0x400, 99999}, {0x100, 1}, {0x101, 230}, {0x500, 4567}});
    EXPECT_EQ(VersionStringFromList(list), "00001002300456799999"
                                           "00012");
    // Absent devices are written as 0; foreign devices are not written.
    EXPECT_EQ(VersionStringFromList(test::pkg::makeVersions({{0x101, 7}, {0x200, 3}})),
              "00000000070000000000"
              "00000");
}

TEST(V1VersionString, ConditionsUseTheFirstConditionOfEachDeviceAndDropTheOperator) {
    const auto bundle = test::pkg::makeBundle({}, {{0x500, 3, Version::OperatorGreaterEqual},
                                                   {0x500, 9, Version::OperatorEqual},
                                                   {0x100, 42, Version::OperatorLess}});
    EXPECT_EQ(VersionStringFromConditions(bundle->conditions()), "00042000000000300000"
                                                                 "00000");
}

TEST(V1VersionString, MoreThanFiveDigitsIsRefused) {
    EXPECT_TRUE(throwsFwuException(
        [] {
            VersionStringFromList(test::pkg::makeVersions({{0x100, 100000}}));
        },
        PackageError::kLegacyVersionNot25));
    const auto bundle = test::pkg::makeBundle({}, {{0x600, 123456, Version::OperatorEqual}});
    EXPECT_TRUE(throwsFwuException([&] { VersionStringFromConditions(bundle->conditions()); },
                                   PackageError::kLegacyVersionNot25));
}

TEST(V1VersionString, ReadsFiveSlicesIntoTheFiveLegacyDevices) {
    const DeviceVersionList list = DeviceVersionListFromVersionString("00001002300456799999"
                                                                      "00012");
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {0x100, 1}, {0x101, 230}, {0x500, 4567}, {0x400, 99999}, {0x600, 12}};
    ASSERT_EQ(list.items().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.items()[i].deviceID, expected[i].first);
        EXPECT_EQ(list.items()[i].version.value(), expected[i].second);
    }
    // A slice that is not a number reads as the empty version; zero versions stay in the list.
    const DeviceVersionList odd = DeviceVersionListFromVersionString("abcde00000  12"
                                                                     "3+0004xxxxx");
    ASSERT_EQ(odd.items().size(), 5u);
    EXPECT_EQ(odd.items()[0].version.value(), 0u);
    EXPECT_EQ(odd.items()[1].version.value(), 0u);
    EXPECT_EQ(odd.items()[2].version.value(), 123u);
    EXPECT_EQ(odd.items()[3].version.value(), 4u);
    EXPECT_EQ(odd.items()[4].version.value(), 0u);

    EXPECT_TRUE(throwsFwuException([] { DeviceVersionListFromVersionString(std::string(24, '1')); },
                                   PackageError::kLegacyInvalidVersionString));
}

TEST(V1Checksum, SubtractsEveryByteFromTheStartValue) {
    const uint8_t data[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(CalculateChecksum(data, 3, 0), 0xFFFA);
    EXPECT_EQ(CalculateChecksum(data, 0, 0x1234), 0x1234);
    EXPECT_EQ(CalculateChecksum(data, 3, 0x0006), 0x0000);
    // Carried from piece to piece it equals the sum over the whole.
    std::vector<uint8_t> big(70000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + 3);
    const uint16_t whole = CalculateChecksum(big.data(), big.size(), 0);
    const uint16_t first = CalculateChecksum(big.data(), 4096, 0);
    EXPECT_EQ(CalculateChecksum(big.data() + 4096, big.size() - 4096, first), whole);
    uint32_t reference = 0;
    for (uint8_t b : big) reference += b;
    EXPECT_EQ(whole, static_cast<uint16_t>(0x10000 - (reference & 0xFFFF)));
}

std::vector<uint8_t> hexBytes(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The published test vectors give blocks as big-endian halves; the legacy files store each
// half little-endian, so every 4-byte half is reversed.
std::vector<uint8_t> swapHalves(std::vector<uint8_t> block) {
    for (size_t at = 0; at + 4 <= block.size(); at += 4) {
        std::swap(block[at], block[at + 3]);
        std::swap(block[at + 1], block[at + 2]);
    }
    return block;
}

TEST(V1Blowfish, MatchesPublishedVectorsWithLittleEndianHalves) {
    struct Case {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Case cases[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const std::vector<uint8_t> key = hexBytes(c.key);
        const BlowfishCipher cipher(key.data(), key.size());
        std::vector<uint8_t> block = swapHalves(hexBytes(c.plain));
        cipher.encipher(block.data(), block.size());
        EXPECT_EQ(block, swapHalves(hexBytes(c.cipher)));
        cipher.decipher(block.data(), block.size());
        EXPECT_EQ(block, swapHalves(hexBytes(c.plain)));
    }
}

TEST(V1Blowfish, EncodeUsesAll37KeyBytesAndLittleEndianHalves) {
    // Reference: OpenSSL's ECB routine reads big-endian halves, so feed it swapped halves.
    BF_KEY reference;
    BF_set_key(&reference, 37,
               reinterpret_cast<const unsigned char*>(
                   "3C9E07A2-6B1D-4F58-9E2A-71D04B6C95F3"));  // + its zero
    std::vector<uint8_t> data(24);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x11 * i + 5);
    std::vector<uint8_t> expected = swapHalves(data);
    for (size_t at = 0; at < expected.size(); at += 8)
        BF_ecb_encrypt(expected.data() + at, expected.data() + at, &reference, BF_ENCRYPT);
    expected = swapHalves(expected);

    std::vector<uint8_t> encoded = data;
    EncodeBytes(encoded);
    EXPECT_EQ(encoded, expected);
    DecodeBytes(encoded);
    EXPECT_EQ(encoded, data);
}

TEST(V1Blowfish, PadsWithZeroBytesToWholeBlocks) {
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 2443u}) {
        std::vector<uint8_t> data(length, 0xA5);
        std::vector<uint8_t> bytes = data;
        EncodeBytes(bytes);
        EXPECT_EQ(bytes.size(), (length + 7) / 8 * 8) << length;
        DecodeBytes(bytes);
        data.resize(bytes.size(), 0);
        EXPECT_EQ(bytes, data) << length;
    }
    // Decoding pads as well, so a tail that is not a whole block is deciphered as one.
    std::vector<uint8_t> odd(13, 0x3C);
    DecodeBytes(odd);
    EXPECT_EQ(odd.size(), 16u);
}

}  // namespace
}  // namespace fwu::kfw::v1
