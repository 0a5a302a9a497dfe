// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "libflashkit/package/TestPackage.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"

namespace {

using fwu::Version;
using fwu::dev::DeviceProfileList;
using fwu::kfw::ConvertFWFirmwareVersion;
using fwu::kfw::DeviceVersion;
using fwu::kfw::DeviceVersionList;
using fwu::test::pkg::makeVersions;

using Entries = std::vector<std::pair<uint32_t, uint32_t>>;

Entries entriesOf(const DeviceVersionList& list) {
    Entries entries;
    for (const DeviceVersion& dv : list.items())
        entries.emplace_back(dv.deviceID, dv.version.value());
    return entries;
}

TEST(DeviceVersionList, EqualityMatchesPositionByPosition) {
    struct Case {
        const char* what;
        Entries a, b;
        bool equal;
    };
    const Case cases[] = {
        {"both empty", {}, {}, true},
        {"same", {{1, 10}, {2, 20}}, {{1, 10}, {2, 20}}, true},
        {"empty version left", {{1, 0}, {2, 20}}, {{1, 10}, {2, 20}}, true},
        {"empty version right", {{1, 10}, {2, 20}}, {{1, 10}, {2, 0}}, true},
        {"other version", {{1, 10}, {2, 20}}, {{1, 10}, {2, 21}}, false},
        {"other device", {{1, 10}, {2, 20}}, {{1, 10}, {3, 20}}, false},
        {"other device, empty version", {{1, 0}}, {{2, 0}}, false},
        {"other order", {{1, 10}, {2, 20}}, {{2, 20}, {1, 10}}, false},
        {"longer", {{1, 10}}, {{1, 10}, {2, 20}}, false},
        {"empty vs one", {}, {{1, 0}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto a = makeVersions(c.a), b = makeVersions(c.b);
        EXPECT_EQ(a == b, c.equal);
        EXPECT_EQ(b == a, c.equal);
        EXPECT_EQ(a != b, !c.equal);
    }
}

TEST(DeviceVersionList, MatchUsesTheListVersionAsLeftOperand) {
    const auto list = makeVersions({{1, 10}, {2, 0}});
    struct Case {
        uint32_t device;
        uint32_t version;
        Version::Operator op;
        bool match;
    };
    const Case cases[] = {
        // 10 against a larger, an equal and a smaller version, for every operator.
        {1, 20, Version::OperatorEqual, false},
        {1, 10, Version::OperatorEqual, true},
        {1, 20, Version::OperatorNotEqual, true},
        {1, 10, Version::OperatorNotEqual, false},
        {1, 20, Version::OperatorLess, true},
        {1, 10, Version::OperatorLess, false},
        {1, 5, Version::OperatorLess, false},
        {1, 20, Version::OperatorLessEqual, true},
        {1, 10, Version::OperatorLessEqual, true},
        {1, 5, Version::OperatorLessEqual, false},
        {1, 20, Version::OperatorGreater, false},
        {1, 10, Version::OperatorGreater, false},
        {1, 5, Version::OperatorGreater, true},
        {1, 20, Version::OperatorGreaterEqual, false},
        {1, 10, Version::OperatorGreaterEqual, true},
        {1, 5, Version::OperatorGreaterEqual, true},
        {1, 10, Version::OperatorNone, false},
        // An empty version on either side holds, whatever the operator.
        {1, 0, Version::OperatorLess, true},
        {2, 99, Version::OperatorGreater, true},
        {2, 99, Version::OperatorNone, true},
        // An absent device never holds, not even for an empty version.
        {3, 0, Version::OperatorEqual, false},
        {3, 10, Version::OperatorNotEqual, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("device " + std::to_string(c.device) + " " + Version::toString(c.op) + " " +
                     std::to_string(c.version));
        EXPECT_EQ(list.match({c.device, Version(c.version)}, c.op), c.match);
    }
}

TEST(DeviceVersionList, FindAndMatchUseTheFirstEntryOfADevice) {
    const auto list = makeVersions({{7, 1}, {8, 2}, {7, 3}});
    ASSERT_NE(list.find(7), nullptr);
    EXPECT_EQ(list.find(7)->version.value(), 1u);
    EXPECT_EQ(list.find(8)->version.value(), 2u);
    EXPECT_EQ(list.find(9), nullptr);
    EXPECT_EQ(DeviceVersionList().find(0), nullptr);
    EXPECT_FALSE(list.match({7, Version(3)}, Version::OperatorEqual));
    EXPECT_TRUE(list.match({7, Version(1)}, Version::OperatorEqual));
}

TEST(DeviceVersionList, ValidateKeepsOnlyDevicesOfTheProfile) {
    DeviceProfileList legacy;
    legacy.setV1Profile();
    auto list = makeVersions({{0x100, 1}, {0x999, 2}, {0x600, 3}, {0x101, 4}, {0x998, 5}});
    EXPECT_FALSE(list.validate(&legacy));
    EXPECT_EQ(entriesOf(list), (Entries{{0x100, 1}, {0x600, 3}, {0x101, 4}}));
    EXPECT_TRUE(list.validate(&legacy));

    EXPECT_TRUE(list.validate(nullptr));
    EXPECT_EQ(list.items().size(), 3u);
    const DeviceProfileList none;
    EXPECT_FALSE(list.validate(&none));
    EXPECT_TRUE(list.items().empty());
}

TEST(DeviceVersionList, ToFirmwareVersionTakesTheLegacyDevicesInRecordOrder) {
    // Stored in another order and with an extra device, to show the record is filled by device.
    const auto list =
        makeVersions({{0x600, 6}, {0x200, 99}, {0x400, 4}, {0x101, 2}, {0x500, 3}, {0x100, 1}});
    const FWFirmwareVersion record = list.toFWFirmwareVersion();
    EXPECT_EQ(record.mainVersion, 1u);
    EXPECT_EQ(record.subVersion, 2u);
    EXPECT_EQ(record.frontEndVersion, 3u);
    EXPECT_EQ(record.fontVersion, 4u);
    EXPECT_EQ(record.fpgaVersion, 6u);
    for (uint32_t reserved : record.reserved) EXPECT_EQ(reserved, 0u);

    const FWFirmwareVersion partial = makeVersions({{0x101, 7}}).toFWFirmwareVersion();
    EXPECT_EQ(partial.mainVersion, 0u);
    EXPECT_EQ(partial.subVersion, 7u);
    EXPECT_EQ(partial.frontEndVersion, 0u);
    EXPECT_EQ(partial.fontVersion, 0u);
    EXPECT_EQ(partial.fpgaVersion, 0u);
}

TEST(DeviceVersionList, SetFirmwareVersionGivesExactlyTheFiveLegacyEntries) {
    FWFirmwareVersion record{};
    record.mainVersion = 11;
    record.subVersion = 0;  // zero values are kept as entries
    record.frontEndVersion = 33;
    record.fontVersion = 44;
    record.fpgaVersion = 0x10A;
    record.reserved[0] = 0xDEAD;  // not a device

    auto list = makeVersions({{0x999, 1}, {0x100, 2}});
    list.setFWFirmwareVersion(record);
    EXPECT_EQ(entriesOf(list),
              (Entries{{0x100, 11}, {0x101, 0}, {0x500, 33}, {0x400, 44}, {0x600, 0x10A}}));

    const FWFirmwareVersion back = list.toFWFirmwareVersion();
    EXPECT_EQ(back.mainVersion, 11u);
    EXPECT_EQ(back.frontEndVersion, 33u);
    EXPECT_EQ(back.fontVersion, 44u);
    EXPECT_EQ(back.fpgaVersion, 0x10Au);
    EXPECT_EQ(back.reserved[0], 0u);
}

TEST(DeviceVersionList, ConvertFirmwareVersionOfOneDevice) {
    const auto list = makeVersions({{0x500, 27}, {0x500, 28}});
    EXPECT_EQ(ConvertFWFirmwareVersion(&list, 0x500), 27u);
    EXPECT_EQ(ConvertFWFirmwareVersion(&list, 0x100), 0u);
    EXPECT_EQ(ConvertFWFirmwareVersion(nullptr, 0x500), 0u);
}

TEST(DeviceVersionList, ConvertsOnlyForTheLegacyProfile) {
    const DeviceVersionList list;
    struct Case {
        const char* what;
        std::function<void(DeviceProfileList&)> edit;
        bool converts;
    };
    const Case cases[] = {
        {"legacy profile", [](DeviceProfileList&) {}, true},
        {"other display IDs", [](DeviceProfileList& p) { p.setDisplayDeviceIDs({0x600}); }, true},
        {"other device name", [](DeviceProfileList& p) { p.items()[0].name = "Scaler"; }, true},
        {"other representation",
         [](DeviceProfileList& p) { p.items()[4].versionRepresentation = 0; }, true},
        {"other file name", [](DeviceProfileList& p) { p.items()[2].fileName = "INP028"; }, false},
        {"other address", [](DeviceProfileList& p) { p.items()[1].address = 0x1000; }, false},
        {"other flag index", [](DeviceProfileList& p) { p.items()[3].updateFlagIndex = 1; }, false},
        {"one device fewer", [](DeviceProfileList& p) { p.items().pop_back(); }, false},
        {"one device more", [](DeviceProfileList& p) { p.push(p.items()[0]); }, false},
        {"devices reordered", [](DeviceProfileList& p) { std::swap(p.items()[0], p.items()[1]); },
         false},
        {"empty", [](DeviceProfileList& p) { p.items().clear(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeviceProfileList profile;
        profile.setV1Profile();
        c.edit(profile);
        EXPECT_EQ(list.canConvertFWFirmwareVersion(profile), c.converts);
    }
}

}  // namespace
