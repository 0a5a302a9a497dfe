// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestPackage.h"
#include "package/KfwFile.h"

namespace {

using fwu::Uuid;
using fwu::Version;
using fwu::dev::DeviceProfile;
using fwu::dev::DeviceProfileList;
using fwu::kfw::Action;
using fwu::kfw::Blob;
using fwu::kfw::Bundle;
using fwu::kfw::DeviceVersionList;
using fwu::kfw::KfwFile;
using fwu::test::pkg::Condition;
using fwu::test::pkg::fixedID;
using fwu::test::pkg::makeBlob;
using fwu::test::pkg::makeBundle;
using fwu::test::pkg::makeMStar;
using fwu::test::pkg::makeTransfer;
using fwu::test::pkg::makeVersions;
using fwu::test::pkg::makeZV;
using fwu::test::pkg::TestPackage;

template <typename T> std::vector<Uuid> idsOf(const std::vector<std::unique_ptr<T>>& items) {
    std::vector<Uuid> ids;
    for (const auto& item : items) ids.push_back(item->id());
    return ids;
}

TEST(KfwFile, NewPackageIsEmpty) {
    TestPackage file;
    EXPECT_EQ(file.version(), fwu::kfw::FileVersion(0, 0));
    EXPECT_EQ(file.estimatedTimeMargin(), 60u);
    EXPECT_TRUE(file.products().empty());
    EXPECT_EQ(file.monitorProduct(0), nullptr);
    EXPECT_TRUE(file.targetVersion().items().empty());
    EXPECT_TRUE(file.deviceProfile().empty());
    EXPECT_TRUE(file.blobs().empty());
    EXPECT_TRUE(file.actions().empty());
    EXPECT_TRUE(file.bundles().empty());
    EXPECT_EQ(file.size(), 0u);
    EXPECT_EQ(file[0], nullptr);

    file.updateEstimatedTimeMargin(15);
    EXPECT_EQ(file.estimatedTimeMargin(), 15u);
}

TEST(KfwFile, BundleIndexAndProductIndexStayInRange) {
    TestPackage file;
    Bundle* first = file.registerBundle(makeBundle({fixedID(1)}));
    Bundle* second = file.registerBundle(makeBundle({fixedID(2)}));
    EXPECT_EQ(file.size(), 2u);
    EXPECT_EQ(file[0], first);
    EXPECT_EQ(file[1], second);
    EXPECT_EQ(file[2], nullptr);

    file.products() = {"EV2785", "CS2740*"};
    EXPECT_STREQ(file.monitorProduct(0), "EV2785");
    EXPECT_STREQ(file.monitorProduct(1), "CS2740*");
    EXPECT_EQ(file.monitorProduct(2), nullptr);
}

// ---- registration ---------------------------------------------------------------------------

TEST(KfwFile, RegisterBlobCollapsesEqualBytes) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* name;
        bool collapses;
    };
    const Case cases[] = {
        {"same bytes, other name", {1, 2, 3}, "other", true},
        {"same bytes, no name", {1, 2, 3}, "", true},
        {"same size, other bytes", {1, 2, 4}, "first", false},
        {"prefix of the bytes", {1, 2}, "first", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestPackage file;
        auto firstArg = makeBlob({1, 2, 3}, "first", "/first");
        const Uuid firstID = firstArg->id();
        Blob* first = file.registerBlob(std::move(firstArg));
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->id(), firstID);

        auto secondArg = makeBlob(c.bytes, c.name, "/second");
        const Uuid secondID = secondArg->id();
        Blob* result = file.registerBlob(std::move(secondArg));
        ASSERT_NE(result, nullptr);
        if (c.collapses) {
            EXPECT_EQ(result, first);
            EXPECT_EQ(idsOf(file.blobs()), std::vector<Uuid>{firstID});
            EXPECT_EQ(result->name(), "first") << "the held blob keeps its own fields";
            EXPECT_EQ(file.findBlob(secondID), nullptr);
        } else {
            EXPECT_EQ(result->id(), secondID);
            EXPECT_EQ(idsOf(file.blobs()), (std::vector<Uuid>{firstID, secondID}));
        }
    }
}

TEST(KfwFile, RegisterActionCollapsesEqualContent) {
    const Uuid blob = fixedID(1);
    using Make = std::function<std::unique_ptr<Action>()>;
    struct Case {
        const char* what;
        Make first;
        Make second;
        bool collapses;
    };
    const Case cases[] = {
        {"data: differs only in ID", [&] { return makeTransfer(blob, "PRG000"); },
         [&] { return makeTransfer(blob, "PRG000"); }, true},
        {"data: differs only in file name", [&] { return makeTransfer(blob, "PRG000"); },
         [&] { return makeTransfer(blob, "PRG001"); }, false},
        {"data: differs only in estimate", [&] { return makeTransfer(blob, "PRG000", 1); },
         [&] { return makeTransfer(blob, "PRG000", 2); }, false},
        {"mstar: same fields", [&] { return makeMStar(blob, 0x10, 0x20); },
         [&] { return makeMStar(blob, 0x10, 0x20); }, true},
        {"mstar: update flag address", [&] { return makeMStar(blob, 0x10, 0x20); },
         [&] { return makeMStar(blob, 0x10, 0x21); }, false},
        {"mstar: address", [&] { return makeMStar(blob, 0x10, 0x20); },
         [&] { return makeMStar(blob, 0x11, 0x20); }, false},
        {"zv: same fields", [&] { return makeZV(blob, 0x10000); },
         [&] { return makeZV(blob, 0x10000); }, true},
        {"zv: address", [&] { return makeZV(blob, 0x10000); },
         [&] { return makeZV(blob, 0x20000); }, false},
        {"zv vs mstar with the same address", [&] { return makeZV(blob, 0x10); },
         [&] { return makeMStar(blob, 0x10, 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestPackage file;
        Action* first = file.registerAction(c.first());
        ASSERT_NE(first, nullptr);
        auto secondArg = c.second();
        const Uuid secondID = secondArg->id();
        Action* result = file.registerAction(std::move(secondArg));
        ASSERT_NE(result, nullptr);
        if (c.collapses) {
            EXPECT_EQ(result, first);
            EXPECT_EQ(file.actions().size(), 1u);
        } else {
            EXPECT_EQ(result->id(), secondID);
            EXPECT_EQ(idsOf(file.actions()), (std::vector<Uuid>{first->id(), secondID}));
        }
    }
}

TEST(KfwFile, RegisterBundleCollapsesEqualContent) {
    const Uuid a = fixedID(1), b = fixedID(2);
    const std::vector<Condition> conditions = {{0x100, 3, Version::OperatorGreaterEqual}};
    TestPackage file;
    Bundle* first = file.registerBundle(makeBundle({a, b}, conditions, 10));
    ASSERT_NE(first, nullptr);

    EXPECT_EQ(file.registerBundle(makeBundle({a, b}, conditions, 10)), first);
    EXPECT_EQ(file.bundles().size(), 1u);

    Bundle* reordered = file.registerBundle(makeBundle({b, a}, conditions, 10));
    Bundle* otherOperator =
        file.registerBundle(makeBundle({a, b}, {{0x100, 3, Version::OperatorGreater}}, 10));
    EXPECT_NE(reordered, first);
    EXPECT_NE(otherOperator, first);
    EXPECT_NE(otherOperator, reordered);
    EXPECT_EQ(file.bundles().size(), 3u);
}

TEST(KfwFile, RegisterReturnsTheFirstEqualObject) {
    // Editing a held object can make two held objects equal; the scan goes in stored order.
    TestPackage file;
    Blob* first = file.registerBlob(makeBlob({1}));
    Blob* second = file.registerBlob(makeBlob({2}));
    ASSERT_NE(first, second);
    second->setBytes(std::vector<uint8_t>{1});
    EXPECT_EQ(file.registerBlob(makeBlob({1})), first);
    EXPECT_EQ(file.blobs().size(), 2u);
}

TEST(KfwFile, RegisterNullAddsNothing) {
    TestPackage file;
    EXPECT_EQ(file.registerBlob(nullptr), nullptr);
    EXPECT_EQ(file.registerAction(nullptr), nullptr);
    EXPECT_EQ(file.registerBundle(nullptr), nullptr);
    EXPECT_TRUE(file.blobs().empty());
    EXPECT_TRUE(file.actions().empty());
    EXPECT_TRUE(file.bundles().empty());
}

// ---- lookup, removal and order, the same for the three kinds ------------------------------------

struct BlobKind {
    static Blob* add(KfwFile& f, uint8_t n) { return f.registerBlob(makeBlob({n})); }
    static Blob* find(const KfwFile& f, const Uuid& id) { return f.findBlob(id); }
    static bool remove(KfwFile& f, const Uuid& id) { return f.unregisterBlob(id); }
    static bool swap(KfwFile& f, const Uuid& a, const Uuid& b) { return f.swapBlobOrder(a, b); }
    static std::vector<Uuid> order(const KfwFile& f) { return idsOf(f.blobs()); }
};

struct ActionKind {
    static Action* add(KfwFile& f, uint8_t n) {
        return f.registerAction(makeTransfer(fixedID(n), "PRG000"));
    }
    static Action* find(const KfwFile& f, const Uuid& id) { return f.findAction(id); }
    static bool remove(KfwFile& f, const Uuid& id) { return f.unregisterAction(id); }
    static bool swap(KfwFile& f, const Uuid& a, const Uuid& b) { return f.swapActionOrder(a, b); }
    static std::vector<Uuid> order(const KfwFile& f) { return idsOf(f.actions()); }
};

struct BundleKind {
    static Bundle* add(KfwFile& f, uint8_t n) { return f.registerBundle(makeBundle({fixedID(n)})); }
    static Bundle* find(const KfwFile& f, const Uuid& id) { return f.findBundle(id); }
    static bool remove(KfwFile& f, const Uuid& id) { return f.unregisterBundle(id); }
    static bool swap(KfwFile& f, const Uuid& a, const Uuid& b) { return f.swapBundleOrder(a, b); }
    static std::vector<Uuid> order(const KfwFile& f) { return idsOf(f.bundles()); }
};

template <typename Kind> class KfwFileObjects : public ::testing::Test {
protected:
    void SetUp() override {
        a = Kind::add(file, 1)->id();
        b = Kind::add(file, 2)->id();
        c = Kind::add(file, 3)->id();
        ASSERT_EQ(Kind::order(file), (std::vector<Uuid>{a, b, c}));
    }

    TestPackage file;
    Uuid a, b, c;
    const Uuid unknown = fixedID(0xEE);
};

using Kinds = ::testing::Types<BlobKind, ActionKind, BundleKind>;
TYPED_TEST_SUITE(KfwFileObjects, Kinds);

TYPED_TEST(KfwFileObjects, FindReturnsTheHeldObject) {
    for (const Uuid& id : {this->a, this->b, this->c}) {
        const auto* found = TypeParam::find(this->file, id);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->id(), id);
    }
    EXPECT_EQ(TypeParam::find(this->file, this->unknown), nullptr);
    EXPECT_EQ(TypeParam::find(this->file, Uuid()), nullptr);
}

TYPED_TEST(KfwFileObjects, UnregisterRemovesOneAndKeepsTheOrder) {
    EXPECT_FALSE(TypeParam::remove(this->file, this->unknown));
    EXPECT_EQ(TypeParam::order(this->file), (std::vector<Uuid>{this->a, this->b, this->c}));

    EXPECT_TRUE(TypeParam::remove(this->file, this->b));
    EXPECT_EQ(TypeParam::order(this->file), (std::vector<Uuid>{this->a, this->c}));
    EXPECT_EQ(TypeParam::find(this->file, this->b), nullptr);
    EXPECT_FALSE(TypeParam::remove(this->file, this->b)) << "already gone";

    EXPECT_TRUE(TypeParam::remove(this->file, this->a));
    EXPECT_EQ(TypeParam::order(this->file), std::vector<Uuid>{this->c});
}

TYPED_TEST(KfwFileObjects, UnregisterTakesTheFirstOfADuplicatedID) {
    TypeParam::find(this->file, this->c)->setID(this->a);
    EXPECT_TRUE(TypeParam::remove(this->file, this->a));
    EXPECT_EQ(TypeParam::order(this->file), (std::vector<Uuid>{this->b, this->a}));
}

TYPED_TEST(KfwFileObjects, SwapExchangesTwoDistinctHeldObjects) {
    const std::vector<Uuid> initial = {this->a, this->b, this->c};
    EXPECT_FALSE(TypeParam::swap(this->file, this->a, this->a));
    EXPECT_FALSE(TypeParam::swap(this->file, this->a, this->unknown));
    EXPECT_FALSE(TypeParam::swap(this->file, this->unknown, this->c));
    EXPECT_EQ(TypeParam::order(this->file), initial) << "a refused swap changes nothing";

    EXPECT_TRUE(TypeParam::swap(this->file, this->a, this->c));
    EXPECT_EQ(TypeParam::order(this->file), (std::vector<Uuid>{this->c, this->b, this->a}));
    EXPECT_TRUE(TypeParam::swap(this->file, this->b, this->c));
    EXPECT_EQ(TypeParam::order(this->file), (std::vector<Uuid>{this->b, this->c, this->a}));
}

// ---- products
// ------------------------------------------------------------------------------------

TEST(KfwFile, SupportsMonitorProductByNameOrPrefix) {
    struct Case {
        std::vector<std::string> products;
        const char* name;
        bool supported;
    };
    const Case cases[] = {
        {{"ABC*"}, "ABC", true},
        {{"ABC*"}, "ABC-1", true},
        {{"ABC*"}, "ABCD", true},
        {{"ABC*"}, "AB", false},
        {{"ABC*"}, "abc", false},
        {{"ABC*"}, "XABC", false},
        {{"ABC"}, "ABC", true},
        {{"ABC"}, "ABCD", false},
        {{"ABC"}, "AB", false},
        {{"ABC"}, "abc", false},
        {{"A*B"}, "AXYZ", true},  // what follows the "*" is ignored
        {{"A*B"}, "A", true},
        {{"A*B"}, "B", false},
        {{"*"}, "", true},
        {{"*"}, "anything", true},
        {{""}, "", true},
        {{""}, "A", false},
        {{}, "ABC", false},
        {{"XYZ", "ABC*"}, "ABC1", true},
        {{"XYZ", "ABC*"}, "XYZ", true},
        {{"XYZ", "ABC*"}, "XY", false},
    };
    for (const Case& c : cases) {
        std::string products;
        for (const std::string& p : c.products) products += "'" + p + "' ";
        SCOPED_TRACE(products + "vs '" + c.name + "'");
        TestPackage file;
        file.products() = c.products;
        EXPECT_EQ(file.supportsMonitorProduct(c.name), c.supported);
    }

    TestPackage file;
    file.products() = {"*"};
    EXPECT_FALSE(file.supportsMonitorProduct(nullptr));
}

// ---- bundle selection
// ------------------------------------------------------------------------------

TEST(KfwFile, BundleForVersionTakesTheFirstMatchInStoredOrder) {
    TestPackage file;
    EXPECT_EQ(file.bundleForVersion(nullptr), nullptr);

    Bundle* newer =
        file.registerBundle(makeBundle({fixedID(1)}, {{1, 5, Version::OperatorGreaterEqual}}));
    Bundle* any = file.registerBundle(makeBundle({fixedID(2)}));
    Bundle* older = file.registerBundle(makeBundle({fixedID(3)}, {{1, 5, Version::OperatorLess}}));

    const auto v6 = makeVersions({{1, 6}});
    const auto v4 = makeVersions({{1, 4}});
    EXPECT_EQ(file.bundleForVersion(&v6), newer);
    EXPECT_EQ(file.bundleForVersion(&v4), any) << "both later bundles match; the first wins";

    ASSERT_TRUE(file.swapBundleOrder(any->id(), older->id()));
    EXPECT_EQ(file.bundleForVersion(&v4), older);
    EXPECT_EQ(file.bundleForVersion(&v6), newer);

    // A null list counts as an empty one: only unconditional bundles match it.
    EXPECT_EQ(file.bundleForVersion(nullptr), any);
    const DeviceVersionList empty;
    EXPECT_EQ(file.bundleForVersion(&empty), any);

    ASSERT_TRUE(file.unregisterBundle(any->id()));
    EXPECT_EQ(file.bundleForVersion(nullptr), nullptr);
    const auto v5 = makeVersions({{2, 5}});
    EXPECT_EQ(file.bundleForVersion(&v5), nullptr) << "device 1 is absent";
}

// ---- validation ---------------------------------------------------------------------------------

TEST(KfwFile, ValidateWithoutProfileCascadesFromBlobsToBundles) {
    TestPackage file;
    const Uuid blob = file.registerBlob(makeBlob({1, 2}))->id();
    const Uuid good = file.registerAction(makeTransfer(blob, "PRG000"))->id();
    const Uuid dangling = file.registerAction(makeTransfer(fixedID(0x55), "PRG001"))->id();
    const Uuid keep = file.registerBundle(makeBundle({good}))->id();
    file.registerBundle(makeBundle({good, dangling}));
    file.registerBundle(makeBundle({dangling}));
    const Uuid empty = file.registerBundle(makeBundle({}, {}, 7))->id();
    file.targetVersion() = makeVersions({{0x999, 1}});
    file.registerBundle(makeBundle({good}, {{0x999, 1, Version::OperatorEqual}}));

    EXPECT_FALSE(file.validate(nullptr));
    EXPECT_EQ(idsOf(file.blobs()), std::vector<Uuid>{blob});
    EXPECT_EQ(idsOf(file.actions()), std::vector<Uuid>{good});
    ASSERT_EQ(file.bundles().size(), 3u);
    EXPECT_EQ(file.bundles()[0]->id(), keep);
    EXPECT_EQ(file.bundles()[1]->id(), empty);
    // Without a profile, device IDs are not checked.
    EXPECT_EQ(file.bundles()[2]->conditions().size(), 1u);
    EXPECT_EQ(file.targetVersion().items().size(), 1u);

    EXPECT_TRUE(file.validate(nullptr)) << "a second pass finds nothing to remove";
}

// Thousands of references, every third one dangling: validation keeps exactly the objects
// whose references all resolve, as it does for a handful.
TEST(KfwFile, ValidateLargePackagesKeepsExactlyTheResolvableObjects) {
    TestPackage file;
    std::vector<Uuid> blobs, goodActions, keptBundles;
    for (int i = 0; i < 1500; ++i)
        blobs.push_back(file.registerBlob(makeBlob({uint8_t(i), uint8_t(i >> 8), 7}))->id());
    std::vector<Uuid> actions;
    for (int i = 0; i < 3000; ++i) {
        const bool dangling = i % 3 == 2;
        const Uuid target =
            dangling ? Uuid::generate() : blobs[static_cast<size_t>(i) % blobs.size()];
        actions.push_back(
            file.registerAction(makeTransfer(target, "PRG" + std::to_string(i), uint32_t(i)))
                ->id());
        if (!dangling) goodActions.push_back(actions.back());
    }
    for (size_t i = 0; i + 1 < actions.size(); i += 2) {
        const Uuid id =
            file.registerBundle(makeBundle({actions[i], actions[i + 1]}, {}, uint32_t(i)))->id();
        if (i % 3 != 2 && (i + 1) % 3 != 2) keptBundles.push_back(id);
    }
    EXPECT_FALSE(file.validate(nullptr));
    EXPECT_EQ(idsOf(file.blobs()), blobs);
    EXPECT_EQ(idsOf(file.actions()), goodActions);
    EXPECT_EQ(idsOf(file.bundles()), keptBundles);
    // Lookups after validation see the package as it is now.
    EXPECT_EQ(file.findAction(actions[2]), nullptr);
    EXPECT_NE(file.findAction(actions[0]), nullptr);
    EXPECT_TRUE(file.validate(nullptr));
}

// Validation keeps its lookup tables between runs: a later run must see only the package as it
// is then, whether it has shrunk (a removed blob no longer satisfies its action) or grown
// (objects added since are found).
TEST(KfwFile, RepeatedValidationSeesThePackageAsItIsNow) {
    TestPackage file;
    std::vector<Uuid> blobs, actions;
    for (int i = 0; i < 600; ++i) {
        blobs.push_back(file.registerBlob(makeBlob({uint8_t(i), uint8_t(i >> 8), 9}))->id());
        actions.push_back(
            file.registerAction(makeTransfer(blobs.back(), "PRG" + std::to_string(i), uint32_t(i)))
                ->id());
    }
    EXPECT_TRUE(file.validate(nullptr));

    ASSERT_TRUE(file.unregisterBlob(blobs[17]));
    EXPECT_FALSE(file.validate(nullptr)) << "the action of the removed blob goes";
    EXPECT_EQ(file.findAction(actions[17]), nullptr);
    EXPECT_EQ(file.actions().size(), 599u);

    const Uuid late = file.registerBlob(makeBlob({1, 2, 3, 4}))->id();
    const Uuid user = file.registerAction(makeTransfer(late, "PRG-late"))->id();
    file.registerBundle(makeBundle({user}, {}, 1));
    EXPECT_TRUE(file.validate(nullptr)) << "objects added after the last run are found";
    EXPECT_NE(file.findAction(user), nullptr);
}

// An object without ID is invalid, and an empty ID still "finds" it until it is gone: only
// removing blobs before actions, and actions before bundles, empties this package in one pass.
TEST(KfwFile, ValidateRemovesObjectsWithoutIDBeforeTheirUsers) {
    TestPackage file;
    file.registerBlob(makeBlob({1}))->setID(Uuid());
    file.registerAction(makeTransfer(Uuid(), "PRG000"));
    file.registerBundle(makeBundle({Uuid()}, {}, 1));

    EXPECT_FALSE(file.validate(nullptr));
    EXPECT_TRUE(file.blobs().empty());
    EXPECT_TRUE(file.actions().empty());
    EXPECT_TRUE(file.bundles().empty());

    // The same one step further down: an action without ID and a bundle naming the empty ID.
    const Uuid blob = file.registerBlob(makeBlob({2}))->id();
    file.registerAction(makeTransfer(blob, "PRG001"))->setID(Uuid());
    file.registerBundle(makeBundle({Uuid()}, {}, 2));

    EXPECT_FALSE(file.validate(nullptr));
    EXPECT_EQ(idsOf(file.blobs()), std::vector<Uuid>{blob});
    EXPECT_TRUE(file.actions().empty());
    EXPECT_TRUE(file.bundles().empty());
}

TEST(KfwFile, ValidateOfConsistentPackageReturnsTrue) {
    TestPackage file;
    const Uuid blob = file.registerBlob(makeBlob({1}))->id();
    const Uuid action = file.registerAction(makeZV(blob, 0x1000))->id();
    file.registerBundle(makeBundle({action}, {{0x100, 2, Version::OperatorLess}}));
    file.targetVersion() = makeVersions({{0x100, 2}});
    file.deviceProfile().setV1Profile();

    EXPECT_TRUE(file.validate(nullptr));
    EXPECT_TRUE(file.validate(&file.deviceProfile()));
    EXPECT_EQ(file.blobs().size(), 1u);
    EXPECT_EQ(file.actions().size(), 1u);
    ASSERT_EQ(file.bundles().size(), 1u);
    EXPECT_EQ(file.bundles()[0]->conditions().size(), 1u);
    EXPECT_EQ(file.targetVersion().items().size(), 1u);
}

TEST(KfwFile, ValidateWithProfileDropsUnknownDevices) {
    DeviceProfileList profile;
    for (uint32_t device : {0x100u, 0x200u}) {
        DeviceProfile p;
        p.device = device;
        profile.push(p);
    }

    TestPackage file;
    file.targetVersion() = makeVersions({{0x100, 1}, {0x300, 2}, {0x200, 3}});
    Bundle* bundle = file.registerBundle(makeBundle(
        {}, {{0x300, 1, Version::OperatorEqual}, {0x200, 2, Version::OperatorGreaterEqual}}));

    EXPECT_FALSE(file.validate(&profile));
    const auto& versions = file.targetVersion().items();
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(versions[0].deviceID, 0x100u);
    EXPECT_EQ(versions[1].deviceID, 0x200u);
    EXPECT_EQ(versions[1].version.value(), 3u);
    ASSERT_EQ(file.bundles().size(), 1u) << "losing a condition does not make a bundle invalid";
    EXPECT_EQ(file.bundles()[0].get(), bundle);
    ASSERT_EQ(bundle->conditions().size(), 1u);
    EXPECT_EQ(bundle->conditions()[0].deviceVersion.deviceID, 0x200u);

    EXPECT_TRUE(file.validate(&profile));
}

// ---- extend features ----------------------------------------------------------------------------

TEST(KfwFile, ExtendFeaturesFollowActionsAndProfile) {
    using Feature = fwu::kfw::KfwFile::ExtendFeature;
    const Uuid blob = fixedID(1);
    struct Case {
        const char* what;
        std::function<void(TestPackage&)> build;
        bool mstar, profile, zv;
    };
    const Case cases[] = {
        {"empty", [](TestPackage&) {}, false, false, false},
        {"generic transfer only",
         [&](TestPackage& f) { f.registerAction(makeTransfer(blob, "PRG000")); }, false, false,
         false},
        {"mstar after a generic transfer",
         [&](TestPackage& f) {
             f.registerAction(makeTransfer(blob, "PRG000"));
             f.registerAction(makeMStar(blob, 0, 0));
         },
         true, false, false},
        {"zv", [&](TestPackage& f) { f.registerAction(makeZV(blob, 0)); }, false, false, true},
        {"legacy profile", [](TestPackage& f) { f.deviceProfile().setV1Profile(); }, false, true,
         false},
        {"display IDs only", [](TestPackage& f) { f.deviceProfile().setDisplayDeviceIDs({0x100}); },
         false, true, false},
        {"everything",
         [&](TestPackage& f) {
             f.registerAction(makeZV(blob, 0));
             f.registerAction(makeMStar(blob, 0, 0));
             f.deviceProfile().push(DeviceProfile());
         },
         true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestPackage file;
        c.build(file);
        EXPECT_EQ(file.hasExtendFeature(Feature::ExtendFeatureMStarTransfer), c.mstar);
        EXPECT_EQ(file.hasExtendFeature(Feature::ExtendFeatureDeviceProfile), c.profile);
        EXPECT_EQ(file.hasExtendFeature(Feature::ExtendFeatureZVTransfer), c.zv);
        EXPECT_FALSE(file.hasExtendFeature(static_cast<Feature>(3)));
    }

    // The feature disappears with the last action of its kind.
    TestPackage file;
    const Uuid mstar = file.registerAction(makeMStar(blob, 0, 0))->id();
    ASSERT_TRUE(file.unregisterAction(mstar));
    EXPECT_FALSE(file.hasExtendFeature(Feature::ExtendFeatureMStarTransfer));
}

}  // namespace
