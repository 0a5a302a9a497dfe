// SPDX-License-Identifier: Apache-2.0
#include "core/Exception.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace {

struct ErrorCase {
    fwu::ErrorCode code;
    uint32_t value;
    const char* message;
    const char* what;
};

// Every message the library raises, with the code it is raised with.
const ErrorCase kErrors[] = {
    {fwu::ErrorFileStat, 0x10000, "fstat failed", "fstat failed, 0x00010000"},
    {fwu::ErrorFileOpen, 0x10001, "open failed", "open failed, 0x00010001"},
    {fwu::ErrorFileOpen, 0x10001, "fopen failed", "fopen failed, 0x00010001"},
    {fwu::ErrorFileRead, 0x10002, "fread failed", "fread failed, 0x00010002"},
    {fwu::ErrorFileWrite, 0x10003, "fwrite failed", "fwrite failed, 0x00010003"},
    {fwu::ErrorStreamPosition, 0x10004, "fseek failed", "fseek failed, 0x00010004"},
    {fwu::ErrorStreamPosition, 0x10004, "Bad position", "Bad position, 0x00010004"},
    {fwu::ErrorStreamReadSize, 0x10005, "Invalid read size", "Invalid read size, 0x00010005"},
    {fwu::ErrorJsonKeyNotFound, 0x30000, "Json key is not found",
     "Json key is not found, 0x00030000"},
    {fwu::ErrorJsonType, 0x30001, "Invlaid json type", "Invlaid json type, 0x00030001"},
    {fwu::ErrorInvalidKfwFile, 0x40000, "Invalid kfw file", "Invalid kfw file, 0x00040000"},
    {fwu::ErrorInvalidKfwFile, 0x40000, "Magic number is invalid",
     "Magic number is invalid, 0x00040000"},
    {fwu::ErrorUnsupportedRequest, 0x40001, "v1 is not supported",
     "v1 is not supported, 0x00040001"},
    {fwu::ErrorInvalidObject, 0x40002, "Invalid uuid", "Invalid uuid, 0x00040002"},
    {fwu::ErrorInvalidObject, 0x40002, "Blob is not found", "Blob is not found, 0x00040002"},
    {fwu::ErrorInvalidAction, 0x40003, "Invalid action type", "Invalid action type, 0x00040003"},
    {fwu::ErrorInvalidAction, 0x40003, "Invalid action", "Invalid action, 0x00040003"},
    {fwu::ErrorInvalidAction, 0x40003, "Unknown action type", "Unknown action type, 0x00040003"},
    {fwu::ErrorDataTooSmall, 0x40004, "Data is too small", "Data is too small, 0x00040004"},
    {fwu::ErrorLegacyChecksum, 0x50000, "Checksum is invalid", "Checksum is invalid, 0x00050000"},
    {fwu::ErrorLegacyTag, 0x50001, "Kfw tag is invalid", "Kfw tag is invalid, 0x00050001"},
    {fwu::ErrorLegacyTag, 0x50001, "Different tag", "Different tag, 0x00050001"},
    {fwu::ErrorLegacyTag, 0x50001, "Tag is invalid", "Tag is invalid, 0x00050001"},
    {fwu::ErrorLegacyVersion, 0x50002, "Different version", "Different version, 0x00050002"},
    {fwu::ErrorLegacyVersion, 0x50002, "Invalid version string",
     "Invalid version string, 0x00050002"},
    {fwu::ErrorLegacyVersion, 0x50002, "Version is not 25", "Version is not 25, 0x00050002"},
    {fwu::ErrorLegacyProduct, 0x50003, "Product is invalid", "Product is invalid, 0x00050003"},
    {fwu::ErrorUnsupportedFileVersion, 0x60000, "Unsupported file version",
     "Unsupported file version, 0x00060000"},
    {fwu::ErrorInvalidIv, 0x60001, "Invalid iv", "Invalid iv, 0x00060001"},
    {fwu::ErrorInvalidHash, 0x60002, "Hash is invalid", "Hash is invalid, 0x00060002"},
    {fwu::ErrorEncode, 0x60003, "Encode failed", "Encode failed, 0x00060003"},
    {fwu::ErrorDecode, 0x60004, "Decode failed", "Decode failed, 0x00060004"},
    {fwu::ErrorMsgpackType, 0x60005, "Invalid msgpack type", "Invalid msgpack type, 0x00060005"},
    {fwu::ErrorMsgpackKey, 0x60006, "Key not found", "Key not found, 0x00060006"},
    {fwu::ErrorSrecConversion, 0x60007, "SREC file conversion not supported",
     "SREC file conversion not supported, 0x00060007"},
    {fwu::ErrorSrecConversion, 0x60007, "SREC file is invalid", "SREC file is invalid, 0x00060007"},
    {fwu::ErrorSrecConversion, 0x60007, "SREC to binary conversion failed",
     "SREC to binary conversion failed, 0x00060007"},
    {fwu::ErrorSrecConversion, 0x60007, "Required functions not found on syndfu.dll",
     "Required functions not found on syndfu.dll, 0x00060007"},
    {fwu::ErrorCyacdConversion, 0x60008, "Invalid hex string", "Invalid hex string, 0x00060008"},
    {fwu::ErrorCyacdConversion, 0x60008, "Invalid Cyacd record",
     "Invalid Cyacd record, 0x00060008"},
    {fwu::ErrorCyacdConversion, 0x60008, "Cyacd record not found",
     "Cyacd record not found, 0x00060008"},
    {fwu::ErrorCyacdConversion, 0x60008, "Invalid checksum", "Invalid checksum, 0x00060008"},
    {fwu::ErrorCyacdConversion, 0x60008, "Unsupported checksum type",
     "Unsupported checksum type, 0x00060008"},
};

TEST(Exception, MessageCarriesCodeAsEightHexDigits) {
    for (const auto& c : kErrors) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(static_cast<uint32_t>(c.code), c.value);

        const fwu::Exception e(c.message, c.code, 0);
        EXPECT_STREQ(e.what(), c.what);
        EXPECT_EQ(e.code(), c.code);
        EXPECT_EQ(e.error(), 0);
        EXPECT_FALSE(e.isKmError());
    }
}

TEST(Exception, StatusIsKeptAndPrintedOnlyForMonitorControlFailures) {
    struct Case {
        uint32_t code;
        KmError status;
        const char* what;
        KmError storedStatus;
        bool isKmError;
    };
    const Case cases[] = {
        {0x20000, 0x12, "Monitor failed, 0x00020000, 0x12", 0x12, true},
        {0x20000, 0, "Monitor failed, 0x00020000, 0x0", 0, true},
        {0x20000, -1, "Monitor failed, 0x00020000, 0xffffffff", -1, true},
        {0x20000, static_cast<KmError>(0x80010005u), "Monitor failed, 0x00020000, 0x80010005",
         static_cast<KmError>(0x80010005u), true},
        // Any other code ignores a status passed along with it.
        {0x10002, 0x12, "Monitor failed, 0x00010002", 0, false},
        {0x40000, -5, "Monitor failed, 0x00040000", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fwu::Exception e("Monitor failed", static_cast<fwu::ErrorCode>(c.code), c.status);
        EXPECT_STREQ(e.what(), c.what);
        EXPECT_EQ(static_cast<uint32_t>(e.code()), c.code);
        EXPECT_EQ(e.error(), c.storedStatus);
        EXPECT_EQ(e.isKmError(), c.isKmError);
    }
    EXPECT_EQ(static_cast<uint32_t>(fwu::ErrorMonitorControl), 0x20000u);
}

TEST(Exception, CaughtAsStdExceptionKeepsMessage) {
    try {
        throw fwu::Exception("Invalid kfw file", fwu::ErrorInvalidKfwFile);
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Invalid kfw file, 0x00040000");
        return;
    }
    ADD_FAILURE() << "not caught as std::exception";
}

TEST(Exception, CopyOutlivesOriginal) {
    // Exceptions are copied when thrown; the copy must own its message.
    std::unique_ptr<fwu::Exception> copy;
    {
        const fwu::Exception original("Monitor failed", fwu::ErrorMonitorControl, 0x7f);
        copy = std::make_unique<fwu::Exception>(original);
    }
    EXPECT_STREQ(copy->what(), "Monitor failed, 0x00020000, 0x7f");
    EXPECT_EQ(copy->code(), fwu::ErrorMonitorControl);
    EXPECT_EQ(copy->error(), 0x7f);
}

}  // namespace
