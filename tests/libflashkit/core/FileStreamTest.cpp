// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ThrowsFwuException.h"
#include "core/InputFileStream.h"
#include "core/OutputFileStream.h"

namespace {

namespace fs = std::filesystem;
using fwu::test::throwsFwuException;
using Bytes = std::vector<uint8_t>;

// Each test gets its own fresh directory, removed afterwards.
class FileStreamTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "flashkit-core-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        if (!m_dir.empty()) {
            std::error_code ignored;
            fs::remove_all(m_dir, ignored);
        }
    }

    std::string path(const char* name) const { return (m_dir / name).string(); }

    static void writeFile(const std::string& file, const Bytes& bytes) {
        FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        if (!bytes.empty()) {
            ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        }
        ASSERT_EQ(std::fclose(f), 0);
    }

    static Bytes readFile(const std::string& file) {
        Bytes bytes;
        FILE* f = std::fopen(file.c_str(), "rb");
        if (!f) {
            ADD_FAILURE() << "cannot open " << file;
            return bytes;
        }
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
        return bytes;
    }

    // A file with the ten bytes 0..9.
    std::string tenByteFile() {
        const std::string file = path("ten.bin");
        writeFile(file, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        return file;
    }

    fs::path m_dir;
};

// ---- InputFileStream ----

TEST_F(FileStreamTest, InputOpenOfMissingPathFailsAndStaysClosed) {
    fwu::InputFileStream stream;
    EXPECT_TRUE(throwsFwuException([&] { stream.open(path("missing.bin")); },
                                   fwu::PackageError::kOpenFailed));
    EXPECT_EQ(stream.byteSize(), 0u);
    EXPECT_EQ(stream.position(), 0u);

    // A failed open also drops a file that was open before.
    stream.open(tenByteFile());
    stream.seek(3);
    EXPECT_TRUE(throwsFwuException([&] { stream.open(path("missing.bin")); },
                                   fwu::PackageError::kOpenFailed));
    EXPECT_EQ(stream.byteSize(), 0u);
    EXPECT_EQ(stream.position(), 0u);
    uint8_t byte = 0;
    EXPECT_TRUE(
        throwsFwuException([&] { stream.readBytes(&byte, 1); }, fwu::PackageError::kFreadFailed));
}

TEST_F(FileStreamTest, InputReadsSeeksAndSkips) {
    fwu::InputFileStream stream;
    stream.open(tenByteFile());
    EXPECT_EQ(stream.byteSize(), 10u);
    EXPECT_EQ(stream.position(), 0u);

    EXPECT_EQ(stream.readBytes(size_t(4)), (Bytes{0, 1, 2, 3}));
    EXPECT_EQ(stream.position(), 4u);

    stream.skip(2);
    EXPECT_EQ(stream.position(), 6u);
    EXPECT_EQ(stream.read<uint16_t>(), 0x0706u);

    stream.seek(1);
    EXPECT_EQ(stream.read<uint32_t>(), 0x04030201u);
    EXPECT_EQ(stream.position(), 5u);

    stream.seek(10);
    uint8_t byte = 0;
    stream.readBytes(&byte, 0);
    EXPECT_EQ(stream.position(), 10u);
}

TEST_F(FileStreamTest, InputReadPastEndFailsAndKeepsPosition) {
    fwu::InputFileStream stream;
    stream.open(tenByteFile());
    stream.seek(8);

    uint8_t dst[3] = {};
    EXPECT_TRUE(
        throwsFwuException([&] { stream.readBytes(dst, 3); }, fwu::PackageError::kFreadFailed));
    EXPECT_EQ(stream.position(), 8u);
    EXPECT_TRUE(
        throwsFwuException([&] { stream.read<uint32_t>(); }, fwu::PackageError::kFreadFailed));
    EXPECT_EQ(stream.position(), 8u);

    // The file position went back too: the next read starts at 8.
    EXPECT_EQ(stream.readBytes(size_t(2)), (Bytes{8, 9}));
    EXPECT_EQ(stream.position(), 10u);
}

TEST_F(FileStreamTest, InputOverlongSizedReadFailsWithoutMoving) {
    fwu::InputFileStream stream;
    stream.open(tenByteFile());
    stream.seek(2);
    // A size far beyond the file, as read from a damaged header.
    EXPECT_TRUE(throwsFwuException([&] { stream.readBytes(size_t(5) << 20); },
                                   fwu::PackageError::kFreadFailed));
    EXPECT_EQ(stream.position(), 2u);
    EXPECT_TRUE(throwsFwuException([&] { stream.readString(9); }, fwu::PackageError::kFreadFailed));
    EXPECT_EQ(stream.position(), 2u);
    EXPECT_EQ(stream.readBytes(size_t(1)), Bytes{2});
}

TEST_F(FileStreamTest, InputSeekBeyondEndSucceedsButNextReadFails) {
    fwu::InputFileStream stream;
    stream.open(tenByteFile());
    stream.seek(20);
    EXPECT_EQ(stream.position(), 20u);
    EXPECT_EQ(stream.byteSize(), 10u);

    uint8_t byte = 0;
    EXPECT_TRUE(
        throwsFwuException([&] { stream.readBytes(&byte, 1); }, fwu::PackageError::kFreadFailed));
    EXPECT_EQ(stream.position(), 20u);

    stream.seek(9);
    stream.skip(5);
    EXPECT_EQ(stream.position(), 14u);
    EXPECT_TRUE(
        throwsFwuException([&] { stream.readBytes(&byte, 1); }, fwu::PackageError::kFreadFailed));

    stream.seek(9);
    stream.readBytes(&byte, 1);
    EXPECT_EQ(byte, 9);
}

TEST_F(FileStreamTest, InputReopenAndClose) {
    const std::string ten = tenByteFile();
    const std::string other = path("other.bin");
    writeFile(other, {'h', 'i', 0, 'x'});

    fwu::InputFileStream stream;
    stream.open(ten);
    stream.seek(7);

    // Opening again replaces the file and starts over.
    stream.open(other);
    EXPECT_EQ(stream.position(), 0u);
    EXPECT_EQ(stream.byteSize(), 4u);
    EXPECT_EQ(stream.readString(4), "hi");
    EXPECT_EQ(stream.position(), 4u);

    stream.close();
    EXPECT_EQ(stream.position(), 0u);
    EXPECT_EQ(stream.byteSize(), 0u);
    stream.close();  // closing twice is harmless

    const std::string empty = path("empty.bin");
    writeFile(empty, {});
    stream.open(empty);
    EXPECT_EQ(stream.byteSize(), 0u);
    EXPECT_EQ(stream.readBytes(size_t(0)), Bytes());
    uint8_t byte = 0;
    EXPECT_TRUE(
        throwsFwuException([&] { stream.readBytes(&byte, 1); }, fwu::PackageError::kFreadFailed));
}

TEST_F(FileStreamTest, ExistsTellsWhetherPathCanBeOpened) {
    EXPECT_TRUE(fwu::InputFileStream::exists(tenByteFile()));
    EXPECT_FALSE(fwu::InputFileStream::exists(path("missing.bin")));
    EXPECT_FALSE(fwu::InputFileStream::exists(path("missing/inner.bin")));
    EXPECT_FALSE(fwu::InputFileStream::exists(""));
}

// ---- OutputFileStream ----

TEST_F(FileStreamTest, OutputOpenFailsForDirectoryOrMissingParent) {
    fwu::OutputFileStream stream;
    EXPECT_TRUE(
        throwsFwuException([&] { stream.open(m_dir.string()); }, fwu::PackageError::kFopenFailed));
    EXPECT_TRUE(throwsFwuException([&] { stream.open(path("no-such-dir/out.bin")); },
                                   fwu::PackageError::kFopenFailed));
    EXPECT_EQ(stream.position(), 0u);
    EXPECT_EQ(stream.byteSize(), 0u);
}

TEST_F(FileStreamTest, OutputByteSizeCountsOverwritesAndFileHoldsLastBytes) {
    const std::string file = path("out.bin");
    fwu::OutputFileStream stream;
    stream.open(file);

    const uint8_t abcdef[] = {'a', 'b', 'c', 'd', 'e', 'f'};
    stream.writeBytes(abcdef, 6);
    EXPECT_EQ(stream.position(), 6u);
    EXPECT_EQ(stream.byteSize(), 6u);

    stream.seek(2);
    EXPECT_EQ(stream.position(), 2u);
    EXPECT_EQ(stream.byteSize(), 6u);  // seeking writes nothing

    const uint8_t xy[] = {'X', 'Y'};
    stream.writeBytes(xy, 2);
    EXPECT_EQ(stream.position(), 4u);
    EXPECT_EQ(stream.byteSize(), 8u);  // every byte written, not the file's length

    stream.close();
    EXPECT_EQ(stream.position(), 0u);
    EXPECT_EQ(stream.byteSize(), 0u);
    EXPECT_EQ(readFile(file), (Bytes{'a', 'b', 'X', 'Y', 'e', 'f'}));
}

TEST_F(FileStreamTest, OutputSkipLeavesZeroGap) {
    const std::string file = path("gap.bin");
    fwu::OutputFileStream stream;
    stream.open(file);
    const uint8_t ab[] = {'a', 'b'};
    stream.writeBytes(ab, 2);
    stream.skip(3);
    EXPECT_EQ(stream.position(), 5u);
    stream.writeBytes(ab, 1);
    EXPECT_EQ(stream.position(), 6u);
    EXPECT_EQ(stream.byteSize(), 3u);
    stream.close();
    EXPECT_EQ(readFile(file), (Bytes{'a', 'b', 0, 0, 0, 'a'}));
}

TEST_F(FileStreamTest, OutputOpenTruncatesAndReopenStartsOver) {
    const std::string first = tenByteFile();
    const std::string second = path("second.bin");

    fwu::OutputFileStream stream;
    stream.open(first);
    EXPECT_EQ(stream.byteSize(), 0u);
    const uint8_t z[] = {'z'};
    stream.writeBytes(z, 1);

    // Opening another file closes (and so completes) the first one.
    stream.open(second);
    EXPECT_EQ(stream.position(), 0u);
    EXPECT_EQ(stream.byteSize(), 0u);
    EXPECT_EQ(readFile(first), Bytes{'z'});

    stream.writeBytes(z, 1);
    stream.writeBytes(z, 1);
    EXPECT_EQ(stream.byteSize(), 2u);
}

TEST_F(FileStreamTest, OutputDestructorCompletesFile) {
    const std::string file = path("scoped.bin");
    {
        fwu::OutputFileStream stream;
        stream.open(file);
        const uint8_t data[] = {1, 2, 3};
        stream.writeBytes(data, 3);
    }
    EXPECT_EQ(readFile(file), (Bytes{1, 2, 3}));
}

TEST_F(FileStreamTest, WrittenFileReadsBackThroughInputStream) {
    const std::string file = path("roundtrip.bin");
    Bytes payload(70000);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 31 + 7);

    fwu::OutputFileStream out;
    out.open(file);
    const uint8_t header[] = {0x78, 0x56, 0x34, 0x12};
    out.writeBytes(header, sizeof header);
    out.writeBytes(payload.data(), payload.size());
    EXPECT_EQ(out.byteSize(), payload.size() + 4);
    out.close();

    EXPECT_TRUE(fwu::InputFileStream::exists(file));
    fwu::InputFileStream in;
    in.open(file);
    EXPECT_EQ(in.byteSize(), payload.size() + 4);
    EXPECT_EQ(in.read<uint32_t>(), 0x12345678u);
    EXPECT_EQ(in.readBytes(payload.size()), payload);
    EXPECT_EQ(in.position(), in.byteSize());
}

// A device that accepts the open but refuses every byte, as a full disk does.
constexpr const char* kFullDevice = "/dev/full";

TEST_F(FileStreamTest, OutputFailedFinalFlushIsReported) {
    if (!fwu::InputFileStream::exists(kFullDevice)) GTEST_SKIP() << kFullDevice << " missing";
    fwu::OutputFileStream stream;
    stream.open(kFullDevice);
    const uint8_t data[] = {1, 2, 3, 4};
    stream.writeBytes(data, sizeof data);  // only buffered so far
    EXPECT_EQ(stream.byteSize(), 4u);

    EXPECT_TRUE(throwsFwuException([&] { stream.close(); }, fwu::PackageError::kFwriteFailed));
    EXPECT_EQ(stream.position(), 0u);
    EXPECT_EQ(stream.byteSize(), 0u);
    stream.close();  // already closed: nothing left to report
}

TEST_F(FileStreamTest, OutputFailedWriteKeepsPositionAndSize) {
    if (!fwu::InputFileStream::exists(kFullDevice)) GTEST_SKIP() << kFullDevice << " missing";
    fwu::OutputFileStream stream;
    stream.open(kFullDevice);
    // More than a stdio buffer holds, so the write reaches the device at once.
    const Bytes big(1 << 20, 0xEE);
    EXPECT_TRUE(throwsFwuException([&] { stream.writeBytes(big.data(), big.size()); },
                                   fwu::PackageError::kFwriteFailed));
    EXPECT_EQ(stream.position(), 0u);
    EXPECT_EQ(stream.byteSize(), 0u);
    try {
        stream.close();
    } catch (const fwu::Exception&) {
        // Whatever stayed buffered cannot be flushed either; that is covered above.
    }
}

}  // namespace
