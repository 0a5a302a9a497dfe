// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LegacyImage.h"
#include "V1PackageChecks.h"
#include "core/InputByteStream.h"
#include "core/OutputByteStream.h"
#include "libflashkit/core/ThrowsFwuException.h"
#include "libflashkit/package/TestPackage.h"
#include "package/KfwLoader.h"
#include "package/v1/KfwFile.h"
#include "package/v1/KfwParser.h"

namespace fwu::kfw::v1 {
namespace {

using namespace test::pkg;
using namespace test::v1img;
using test::throwsFwuException;

const std::vector<uint8_t> kMainImage = {1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<uint8_t> kFontImage(1000, 0x5A);
// Target and conditions as legacy version strings: 0x100, 0x101, 0x500, 0x400, 0x600.
const char kTargetString[] = "00310000420000700003"
                             "00018";
const char kFirstUnitString[] = "00300000000000000002"
                                "00000";
const char kSecondUnitString[] = "00305000000000000000"
                                 "00000";

// Two bundles sharing the main image's action; 0x500 and 0x101 carry no condition.
std::unique_ptr<KfwFile> samplePackage() {
    auto file = std::make_unique<KfwFile>();
    file->products().push_back("EV2785");
    file->targetVersion() =
        makeVersions({{0x100, 310}, {0x101, 42}, {0x500, 7}, {0x400, 3}, {0x600, 18}});
    const Blob* main = file->registerBlob(makeBlob(kMainImage, "main", "/images/main.bin"));
    const Blob* font = file->registerBlob(makeBlob(kFontImage));
    const Action* mainAction = file->registerAction(makeTransfer(main->id(), "PRG000", 120));
    const Action* fontAction = file->registerAction(makeTransfer(font->id(), "AIC653", 30));
    file->registerBundle(makeBundle(
        {mainAction->id(), fontAction->id()},
        {{0x100, 300, Version::OperatorGreaterEqual}, {0x400, 2, Version::OperatorEqual}}, 90));
    file->registerBundle(makeBundle({mainAction->id()}, {{0x100, 305, Version::OperatorEqual}}));
    return file;
}

// The same package laid out by hand.
ImageDescription sampleDescription() {
    ImageDescription description;
    description.product = "EV2785";
    description.targetVersions = kTargetString;
    description.units = {
        unit(kFirstUnitString, {item(2, 120, kMainImage), item(1, 30, kFontImage)}),
        unit(kSecondUnitString, {item(2, 120, kMainImage)})};
    return description;
}

std::vector<uint8_t> write(KfwFile& file) {
    OutputByteStream out;
    file.serialize(&out, FWSerializeOptionLegacy);
    return out.bytes();
}

void expectSamplePackage(const KfwFile& file) {
    EXPECT_EQ(file.version(), FileVersion(1, 0));
    EXPECT_EQ(file.products(), std::vector<std::string>{"EV2785"});
    EXPECT_TRUE(hasVersions(file.targetVersion(),
                            {{0x100, 310}, {0x101, 42}, {0x500, 7}, {0x400, 3}, {0x600, 18}}));
    EXPECT_TRUE(file.deviceProfile().empty());
    ASSERT_EQ(file.size(), 2u);
    expectLegacyBundle(file, 0, {{0x100, 300}, {0x101, 0}, {0x500, 0}, {0x400, 2}, {0x600, 0}},
                       {{"PRG000", 120, kMainImage}, {"AIC653", 30, kFontImage}});
    expectLegacyBundle(file, 1, {{0x100, 305}, {0x101, 0}, {0x500, 0}, {0x400, 0}, {0x600, 0}},
                       {{"PRG000", 120, kMainImage}});
    // The shared image and action are one object each, as in the written package.
    EXPECT_EQ(file.blobs().size(), 2u);
    EXPECT_EQ(file.actions().size(), 2u);
}

TEST(V1KfwFile, NewPackageHasFileVersion1) { EXPECT_EQ(KfwFile().version(), FileVersion(1, 0)); }

TEST(V1RoundTrip, WrittenPackageReadsBack) {
    auto original = samplePackage();
    const std::vector<uint8_t> bytes = write(*original);
    KfwFile loaded;
    parse(loaded, bytes);
    expectSamplePackage(loaded);
}

TEST(V1RoundTrip, WriterProducesTheExactLayout) {
    auto original = samplePackage();
    EXPECT_EQ(write(*original), seal(plainImage(sampleDescription())));
}

TEST(V1RoundTrip, LoaderRecognisesALegacyFile) {
    auto original = samplePackage();
    const std::vector<uint8_t> bytes = write(*original);
    std::unique_ptr<kfw::KfwFile> loaded = LoadKfwFileFromBytes(bytes.data(), bytes.size());
    const auto* legacy = dynamic_cast<const KfwFile*>(loaded.get());
    ASSERT_NE(legacy, nullptr);
    expectSamplePackage(*legacy);
}

TEST(V1KfwFile, WithoutTheLegacyOptionWritesTheCurrentFormat) {
    auto original = samplePackage();
    OutputByteStream out;
    original->serialize(&out, 0);
    InputByteStream asLegacy(out.bytes().data(), out.bytes().size());
    KfwFile legacy;
    EXPECT_ANY_THROW(KfwParser().parse(&legacy, &asLegacy));

    std::unique_ptr<kfw::KfwFile> loaded =
        LoadKfwFileFromBytes(out.bytes().data(), out.bytes().size());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(dynamic_cast<const KfwFile*>(loaded.get()), nullptr);
    EXPECT_EQ(loaded->version().major, Version(2));
    EXPECT_EQ(loaded->products(), original->products());
    EXPECT_EQ(loaded->size(), 2u);
}

TEST(V1RoundTrip, LargestLegacyPackageFits) {
    // 53 units of 20 items each fill both directories exactly; a 16-character product fills
    // its field without a terminator.
    KfwFile file;
    file.products().push_back("ABCDEFGHIJKLMNOP");
    const Blob* blob = file.registerBlob(makeBlob({0xEE}));
    std::vector<Uuid> actions;
    for (uint32_t i = 0; i < 20; ++i)
        actions.push_back(file.registerAction(makeTransfer(blob->id(), "AIC904", i))->id());
    for (uint32_t i = 0; i < 53; ++i)
        file.registerBundle(makeBundle(actions, {{0x600, 1000 + i, Version::OperatorEqual}}));

    KfwFile loaded;
    parse(loaded, write(file));
    EXPECT_EQ(loaded.products(), std::vector<std::string>{"ABCDEFGHIJKLMNOP"});
    ASSERT_EQ(loaded.size(), 53u);
    std::vector<ExpectedItem> items;
    for (uint32_t i = 0; i < 20; ++i) items.push_back({"AIC904", i, {0xEE}});
    expectLegacyBundle(loaded, 52, {{0x100, 0}, {0x101, 0}, {0x500, 0}, {0x400, 0}, {0x600, 1052}},
                       items);
}

TEST(V1RoundTrip, OnlyTransferDataActionsBecomeItems) {
    auto build = [](bool withOthers) {
        auto file = std::make_unique<KfwFile>();
        file->products().push_back("M");
        const Blob* blob = file->registerBlob(makeBlob({7, 8, 9}));
        std::vector<Uuid> actions;
        if (withOthers)
            actions.push_back(file->registerAction(makeMStar(blob->id(), 0x1000, 0x2000, 5))->id());
        actions.push_back(file->registerAction(makeTransfer(blob->id(), "PRG001", 12))->id());
        if (withOthers) {
            actions.push_back(file->registerAction(makeZV(blob->id(), 0x3000, 6))->id());
            actions.push_back(fixedID(0x77));  // no such action
        }
        file->registerBundle(makeBundle(actions));
        return file;
    };
    const std::vector<uint8_t> plain = write(*build(false));
    // 2048 + 256 + 128 + 3 plain bytes, padded to 2440, plus the checksum.
    EXPECT_EQ(plain.size(), 2442u);
    const std::vector<uint8_t> mixed = write(*build(true));
    EXPECT_EQ(mixed, plain);

    KfwFile loaded;
    parse(loaded, mixed);
    ASSERT_EQ(loaded.size(), 1u);
    expectLegacyBundle(loaded, 0, {{0x100, 0}, {0x101, 0}, {0x500, 0}, {0x400, 0}, {0x600, 0}},
                       {{"PRG001", 12, {7, 8, 9}}});
}

TEST(V1HandBuilt, LoadsWithEitherFileTag) {
    for (uint16_t fileTag : {0x0020, 0x0010}) {
        SCOPED_TRACE(fileTag);
        ImageDescription description = sampleDescription();
        description.fileTag = fileTag;
        KfwFile loaded;
        parse(loaded, seal(plainImage(description)));
        expectSamplePackage(loaded);
    }
}

TEST(V1HandBuilt, ReadsEveryItemTagAndKeepsEmptyUnits) {
    ImageDescription description;
    description.product = "KX-1";
    description.targetVersions = "00001000020000300004"
                                 "00005";
    description.units = {unit("00000000000000000000"
                              "00000",
                              {}),
                         unit("00009000080000700006"
                              "00005",
                              {item(1, 1, {0x01}), item(2, 2, {0x02}), item(3, 3, {0x03}),
                               item(4, 4, {0x04}), item(5, 5, {0x05})})};
    KfwFile loaded;
    parse(loaded, seal(plainImage(description)));
    EXPECT_EQ(loaded.products(), std::vector<std::string>{"KX-1"});
    EXPECT_TRUE(hasVersions(loaded.targetVersion(),
                            {{0x100, 1}, {0x101, 2}, {0x500, 3}, {0x400, 4}, {0x600, 5}}));
    ASSERT_EQ(loaded.size(), 2u);
    expectLegacyBundle(loaded, 0, {{0x100, 0}, {0x101, 0}, {0x500, 0}, {0x400, 0}, {0x600, 0}}, {});
    expectLegacyBundle(loaded, 1, {{0x100, 9}, {0x101, 8}, {0x500, 7}, {0x400, 6}, {0x600, 5}},
                       {{"AIC653", 1, {0x01}},
                        {"PRG000", 2, {0x02}},
                        {"PRG001", 3, {0x03}},
                        {"INP027", 4, {0x04}},
                        {"AIC904", 5, {0x05}}});
}

TEST(V1IsValid, AcceptsOnlyAMatchingChecksum) {
    auto original = samplePackage();
    // Over 4096 bytes, so the sum is carried across reading chunks.
    original->registerBlob(makeBlob(std::vector<uint8_t>(6000, 0x33)));
    const Action* big =
        original->registerAction(makeTransfer(original->blobs().back()->id(), "INP027", 1));
    original->registerBundle(makeBundle({big->id()}));
    const std::vector<uint8_t> good = write(*original);
    ASSERT_GT(good.size(), 8192u);

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool valid;
    };
    std::vector<uint8_t> flipped = good;
    flipped[5000] ^= 0x40;
    const uint8_t tiny[] = {0xFD, 0xFF, 0x03};  // 0 - 3 = 0xFFFD
    const Case cases[] = {
        {"whole file", good, true},
        {"changed byte", flipped, false},
        {"three bytes", std::vector<uint8_t>(tiny, tiny + 3), true},
        {"two bytes", {0x00, 0x00}, false},
        {"empty", {}, false},
    };
    for (const Case& c : cases) {
        InputByteStream stream(c.bytes.data(), c.bytes.size());
        if (c.bytes.size() > 1) stream.seek(1);
        EXPECT_EQ(KfwParser::isValid(&stream), c.valid) << c.name;
        EXPECT_EQ(stream.position(), c.bytes.size() > 1 ? 1u : 0u) << c.name;
    }
    EXPECT_FALSE(KfwParser::isValid(nullptr));
}

// A stream that claims more bytes than it can deliver.
class FailingStream : public InputStream {
public:
    size_t position() const override { return m_position; }
    size_t byteSize() const override { return 100; }
    void seek(size_t position) override { m_position = position; }
    void skip(size_t count) override { m_position += count; }
    void readBytes(void*, size_t) override {
        throw Exception("Invalid read size", ErrorStreamReadSize);
    }

private:
    size_t m_position = 0;
};

TEST(V1IsValid, StreamErrorGivesFalse) {
    FailingStream stream;
    EXPECT_FALSE(KfwParser::isValid(&stream));
}

struct ReadFault {
    const char* name;
    std::function<std::vector<uint8_t>()> file;
    PackageError error;
};

std::vector<uint8_t> withDescription(const std::function<void(ImageDescription&)>& edit) {
    ImageDescription description = sampleDescription();
    edit(description);
    return seal(plainImage(description));
}

std::vector<uint8_t> withPlain(const std::function<void(Bytes&)>& edit) {
    Bytes plain(0);
    plain.bytes() = plainImage(sampleDescription());
    edit(plain);
    return seal(plain.bytes());
}

// Plain image offsets of the sample: units at 2048 (1520 bytes) and 3568 (392 bytes); the
// second item of the first unit at 2048 + 256 + 136.
constexpr size_t kUnit0 = 2048, kUnit1 = 2048 + 1520, kUnit0Item1 = kUnit0 + 256 + 136;

TEST(V1ReadErrors, EachFaultHasItsMessage) {
    const ReadFault faults[] = {
        {"empty file", [] { return std::vector<uint8_t>(); }, PackageError::kDataTooSmall},
        {"checksum only",
         [] {
             return std::vector<uint8_t>{0, 0};
         },
         PackageError::kDataTooSmall},
        {"stored checksum off by one",
         [] {
             auto file = seal(plainImage(sampleDescription()));
             file[0] = static_cast<uint8_t>(file[0] + 1);
             return file;
         },
         PackageError::kLegacyChecksumInvalid},
        {"file tag",
         [] { return withDescription([](ImageDescription& s) { s.fileTag = 0x0030; }); },
         PackageError::kLegacyKfwTagInvalid},
        {"unit tag",
         [] { return withDescription([](ImageDescription& s) { s.units[1].tag = 0x0020; }); },
         PackageError::kLegacyKfwTagInvalid},
        {"item tag differs from directory",
         [] {
             return withDescription(
                 [](ImageDescription& s) { s.units[0].items[1].directoryTag = 4; });
         },
         PackageError::kLegacyDifferentTag},
        {"short target version string",
         [] {
             return withDescription(
                 [](ImageDescription& s) { s.targetVersions = "003100004200007"; });
         },
         PackageError::kLegacyInvalidVersionString},
        {"short directory version string",
         [] {
             return withDescription(
                 [](ImageDescription& s) { s.units[1].directoryVersions.resize(24); });
         },
         PackageError::kLegacyInvalidVersionString},
        {"short unit version string",
         [] { return withDescription([](ImageDescription& s) { s.units[0].versions.resize(5); }); },
         PackageError::kLegacyInvalidVersionString},
        {"unit version differs from directory",
         [] {
             return withDescription([](ImageDescription& s) {
                 s.units[1].versions = "00306000000000000000"
                                       "00000";
             });
         },
         PackageError::kLegacyDifferentVersion},
    };
    for (const ReadFault& fault : faults) {
        KfwFile file;
        const std::vector<uint8_t> bytes = fault.file();
        EXPECT_TRUE(throwsFwuException([&] { parse(file, bytes); }, fault.error)) << fault.name;
    }
}

struct HostileFile {
    const char* name;
    std::function<std::vector<uint8_t>()> file;
};

TEST(V1ReadErrors, HostileCountsOffsetsAndSizesAreRefused) {
    const HostileFile faults[] = {
        {"header shorter than 2048 bytes",
         [] {
             return seal(std::vector<uint8_t>{0x20, 0x00, 'M', 0, 0, 0, 0, 0});
         }},
        {"unit count 0xFFFF", [] { return withPlain([](Bytes& p) { p.put16(51, 0xFFFF); }); }},
        {"unit count 54 overruns the header",
         [] { return withPlain([](Bytes& p) { p.put16(51, 54); }); }},
        {"unit count beyond the data",
         [] {
             return withPlain([](Bytes& p) {
                 p.put16(51, 3);
                 p.put(53 + 2 * 37, std::string(kSecondUnitString));
                 p.put32(53 + 2 * 37 + 30, 256);  // a plausible entry: the units run out
             });
         }},
        {"unit offset beyond the data",
         [] { return withPlain([](Bytes& p) { p.put32(53 + 26, 0x7FFFFFFF); }); }},
        {"unit size below its header",
         [] { return withPlain([](Bytes& p) { p.put32(53 + 30, 10); }); }},
        {"unit size beyond the data",
         [] { return withPlain([](Bytes& p) { p.put32(53 + 37 + 30, 393); }); }},
        {"item count 21 overruns the unit header",
         [] { return withPlain([](Bytes& p) { p.put16(kUnit0 + 51, 21); }); }},
        {"item count 0xFFFF",
         [] { return withPlain([](Bytes& p) { p.put16(kUnit1 + 51, 0xFFFF); }); }},
        {"item directory size below the item header",
         [] { return withPlain([](Bytes& p) { p.put32(kUnit0 + 53 + 10 + 6, 127); }); }},
        {"item directory range beyond its unit",
         [] { return withPlain([](Bytes& p) { p.put32(kUnit0 + 53 + 10 + 2, 0xFFFFFF00); }); }},
        {"data size 0xFFFFFFFF",
         [] { return withPlain([](Bytes& p) { p.put32(kUnit0Item1 + 18, 0xFFFFFFFF); }); }},
        {"data size one beyond the file",
         [] { return withPlain([](Bytes& p) { p.put32(kUnit1 + 256 + 18, 9); }); }},
    };
    for (const HostileFile& fault : faults) {
        KfwFile file;
        const std::vector<uint8_t> bytes = fault.file();
        EXPECT_TRUE(throwsFwuException([&] { parse(file, bytes); }, PackageError::kDataTooSmall))
            << fault.name;
    }
}

TEST(V1ReadErrors, EveryTruncationIsRefused) {
    const std::vector<uint8_t> plain = plainImage(sampleDescription());
    // A whole number of cipher blocks, so that no padding can make up for a cut.
    ASSERT_EQ(plain.size() % 8, 0u);
    for (size_t length = 0; length < plain.size(); length += 8) {
        KfwFile file;
        const std::vector<uint8_t> bytes =
            seal(std::vector<uint8_t>(plain.begin(), plain.begin() + length));
        EXPECT_TRUE(throwsFwuException([&] { parse(file, bytes); }, PackageError::kDataTooSmall))
            << length;
    }
}

struct WriteFault {
    const char* name;
    std::function<void(KfwFile&)> edit;
    PackageError error;
};

void addBundleWith(KfwFile& file, const std::string& fileName) {
    const Blob* blob = file.blobs().front().get();
    const Action* action = file.registerAction(makeTransfer(blob->id(), fileName, 1));
    file.registerBundle(makeBundle({action->id()}));
}

TEST(V1WriteErrors, EachFaultHasItsMessageAndNothingIsWritten) {
    const WriteFault faults[] = {
        {"no product", [](KfwFile& f) { f.products().clear(); },
         PackageError::kLegacyProductInvalid},
        {"product of 17 characters", [](KfwFile& f) { f.products() = {"ABCDEFGHIJKLMNOPQ"}; },
         PackageError::kLegacyProductInvalid},
        {"blob missing", [](KfwFile& f) { f.unregisterBlob(f.blobs().back()->id()); },
         PackageError::kBlobNotFound},
        {"lower-case file name", [](KfwFile& f) { addBundleWith(f, "aic653"); },
         PackageError::kLegacyTagInvalid},
        {"file name of no legacy device", [](KfwFile& f) { addBundleWith(f, "KFW000"); },
         PackageError::kLegacyTagInvalid},
        {"target version of 6 digits",
         [](KfwFile& f) {
             f.targetVersion() = makeVersions({{0x100, 123456}});
         },
         PackageError::kLegacyVersionNot25},
        {"condition version of 6 digits",
         [](KfwFile& f) {
             f.registerBundle(makeBundle({}, {{0x600, 100000, Version::OperatorEqual}}));
         },
         PackageError::kLegacyVersionNot25},
        {"54 bundles",
         [](KfwFile& f) {
             for (uint32_t i = 0; f.size() < 54; ++i)
                 f.registerBundle(makeBundle({}, {{0x101, 1 + i, Version::OperatorEqual}}));
         },
         PackageError::kLegacyTooManyBundles},
        {"21 items in a bundle",
         [](KfwFile& f) {
             std::vector<Uuid> actions(21, f.actions().front()->id());
             f.registerBundle(makeBundle(actions));
         },
         PackageError::kLegacyTooManyItems},
    };
    for (const WriteFault& fault : faults) {
        auto file = samplePackage();
        fault.edit(*file);
        OutputByteStream out;
        EXPECT_TRUE(throwsFwuException([&] { file->serialize(&out, FWSerializeOptionLegacy); },
                                       fault.error))
            << fault.name;
        EXPECT_EQ(out.byteSize(), 0u) << fault.name;
    }
}

}  // namespace
}  // namespace fwu::kfw::v1
