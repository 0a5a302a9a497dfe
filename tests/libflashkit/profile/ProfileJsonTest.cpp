// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "libflashkit/core/ThrowsFwuException.h"
#include "libflashkit/package/json/JsonTestSupport.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"
#include "json/Value.h"

namespace {

using fwu::Version;
using fwu::dev::DeviceProfile;
using fwu::dev::DeviceProfileList;
using fwu::kfw::DeviceVersionList;
using fwu::test::throwsFwuException;
using fwu::test::json::array;
using fwu::test::json::with;
using fwu::test::json::without;
using pocketjson::Value;

Value versionEntry(const Value& device, const Value& version) {
    Value entry(pocketjson::Object);
    entry.insert("device", device);
    entry.insert("version", version);
    return entry;
}

// --- Device version list --------------------------------------------------------------------

TEST(DeviceVersionListJson, WritesEntriesInOrderAndReadsThemBack) {
    DeviceVersionList list;
    list.push({0x500, Version(3)});
    list.push({0x100, Version(0xFFFFFFFF)});
    list.push({0x100, Version(0)});  // duplicates and empty versions are kept as they are
    const Value json = list.toJson();
    EXPECT_EQ(json, array({versionEntry(0x500, 3), versionEntry(0x100, int64_t{0xFFFFFFFF}),
                           versionEntry(0x100, 0)}));

    DeviceVersionList fresh;
    fresh.fromJson(json);
    ASSERT_EQ(fresh.items().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(fresh.items()[i].deviceID, list.items()[i].deviceID);
        EXPECT_EQ(fresh.items()[i].version.value(), list.items()[i].version.value());
    }
    EXPECT_EQ(DeviceVersionList().toJson(), Value(pocketjson::Array));
}

TEST(DeviceVersionListJson, ReadingReplacesAndConvertsToUnsigned32) {
    DeviceVersionList list;
    list.push({1, Version(1)});
    list.fromJson(array({versionEntry(-1, int64_t{0x100000000}), versionEntry(7, 8)}));
    ASSERT_EQ(list.items().size(), 2u);
    EXPECT_EQ(list.items()[0].deviceID, 0u);
    EXPECT_EQ(list.items()[0].version.value(), 0u);
    EXPECT_EQ(list.items()[1].deviceID, 7u);
    EXPECT_EQ(list.items()[1].version.value(), 8u);
}

TEST(DeviceVersionListJson, ShapeErrors) {
    struct Case {
        const char* label;
        Value json;
        fwu::PackageError error;
    };
    const Case cases[] = {
        {"an object", versionEntry(1, 2), fwu::PackageError::kInvalidJsonType},
        {"null", Value(), fwu::PackageError::kInvalidJsonType},
        {"element an integer", array({5}), fwu::PackageError::kInvalidJsonType},
        {"no device", array({without(versionEntry(1, 2), "device")}),
         fwu::PackageError::kJsonKeyNotFound},
        {"no version", array({without(versionEntry(1, 2), "version")}),
         fwu::PackageError::kJsonKeyNotFound},
        {"version a real", array({versionEntry(1, 2.0)}), fwu::PackageError::kInvalidJsonType},
        {"device a string", array({versionEntry("1", 2)}), fwu::PackageError::kInvalidJsonType},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        DeviceVersionList list;
        list.push({9, Version(9)});
        EXPECT_TRUE(throwsFwuException([&] { list.fromJson(c.json); }, c.error));
        EXPECT_TRUE(list.items().empty()) << "emptied before reading";
    }
    // Entries before the bad one stay.
    DeviceVersionList list;
    EXPECT_THROW(list.fromJson(array({versionEntry(1, 2), 5})), fwu::Exception);
    EXPECT_EQ(list.items().size(), 1u);
}

// --- Device profile list --------------------------------------------------------------------

Value deviceJson(const char* name, const char* fileName, const Value& device) {
    Value item(pocketjson::Object);
    item.insert("name", name);
    item.insert("fileName", fileName);
    item.insert("device", device);
    return item;
}

Value profileJson(const Value& devices, const Value& displayDevices) {
    Value json(pocketjson::Object);
    json.insert("devices", devices);
    json.insert("displayDevices", displayDevices);
    return json;
}

DeviceProfile makeDevice(const char* name, const char* fileName, uint32_t device,
                         uint32_t representation, uint32_t address, uint32_t flagIndex) {
    DeviceProfile profile;
    profile.name = name;
    profile.fileName = fileName;
    profile.device = device;
    profile.versionRepresentation = representation;
    profile.address = address;
    profile.updateFlagIndex = flagIndex;
    return profile;
}

TEST(DeviceProfileListJson, WritesEveryField) {
    DeviceProfileList list;
    list.push(makeDevice("FPGA", "AIC904", 0x600, 1, 0x20000, 3));
    list.setDisplayDeviceIDs({0x600, 0x100});
    Value device = deviceJson("FPGA", "AIC904", 0x600);
    device.insert("versionRepresentation", 1);
    device.insert("address", 0x20000);
    device.insert("updateFlagIndex", 3);
    EXPECT_EQ(list.toJson(), profileJson(array({device}), array({0x600, 0x100})));
    EXPECT_EQ(DeviceProfileList().toJson(),
              profileJson(Value(pocketjson::Array), Value(pocketjson::Array)));
}

TEST(DeviceProfileListJson, ReadsBackEveryField) {
    DeviceProfileList list;
    list.setV1Profile();
    // Device IDs across the whole 32-bit range travel as signed numbers.
    list.push(makeDevice("Top", "", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF));
    list.push(makeDevice("Half", "X", 0x80000000, 0x80000000, 0x80000000, 7));
    list.setDisplayDeviceIDs({0xFFFFFFFF, 0x80000000, 0x100});

    DeviceProfileList fresh;
    fresh.fromJson(list.toJson());
    ASSERT_EQ(fresh.items().size(), list.items().size());
    for (size_t i = 0; i < list.items().size(); ++i) {
        SCOPED_TRACE(i);
        const DeviceProfile& a = list.items()[i];
        const DeviceProfile& b = fresh.items()[i];
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(b.fileName, a.fileName);
        EXPECT_EQ(b.device, a.device);
        EXPECT_EQ(b.versionRepresentation, a.versionRepresentation);
        EXPECT_EQ(b.address, a.address);
        EXPECT_EQ(b.updateFlagIndex, a.updateFlagIndex);
    }
    EXPECT_EQ(fresh.displayDeviceIDs(), list.displayDeviceIDs());
}

TEST(DeviceProfileListJson, DeviceIdsAreSigned32Bit) {
    struct Case {
        Value given;
        uint32_t expected;
    };
    const Case cases[] = {
        {Value(0x100), 0x100},
        {Value(-1), 0xFFFFFFFF},
        {Value(int64_t{INT32_MIN}), 0x80000000},
        {Value(int64_t{INT32_MAX}), 0x7FFFFFFF},
        {Value(int64_t{0x80000000}), 0},  // beyond the signed range
        {Value(int64_t{INT32_MIN} - 1), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given.toString());
        DeviceProfileList list;
        list.fromJson(profileJson(array({deviceJson("D", "F", c.given)}), array({c.given})));
        ASSERT_EQ(list.items().size(), 1u);
        EXPECT_EQ(list.items()[0].device, c.expected);
        EXPECT_EQ(list.displayDeviceIDs(), std::vector<uint32_t>{c.expected});
    }
}

TEST(DeviceProfileListJson, VersionRepresentationFromAnyKind) {
    struct Case {
        Value given;
        uint32_t expected;
    };
    const Case cases[] = {
        {Value(true), 1},
        {Value(false), 0},
        {Value(1), 1},
        {Value(int64_t{0x100000002}), 2},  // the low 32 bits
        {Value(-1), 0xFFFFFFFF},
        {Value(1.5), 2},  // rounded, halves away from zero
        {Value(-1.5), 0xFFFFFFFE},
        {Value(0.49), 0},
        {Value(4294967297.0), 1},
        {Value(1e19), 0},  // beyond 2^63
        {Value(-1e19), 0},
        {Value("1"), 1},
        {Value("0x10"), 16},
        {Value("-2"), 0xFFFFFFFE},
        {Value("1 "), 0},  // the whole text must be the number
        {Value("one"), 0},
        {Value("99999999999999999999"), 0},  // too large for 64 bits
        {Value(), 0},
        {Value(pocketjson::Object), 0},
        {Value(pocketjson::Array), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given.toString("(container or null)"));
        DeviceProfileList list;
        list.fromJson(
            profileJson(array({with(deviceJson("D", "F", 1), "versionRepresentation", c.given)}),
                        Value(pocketjson::Array)));
        ASSERT_EQ(list.items().size(), 1u);
        EXPECT_EQ(list.items()[0].versionRepresentation, c.expected);
    }
}

TEST(DeviceProfileListJson, OptionalMembersDefaultToZeroButMustBeIntegers) {
    DeviceProfileList list;
    list.fromJson(profileJson(array({deviceJson("D", "F", 5)}), Value(pocketjson::Array)));
    ASSERT_EQ(list.items().size(), 1u);
    EXPECT_EQ(list.items()[0].address, 0u);
    EXPECT_EQ(list.items()[0].updateFlagIndex, 0u);
    EXPECT_EQ(list.items()[0].versionRepresentation, 0u);

    list.fromJson(profileJson(
        array({with(with(deviceJson("D", "F", 5), "address", -1), "updateFlagIndex", 4)}),
        Value(pocketjson::Array)));
    EXPECT_EQ(list.items()[0].address, 0u) << "integers convert as unsigned 32-bit";
    EXPECT_EQ(list.items()[0].updateFlagIndex, 4u);
}

TEST(DeviceProfileListJson, ShapeErrors) {
    const Value device = deviceJson("D", "F", 5);
    const Value devices = array({device});
    const Value none(pocketjson::Array);
    struct Case {
        const char* label;
        Value json;
        fwu::PackageError error;
    };
    const Case cases[] = {
        {"an array", devices, fwu::PackageError::kInvalidJsonType},
        {"no devices", without(profileJson(devices, none), "devices"),
         fwu::PackageError::kJsonKeyNotFound},
        {"no displayDevices", without(profileJson(devices, none), "displayDevices"),
         fwu::PackageError::kJsonKeyNotFound},
        {"devices an object", profileJson(device, none), fwu::PackageError::kInvalidJsonType},
        {"device element a string", profileJson(array({"D"}), none),
         fwu::PackageError::kInvalidJsonType},
        {"no name", profileJson(array({without(device, "name")}), none),
         fwu::PackageError::kJsonKeyNotFound},
        {"no fileName", profileJson(array({without(device, "fileName")}), none),
         fwu::PackageError::kJsonKeyNotFound},
        {"no device", profileJson(array({without(device, "device")}), none),
         fwu::PackageError::kJsonKeyNotFound},
        {"device a real", profileJson(array({with(device, "device", 5.0)}), none),
         fwu::PackageError::kInvalidJsonType},
        {"address a string", profileJson(array({with(device, "address", "5")}), none),
         fwu::PackageError::kInvalidJsonType},
        {"updateFlagIndex null",
         profileJson(array({with(device, "updateFlagIndex", Value())}), none),
         fwu::PackageError::kInvalidJsonType},
        {"display ID a string", profileJson(devices, array({"256"})),
         fwu::PackageError::kInvalidJsonType},
        {"displayDevices a number", profileJson(devices, Value(256)),
         fwu::PackageError::kInvalidJsonType},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        DeviceProfileList list;
        list.setV1Profile();
        EXPECT_TRUE(throwsFwuException([&] { list.fromJson(c.json); }, c.error));
        // Both lists are emptied before reading; what was read before the failure stays.
        for (const DeviceProfile& profile : list.items()) EXPECT_EQ(profile.name, "D");
        EXPECT_TRUE(list.displayDeviceIDs().empty());
    }
}

}  // namespace
