// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "JsonTestSupport.h"
#include "libflashkit/core/ThrowsFwuException.h"
#include "libflashkit/package/TestPackage.h"
#include "package/Action.h"
#include "package/Blob.h"
#include "package/Bundle.h"
#include "package/KfwObject.h"
#include "package/TransferDataAction.h"
#include "package/TransferMStarDataAction.h"
#include "package/TransferZVDataAction.h"
#include "json/Value.h"

namespace {

using fwu::Uuid;
using fwu::Version;
using fwu::kfw::Action;
using fwu::kfw::Blob;
using fwu::kfw::Bundle;
using fwu::kfw::KfwObject;
using fwu::kfw::TransferDataAction;
using fwu::kfw::TransferMStarDataAction;
using fwu::kfw::TransferZVDataAction;
using fwu::test::throwsFwuException;
using fwu::test::json::array;
using fwu::test::json::keysOf;
using fwu::test::json::SourceDir;
using fwu::test::json::with;
using fwu::test::json::without;
using fwu::test::pkg::fixedID;
using fwu::test::pkg::makeBundle;
using fwu::test::pkg::makeMStar;
using fwu::test::pkg::makeTransfer;
using fwu::test::pkg::makeZV;
using pocketjson::Value;
using Keys = std::set<std::string>;

constexpr fwu::PackageError kKeyNotFound = fwu::PackageError::kJsonKeyNotFound;
constexpr fwu::PackageError kBadType = fwu::PackageError::kInvalidJsonType;

// --- "id" -----------------------------------------------------------------------------------

TEST(ObjectJson, IdIsWrittenAsTextAndReadBack) {
    KfwObject object;
    object.setID(fixedID(0x42));
    const Value json = object.toJson();
    EXPECT_EQ(keysOf(json), Keys{"id"});
    EXPECT_EQ(json["id"], Value(fixedID(0x42).toString()));

    KfwObject fresh;
    fresh.fromJson(json);
    EXPECT_EQ(fresh.id(), fixedID(0x42));
}

TEST(ObjectJson, IdTooShortOrAbsentKeepsTheCurrentOne) {
    const std::string full = fixedID(7).toString();
    const Value cases[] = {
        Value(pocketjson::Object),                  // no "id"
        with(Value(pocketjson::Object), "id", ""),  // empty
        with(Value(pocketjson::Object), "id", full.substr(0, 33)),
        with(Value(pocketjson::Object), "id", 12345),    // a number's text is short
        with(Value(pocketjson::Object), "id", Value()),  // null reads as empty text
        Value(pocketjson::Array),                        // no members at all
    };
    for (const Value& json : cases) {
        KfwObject object;
        const Uuid before = object.id();
        ASSERT_FALSE(before.empty());
        object.fromJson(json);
        EXPECT_EQ(object.id(), before);
    }

    // Upper-case text names the same ID; a malformed full-length text is refused.
    KfwObject object;
    std::string upper = full;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    object.fromJson(with(Value(pocketjson::Object), "id", upper));
    EXPECT_EQ(object.id(), fixedID(7));
    EXPECT_THROW(object.fromJson(
                     with(Value(pocketjson::Object), "id", "zzzzzzzz-0000-0000-0000-000000000000")),
                 std::invalid_argument);
}

// --- Actions --------------------------------------------------------------------------------

struct ActionCase {
    const char* label;
    std::function<std::unique_ptr<Action>()> make;
    Keys keys;
};

std::vector<ActionCase> actionCases() {
    return {
        {"TransferData",
         [] { return makeTransfer(fixedID(1), "PRG000", 45); },
         {"id", "type", "estimatedTime", "blob", "fileName"}},
        {"TransferMStarData",
         [] { return makeMStar(fixedID(2), 0xFFFFFFFF, 0x1000, 7); },
         {"id", "type", "estimatedTime", "blob", "address", "updateFlagAddress"}},
        {"TransferZVData",
         [] { return makeZV(fixedID(3), 0x80000000, 0xFFFFFFFF); },
         {"id", "type", "estimatedTime", "blob", "address"}},
    };
}

TEST(ActionJson, EachKindWritesItsMembersAndReadsBackEqual) {
    for (const ActionCase& c : actionCases()) {
        SCOPED_TRACE(c.label);
        const std::unique_ptr<Action> action = c.make();
        action->setID(fixedID(0x50));
        const Value json = action->toJson();
        EXPECT_EQ(keysOf(json), c.keys);
        EXPECT_EQ(json["type"], Value(c.label));
        EXPECT_EQ(json["estimatedTime"], Value(action->estimatedTime()));

        const std::unique_ptr<Action> fresh = Action::newAction(action->type());
        ASSERT_NE(fresh, nullptr);
        fresh->fromJson(json);
        EXPECT_TRUE(fresh->equal(action.get()));
        EXPECT_TRUE(action->equal(fresh.get()));
        EXPECT_EQ(fresh->id(), fixedID(0x50));
    }
}

TEST(ActionJson, TransferMembersAreWrittenAsTheirValues) {
    const Value data = makeTransfer(fixedID(1), "PRG001")->toJson();
    EXPECT_EQ(data["blob"], Value(fixedID(1).toString()));
    EXPECT_EQ(data["fileName"], Value("PRG001"));

    const Value mstar = makeMStar(fixedID(2), 0xFFFFFFFF, 0x1000)->toJson();
    EXPECT_EQ(mstar["address"], Value(int64_t{0xFFFFFFFF}));
    EXPECT_EQ(mstar["updateFlagAddress"], Value(0x1000));

    const Value zv = makeZV(fixedID(3), 0x20000)->toJson();
    EXPECT_EQ(zv["blob"], Value(fixedID(3).toString()));
    EXPECT_EQ(zv["address"], Value(0x20000));
}

TEST(ActionJson, ShapeErrors) {
    struct Case {
        const char* label;
        std::function<std::unique_ptr<Action>()> make;
        Value json;
        fwu::PackageError error;
    };
    const Value data = makeTransfer(fixedID(1), "PRG000")->toJson();
    const Value mstar = makeMStar(fixedID(2), 1, 2)->toJson();
    const Value zv = makeZV(fixedID(3), 1)->toJson();
    auto newData = [] { return std::make_unique<TransferDataAction>(); };
    auto newMStar = [] { return std::make_unique<TransferMStarDataAction>(); };
    auto newZV = [] { return std::make_unique<TransferZVDataAction>(); };
    const Case cases[] = {
        {"not an object", newData, array({Value(1)}), kBadType},
        {"no type", newData, without(data, "type"), kKeyNotFound},
        {"type not text", newData, with(data, "type", 1), kBadType},
        {"no blob", newData, without(data, "blob"), kKeyNotFound},
        {"blob not text", newData, with(data, "blob", Value(pocketjson::Object)), kBadType},
        {"no fileName", newData, without(data, "fileName"), kKeyNotFound},
        {"fileName null", newData, with(data, "fileName", Value()), kBadType},
        {"MStar no address", newMStar, without(mstar, "address"), kKeyNotFound},
        {"MStar address text", newMStar, with(mstar, "address", "5"), kBadType},
        {"MStar no updateFlagAddress", newMStar, without(mstar, "updateFlagAddress"), kKeyNotFound},
        {"MStar updateFlagAddress bool", newMStar, with(mstar, "updateFlagAddress", true),
         kBadType},
        {"ZV no blob", newZV, without(zv, "blob"), kKeyNotFound},
        {"ZV no address", newZV, without(zv, "address"), kKeyNotFound},
        {"ZV address array", newZV, with(zv, "address", Value(pocketjson::Array)), kBadType},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::unique_ptr<Action> action = c.make();
        EXPECT_TRUE(throwsFwuException([&] { action->fromJson(c.json); }, c.error));
    }
}

TEST(ActionJson, AddressesConvertWithRoundingAndRange) {
    struct Case {
        Value address;
        uint32_t expected;
    };
    const Case cases[] = {
        {Value(0x12345678), 0x12345678},
        {Value(int64_t{0xFFFFFFFF}), 0xFFFFFFFF},
        {Value(int64_t{0x100000000}), 0},  // beyond 32 bits
        {Value(-1), 0},
        {Value(1.6), 2},
        {Value(2.5), 3},  // halves away from zero
        {Value(1.4), 1},
        {Value(-0.4), 0},
        {Value(4294967295.4), 0xFFFFFFFF},
        {Value(4294967295.5), 0},
    };
    const Value base = makeMStar(fixedID(2), 99, 99)->toJson();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.toString());
        TransferMStarDataAction mstar;
        mstar.fromJson(with(with(base, "address", c.address), "updateFlagAddress", c.address));
        EXPECT_EQ(mstar.address(), c.expected);
        EXPECT_EQ(mstar.updateFlagAddress(), c.expected);

        TransferZVDataAction zv;
        zv.fromJson(with(makeZV(fixedID(3), 99)->toJson(), "address", c.address));
        EXPECT_EQ(zv.address(), c.expected);
    }
}

TEST(ActionJson, EstimatedTimeOnlyFromAnInteger) {
    struct Case {
        Value given;
        uint32_t expected;
    };
    const Case cases[] = {
        {Value(30), 30},   {Value(int64_t{0xFFFFFFFF}), 0xFFFFFFFF},
        {Value(-5), 0},     // an integer, but out of range
        {Value("30"), 17},  // not an integer: the previous value stays
        {Value(30.0), 17}, {Value(true), 17},
        {Value(), 17},
    };
    const Value base = makeTransfer(fixedID(1), "PRG000")->toJson();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given.toString("null"));
        TransferDataAction action;
        action.setEstimatedTime(17);
        action.fromJson(with(base, "estimatedTime", c.given));
        EXPECT_EQ(action.estimatedTime(), c.expected);
    }
    TransferDataAction absent;
    absent.setEstimatedTime(17);
    absent.fromJson(without(base, "estimatedTime"));
    EXPECT_EQ(absent.estimatedTime(), 17u);
}

TEST(ActionJson, TypeTextSetsTheTypeExactly) {
    struct Case {
        const char* text;
        Action::Type expected;
    };
    const Case cases[] = {
        {"TransferData", Action::TypeTransferData},
        {"TransferZVData", Action::TypeTransferZVData},
        {"transferdata", Action::TypeNone},
        {"", Action::TypeNone},
    };
    const Value base = makeTransfer(fixedID(1), "PRG000")->toJson();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TransferDataAction action;
        action.fromJson(with(base, "type", c.text));
        EXPECT_EQ(action.type(), c.expected);
    }
    // The empty spelling is what a type without a name is written as.
    TransferDataAction none;
    none.fromJson(with(base, "type", ""));
    EXPECT_EQ(none.toJson()["type"], Value(""));
}

TEST(ActionJson, BlobReferenceIsParsedLikeAnId) {
    TransferDataAction action;
    action.setTransferData(fixedID(9), "PRG000");
    const Value base = action.toJson();
    // Too short to be an ID: the reference stays.
    action.fromJson(with(base, "blob", "short"));
    EXPECT_EQ(action.blobID(), fixedID(9));
    action.fromJson(with(base, "blob", fixedID(4).toString()));
    EXPECT_EQ(action.blobID(), fixedID(4));
}

TEST(ActionJson, MembersReadBeforeAFailureKeepTheirNewValues) {
    TransferMStarDataAction action;
    action.setTransferData(fixedID(1), 10, 20);
    const Value json = without(makeMStar(fixedID(2), 30, 40, 5)->toJson(), "updateFlagAddress");
    EXPECT_TRUE(
        throwsFwuException([&] { action.fromJson(json); }, fwu::PackageError::kJsonKeyNotFound));
    EXPECT_EQ(action.blobID(), fixedID(2));
    EXPECT_EQ(action.address(), 30u);
    EXPECT_EQ(action.estimatedTime(), 5u);
    EXPECT_EQ(action.updateFlagAddress(), 20u);
}

// --- Bundles --------------------------------------------------------------------------------

std::unique_ptr<Bundle> sampleBundle() {
    auto bundle = makeBundle({fixedID(1), fixedID(2), fixedID(1)},
                             {{0x100, 5, Version::OperatorGreaterEqual},
                              {0x101, 0, Version::OperatorNone},
                              {0xFFFFFFFF, 0xFFFFFFFF, Version::OperatorNotEqual}},
                             120);
    bundle->setID(fixedID(0x60));
    return bundle;
}

TEST(BundleJson, WritesActionsConditionsAndTime) {
    const Value json = sampleBundle()->toJson();
    EXPECT_EQ(keysOf(json), (Keys{"id", "actions", "conditions", "estimatedTime"}));
    EXPECT_EQ(json["id"], Value(fixedID(0x60).toString()));
    EXPECT_EQ(json["actions"],
              array({fixedID(1).toString(), fixedID(2).toString(), fixedID(1).toString()}));
    EXPECT_EQ(json["estimatedTime"], Value(120));

    Value first(pocketjson::Object);
    first.insert("device", 0x100);
    first.insert("version", 5);
    first.insert("comparison", "ge");
    Value second(pocketjson::Object);
    second.insert("device", 0x101);
    second.insert("version", 0);
    second.insert("comparison", "");
    Value third(pocketjson::Object);
    third.insert("device", int64_t{0xFFFFFFFF});
    third.insert("version", int64_t{0xFFFFFFFF});
    third.insert("comparison", "ne");
    EXPECT_EQ(json["conditions"], array({first, second, third}));
}

TEST(BundleJson, ReadsBackEqual) {
    const std::unique_ptr<Bundle> bundle = sampleBundle();
    Bundle fresh;
    fresh.fromJson(bundle->toJson());
    EXPECT_TRUE(fresh.equal(bundle.get()));
    EXPECT_EQ(fresh.id(), bundle->id());
    EXPECT_EQ(fresh.conditions().size(), 3u);

    const Bundle empty;
    Bundle emptyAgain;
    emptyAgain.fromJson(empty.toJson());
    EXPECT_TRUE(emptyAgain.equal(&empty));
}

TEST(BundleJson, ReadingReplacesActionsAndConditions) {
    const std::unique_ptr<Bundle> bundle = sampleBundle();
    bundle->fromJson(makeBundle({fixedID(3)}, {{0x500, 1, Version::OperatorLess}}, 9)->toJson());
    EXPECT_EQ(bundle->actionIDs(), std::vector<Uuid>{fixedID(3)});
    ASSERT_EQ(bundle->conditions().size(), 1u);
    EXPECT_EQ(bundle->conditions()[0].deviceVersion.deviceID, 0x500u);
    EXPECT_EQ(bundle->conditions()[0].op, Version::OperatorLess);
    EXPECT_EQ(bundle->estimatedTime(), 9u);
}

TEST(BundleJson, ComparisonSpellingsAndShortActionIds) {
    Value json = makeBundle({}, {}, 0)->toJson();
    auto condition = [](const char* comparison) {
        Value c(pocketjson::Object);
        c.insert("device", 1);
        c.insert("version", 2);
        c.insert("comparison", comparison);
        return c;
    };
    json = with(json, "conditions",
                array({condition(">="), condition("GE"), condition("=>"), condition("lt")}));
    json = with(json, "actions", array({"", fixedID(5).toString()}));
    Bundle bundle;
    bundle.fromJson(json);
    ASSERT_EQ(bundle.conditions().size(), 4u);
    EXPECT_EQ(bundle.conditions()[0].op, Version::OperatorGreaterEqual);
    EXPECT_EQ(bundle.conditions()[1].op, Version::OperatorGreaterEqual);
    EXPECT_EQ(bundle.conditions()[2].op, Version::OperatorNone);
    EXPECT_EQ(bundle.conditions()[3].op, Version::OperatorLess);
    // An action text too short for an ID still takes its place, as the empty ID.
    EXPECT_EQ(bundle.actionIDs(), (std::vector<Uuid>{Uuid(), fixedID(5)}));
}

TEST(BundleJson, ShapeErrors) {
    const Value base = sampleBundle()->toJson();
    Value condition = base["conditions"].at(0);
    struct Case {
        const char* label;
        Value json;
        fwu::PackageError error;
    };
    const Case cases[] = {
        {"no actions", without(base, "actions"), kKeyNotFound},
        {"actions an object", with(base, "actions", Value(pocketjson::Object)), kBadType},
        {"action id a number", with(base, "actions", array({fixedID(1).toString(), 5})), kBadType},
        {"no conditions", without(base, "conditions"), kKeyNotFound},
        {"conditions a string", with(base, "conditions", "none"), kBadType},
        {"condition an array", with(base, "conditions", array({array({})})), kBadType},
        {"condition without device",
         with(base, "conditions", array({without(condition, "device")})), kKeyNotFound},
        {"condition without version",
         with(base, "conditions", array({without(condition, "version")})), kKeyNotFound},
        {"condition without comparison",
         with(base, "conditions", array({without(condition, "comparison")})), kKeyNotFound},
        {"device a real", with(base, "conditions", array({with(condition, "device", 1.0)})),
         kBadType},
        {"version a string", with(base, "conditions", array({with(condition, "version", "5")})),
         kBadType},
        {"comparison a number", with(base, "conditions", array({with(condition, "comparison", 6)})),
         kBadType},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Bundle bundle;
        EXPECT_TRUE(throwsFwuException([&] { bundle.fromJson(c.json); }, c.error));
    }
}

TEST(BundleJson, BadConditionsLeaveTheActionsAlreadyRefilled) {
    const std::unique_ptr<Bundle> bundle = sampleBundle();
    const Value json = with(makeBundle({fixedID(8)})->toJson(), "conditions", 1);
    EXPECT_TRUE(
        throwsFwuException([&] { bundle->fromJson(json); }, fwu::PackageError::kInvalidJsonType));
    EXPECT_EQ(bundle->actionIDs(), std::vector<Uuid>{fixedID(8)});
    EXPECT_TRUE(bundle->conditions().empty());
    EXPECT_EQ(bundle->estimatedTime(), 120u) << "read after the conditions, so never reached";
}

TEST(BundleJson, ConditionNumbersConvertToUnsigned32) {
    Value condition(pocketjson::Object);
    condition.insert("comparison", "eq");
    struct Case {
        Value number;
        uint32_t expected;
    };
    const Case cases[] = {{Value(int64_t{0xFFFFFFFF}), 0xFFFFFFFF},
                          {Value(int64_t{0x100000000}), 0},
                          {Value(-1), 0},
                          {Value(0x600), 0x600}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number.toString());
        Bundle bundle;
        bundle.fromJson(
            with(makeBundle({})->toJson(), "conditions",
                 array({with(with(condition, "device", c.number), "version", c.number)})));
        ASSERT_EQ(bundle.conditions().size(), 1u);
        EXPECT_EQ(bundle.conditions()[0].deviceVersion.deviceID, c.expected);
        EXPECT_EQ(bundle.conditions()[0].deviceVersion.version.value(), c.expected);
    }
}

// --- Blobs ----------------------------------------------------------------------------------

class BlobJsonTest : public testing::Test {
protected:
    Value blobJson(const std::string& name, const std::string& path) const {
        Value json(pocketjson::Object);
        json.insert("name", name);
        json.insert("path", path);
        return json;
    }

    SourceDir m_dir;
};

TEST_F(BlobJsonTest, WritesNamePathHashAndSize) {
    Blob blob;
    blob.setID(fixedID(0x70));
    const uint8_t abc[] = {'a', 'b', 'c'};
    blob.setBytes(abc, sizeof abc);
    blob.setName("scaler");
    blob.setPath("/images/scaler.bin");
    const Value json = blob.toJson();
    EXPECT_EQ(keysOf(json), (Keys{"id", "name", "path", "hash", "byteSize"}));
    EXPECT_EQ(json["id"], Value(fixedID(0x70).toString()));
    EXPECT_EQ(json["name"], Value("scaler"));
    EXPECT_EQ(json["path"], Value("/images/scaler.bin"));
    EXPECT_EQ(json["hash"],
              Value("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_EQ(json["byteSize"], Value(3));

    // Without a stored name the blob is known by the start of its hash.
    blob.setName("");
    EXPECT_EQ(blob.toJson()["name"], Value("ba7816b"));
}

TEST_F(BlobJsonTest, ReadsBackFromItsSourceFile) {
    const std::vector<uint8_t> bytes = {0x00, 0x01, 0xFE, 0xFF, 0x0A};
    Blob blob;
    blob.setBytes(bytes.data(), bytes.size());
    blob.setName("font");
    blob.setPath(m_dir.write("font.bin", bytes));

    Blob fresh;
    fresh.fromJson(blob.toJson());
    EXPECT_TRUE(fresh.equal(&blob));
    EXPECT_EQ(fresh.id(), blob.id());
    EXPECT_EQ(fresh.name(), "font");
    EXPECT_EQ(fresh.path(), blob.path());
    EXPECT_EQ(fresh.hash(), blob.hash());
}

TEST_F(BlobJsonTest, HashAndSizeInTheJsonAreIgnored) {
    const std::string path = m_dir.write("image.bin", std::string("abc"));
    Value json = blobJson("image", path);
    json.insert("hash", "0000000000000000000000000000000000000000000000000000000000000000");
    json.insert("byteSize", 999);
    Blob blob;
    blob.fromJson(json);
    EXPECT_EQ(blob.size(), 3u);
    EXPECT_EQ(blob.hash().toString(),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST_F(BlobJsonTest, SourceConversionFollowsThePathEnding) {
    const std::string cyacd = "1E9602AA0000\n:000000000201FD\n";
    Blob converted;
    converted.fromJson(blobJson("c", m_dir.write("image.CYACD", cyacd)));
    EXPECT_EQ(fwu::test::pkg::blobBytes(converted), (std::vector<uint8_t>{0, 0, 0, 0, 2, 1, 0xFD}));
    EXPECT_EQ(converted.hash(), fwu::Sha256::calculate(converted.bytes(), converted.size()));

    Blob raw;
    raw.fromJson(blobJson("r", m_dir.write("image.bin", cyacd)));
    EXPECT_EQ(fwu::test::pkg::blobBytes(raw), std::vector<uint8_t>(cyacd.begin(), cyacd.end()));
}

TEST_F(BlobJsonTest, SourceErrorsPropagate) {
    struct Case {
        const char* label;
        Value json;
        fwu::PackageError error;
    };
    const Case cases[] = {
        {"srec", blobJson("s", m_dir.write("image.srec", std::string("S0030000FC\n"))),
         fwu::PackageError::kSrecNotSupported},
        {"mot", blobJson("m", m_dir.write("image.Mot", std::string("S0030000FC\n"))),
         fwu::PackageError::kSrecNotSupported},
        {"bad cyacd checksum",
         blobJson("c", m_dir.write("bad.cyacd", std::string("1E9602AA0000\n:0000000002AABB\n"))),
         fwu::PackageError::kCyacdInvalidChecksum},
        {"missing file", blobJson("x", m_dir.path("missing.bin")), fwu::PackageError::kOpenFailed},
        {"no name", without(blobJson("x", "p"), "name"), fwu::PackageError::kJsonKeyNotFound},
        {"no path", without(blobJson("x", "p"), "path"), fwu::PackageError::kJsonKeyNotFound},
        {"name a number", with(blobJson("x", "p"), "name", 3), fwu::PackageError::kInvalidJsonType},
        {"path null", with(blobJson("x", "p"), "path", Value()),
         fwu::PackageError::kInvalidJsonType},
        {"not an object", array({"x"}), fwu::PackageError::kInvalidJsonType},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Blob blob;
        EXPECT_TRUE(throwsFwuException([&] { blob.fromJson(c.json); }, c.error));
    }
}

TEST_F(BlobJsonTest, FailedLoadKeepsTheNewNameAndPathButNotNewBytes) {
    Blob blob;
    const uint8_t old[] = {1, 2};
    blob.setBytes(old, sizeof old);
    const std::string missing = m_dir.path("gone.bin");
    EXPECT_TRUE(throwsFwuException([&] { blob.fromJson(blobJson("renamed", missing)); },
                                   fwu::PackageError::kOpenFailed));
    EXPECT_EQ(blob.name(), "renamed");
    EXPECT_EQ(blob.path(), missing);
    EXPECT_EQ(blob.size(), 2u);
}

}  // namespace
