// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestPackage.h"
#include "package/KfwObject.h"

namespace {

using fwu::Uuid;
using fwu::Version;
using fwu::kfw::Action;
using fwu::kfw::Blob;
using fwu::kfw::Bundle;
using fwu::test::pkg::ExpectedVirtualID;
using fwu::test::pkg::fixedID;
using fwu::test::pkg::makeBlob;
using fwu::test::pkg::makeBundle;
using fwu::test::pkg::makeMStar;
using fwu::test::pkg::makeTransfer;
using fwu::test::pkg::makeZV;
using fwu::test::pkg::TestPackage;

TEST(VirtualID, BlobHashesStoredNameThenBytes) {
    const auto named = makeBlob({1, 2, 3}, "img", "/src/img.bin");
    EXPECT_EQ(named->virtualID(nullptr), ExpectedVirtualID().text("img").bytes({1, 2, 3}).get());

    // The name fallback is for display only; the ID uses the stored (empty) name.
    const auto unnamed = makeBlob({'a', 'b', 'c'});
    EXPECT_EQ(unnamed->virtualID(nullptr), ExpectedVirtualID().bytes({'a', 'b', 'c'}).get());
    const auto fallbackNamed = makeBlob({'a', 'b', 'c'}, unnamed->name());
    EXPECT_NE(fallbackNamed->virtualID(nullptr), unnamed->virtualID(nullptr));

    EXPECT_EQ(fwu::kfw::KfwObject().virtualID(nullptr), Uuid());
}

TEST(VirtualID, BlobChangesWithNameAndBytesOnly) {
    const std::vector<uint8_t> bytes = {0x10, 0x20, 0x30, 0x40};
    const Uuid base = makeBlob(bytes, "main", "/a")->virtualID(nullptr);
    struct Case {
        const char* what;
        std::function<void(Blob&)> edit;
        bool changes;
    };
    const Case cases[] = {
        {"name", [](Blob& b) { b.setName("Main"); }, true},
        {"first byte",
         [&](Blob& b) {
             auto v = bytes;
             v[0] ^= 1;
             b.setBytes(std::move(v));
         },
         true},
        {"last byte",
         [&](Blob& b) {
             auto v = bytes;
             v[3] ^= 0x80;
             b.setBytes(std::move(v));
         },
         true},
        {"one byte more",
         [&](Blob& b) {
             auto v = bytes;
             v.push_back(0);
             b.setBytes(std::move(v));
         },
         true},
        {"ID", [](Blob& b) { b.setID(fixedID(3)); }, false},
        {"path", [](Blob& b) { b.setPath("/elsewhere"); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto blob = makeBlob(bytes, "main", "/a");
        c.edit(*blob);
        EXPECT_EQ(blob->virtualID(nullptr) != base, c.changes);
    }
}

TEST(VirtualID, PlainActionHashesTypeNameAndEstimate) {
    Action action(Action::TypeTransferMStarData);
    action.setEstimatedTime(0x01020304);
    EXPECT_EQ(action.virtualID(nullptr),
              ExpectedVirtualID().text("TransferMStarData").number(0x01020304).get());
}

TEST(VirtualID, TransferActionsIncludeTheirBlobWhenTheFileHasIt) {
    TestPackage file;
    const Blob* blob = file.registerBlob(makeBlob({7, 7}, "fw"));
    const Uuid blobVID = blob->virtualID(&file);

    const auto data = makeTransfer(blob->id(), "PRG000", 12);
    const auto mstar = makeMStar(blob->id(), 0x00012345, 0x000A0000, 30);
    const auto zv = makeZV(blob->id(), 0x00200000, 40);

    EXPECT_EQ(data->virtualID(&file),
              ExpectedVirtualID().text("TransferData").number(12).id(blobVID).text("PRG000").get());
    EXPECT_EQ(mstar->virtualID(&file), ExpectedVirtualID()
                                           .text("TransferMStarData")
                                           .number(30)
                                           .id(blobVID)
                                           .number(0x00012345)
                                           .number(0x000A0000)
                                           .get());
    EXPECT_EQ(
        zv->virtualID(&file),
        ExpectedVirtualID().text("TransferZVData").number(40).id(blobVID).number(0x00200000).get());

    // The blob is left out when it cannot be found.
    TestPackage other;
    EXPECT_EQ(data->virtualID(&other),
              ExpectedVirtualID().text("TransferData").number(12).text("PRG000").get());
    EXPECT_EQ(data->virtualID(nullptr), data->virtualID(&other));
    EXPECT_EQ(zv->virtualID(&other),
              ExpectedVirtualID().text("TransferZVData").number(40).number(0x00200000).get());
}

TEST(VirtualID, ActionFollowsItsBlobContent) {
    TestPackage file;
    Blob* blob = file.registerBlob(makeBlob({1, 2, 3}, "fw"));
    const Action* action = file.registerAction(makeTransfer(blob->id(), "PRG000"));
    const Uuid before = action->virtualID(&file);

    blob->setBytes(std::vector<uint8_t>{1, 2, 4});
    const Uuid afterBytes = action->virtualID(&file);
    EXPECT_NE(afterBytes, before);

    blob->setName("fw2");
    EXPECT_NE(action->virtualID(&file), afterBytes);

    blob->setName("fw");
    blob->setBytes(std::vector<uint8_t>{1, 2, 3});
    EXPECT_EQ(action->virtualID(&file), before) << "same content again, same virtual ID";
}

// Two packages with the same content but their own random IDs.
struct BuiltPackage {
    TestPackage file;
    const Blob* blob = nullptr;
    std::vector<const Action*> actions;
    const Bundle* bundle = nullptr;
};

void build(BuiltPackage& p) {
    p.blob = p.file.registerBlob(makeBlob({0xDE, 0xAD, 0xBE, 0xEF}, "scaler", "/tmp/scaler.bin"));
    p.actions.push_back(p.file.registerAction(makeTransfer(p.blob->id(), "PRG000", 3)));
    p.actions.push_back(p.file.registerAction(makeMStar(p.blob->id(), 0x1000, 0x2000, 4)));
    p.actions.push_back(p.file.registerAction(makeZV(p.blob->id(), 0x3000, 5)));
    std::vector<Uuid> ids;
    for (const Action* a : p.actions) ids.push_back(a->id());
    p.bundle = p.file.registerBundle(makeBundle(
        ids, {{0x100, 7, Version::OperatorGreaterEqual}, {0x101, 2, Version::OperatorNone}}, 60));
}

TEST(VirtualID, PackagesWithTheSameContentAgree) {
    BuiltPackage one, two;
    build(one);
    build(two);
    ASSERT_NE(one.blob->id(), two.blob->id());
    ASSERT_NE(one.bundle->id(), two.bundle->id());

    EXPECT_EQ(one.blob->virtualID(&one.file), two.blob->virtualID(&two.file));
    for (size_t i = 0; i < one.actions.size(); ++i) {
        SCOPED_TRACE(Action::toString(one.actions[i]->type()));
        ASSERT_NE(one.actions[i]->id(), two.actions[i]->id());
        EXPECT_EQ(one.actions[i]->virtualID(&one.file), two.actions[i]->virtualID(&two.file));
    }
    EXPECT_EQ(one.bundle->virtualID(&one.file), two.bundle->virtualID(&two.file));

    // Read against the other package, the IDs name nothing and the result differs.
    EXPECT_NE(one.actions[0]->virtualID(&two.file), one.actions[0]->virtualID(&one.file));
    EXPECT_NE(one.bundle->virtualID(&two.file), one.bundle->virtualID(&one.file));
}

TEST(VirtualID, BundleHashesActionsThenConditionsThenEstimate) {
    TestPackage file;
    const Blob* blob = file.registerBlob(makeBlob({5}));
    const Action* a = file.registerAction(makeTransfer(blob->id(), "PRG000"));
    const Action* b = file.registerAction(makeTransfer(blob->id(), "PRG001"));
    const Uuid aVID = a->virtualID(&file), bVID = b->virtualID(&file);

    const auto bundle = makeBundle(
        {a->id(), b->id()},
        {{0x100, 5, Version::OperatorGreaterEqual}, {0x600, 9, Version::OperatorNone}}, 0x11223344);
    const Uuid expected = ExpectedVirtualID()
                              .id(aVID)
                              .id(bVID)
                              .number(5)
                              .number(0x100)
                              .text("ge")
                              .number(9)
                              .number(0x600)
                              .text("")
                              .number(0x11223344)
                              .get();
    EXPECT_EQ(bundle->virtualID(&file), expected);

    // An action the file lacks is skipped.
    const auto withMissing = makeBundle(
        {a->id(), fixedID(0x77), b->id()},
        {{0x100, 5, Version::OperatorGreaterEqual}, {0x600, 9, Version::OperatorNone}}, 0x11223344);
    EXPECT_EQ(withMissing->virtualID(&file), expected);
}

TEST(VirtualID, BundleDependsOnOrderAndOperatorText) {
    TestPackage file;
    const Blob* blob = file.registerBlob(makeBlob({5}));
    const Uuid a = file.registerAction(makeTransfer(blob->id(), "PRG000"))->id();
    const Uuid b = file.registerAction(makeTransfer(blob->id(), "PRG001"))->id();
    const auto ge = Version::OperatorGreaterEqual, gt = Version::OperatorGreater;

    const Uuid base = makeBundle({a, b}, {{1, 5, ge}, {2, 6, ge}})->virtualID(&file);
    struct Case {
        const char* what;
        std::unique_ptr<Bundle> bundle;
        bool same;
    };
    Case cases[] = {
        {"same content, own ID", makeBundle({a, b}, {{1, 5, ge}, {2, 6, ge}}), true},
        {"actions swapped", makeBundle({b, a}, {{1, 5, ge}, {2, 6, ge}}), false},
        {"conditions swapped", makeBundle({a, b}, {{2, 6, ge}, {1, 5, ge}}), false},
        {"operator", makeBundle({a, b}, {{1, 5, gt}, {2, 6, ge}}), false},
        {"condition version", makeBundle({a, b}, {{1, 4, ge}, {2, 6, ge}}), false},
        {"condition device", makeBundle({a, b}, {{3, 5, ge}, {2, 6, ge}}), false},
        {"estimate", makeBundle({a, b}, {{1, 5, ge}, {2, 6, ge}}, 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.bundle->virtualID(&file) == base, c.same);
    }
}

}  // namespace
