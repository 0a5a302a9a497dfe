// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "V2Support.h"
#include "libflashkit/core/ThrowsFwuException.h"
#include "package/KfwLoader.h"

namespace {

using fwu::Uuid;
using fwu::Version;
using fwu::kfw::Action;
using fwu::kfw::Blob;
using fwu::kfw::FileVersion;
using fwu::test::throwsFwuException;
using fwu::test::pkg::makeBlob;
using fwu::test::pkg::makeBundle;
using fwu::test::pkg::makeMStar;
using fwu::test::pkg::makeTransfer;
using fwu::test::pkg::makeZV;
using namespace fwu::test::v2;

class V2RoundTrip : public ::testing::TestWithParam<Shape> {};

TEST_P(V2RoundTrip, WritesTheRequiredVersionAndReadsBackEveryField) {
    const Shape& shape = GetParam();
    fwu::kfw::v2::KfwFile original;
    fill(original, shape);
    EXPECT_EQ(original.version(), shape.expected);
    EXPECT_EQ(fwu::kfw::v2::RequiredFileVersion(original), shape.expected);

    const Bytes bytes = write(original);
    ASSERT_GE(bytes.size(), 64u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12), fwu::kfw::v2::MagicNumber());
    EXPECT_EQ(bytes[12] | bytes[13] << 8, 2);
    EXPECT_EQ(bytes[14] | bytes[15] << 8, static_cast<int>(shape.expected.minor.value()));
    EXPECT_EQ((bytes.size() - 32) % 16, 0u);

    const auto loaded = read(bytes);
    expectSameContent(original, *loaded);
    // The header's version is kept as the stored one; version() reports what the content needs.
    EXPECT_EQ(loaded->fwu::kfw::KfwFile::version(), shape.expected);
    EXPECT_EQ(loaded->version(), shape.expected);
    // The unnamed blob comes back named with its hash prefix.
    // Stored, not a fallback: the virtual ID is that of a blob given this name.
    const Blob& unnamed = *loaded->blobs()[1];
    EXPECT_EQ(unnamed.name(), original.blobs()[1]->name());
    Blob named;
    named.setName(original.blobs()[1]->name());
    named.setBytes(unnamed.bytes(), unnamed.size());
    EXPECT_EQ(unnamed.virtualID(loaded.get()), named.virtualID(loaded.get()));
    EXPECT_NE(unnamed.virtualID(loaded.get()), original.blobs()[1]->virtualID(&original));
    ASSERT_EQ(loaded->bundles()[0]->conditions().size(), 3u);
    EXPECT_EQ(loaded->bundles()[0]->conditions()[0].op, Version::OperatorGreaterEqual);
    EXPECT_EQ(loaded->bundles()[0]->conditions()[1].op, Version::OperatorLess);
    EXPECT_EQ(loaded->bundles()[0]->conditions()[2].op, Version::OperatorNone);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, V2RoundTrip,
    ::testing::Values(Shape{"Empty", false, false, false, false, FileVersion(2, 0)},
                      Shape{"TransferOnly", true, false, false, false, FileVersion(2, 0)},
                      Shape{"TransferWithProfile", true, false, false, true, FileVersion(2, 1)},
                      Shape{"MStar", true, true, false, false, FileVersion(2, 1)},
                      Shape{"ZVOnly", false, false, true, false, FileVersion(2, 2)},
                      Shape{"ZVWithoutMStar", true, false, true, false, FileVersion(2, 2)},
                      Shape{"Everything", true, true, true, true, FileVersion(2, 2)}),
    [](const ::testing::TestParamInfo<Shape>& info) { return std::string(info.param.name); });

TEST(V2RoundTrip, EveryWriteUsesAFreshIvButLoadsTheSame) {
    fwu::kfw::v2::KfwFile original;
    fill(original, Shape{"", true, true, true, true, FileVersion(2, 2)});
    const Bytes first = write(original);
    const Bytes second = write(original);
    ASSERT_EQ(first.size(), second.size());
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 16), Bytes(second.begin(), second.begin() + 16));
    EXPECT_NE(Bytes(first.begin() + 16, first.begin() + 32),
              Bytes(second.begin() + 16, second.begin() + 32));
    EXPECT_NE(Bytes(first.begin() + 32, first.end()), Bytes(second.begin() + 32, second.end()));
    expectSameContent(*read(first), *read(second));
}

TEST(V2RoundTrip, LargeImageSurvives) {
    fwu::kfw::v2::KfwFile original;
    Bytes image(3 * 65536 + 7);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    const Uuid blob = original.registerBlob(makeBlob(image, "big"))->id();
    original.registerAction(makeTransfer(blob, "KFW002"));
    const auto loaded = read(write(original));
    expectSameContent(original, *loaded);
}

// The writer takes any package, including one of another format class, and writes the version
// its content needs.
TEST(V2RoundTrip, AnyPackageClassIsWrittenInTheCurrentFormat) {
    fwu::test::pkg::TestPackage other;
    fill(other, Shape{"", true, true, false, false, FileVersion(2, 1)});
    const Bytes bytes = write(other);
    EXPECT_EQ(bytes[14], 1);
    expectSameContent(other, *read(bytes));
}

TEST(V2RoundTrip, LoaderRecognisesTheCurrentFormatFromBytesAndFromAFile) {
    fwu::kfw::v2::KfwFile original;
    fill(original, Shape{"", true, false, true, true, FileVersion(2, 2)});
    const Bytes bytes = write(original);

    auto fromBytes = fwu::kfw::LoadKfwFileFromBytes(bytes.data(), bytes.size());
    ASSERT_NE(dynamic_cast<fwu::kfw::v2::KfwFile*>(fromBytes.get()), nullptr);
    expectSameContent(original, *fromBytes);

    const std::string path = ::testing::TempDir() + "v2_roundtrip.kfw2";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    auto fromPath = fwu::kfw::LoadKfwFileFromPath(path);
    std::remove(path.c_str());
    ASSERT_NE(dynamic_cast<fwu::kfw::v2::KfwFile*>(fromPath.get()), nullptr);
    expectSameContent(original, *fromPath);
}

TEST(V2RoundTrip, PackageSerializeRefusesTheLegacyFormatAndWritesOtherwise) {
    fwu::kfw::v2::KfwFile file;
    fill(file, Shape{"", true, false, false, false, FileVersion(2, 0)});
    for (uint32_t options : {1u, 3u}) {
        fwu::OutputByteStream out;
        EXPECT_TRUE(throwsFwuException([&] { file.serialize(&out, options); },
                                       fwu::PackageError::kV1NotSupported));
        EXPECT_EQ(out.byteSize(), 0u);
    }
    fwu::OutputByteStream out;
    file.serialize(&out, 0);
    expectSameContent(file, *read(out.bytes()));
}

// An object whose class does not match its type, or of a type no class exists for.
class MislabelledAction : public Action {
public:
    explicit MislabelledAction(Type type) : Action(type) {}
};

TEST(V2RoundTrip, WriterRefusesActionsItCannotRepresent) {
    struct Case {
        uint32_t type;
        fwu::PackageError error;
    };
    for (const Case& c :
         {Case{1, fwu::PackageError::kInvalidAction}, Case{2, fwu::PackageError::kInvalidAction},
          Case{3, fwu::PackageError::kInvalidAction},
          Case{0, fwu::PackageError::kUnknownActionType},
          Case{9, fwu::PackageError::kUnknownActionType}}) {
        fwu::kfw::v2::KfwFile file;
        file.registerAction(std::make_unique<MislabelledAction>(static_cast<Action::Type>(c.type)));
        for (uint32_t options : {0u, 2u}) {
            EXPECT_TRUE(throwsFwuException([&] { write(file, options); }, c.error))
                << "type " << c.type << " options " << options;
        }
    }
}

}  // namespace
