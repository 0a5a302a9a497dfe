// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "JsonTestSupport.h"
#include "core/CriticalSectionLocker.h"
#include "libflashkit/core/ThrowsFwuException.h"
#include "libflashkit/package/TestPackage.h"
#include "package/v2/KfwFile.h"
#include "json/Value.h"

namespace {

using fwu::Uuid;
using fwu::Version;
using fwu::kfw::Action;
using fwu::kfw::Blob;
using fwu::kfw::Bundle;
using fwu::test::throwsFwuException;
using fwu::test::json::array;
using fwu::test::json::keysOf;
using fwu::test::json::SourceDir;
using fwu::test::json::with;
using fwu::test::json::without;
using fwu::test::pkg::fixedID;
using fwu::test::pkg::makeBlob;
using fwu::test::pkg::makeBundle;
using fwu::test::pkg::makeMStar;
using fwu::test::pkg::makeTransfer;
using fwu::test::pkg::makeZV;
using fwu::test::pkg::TestPackage;
using pocketjson::Value;
using Package = fwu::kfw::v2::KfwFile;

Value profileJson() {
    Value device(pocketjson::Object);
    device.insert("name", "Main/System");
    device.insert("fileName", "PRG000");
    device.insert("device", 0x100);
    Value profile(pocketjson::Object);
    profile.insert("devices", array({device}));
    profile.insert("displayDevices", array({0x100}));
    return profile;
}

TEST(KfwFileJson, EmptyPackage) {
    const Package file;
    Value expected(pocketjson::Object);
    Value kfw(pocketjson::Object);
    kfw.insert("version", array({2, 0}));
    expected.insert("kfw", kfw);
    expected.insert("estimatedTimeMargin", 60);
    expected.insert("products", Value(pocketjson::Array));
    expected.insert("version", Value(pocketjson::Array));
    expected.insert("blobs", Value(pocketjson::Array));
    expected.insert("actions", Value(pocketjson::Array));
    expected.insert("bundles", Value(pocketjson::Array));
    EXPECT_EQ(file.toJson(), expected);
}

TEST(KfwFileJson, FormatVersionFollowsTheContentAndTheProfileIsWrittenOnlyWhenPresent) {
    Package file;
    file.registerBlob(makeBlob({1}));
    file.registerAction(makeTransfer(file.blobs()[0]->id(), "PRG000"));
    EXPECT_EQ(file.toJson()["kfw"]["version"], array({2, 0}));

    file.updateDeviceProfile(profileJson());
    const Value withProfile = file.toJson();
    EXPECT_EQ(withProfile["kfw"]["version"], array({2, 1}));
    EXPECT_EQ(withProfile["deviceProfile"], file.deviceProfile().toJson());
    EXPECT_EQ(withProfile["deviceProfile"]["displayDevices"], array({0x100}));

    file.registerAction(makeZV(file.blobs()[0]->id(), 0x1000));
    EXPECT_EQ(file.toJson()["kfw"]["version"], array({2, 2}));

    // A package that says nothing of its format writes what it was read with.
    TestPackage legacy;
    legacy.setFileVersion(fwu::kfw::FileVersion(1, 0));
    EXPECT_EQ(legacy.toJson()["kfw"]["version"], array({1, 0}));
    EXPECT_FALSE(legacy.toJson().contains("deviceProfile"));
}

// A package with something in every member, its blobs read from real files.
class FullPackageTest : public testing::Test {
protected:
    void SetUp() override {
        const std::vector<uint8_t> scaler = {0x10, 0x20, 0x30};
        auto blob = makeBlob(scaler, "scaler", m_dir.write("scaler.bin", scaler));
        blob->setID(fixedID(1));
        m_file.registerBlob(std::move(blob));
        const std::string cyacdText = "1E9602AA0000\n:000000000201FD\n";
        auto controller = makeBlob({0, 0, 0, 0, 2, 1, 0xFD}, "controller",
                                   m_dir.write("controller.cyacd", cyacdText));
        controller->setID(fixedID(2));
        m_file.registerBlob(std::move(controller));

        auto a1 = makeTransfer(fixedID(1), "PRG000", 30);
        a1->setID(fixedID(11));
        auto a2 = makeMStar(fixedID(2), 0x20000, 0x30000, 40);
        a2->setID(fixedID(12));
        auto a3 = makeZV(fixedID(2), 0xFFFFFFFF, 50);
        a3->setID(fixedID(13));
        m_file.registerAction(std::move(a1));
        m_file.registerAction(std::move(a2));
        m_file.registerAction(std::move(a3));

        auto b1 = makeBundle({fixedID(11), fixedID(12)}, {{0x100, 5, Version::OperatorLess}}, 100);
        b1->setID(fixedID(21));
        auto b2 = makeBundle({fixedID(13)}, {}, 0);
        b2->setID(fixedID(22));
        m_file.registerBundle(std::move(b1));
        m_file.registerBundle(std::move(b2));

        m_file.updateEstimatedTimeMargin(90);
        m_file.updateMonitorProducts(array({"CG2700*", "CS2400"}));
        Value target(pocketjson::Object);
        target.insert("device", 0x100);
        target.insert("version", 7);
        m_file.updateTargetVersion(array({target}));
        m_file.updateDeviceProfile(profileJson());
    }

    SourceDir m_dir;
    Package m_file;
};

TEST_F(FullPackageTest, WritesEveryMemberInPackageOrder) {
    const Value json = m_file.toJson();
    EXPECT_EQ(keysOf(json),
              (std::set<std::string>{"kfw", "estimatedTimeMargin", "products", "version",
                                     "deviceProfile", "blobs", "actions", "bundles"}));
    EXPECT_EQ(json["estimatedTimeMargin"], Value(90));
    EXPECT_EQ(json["products"], array({"CG2700*", "CS2400"}));
    EXPECT_EQ(json["version"], m_file.targetVersion().toJson());
    EXPECT_EQ(json["kfw"]["version"], array({2, 2}));
    EXPECT_EQ(json["blobs"], array({m_file.blobs()[0]->toJson(), m_file.blobs()[1]->toJson()}));
    EXPECT_EQ(json["actions"], array({m_file.actions()[0]->toJson(), m_file.actions()[1]->toJson(),
                                      m_file.actions()[2]->toJson()}));
    EXPECT_EQ(json["bundles"],
              array({m_file.bundles()[0]->toJson(), m_file.bundles()[1]->toJson()}));
}

TEST_F(FullPackageTest, ReadsBackIntoAFreshPackage) {
    const Value json = m_file.toJson();
    Package fresh;
    fresh.fromJson(json);
    EXPECT_EQ(fresh.toJson(), json);
    ASSERT_EQ(fresh.blobs().size(), 2u);
    ASSERT_EQ(fresh.actions().size(), 3u);
    ASSERT_EQ(fresh.bundles().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(fresh.blobs()[i]->equal(m_file.blobs()[i].get()));
        EXPECT_EQ(fresh.blobs()[i]->virtualID(&fresh), m_file.blobs()[i]->virtualID(&m_file));
        EXPECT_TRUE(fresh.bundles()[i]->equal(m_file.bundles()[i].get()));
    }
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(fresh.actions()[i]->equal(m_file.actions()[i].get()));
    EXPECT_EQ(fresh.products(), m_file.products());
    EXPECT_EQ(fresh.estimatedTimeMargin(), 90u);
    EXPECT_TRUE(fresh.targetVersion() == m_file.targetVersion());
    EXPECT_EQ(fresh.deviceProfile().toJson(), m_file.deviceProfile().toJson());
    EXPECT_TRUE(fresh.validate(nullptr)) << "every reference must survive the trip";
}

TEST_F(FullPackageTest, ReadingReplacesEverything) {
    Package other;
    other.registerBlob(makeBlob({9, 9, 9}));
    other.registerAction(makeTransfer(fixedID(99), "AIC653"));
    other.registerBundle(makeBundle({fixedID(98)}));
    other.updateMonitorProducts(array({"OLD"}));
    other.updateDeviceProfile(profileJson());

    // The same package without options, profile or the unknown action kind.
    Value json = without(without(m_file.toJson(), "deviceProfile"), "estimatedTimeMargin");
    Value unknown(pocketjson::Object);
    unknown.insert("type", "TransferSomething");
    Value actions = array({unknown});
    for (size_t i = 0; i < json["actions"].size(); ++i) actions.push_back(json["actions"].at(i));
    json = with(json, "actions", actions);
    json = with(json, "estimatedTimeMargin", "90");

    other.fromJson(json);
    EXPECT_EQ(other.blobs().size(), 2u);
    EXPECT_EQ(other.actions().size(), 3u) << "the unknown kind is skipped";
    EXPECT_EQ(other.bundles().size(), 2u);
    EXPECT_EQ(other.findBlob(fixedID(1))->name(), "scaler");
    EXPECT_EQ(other.products(), m_file.products());
    EXPECT_EQ(other.estimatedTimeMargin(), 60u) << "a margin that is not an integer resets";
    EXPECT_TRUE(other.deviceProfile().empty());
}

TEST_F(FullPackageTest, ReadErrors) {
    const Value json = m_file.toJson();
    Value actionWithoutType = without(json["actions"].at(0), "type");
    struct Case {
        const char* label;
        Value json;
        fwu::PackageError error;
    };
    const Case cases[] = {
        {"no blobs", without(json, "blobs"), fwu::PackageError::kJsonKeyNotFound},
        {"no actions", without(json, "actions"), fwu::PackageError::kJsonKeyNotFound},
        {"no bundles", without(json, "bundles"), fwu::PackageError::kJsonKeyNotFound},
        {"bundles an object", with(json, "bundles", Value(pocketjson::Object)),
         fwu::PackageError::kInvalidJsonType},
        {"action without type", with(json, "actions", array({actionWithoutType})),
         fwu::PackageError::kJsonKeyNotFound},
        // Products and target versions go through their update operations, which need arrays.
        {"no products", without(json, "products"), fwu::PackageError::kInvalidJsonType},
        {"no version", without(json, "version"), fwu::PackageError::kInvalidJsonType},
        {"not an object", array({}), fwu::PackageError::kInvalidJsonType},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Package file;
        EXPECT_TRUE(throwsFwuException([&] { file.fromJson(c.json); }, c.error));
    }
}

TEST(KfwFileJson, UpdateMonitorProducts) {
    TestPackage file;
    file.updateMonitorProducts(array({"A*", "B"}));
    EXPECT_EQ(file.products(), (std::vector<std::string>{"A*", "B"}));
    file.updateMonitorProducts(Value(pocketjson::Array));
    EXPECT_TRUE(file.products().empty());

    // The elements before a bad one stay.
    EXPECT_TRUE(throwsFwuException(
        [&] {
            file.updateMonitorProducts(array({"A", 5, "C"}));
        },
        fwu::PackageError::kInvalidJsonType));
    EXPECT_EQ(file.products(), std::vector<std::string>{"A"});
    // Not an array: the list is cleared all the same.
    EXPECT_TRUE(throwsFwuException([&] { file.updateMonitorProducts(Value("A")); },
                                   fwu::PackageError::kInvalidJsonType));
    EXPECT_TRUE(file.products().empty());
}

// Each editing operation must wait for a thread that holds the package lock.
TEST(KfwFileJson, EditingOperationsTakeThePackageLock) {
    Value minimal(pocketjson::Object);
    minimal.insert("products", Value(pocketjson::Array));
    minimal.insert("version", Value(pocketjson::Array));
    minimal.insert("blobs", Value(pocketjson::Array));
    minimal.insert("actions", Value(pocketjson::Array));
    minimal.insert("bundles", Value(pocketjson::Array));
    struct Case {
        const char* label;
        std::function<void(TestPackage&)> edit;
        std::function<bool(const TestPackage&)> done;
    };
    const Case cases[] = {
        {"products", [](TestPackage& f) { f.updateMonitorProducts(array({"X"})); },
         [](const TestPackage& f) { return !f.products().empty(); }},
        {"target version", [](TestPackage& f) { f.updateTargetVersion(Value(pocketjson::Array)); },
         [](const TestPackage& f) { return f.targetVersion().items().empty(); }},
        {"device profile", [](TestPackage& f) { f.updateDeviceProfile(profileJson()); },
         [](const TestPackage& f) { return !f.deviceProfile().empty(); }},
        {"whole package", [minimal](TestPackage& f) { f.fromJson(minimal); },
         [](const TestPackage& f) { return f.blobs().empty(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TestPackage file;
        file.registerBlob(makeBlob({1}));
        file.targetVersion().push({1, Version(1)});
        std::atomic<bool> finished{false};
        std::thread editor;
        {
            fwu::CriticalSectionLocker lock(&file.mutex());
            editor = std::thread([&] {
                c.edit(file);
                finished = true;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_FALSE(finished.load()) << "the edit ran while the lock was held";
        }
        editor.join();
        EXPECT_TRUE(finished.load());
        EXPECT_TRUE(c.done(file));
    }
}

}  // namespace
