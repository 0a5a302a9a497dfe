// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "profile/DeviceProfileList.h"

namespace {

using fwu::dev::DeviceProfile;
using fwu::dev::DeviceProfileList;

DeviceProfile profileOf(uint32_t device, const std::string& fileName, uint32_t address = 0,
                        const std::string& name = "dev", uint32_t representation = 0) {
    DeviceProfile p;
    p.name = name;
    p.fileName = fileName;
    p.device = device;
    p.versionRepresentation = representation;
    p.address = address;
    return p;
}

TEST(DeviceProfile, EqualityIgnoresNameAndRepresentation) {
    DeviceProfile base = profileOf(0x100, "PRG000", 0x4000, "Main", 0);
    base.updateFlagIndex = 2;
    struct Case {
        const char* what;
        std::function<void(DeviceProfile&)> edit;
        bool equal;
    };
    const Case cases[] = {
        {"name", [](DeviceProfile& p) { p.name = "Other"; }, true},
        {"representation", [](DeviceProfile& p) { p.versionRepresentation = 1; }, true},
        {"device", [](DeviceProfile& p) { p.device = 0x101; }, false},
        {"file name", [](DeviceProfile& p) { p.fileName = "prg000"; }, false},
        {"address", [](DeviceProfile& p) { p.address = 0x4001; }, false},
        {"update flag index", [](DeviceProfile& p) { p.updateFlagIndex = 3; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeviceProfile other = base;
        c.edit(other);
        EXPECT_EQ(base == other, c.equal);
        EXPECT_EQ(other == base, c.equal);
        EXPECT_EQ(base != other, !c.equal);
    }
}

TEST(DeviceProfileList, LegacyProfileHasFiveFixedDevices) {
    DeviceProfileList list;
    // Earlier content is replaced, display IDs included.
    list.push(profileOf(7, "KFW999"));
    list.setDisplayDeviceIDs({7, 8});
    list.setV1Profile();

    struct Expected {
        const char* name;
        const char* fileName;
        uint32_t device;
        uint32_t representation;
    };
    const Expected expected[] = {
        {"Main/System", "PRG000", 0x100, 0}, {"Sub/Controller", "PRG001", 0x101, 0},
        {"DP/FrontEnd", "INP027", 0x500, 0}, {"Font", "AIC653", 0x400, 0},
        {"FPGA", "AIC904", 0x600, 1},
    };
    ASSERT_EQ(list.items().size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(expected[i].name);
        const DeviceProfile& p = list.items()[i];
        EXPECT_EQ(p.name, expected[i].name);
        EXPECT_EQ(p.fileName, expected[i].fileName);
        EXPECT_EQ(p.device, expected[i].device);
        EXPECT_EQ(p.versionRepresentation, expected[i].representation);
        EXPECT_EQ(p.address, 0u);
        EXPECT_EQ(p.updateFlagIndex, 0u);
    }
    EXPECT_EQ(list.displayDeviceIDs(), (std::vector<uint32_t>{0x100, 0x101, 0x500}));
}

TEST(DeviceProfileList, FindByDeviceFileNameAndAddress) {
    DeviceProfileList list;
    list.push(profileOf(0x10, "KFWA00", 0x0000, "first"));
    list.push(profileOf(0x20, "KFWB00", 0x8000, "second"));
    list.push(profileOf(0x10, "KFWC00", 0x8000, "third"));

    ASSERT_NE(list.find(0x10), nullptr);
    EXPECT_EQ(list.find(0x10)->name, "first");
    EXPECT_EQ(list.find(0x20)->name, "second");
    EXPECT_EQ(list.find(0x30), nullptr);
    EXPECT_TRUE(list.hasDevice(0x20));
    EXPECT_FALSE(list.hasDevice(0x30));

    ASSERT_NE(list.find(std::string("KFWC00")), nullptr);
    EXPECT_EQ(list.find(std::string("KFWC00"))->name, "third");
    EXPECT_EQ(list.find(std::string("kfwc00")), nullptr) << "file names are case-sensitive";
    EXPECT_EQ(list.find(std::string("KFWC0")), nullptr);
    EXPECT_EQ(list.find(std::string("")), nullptr);

    ASSERT_NE(list.findAddress(0x8000), nullptr);
    EXPECT_EQ(list.findAddress(0x8000)->name, "second");
    EXPECT_EQ(list.findAddress(0)->name, "first");
    EXPECT_EQ(list.findAddress(0x4000), nullptr);

    const DeviceProfileList none;
    EXPECT_EQ(none.find(0u), nullptr);
    EXPECT_EQ(none.findAddress(0), nullptr);
    EXPECT_FALSE(none.hasDevice(0));
}

TEST(DeviceProfileList, EmptyNeedsNeitherProfilesNorDisplayIDs) {
    DeviceProfileList list;
    EXPECT_TRUE(list.empty());
    list.setDisplayDeviceIDs({0x100});
    EXPECT_FALSE(list.empty());
    list.setDisplayDeviceIDs({});
    EXPECT_TRUE(list.empty());
    list.push(DeviceProfile());
    EXPECT_FALSE(list.empty());
}

TEST(DeviceProfileList, CloneIsIndependent) {
    DeviceProfileList original;
    original.push(profileOf(0x100, "PRG000", 0x10, "Main", 1));
    original.setDisplayDeviceIDs({0x100});

    const auto copy = original.clone();
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->items().size(), 1u);
    // Every field is copied, including those equality ignores.
    EXPECT_EQ(copy->items()[0].name, "Main");
    EXPECT_EQ(copy->items()[0].versionRepresentation, 1u);
    EXPECT_EQ(copy->items()[0], original.items()[0]);
    EXPECT_EQ(copy->displayDeviceIDs(), std::vector<uint32_t>{0x100});

    original.items()[0].name = "Changed";
    original.push(profileOf(0x200, "PRG001"));
    original.setDisplayDeviceIDs({0x200, 0x100});
    EXPECT_EQ(copy->items().size(), 1u);
    EXPECT_EQ(copy->items()[0].name, "Main");
    EXPECT_EQ(copy->displayDeviceIDs(), std::vector<uint32_t>{0x100});

    EXPECT_TRUE(DeviceProfileList().clone()->empty());
}

TEST(DeviceProfileList, EqualityComparesProfilesInOrderButNotDisplayIDs) {
    DeviceProfileList a, b;
    a.setV1Profile();
    b.setV1Profile();
    EXPECT_TRUE(a == b);
    b.setDisplayDeviceIDs({});
    EXPECT_TRUE(a == b);
    b.items()[0].name = "renamed";
    EXPECT_TRUE(a == b);
    std::swap(b.items()[0], b.items()[1]);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(DeviceProfileList() == DeviceProfileList());
}

class DeviceProfileListIDs : public ::testing::Test {
protected:
    void SetUp() override { list.setV1Profile(); }
    DeviceProfileList list;
    // Reached through the exported handle, as the exported functions do.
    const FWDeviceProfile& handle() const { return list; }
};

TEST_F(DeviceProfileListIDs, NullCountFails) {
    unsigned int ids[8] = {};
    EXPECT_FALSE(handle().getDeviceID(FWDeviceVersionKindAllDevices, ids, nullptr));
    EXPECT_FALSE(handle().getDeviceID(FWDeviceVersionKindDisplayDevices, nullptr, nullptr));
}

TEST_F(DeviceProfileListIDs, NullIdsGivesTheCount) {
    unsigned int count = 99;
    EXPECT_TRUE(handle().getDeviceID(FWDeviceVersionKindAllDevices, nullptr, &count));
    EXPECT_EQ(count, 5u);
    count = 99;
    EXPECT_TRUE(handle().getDeviceID(FWDeviceVersionKindDisplayDevices, nullptr, &count));
    EXPECT_EQ(count, 3u);

    const DeviceProfileList none;
    EXPECT_TRUE(none.getDeviceID(FWDeviceVersionKindAllDevices, nullptr, &count));
    EXPECT_EQ(count, 0u);
}

TEST_F(DeviceProfileListIDs, CopiesTheSelectedIDs) {
    const unsigned int kGuard = 0xCCCCCCCC;
    struct Case {
        const char* what;
        FWDeviceVersionKind kind;
        unsigned int count;
        std::vector<unsigned int> copied;
    };
    const Case cases[] = {
        {"all devices", FWDeviceVersionKindAllDevices, 5, {0x100, 0x101, 0x500, 0x400, 0x600}},
        {"first two devices", FWDeviceVersionKindAllDevices, 2, {0x100, 0x101}},
        {"more than there are",
         FWDeviceVersionKindAllDevices,
         7,
         {0x100, 0x101, 0x500, 0x400, 0x600}},
        {"display devices", FWDeviceVersionKindDisplayDevices, 3, {0x100, 0x101, 0x500}},
        {"more display devices than there are",
         FWDeviceVersionKindDisplayDevices,
         6,
         {0x100, 0x101, 0x500}},
        {"none asked for", FWDeviceVersionKindDisplayDevices, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned int> ids(8, kGuard);
        unsigned int count = c.count;
        EXPECT_TRUE(handle().getDeviceID(c.kind, ids.data(), &count));
        ASSERT_EQ(count, c.copied.size()) << "the count says how many were copied";
        for (size_t i = 0; i < ids.size(); ++i)
            EXPECT_EQ(ids[i], i < c.copied.size() ? c.copied[i] : kGuard) << "index " << i;
    }
}

TEST(DeviceProfileListVersionText, FormatsByTheDeviceRepresentation) {
    DeviceProfileList list;
    list.setV1Profile();
    list.push(profileOf(0x700, "KFW007", 0, "odd", 2));  // any value but 1 is decimal
    struct Case {
        uint32_t device;
        uint32_t version;
        const char* text;
    };
    const Case cases[] = {
        {0x600, 255, "000FF"}, {0x600, 0x10A, "0010A"}, {0x600, 0xABCDEF, "ABCDEF"},
        {0x100, 105, "00105"}, {0x100, 0, "00000"},     {0x101, 123456, "123456"},
        {0x700, 255, "00255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char text[16];
        std::memset(text, 'x', sizeof text);
        unsigned int length = sizeof text;
        EXPECT_TRUE(list.getDeviceVersionString({c.device, c.version}, text, &length));
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(length, sizeof text) << "the length is only written when asked for";

        unsigned int needed = 0;
        EXPECT_TRUE(list.getDeviceVersionString({c.device, c.version}, nullptr, &needed));
        EXPECT_EQ(needed, std::strlen(c.text) + 1);
    }
}

TEST(DeviceProfileListVersionText, TruncatesToTheBufferAndRefusesBadArguments) {
    DeviceProfileList list;
    list.setV1Profile();
    const FWDeviceProfile& handle = list;
    const FWDeviceVersion main{0x100, 105};  // "00105"

    struct Case {
        unsigned int length;
        const char* text;
    };
    const Case cases[] = {{1, ""}, {2, "0"}, {3, "00"}, {5, "0010"}, {6, "00105"}, {7, "00105"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        char text[8];
        std::memset(text, 'x', sizeof text);
        unsigned int length = c.length;
        EXPECT_TRUE(handle.getDeviceVersionString(main, text, &length));
        EXPECT_STREQ(text, c.text);
        // Nothing is written past the caller's length.
        for (size_t i = c.length; i < sizeof text; ++i) EXPECT_EQ(text[i], 'x') << "index " << i;
    }

    char text[8] = "keep";
    unsigned int length = 0;
    EXPECT_FALSE(handle.getDeviceVersionString(main, text, &length));
    EXPECT_STREQ(text, "keep");
    EXPECT_FALSE(handle.getDeviceVersionString(main, text, nullptr));
    EXPECT_FALSE(handle.getDeviceVersionString(main, nullptr, nullptr));

    length = 8;
    EXPECT_FALSE(handle.getDeviceVersionString({0x999, 105}, text, &length));
    EXPECT_EQ(length, 8u);
    EXPECT_STREQ(text, "keep");
    EXPECT_FALSE(handle.getDeviceVersionString({0x999, 105}, nullptr, &length));
    EXPECT_EQ(length, 8u);
}

}  // namespace
