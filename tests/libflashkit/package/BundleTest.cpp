// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestPackage.h"
#include "package/Bundle.h"
#include "profile/DeviceProfileList.h"

namespace {

using fwu::Uuid;
using fwu::Version;
using fwu::dev::DeviceProfile;
using fwu::dev::DeviceProfileList;
using fwu::kfw::Bundle;
using fwu::kfw::DeviceVersionList;
using fwu::test::pkg::Condition;
using fwu::test::pkg::fixedID;
using fwu::test::pkg::makeBlob;
using fwu::test::pkg::makeBundle;
using fwu::test::pkg::makeTransfer;
using fwu::test::pkg::makeVersions;
using fwu::test::pkg::TestPackage;

constexpr auto kEq = Version::OperatorEqual;
constexpr auto kLt = Version::OperatorLess;
constexpr auto kLe = Version::OperatorLessEqual;
constexpr auto kGt = Version::OperatorGreater;
constexpr auto kGe = Version::OperatorGreaterEqual;

TEST(Bundle, WithoutConditionsMatchesAnyList) {
    const auto bundle = makeBundle({fixedID(1)});
    EXPECT_TRUE(bundle->match(DeviceVersionList()));
    EXPECT_TRUE(bundle->match(makeVersions({{1, 2}, {3, 4}})));
}

TEST(Bundle, ConditionOnAbsentDeviceFailsAndEmptyVersionHolds) {
    const auto bundle = makeBundle({}, {{3, 5, kGe}});
    struct Case {
        const char* what;
        DeviceVersionList current;
        bool match;
    };
    const Case cases[] = {
        {"empty list", DeviceVersionList(), false},
        {"device 3 missing", makeVersions({{2, 9}, {4, 9}}), false},
        {"device 3 without version", makeVersions({{3, 0}}), true},
        {"device 3 at 5", makeVersions({{3, 5}}), true},
        {"device 3 at 6", makeVersions({{3, 6}}), true},
        {"device 3 at 4", makeVersions({{3, 4}}), false},
        {"first entry of device 3 decides", makeVersions({{3, 4}, {3, 9}}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(bundle->match(c.current), c.match);
    }
}

// A condition reads "the monitor's version <op> the condition's version".
TEST(Bundle, MonitorVersionIsTheLeftOperand) {
    const auto current = makeVersions({{1, 10}});
    struct Case {
        Version::Operator op;
        uint32_t version;
        bool match;
    };
    const Case cases[] = {
        {kLt, 20, true}, {kLt, 5, false},  {kLe, 10, true}, {kLe, 5, false},
        {kGt, 5, true},  {kGt, 20, false}, {kGe, 10, true}, {kGe, 20, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Version::toString(c.op) + " " + std::to_string(c.version));
        EXPECT_EQ(makeBundle({}, {{1, c.version, c.op}})->match(current), c.match);
    }
}

TEST(Bundle, EveryConditionMustHold) {
    const auto current = makeVersions({{1, 10}, {2, 20}});
    EXPECT_TRUE(makeBundle({}, {{1, 10, kEq}, {2, 15, kGt}})->match(current));
    EXPECT_FALSE(makeBundle({}, {{1, 10, kEq}, {2, 25, kGt}})->match(current));
    EXPECT_FALSE(makeBundle({}, {{1, 11, kEq}, {2, 15, kGt}})->match(current));
    // Conditions are not de-duplicated: the same one twice is kept twice.
    auto twice = makeBundle({}, {{1, 10, kEq}, {1, 10, kEq}});
    EXPECT_EQ(twice->conditions().size(), 2u);
}

TEST(Bundle, EqualComparesActionsConditionsAndEstimate) {
    const Uuid a = fixedID(1), b = fixedID(2);
    const std::vector<Condition> conditions = {{1, 5, kGe}, {2, 7, kLt}};
    const auto base = makeBundle({a, b}, conditions, 30);

    struct Case {
        const char* what;
        std::vector<Uuid> actions;
        std::vector<Condition> conditions;
        uint32_t estimatedTime;
        bool equal;
    };
    const Case cases[] = {
        {"same content", {a, b}, conditions, 30, true},
        {"actions reordered", {b, a}, conditions, 30, false},
        {"one action fewer", {a}, conditions, 30, false},
        {"estimate", {a, b}, conditions, 31, false},
        {"conditions reordered", {a, b}, {{2, 7, kLt}, {1, 5, kGe}}, 30, false},
        {"condition device", {a, b}, {{1, 5, kGe}, {3, 7, kLt}}, 30, false},
        {"condition version", {a, b}, {{1, 6, kGe}, {2, 7, kLt}}, 30, false},
        {"condition operator", {a, b}, {{1, 5, kGt}, {2, 7, kLt}}, 30, false},
        {"one condition fewer", {a, b}, {{1, 5, kGe}}, 30, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto other = makeBundle(c.actions, c.conditions, c.estimatedTime);
        EXPECT_EQ(base->equal(other.get()), c.equal);
        EXPECT_EQ(other->equal(base.get()), c.equal);
    }
    EXPECT_FALSE(base->equal(nullptr));
}

TEST(Bundle, ValidOnlyWhenEveryActionIsInTheFile) {
    TestPackage file;
    const auto* blob = file.registerBlob(makeBlob({1}));
    const auto* action = file.registerAction(makeTransfer(blob->id(), "PRG000"));

    EXPECT_TRUE(makeBundle({})->isValid(&file));
    EXPECT_TRUE(makeBundle({action->id()})->isValid(&file));
    EXPECT_FALSE(makeBundle({action->id(), fixedID(7)})->isValid(&file));
    EXPECT_FALSE(makeBundle({action->id()})->isValid(nullptr));
    auto noID = makeBundle({action->id()});
    noID->setID(Uuid());
    EXPECT_FALSE(noID->isValid(&file));
}

TEST(Bundle, ValidateDropsConditionsOnUnknownDevices) {
    DeviceProfileList profile;
    DeviceProfile known;
    known.device = 0x100;
    profile.push(known);
    known.device = 0x200;
    profile.push(known);

    auto bundle =
        makeBundle({}, {{0x100, 1, kGe}, {0x300, 2, kEq}, {0x200, 3, kLt}, {0x400, 4, kGt}});
    EXPECT_FALSE(bundle->validate(&profile));
    ASSERT_EQ(bundle->conditions().size(), 2u);
    EXPECT_EQ(bundle->conditions()[0].deviceVersion.deviceID, 0x100u);
    EXPECT_EQ(bundle->conditions()[0].op, kGe);
    EXPECT_EQ(bundle->conditions()[1].deviceVersion.deviceID, 0x200u);
    EXPECT_EQ(bundle->conditions()[1].deviceVersion.version.value(), 3u);
    EXPECT_TRUE(bundle->validate(&profile)) << "nothing left to remove";

    auto untouched = makeBundle({}, {{0x300, 1, kEq}});
    EXPECT_TRUE(untouched->validate(nullptr));
    EXPECT_EQ(untouched->conditions().size(), 1u);

    // A profile that lists a device only among its display IDs does not know it.
    DeviceProfileList displayOnly;
    displayOnly.setDisplayDeviceIDs({0x300});
    EXPECT_FALSE(untouched->validate(&displayOnly));
    EXPECT_TRUE(untouched->conditions().empty());
}

}  // namespace
