// SPDX-License-Identifier: Apache-2.0
// The exported monitor and device-profile functions against simulated monitors.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "device/Monitor.h"
#include "flashkit/flashkit.h"
#include "support/MonitorDescriptions.h"
#include "support/SimulatedMonitors.h"

namespace {

using screenio::sim::MonitorDescription;

struct Released {
    void operator()(FWKfwFile* file) const { FWKfwFileRelease(file); }
    void operator()(FWDeviceProfile* profile) const { FWDeviceProfileRelease(profile); }
    void operator()(FWUtf8String* text) const { FWUtf8StringRelease(text); }
};
using Package = std::unique_ptr<FWKfwFile, Released>;
using Profile = std::unique_ptr<FWDeviceProfile, Released>;
using Text = std::unique_ptr<FWUtf8String, Released>;

std::string ProfileJson(FWDeviceProfile* profile) {
    Text text(FWUtf8StringCreateDeviceProfileJsonString(profile));
    return text ? FWUtf8StringGetCString(text.get()) : "<null>";
}

class MonitorApi : public fwu::test::SimulatedMonitors {};

TEST_F(MonitorApi, UpdateTypeAndSupportByKind) {
    MonitorDescription noCrc = fwu::test::FilesMonitorDescription();
    noCrc.serial = "F0000002";
    noCrc.withoutUsages = {{0xFF02, 0xFC}};
    install({fwu::test::FilesMonitorDescription(), fwu::test::LegacyMonitorDescription(),
             fwu::test::ZvMonitorDescription(), fwu::test::MStarMonitorDescription(), noCrc});
    struct Case {
        FWFirmwareUpdateType type;
        bool supports, v4;
    } cases[] = {{FWFirmwareUpdateTypeV4, true, true},
                 {FWFirmwareUpdateTypeV3, true, false},
                 {FWFirmwareUpdateTypeZV, true, false},
                 {FWFirmwareUpdateTypeMStar, false, false},
                 {FWFirmwareUpdateTypeNone, false, false}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(FWMonitorGetSupportedFirmwareUpdateType(handle(i)), cases[i].type);
        EXPECT_EQ(FWMonitorSupportsFirmwareUpdate(handle(i)), cases[i].supports);
        EXPECT_EQ(FWMonitorSupportsFirmwareUpdateV4(handle(i)), cases[i].v4);
    }
    // A handle of an earlier search reaches nothing.
    void* stale = handle(0);
    search();
    EXPECT_EQ(FWMonitorGetSupportedFirmwareUpdateType(stale), FWFirmwareUpdateTypeNone);
    char serial[9], product[17];
    EXPECT_LT(FWMonitorGetSerialProduct(stale, serial, product), 0);
    EXPECT_STREQ(serial, "");
}

TEST_F(MonitorApi, NullOutputsAreRefusedWithoutTouchingTheMonitor) {
    install({fwu::test::LegacyMonitorDescription()});
    record();
    char serial[9], product[17];
    EXPECT_EQ(FWMonitorGetSerialProduct(handle(), nullptr, product), KmErrorInvalidArgument);
    EXPECT_EQ(FWMonitorGetSerialProduct(handle(), serial, nullptr), KmErrorInvalidArgument);
    EXPECT_EQ(FWMonitorGetDeviceVersion(handle(), 0x100, nullptr), KmErrorInvalidArgument);
    EXPECT_EQ(FWMonitorGetFirmwareVersion(handle(), nullptr), KmErrorInvalidArgument);
    EXPECT_EQ(FWMonitorGetTransferState(handle(), nullptr), KmErrorInvalidArgument);
    EXPECT_EQ(FWDeviceProfileCreateFromMonitor(handle(), nullptr), KmErrorInvalidArgument);
    EXPECT_EQ(FWDeviceProfileCreateFromMonitorAndKfwFile(handle(), nullptr, nullptr),
              KmErrorInvalidArgument);
    EXPECT_TRUE(recorded().empty());

    unsigned int count = 0;
    char text[8];
    EXPECT_FALSE(
        FWDeviceProfileGetDeviceID(nullptr, FWDeviceVersionKindAllDevices, nullptr, &count));
    EXPECT_FALSE(FWDeviceProfileGetVersionString(nullptr, {0x100, 1}, text, &count));
}

TEST_F(MonitorApi, IdentityVersionsAndRegisters) {
    install({fwu::test::LegacyMonitorDescription(), fwu::test::FilesMonitorDescription()});
    char serial[9], product[17];
    ASSERT_GE(FWMonitorGetSerialProduct(handle(0), serial, product), 0);
    EXPECT_STREQ(serial, "L0000001");
    EXPECT_STREQ(product, "OLDPANEL 24");

    FWDeviceVersion version{};
    ASSERT_GE(FWMonitorGetDeviceVersion(handle(1), 1, &version), 0);
    EXPECT_EQ(version.deviceID, 1u);
    EXPECT_EQ(version.version, 7u);

    // The five legacy versions only for a monitor with the legacy profile.
    FWFirmwareVersion legacy;
    std::memset(&legacy, 0xAA, sizeof legacy);
    ASSERT_GE(FWMonitorGetFirmwareVersion(handle(0), &legacy), 0);
    for (uint32_t device : {0x100u, 0x101u, 0x500u, 0x400u, 0x600u}) {
        FWDeviceVersion one{};
        ASSERT_GE(FWMonitorGetDeviceVersion(handle(0), device, &one), 0);
        const uint32_t* field = device == 0x100   ? &legacy.mainVersion
                                : device == 0x101 ? &legacy.subVersion
                                : device == 0x500 ? &legacy.frontEndVersion
                                : device == 0x400 ? &legacy.fontVersion
                                                  : &legacy.fpgaVersion;
        EXPECT_EQ(*field, one.version) << std::hex << device;
    }
    FWFirmwareVersion untouched;
    std::memset(&untouched, 0xAA, sizeof untouched);
    EXPECT_EQ(FWMonitorGetFirmwareVersion(handle(1), &untouched), KmErrorNotSupported);
    EXPECT_EQ(untouched.mainVersion, 0xAAAAAAAAu);

    fwu::dev::Monitor(handle(1)).setTransferState(2);
    FWTransferState state = FWTransferStateNone;
    ASSERT_GE(FWMonitorGetTransferState(handle(1), &state), 0);
    EXPECT_EQ(state, FWTransferStateTransferred);
    ASSERT_GE(FWMonitorSetOSDStatus(handle(1), true), 0);
    EXPECT_EQ(sim(1).osdValue(), 0x4000);
}

TEST_F(MonitorApi, DeviceProfileFromTheMonitor) {
    install({fwu::test::FilesMonitorDescription(), fwu::test::LegacyMonitorDescription()});
    FWDeviceProfile* raw = nullptr;
    ASSERT_GE(FWDeviceProfileCreateFromMonitor(handle(0), &raw), 0);
    Profile profile(raw);

    unsigned int count = 0;
    ASSERT_TRUE(
        FWDeviceProfileGetDeviceID(profile.get(), FWDeviceVersionKindAllDevices, nullptr, &count));
    EXPECT_EQ(count, 4u);
    ASSERT_TRUE(FWDeviceProfileGetDeviceID(profile.get(), FWDeviceVersionKindDisplayDevices,
                                           nullptr, &count));
    ASSERT_EQ(count, 3u);
    unsigned int ids[3] = {};
    ASSERT_TRUE(
        FWDeviceProfileGetDeviceID(profile.get(), FWDeviceVersionKindDisplayDevices, ids, &count));
    EXPECT_EQ(std::vector<unsigned>(ids, ids + 3), (std::vector<unsigned>{1, 2, 0}));

    // Version texts: length + 1 first, then the text cut to the buffer.
    const FWDeviceVersion version{0, 0x0102};
    unsigned int size = 0;
    ASSERT_TRUE(FWDeviceProfileGetVersionString(profile.get(), version, nullptr, &size));
    EXPECT_EQ(size, 6u);
    char text[6];
    ASSERT_TRUE(FWDeviceProfileGetVersionString(profile.get(), version, text, &size));
    EXPECT_STREQ(text, "00258");
    size = 1;
    ASSERT_TRUE(FWDeviceProfileGetVersionString(profile.get(), version, text, &size));
    EXPECT_STREQ(text, "");
    size = 0;
    EXPECT_FALSE(FWDeviceProfileGetVersionString(profile.get(), version, text, &size));
    size = 6;
    EXPECT_FALSE(FWDeviceProfileGetVersionString(profile.get(), {99, 1}, text, &size));
    EXPECT_EQ(size, 6u);

    // The legacy profile: three shown of five, the FPGA in hexadecimal.
    ASSERT_GE(FWDeviceProfileCreateFromMonitor(handle(1), &raw), 0);
    Profile legacy(raw);
    ASSERT_TRUE(FWDeviceProfileGetDeviceID(legacy.get(), FWDeviceVersionKindDisplayDevices, nullptr,
                                           &count));
    EXPECT_EQ(count, 3u);
    size = sizeof text;
    ASSERT_TRUE(FWDeviceProfileGetVersionString(legacy.get(), {0x600, 0x10A}, text, &size));
    EXPECT_STREQ(text, "0010A");
}

TEST_F(MonitorApi, DeviceNamesFromEachWayOfReadingTheProfile) {
    install({fwu::test::FilesMonitorDescription(), fwu::test::LegacyMonitorDescription(),
             fwu::test::ZvMonitorDescription()});
    // The device files (names in NUL-padded records), the fixed legacy profile, the ZV report.
    const struct {
        size_t monitor;
        unsigned int device;
        const char* name;
    } cases[] = {{0, 0, "Scaler"},
                 {0, 1, "USB hub"},
                 {1, 0x100, "Main/System"},
                 {1, 0x600, "FPGA"},
                 {2, 0x12, "Touch"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FWDeviceProfile* raw = nullptr;
        ASSERT_GE(FWDeviceProfileCreateFromMonitor(handle(c.monitor), &raw), 0);
        Profile profile(raw);
        unsigned int size = 0;
        ASSERT_TRUE(FWDeviceProfileGetDeviceName(profile.get(), c.device, nullptr, &size));
        EXPECT_EQ(size, std::strlen(c.name) + 1);
        char text[32];
        std::memset(text, 'x', sizeof text);
        ASSERT_TRUE(FWDeviceProfileGetDeviceName(profile.get(), c.device, text, &size));
        EXPECT_STREQ(text, c.name);
    }
}

TEST_F(MonitorApi, DeviceNameRefusalsAndCutNames) {
    install({fwu::test::FilesMonitorDescription()});
    FWDeviceProfile* raw = nullptr;
    ASSERT_GE(FWDeviceProfileCreateFromMonitor(handle(0), &raw), 0);
    Profile profile(raw);
    char text[8] = "keep";
    unsigned int size = sizeof text;
    EXPECT_FALSE(FWDeviceProfileGetDeviceName(nullptr, 0, text, &size));
    EXPECT_FALSE(FWDeviceProfileGetDeviceName(profile.get(), 0, text, nullptr));
    // A device that is not in the profile leaves the buffer and its size alone.
    EXPECT_FALSE(FWDeviceProfileGetDeviceName(profile.get(), 99, text, &size));
    EXPECT_EQ(size, sizeof text);
    EXPECT_STREQ(text, "keep");
    // A short buffer gets the start of the name, terminated; none at all is refused.
    size = 4;
    ASSERT_TRUE(FWDeviceProfileGetDeviceName(profile.get(), 1, text, &size));
    EXPECT_STREQ(text, "USB");
    size = 0;
    EXPECT_FALSE(FWDeviceProfileGetDeviceName(profile.get(), 1, text, &size));
}

TEST_F(MonitorApi, FailedProfileReadHandsOutNothing) {
    MonitorDescription description = fwu::test::FilesMonitorDescription();
    screenio::sim::FaultRule rule;
    rule.page = 0xFF02;
    rule.usage = 0xC2;
    rule.first = 3;
    rule.count = 0;
    description.faults = {rule};
    install({description});
    FWDeviceProfile* sentinel = reinterpret_cast<FWDeviceProfile*>(0x1);
    FWDeviceProfile* out = sentinel;
    EXPECT_EQ(FWDeviceProfileCreateFromMonitor(handle(), &out), SCREENIO_ERROR_IO);
    EXPECT_EQ(out, sentinel);
}

TEST_F(MonitorApi, PackageProfileIsCopiedWithoutReadingTheMonitor) {
    install({fwu::test::FilesMonitorDescription()});
    Package package(FWKfwFileCreateEmpty(false));
    const char* json =
        R"({"devices":[{"name":"Scaler","fileName":"PRG000","device":256,"versionRepresentation":0,"address":0,"updateFlagIndex":0}],"displayDevices":[256]})";
    ASSERT_TRUE(FWKfwFileUpdateDeviceProfile(package.get(), json));
    void* stale = handle();
    search();
    FWDeviceProfile* raw = nullptr;
    EXPECT_EQ(FWDeviceProfileCreateFromMonitorAndKfwFile(stale, package.get(), &raw), 0);
    Profile copy(raw);
    FWDeviceProfile* parsed = nullptr;
    ASSERT_TRUE(FWDeviceProfileCreateFromJsonString(json, &parsed));
    Profile expected(parsed);
    EXPECT_EQ(ProfileJson(copy.get()), ProfileJson(expected.get()));

    // Without a profile in the package the monitor is read.
    Package empty(FWKfwFileCreateEmpty(false));
    ASSERT_GE(FWDeviceProfileCreateFromMonitorAndKfwFile(handle(), empty.get(), &raw), 0);
    Profile fromMonitor(raw);
    unsigned int count = 0;
    ASSERT_TRUE(FWDeviceProfileGetDeviceID(fromMonitor.get(), FWDeviceVersionKindAllDevices,
                                           nullptr, &count));
    EXPECT_EQ(count, 4u);
}

}  // namespace
