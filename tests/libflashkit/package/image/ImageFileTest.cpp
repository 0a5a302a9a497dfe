// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "libflashkit/core/ThrowsFwuException.h"
#include "package/image/ImageFile.h"
#include "package/image/Srec.h"

namespace {

namespace fs = std::filesystem;
namespace file = fwu::kfw::file;
using fwu::test::throwsFwuException;
using Bytes = std::vector<uint8_t>;

constexpr const char* kCyacdText = "1E9602AA0000\r\n:000000000201FD\r\n";
const Bytes kCyacdImage = {0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0xFD};

TEST(EndsWithIgnoreCase, LowersTheTextButNotTheSuffix) {
    struct Case {
        const char* text;
        const char* suffix;
        bool expected;
    };
    const Case cases[] = {
        {"image.CYACD", ".cyacd", true},
        {"image.Mot", ".mot", true},
        {"image.srec", ".srec", true},
        {".mot", ".mot", true},
        {"image.cyacd", ".CYACD", false},  // the suffix is taken as given
        {"image.mot.bin", ".mot", false},
        {"mot", ".mot", false},    // longer than the text
        {"image.mot", "", false},  // an empty suffix matches nothing
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.suffix);
        EXPECT_EQ(file::EndsWithIgnoreCase(c.text, c.suffix), c.expected);
    }
}

class ImageFileTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "flashkit-image-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        if (!m_dir.empty()) fs::remove_all(m_dir, ignored);
    }

    std::string write(const char* name, const Bytes& bytes) const {
        const std::string path = (m_dir / name).string();
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (!f) return path;
        if (!bytes.empty()) {
            EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        }
        EXPECT_EQ(std::fclose(f), 0);
        return path;
    }
    std::string write(const char* name, const std::string& text) const {
        return write(name, Bytes(text.begin(), text.end()));
    }

    fs::path m_dir;
};

TEST_F(ImageFileTest, ConversionFollowsTheEndingInAnyCase) {
    const Bytes raw = {0x00, 0xFF, 0x0A, 0x0D, 0x00};
    EXPECT_EQ(file::LoadImageFile(write("image.bin", raw)), raw);
    EXPECT_EQ(file::LoadImageFile(write("empty.bin", Bytes{})), Bytes{});
    EXPECT_EQ(file::LoadImageFile(write("image.CYACD", kCyacdText)), kCyacdImage);
    EXPECT_EQ(file::LoadImageFile(write("image.cyacd", kCyacdText)), kCyacdImage);
    // Only the very end counts: Cyacd text under another ending is taken as it is.
    EXPECT_EQ(file::LoadImageFile(write("image.cyacd.bin", kCyacdText)),
              Bytes(kCyacdText, kCyacdText + std::string(kCyacdText).size()));
}

TEST_F(ImageFileTest, ConversionErrorsPropagate) {
    EXPECT_TRUE(throwsFwuException(
        [&] { file::LoadImageFile(write("bad.cyacd", "1E9602AA0000\n:0000000002AABB\n")); },
        fwu::PackageError::kCyacdInvalidChecksum));
    EXPECT_TRUE(throwsFwuException(
        [&] { file::LoadImageFile(write("type1.Cyacd", "1E9602AA0001\n:000000000201FD\n")); },
        fwu::PackageError::kCyacdUnsupportedChecksumType));
    // The S-record library does not exist on this platform, whatever the file holds.
    for (const char* name : {"image.srec", "image.SREC", "image.mot", "image.Mot"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(
            throwsFwuException([&] { file::LoadImageFile(write(name, "S00600004844521B\n")); },
                               fwu::PackageError::kSrecNotSupported));
    }
    EXPECT_TRUE(throwsFwuException([&] { file::LoadImageFile((m_dir / "missing.bin").string()); },
                                   fwu::PackageError::kOpenFailed));
}

TEST(BytesFromSrec, ReportsTheMissingLibraryAndMissingFunctions) {
    EXPECT_TRUE(throwsFwuException(
        [] {
            file::BytesFromSrec(Bytes{'S', '0'});
        },
        fwu::PackageError::kSrecNotSupported));
#if defined(__GLIBC__)
    // A library that loads but is not the converter: its functions are looked up and missed.
    EXPECT_TRUE(throwsFwuException(
        [] {
            file::BytesFromSrecWithLibrary(Bytes{'S', '0'}, "libc.so.6");
        },
        fwu::PackageError::kSrecFunctionsMissing));
#endif
}

}  // namespace
