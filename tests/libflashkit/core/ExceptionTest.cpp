// SPDX-License-Identifier: Apache-2.0
#include "core/Exception.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace {

std::string ExpectedWhat(const char* message, uint32_t code) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ", 0x%08x", code);
    return std::string(message) + suffix;
}

TEST(ErrorCatalogue, EveryEntryRaisesItsOwnCodeAndMessage) {
    std::set<std::string> messages;
    for (const fwu::PackageErrorEntry& entry : fwu::PackageErrorCatalogue()) {
        SCOPED_TRACE(entry.message);
        EXPECT_EQ(&fwu::PackageErrorEntryOf(entry.error), &entry);
        // A message says which failure it was; two entries with one text would hide that.
        EXPECT_TRUE(messages.insert(entry.message).second);
        EXPECT_NE(std::string(entry.message), "");

        const fwu::Exception e(entry.error);
        EXPECT_EQ(e.code(), entry.code);
        EXPECT_EQ(e.what(), ExpectedWhat(entry.message, entry.code));
        EXPECT_EQ(e.error(), 0);
        EXPECT_FALSE(e.isKmError());
    }
}

// Pinned against literals of their own, so that a wrong catalogue entry fails here even though
// the tests elsewhere read their expectations from the catalogue.
TEST(ErrorCatalogue, PinnedEntries) {
    struct Case {
        fwu::PackageError error;
        const char* what;
    };
    const Case cases[] = {
        {fwu::PackageError::kFstatFailed, "fstat failed, 0x00010000"},
        {fwu::PackageError::kFopenFailed, "fopen failed, 0x00010001"},
        {fwu::PackageError::kInvalidReadSize, "Invalid read size, 0x00010005"},
        {fwu::PackageError::kInvalidJsonType, "Invlaid json type, 0x00030001"},
        {fwu::PackageError::kInvalidMagic, "Magic number is invalid, 0x00040000"},
        {fwu::PackageError::kLegacyTooManyItems,
         "Too many items in a bundle for the legacy format, 0x00040001"},
        {fwu::PackageError::kUnknownActionType, "Unknown action type, 0x00040003"},
        {fwu::PackageError::kLegacyVersionNot25, "Version is not 25, 0x00050002"},
        {fwu::PackageError::kMsgpackKeyNotFound, "Key not found, 0x00060006"},
        {fwu::PackageError::kSrecFunctionsMissing,
         "Required functions not found on syndfu.dll, 0x00060007"},
        {fwu::PackageError::kCyacdInvalidChecksum, "Invalid checksum, 0x00060008"},
    };
    for (const Case& c : cases) EXPECT_STREQ(fwu::Exception(c.error).what(), c.what);
}

TEST(ErrorCode, ValuesAreFixed) {
    const std::pair<fwu::ErrorCode, uint32_t> codes[] = {
        {fwu::ErrorFileStat, 0x10000},
        {fwu::ErrorFileOpen, 0x10001},
        {fwu::ErrorFileRead, 0x10002},
        {fwu::ErrorFileWrite, 0x10003},
        {fwu::ErrorStreamPosition, 0x10004},
        {fwu::ErrorStreamReadSize, 0x10005},
        {fwu::ErrorMonitorControl, 0x20000},
        {fwu::ErrorJsonKeyNotFound, 0x30000},
        {fwu::ErrorJsonType, 0x30001},
        {fwu::ErrorInvalidKfwFile, 0x40000},
        {fwu::ErrorUnsupportedRequest, 0x40001},
        {fwu::ErrorInvalidObject, 0x40002},
        {fwu::ErrorInvalidAction, 0x40003},
        {fwu::ErrorDataTooSmall, 0x40004},
        {fwu::ErrorLegacyChecksum, 0x50000},
        {fwu::ErrorLegacyTag, 0x50001},
        {fwu::ErrorLegacyVersion, 0x50002},
        {fwu::ErrorLegacyProduct, 0x50003},
        {fwu::ErrorUnsupportedFileVersion, 0x60000},
        {fwu::ErrorInvalidIv, 0x60001},
        {fwu::ErrorInvalidHash, 0x60002},
        {fwu::ErrorEncode, 0x60003},
        {fwu::ErrorDecode, 0x60004},
        {fwu::ErrorMsgpackType, 0x60005},
        {fwu::ErrorMsgpackKey, 0x60006},
        {fwu::ErrorSrecConversion, 0x60007},
        {fwu::ErrorCyacdConversion, 0x60008},
    };
    for (const auto& [code, value] : codes) EXPECT_EQ(static_cast<uint32_t>(code), value);
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
        throw fwu::Exception(fwu::PackageError::kInvalidKfwFile);
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
