// SPDX-License-Identifier: Apache-2.0
// The exported package functions, called as a C caller would, on packages built with the
// library's own classes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "flashkit/flashkit.h"
#include "package/TransferDataAction.h"
#include "package/v1/KfwFile.h"
#include "package/v2/KfwFile.h"

namespace {

using fwu::kfw::Blob;
using fwu::kfw::Bundle;
using fwu::kfw::TransferDataAction;

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/flashkit-api-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A package for product "MON-27*" with one bundle that applies when device 0x100 is at 5 and
// brings it to 6.
template <typename Package> Package* makePackage() {
    auto* package = new Package();
    package->products().push_back("MON-27*");
    package->targetVersion().push({0x100, fwu::Version(6)});
    package->targetVersion().push({0x600, fwu::Version(0x10A)});
    auto blob = std::make_unique<Blob>();
    const uint8_t image[] = {1, 2, 3, 4, 5};
    blob->setBytes(image, sizeof image);
    Blob* held = package->registerBlob(std::move(blob));
    auto action = std::make_unique<TransferDataAction>();
    action->setTransferData(held->id(), "PRG000");
    auto* heldAction = package->registerAction(std::move(action));
    auto bundle = std::make_unique<Bundle>();
    bundle->push(heldAction->id());
    bundle->addCondition({0x100, fwu::Version(5)}, fwu::Version::OperatorEqual);
    package->registerBundle(std::move(bundle));
    return package;
}

struct Released {
    void operator()(FWKfwFile* file) const { FWKfwFileRelease(file); }
};
using Handle = std::unique_ptr<FWKfwFile, Released>;

TEST(KfwFileApi, NullHandlesGiveZeroResults) {
    int version = 7;
    EXPECT_FALSE(FWKfwFileGetFileVersion(nullptr, &version));
    EXPECT_EQ(version, 7);
    EXPECT_EQ(FWKfwFileGetTargetMonitorProduct(nullptr), nullptr);
    EXPECT_FALSE(FWKfwFileSupportsMonitorProduct(nullptr, "MON"));
    const FWFirmwareVersion zero = FWKfwFileGetTargetFirmwareVersion(nullptr);
    EXPECT_EQ(zero.mainVersion + zero.fpgaVersion + zero.reserved[0], 0u);
    EXPECT_FALSE(FWKfwFileSupportsMonitorFirmwareVersion(nullptr, FWFirmwareVersion{}));
    EXPECT_FALSE(FWKfwFileGetBundleForDeviceVersion(nullptr, nullptr, 0, nullptr));
    const FWUuid nil{};
    EXPECT_FALSE(FWKfwFileUnregisterBlob(nullptr, nil));
    EXPECT_FALSE(FWKfwFileUnregisterAction(nullptr, nil));
    EXPECT_FALSE(FWKfwFileUnregisterBundle(nullptr, nil));
    EXPECT_FALSE(FWKfwFileSwapBlobOrder(nullptr, nil, nil));
    EXPECT_FALSE(FWKfwFileSwapActionOrder(nullptr, nil, nil));
    EXPECT_FALSE(FWKfwFileSwapBundleOrder(nullptr, nil, nil));
    EXPECT_FALSE(FWKfwFileSerializeToUtf8Path(nullptr, "/tmp/x", 0));
    EXPECT_EQ(FWKfwFileCreateWithUtf8Path(nullptr), nullptr);
    FWKfwFileRelease(nullptr);
}

TEST(KfwFileApi, SavedPackageOpensAgainFromPathAndBytes) {
    TempDir dir;
    Handle package(makePackage<fwu::kfw::v2::KfwFile>());
    const std::string path = dir.file("update.kfw2");
    ASSERT_TRUE(FWKfwFileSerializeToUtf8Path(package.get(), path.c_str(), 0));

    const std::vector<uint8_t> bytes = readAll(path);
    Handle fromPath(FWKfwFileCreateWithUtf8Path(path.c_str()));
    Handle fromBytes(FWKfwFileCreateWithBytes(bytes.data(), static_cast<unsigned>(bytes.size())));
    for (FWKfwFile* loaded : {fromPath.get(), fromBytes.get()}) {
        ASSERT_NE(loaded, nullptr);
        EXPECT_STREQ(FWKfwFileGetTargetMonitorProduct(loaded), "MON-27*");
        EXPECT_TRUE(FWKfwFileSupportsMonitorProduct(loaded, "MON-27Q"));
        EXPECT_FALSE(FWKfwFileSupportsMonitorProduct(loaded, "MON-24"));
        int version = -1;
        EXPECT_TRUE(FWKfwFileGetFileVersion(loaded, &version));
        EXPECT_EQ(version, FWKfwFileVersion2_0);
    }
}

TEST(KfwFileApi, FailedOpensAreNullAndSayWhy) {
    TempDir dir;
    Handle good(makePackage<fwu::kfw::v2::KfwFile>());
    const std::string path = dir.file("good.kfw2");
    ASSERT_TRUE(FWKfwFileSerializeToUtf8Path(good.get(), path.c_str(), 0));
    std::vector<uint8_t> corrupted = readAll(path);
    corrupted.back() ^= 0x01;  // lands in the encrypted payload: the digest no longer matches
    std::vector<uint8_t> badMagic = readAll(path);
    badMagic[0] = 'X';
    std::vector<uint8_t> badMinor = readAll(path);
    badMinor[14] = 3;

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        uint32_t code;
        const char* message;
    };
    const Case cases[] = {
        {"empty", {}, 0x10002, "fread failed, 0x00010002"},
        {"short", {1, 2, 3}, 0x10002, "fread failed, 0x00010002"},
        {"bad magic", badMagic, 0x40000, "Invalid kfw file, 0x00040000"},
        {"corrupted", corrupted, 0x60002, "Hash is invalid, 0x00060002"},
        {"minor 3", badMinor, 0x60000, "Unsupported file version, 0x00060000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.file("case.kfw2");
        writeAll(file, c.bytes);
        EXPECT_EQ(FWKfwFileCreateWithUtf8Path(file.c_str()), nullptr);
        const char* message = nullptr;
        EXPECT_EQ(FWGetLastError(&message), c.code);
        EXPECT_STREQ(message, c.message);
    }

    EXPECT_EQ(FWKfwFileCreateWithUtf8Path(dir.file("missing.kfw2").c_str()), nullptr);
    const char* message = nullptr;
    EXPECT_EQ(FWGetLastError(&message), 0x10001u);
    EXPECT_STREQ(message, "open failed, 0x00010001");

    // A success clears the previous failure.
    Handle reopened(FWKfwFileCreateWithUtf8Path(path.c_str()));
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(FWGetLastError(nullptr), 0u);
}

TEST(KfwFileApi, LegacyOptionOnCurrentFormatFailsAndLeavesNoFile) {
    TempDir dir;
    Handle package(makePackage<fwu::kfw::v2::KfwFile>());
    const std::string path = dir.file("legacy.kfw");
    EXPECT_FALSE(
        FWKfwFileSerializeToUtf8Path(package.get(), path.c_str(), FWSerializeOptionLegacy));
    const char* message = nullptr;
    EXPECT_EQ(FWGetLastError(&message), 0x40001u);
    EXPECT_STREQ(message, "v1 is not supported, 0x00040001");
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_FALSE(FWKfwFileSerializeToUtf8Path(package.get(), dir.file("no/such/dir").c_str(), 0));
}

TEST(KfwFileApi, LegacyPackageRoundTripAndFirmwareRecord) {
    TempDir dir;
    Handle package(makePackage<fwu::kfw::v1::KfwFile>());
    const std::string path = dir.file("legacy.kfw");
    ASSERT_TRUE(FWKfwFileSerializeToUtf8Path(package.get(), path.c_str(), FWSerializeOptionLegacy));
    Handle loaded(FWKfwFileCreateWithUtf8Path(path.c_str()));
    ASSERT_NE(loaded, nullptr);
    int version = -1;
    EXPECT_TRUE(FWKfwFileGetFileVersion(loaded.get(), &version));
    EXPECT_EQ(version, FWKfwFileVersion1);

    const FWFirmwareVersion target = FWKfwFileGetTargetFirmwareVersion(loaded.get());
    EXPECT_EQ(target.mainVersion, 6u);
    EXPECT_EQ(target.subVersion, 0u);
    EXPECT_EQ(target.fpgaVersion, 0x10Au);
    EXPECT_EQ(target.reserved[0] | target.reserved[1] | target.reserved[2], 0u);

    FWFirmwareVersion monitor{};
    monitor.mainVersion = 5;
    EXPECT_TRUE(FWKfwFileSupportsMonitorFirmwareVersion(loaded.get(), monitor));
    monitor.mainVersion = 4;
    EXPECT_FALSE(FWKfwFileSupportsMonitorFirmwareVersion(loaded.get(), monitor));
}

TEST(KfwFileApi, BundleSelectionAndEditing) {
    Handle package(makePackage<fwu::kfw::v2::KfwFile>());
    const FWDeviceVersion matching[] = {{0x100, 5}, {0x101, 1}};
    const FWDeviceVersion other[] = {{0x100, 4}};
    FWUuid bundle{};
    EXPECT_TRUE(FWKfwFileGetBundleForDeviceVersion(package.get(), matching, 2, &bundle));
    EXPECT_FALSE(FWKfwFileGetBundleForDeviceVersion(package.get(), other, 1, nullptr));
    EXPECT_FALSE(FWKfwFileGetBundleForDeviceVersion(package.get(), nullptr, 1, nullptr));

    EXPECT_FALSE(FWKfwFileSwapBundleOrder(package.get(), bundle, bundle));
    EXPECT_FALSE(FWKfwFileUnregisterBundle(package.get(), FWUuid{}));
    EXPECT_TRUE(FWKfwFileUnregisterBundle(package.get(), bundle));
    EXPECT_FALSE(FWKfwFileGetBundleForDeviceVersion(package.get(), matching, 2, nullptr));
}

TEST(KfwFileApi, EmptyPackagesOfBothFormats) {
    Handle current(FWKfwFileCreateEmpty(false));
    Handle legacy(FWKfwFileCreateEmpty(true));
    int version = -1;
    EXPECT_TRUE(FWKfwFileGetFileVersion(current.get(), &version));
    EXPECT_EQ(version, FWKfwFileVersion2_0);
    EXPECT_TRUE(FWKfwFileGetFileVersion(legacy.get(), &version));
    EXPECT_EQ(version, FWKfwFileVersion1);
    EXPECT_EQ(FWKfwFileGetTargetMonitorProduct(current.get()), nullptr);
}

TEST(UuidApi, TextForms) {
    char text[40];
    std::fill(std::begin(text), std::end(text), 'x');
    FWUuidGetString(FWUuid{}, text);
    EXPECT_STREQ(text, "00000000-0000-0000-0000-000000000000");

    const FWUuid parsed = FWUuidCreateFromString("03020100-0504-0706-0809-0a0b0c0d0e0f");
    EXPECT_EQ(parsed.data1, 0x03020100u);
    EXPECT_EQ(parsed.data2, 0x0504u);
    EXPECT_EQ(parsed.data4[7], 0x0fu);
    FWUuidGetString(parsed, text);
    EXPECT_STREQ(text, "03020100-0504-0706-0809-0a0b0c0d0e0f");

    // Malformed text gives the nil identifier; nothing escapes.
    for (const char* bad :
         {"short", "zz020100-0504-0706-0809-0a0b0c0d0e0f", static_cast<const char*>(nullptr)}) {
        const FWUuid nil = FWUuidCreateFromString(bad);
        EXPECT_EQ(nil.data1 | nil.data2 | nil.data3 | nil.data4[0], 0u) << (bad ? bad : "null");
    }
    EXPECT_EQ(FWLibraryVersion(), 0x04020101u);
}

}  // namespace
