// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "libflashkit/core/ThrowsFwuException.h"
#include "package/image/Cyacd.h"

namespace {

namespace cyacd = fwu::kfw::file::cyacd;
using fwu::kfw::file::BytesFromCyacd;
using fwu::test::throwsFwuException;
using Bytes = std::vector<uint8_t>;

constexpr fwu::PackageError kInvalidHex = fwu::PackageError::kCyacdInvalidHexString;
constexpr fwu::PackageError kInvalidRecord = fwu::PackageError::kCyacdInvalidRecord;
constexpr fwu::PackageError kRecordNotFound = fwu::PackageError::kCyacdRecordNotFound;
constexpr fwu::PackageError kInvalidChecksum = fwu::PackageError::kCyacdInvalidChecksum;
constexpr fwu::PackageError kUnsupportedChecksum = fwu::PackageError::kCyacdUnsupportedChecksumType;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(CyacdHex, DigitsInEitherCaseAndNothingElse) {
    const std::string digits = "0123456789abcdefABCDEF";
    const int values[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                          11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
    for (size_t i = 0; i < digits.size(); ++i) EXPECT_EQ(cyacd::ParseHexChar(digits[i]), values[i]);
    // The neighbours of each digit range, a space and the NUL terminator.
    for (char c : {'/', ':', '@', 'G', '`', 'g', ' ', '\0', '\xff'}) {
        SCOPED_TRACE(static_cast<int>(c));
        EXPECT_TRUE(throwsFwuException([c] { cyacd::ParseHexChar(c); },
                                       fwu::PackageError::kCyacdInvalidHexString));
    }
}

TEST(CyacdHex, NumbersReadMostSignificantDigitFirst) {
    EXPECT_EQ(cyacd::ParseUInt8String("a5"), 0xA5);
    EXPECT_EQ(cyacd::ParseUInt16String("1e96zz"), 0x1E96);
    EXPECT_EQ(cyacd::ParseUInt32String("1E9602AA00"), 0x1E9602AAu);
    EXPECT_EQ(cyacd::ParseUInt32String("FFFFFFFF"), 0xFFFFFFFFu);
    // A short text stops at its terminator instead of reading on.
    EXPECT_TRUE(throwsFwuException([] { cyacd::ParseUInt32String("1E9602A"); },
                                   fwu::PackageError::kCyacdInvalidHexString));
    EXPECT_TRUE(throwsFwuException([] { cyacd::ParseUInt8String("A"); },
                                   fwu::PackageError::kCyacdInvalidHexString));
}

TEST(CyacdHeader, FieldsAndIgnoredTail) {
    const cyacd::Header header = cyacd::ParseHeaderString("1E9602AA0701 trailing text");
    EXPECT_EQ(header.siliconID, 0x1E9602AAu);
    EXPECT_EQ(header.siliconRevision, 0x07);
    EXPECT_EQ(header.checksumType, 0x01);

    for (const char* shortHeader : {"", "1E9602AA", "1E9602AA000", "1E96 2AA0000"}) {
        SCOPED_TRACE(shortHeader);
        EXPECT_TRUE(throwsFwuException([&] { cyacd::ParseHeaderString(shortHeader); },
                                       fwu::PackageError::kCyacdInvalidHexString));
    }
    // A zero byte inside the header is not a digit either.
    EXPECT_TRUE(throwsFwuException(
        [] {
            cyacd::ParseHeaderString(std::string("1E9602AA\0"
                                                 "000",
                                                 12));
        },
        fwu::PackageError::kCyacdInvalidHexString));
}

TEST(CyacdRecord, BytesIncludeTheChecksum) {
    EXPECT_EQ(cyacd::ParseRecordString(":000000000201FD"),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0xFD}));
    EXPECT_EQ(cyacd::ParseRecordString(":0100010003aabbccca"),
              (Bytes{0x01, 0x00, 0x01, 0x00, 0x03, 0xAA, 0xBB, 0xCC, 0xCA}));
    // A lone checksum byte of 0 is a record; an odd last digit is ignored.
    EXPECT_EQ(cyacd::ParseRecordString(":00"), Bytes{0x00});
    EXPECT_EQ(cyacd::ParseRecordString(":01FFZ"), (Bytes{0x01, 0xFF}));
}

TEST(CyacdRecord, Errors) {
    struct Case {
        std::string line;
        fwu::PackageError error;
    };
    const Case cases[] = {
        {"", kInvalidRecord},
        {"000000000201FD", kInvalidRecord},
        {" :000000000201FD", kInvalidRecord},
        {":", kRecordNotFound},
        {":0", kRecordNotFound},
        {":0000000002AABB", kInvalidChecksum},
        {":01", kInvalidChecksum},
        {":00G0", kInvalidHex},
        {":0000000002 1FD", kInvalidHex},
        {std::string(":00\0"
                     "0",
                     5),
         kInvalidHex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_TRUE(throwsFwuException([&] { cyacd::ParseRecordString(c.line); }, c.error));
    }
}

TEST(CyacdLineReader, EveryTerminatorAndZeroBytes) {
    const Bytes data = text(std::string("a\r\nb\rc\n\nd\0e\r\r\nf", 15));
    cyacd::LineReader reader(data);
    std::vector<std::string> lines;
    while (!reader.atEnd()) lines.push_back(reader.readLine());
    const std::vector<std::string> expected = {"a", "b", "c", "", std::string("d\0e", 3), "", "f"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(reader.position(), data.size());
    // At the end it stays put and gives empty lines.
    EXPECT_EQ(reader.readLine(), "");
    EXPECT_EQ(reader.position(), data.size());

    // A final line feed ends the input: no empty line after it.
    const Bytes one = text("x\n");
    cyacd::LineReader single(one);
    EXPECT_EQ(single.readLine(), "x");
    EXPECT_TRUE(single.atEnd());
}

TEST(BytesFromCyacd, RecordsInFileOrderWithoutHeader) {
    EXPECT_EQ(BytesFromCyacd(text("1E9602AA0000\n:000000000201FD\n")),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0xFD}));
    // Blank lines, every kind of line end, lower-case digits and no final line end.
    EXPECT_EQ(BytesFromCyacd(text("1e9602aa0000\r\n\r\n:000000000201fd\r\r\n\n:01FF")),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0xFD, 0x01, 0xFF}));
    EXPECT_EQ(BytesFromCyacd(text("1E9602AA0000")), Bytes{});
}

TEST(BytesFromCyacd, Errors) {
    struct Case {
        std::string file;
        fwu::PackageError error;
    };
    const Case cases[] = {
        {"1E9602AA0000\n:0000000002AABB\n", kInvalidChecksum},
        // The checksum type is refused before any record is looked at.
        {"1E9602AA0001\n:0000000002AABB\nnot a record\n", kUnsupportedChecksum},
        {"1E9602AA00FF\n", kUnsupportedChecksum},
        {"", kInvalidHex},
        {"\n:000000000201FD\n", kInvalidHex},
        {"1E9602AA0000\n:000000000201FD\n:0\n", kRecordNotFound},
        {"1E9602AA0000\n 000000000201FD\n", kInvalidRecord},
        {"1E9602AA0000\n:000000000201FD\n:00G0\n", kInvalidHex},
        {std::string("1E9602AA0000\n:0000\0"
                     "0000201FD\n",
                     29),
         kInvalidHex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_TRUE(throwsFwuException([&] { BytesFromCyacd(text(c.file)); }, c.error));
    }
}

}  // namespace
