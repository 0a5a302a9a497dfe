// SPDX-License-Identifier: Apache-2.0
// Device profiles and versions read from simulated monitors: device files, the ZV report, the
// legacy fallback, and the older version query.
#include <gtest/gtest.h>

#include "device/Monitor.h"
#include "profile/DeviceProfileList.h"
#include "profile/DeviceVersionList.h"
#include "support/MonitorDescriptions.h"
#include "support/SimulatedMonitors.h"

namespace fwu::dev {
namespace {

using screenio::Access;
using screenio::sim::DeviceDescription;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::MonitorDescription;

std::vector<uint32_t> Devices(const DeviceProfileList& list) {
    std::vector<uint32_t> ids;
    for (const DeviceProfile& p : list.items()) ids.push_back(p.device);
    return ids;
}

class MonitorProfile : public test::SimulatedMonitors {
protected:
    Monitor monitor() { return Monitor(handle()); }
};

TEST_F(MonitorProfile, FromDeviceFilesInDisplayOrderWithHiddenDevicesKept) {
    install({test::FilesMonitorDescription()});
    DeviceProfileList list;
    list.setDisplayDeviceIDs({42});
    ASSERT_GE(monitor().getDeviceProfile(&list), 0);
    EXPECT_EQ(Devices(list), (std::vector<uint32_t>{0, 1, 2, 3}));
    // Orders 3, 1, 2 and hidden.
    EXPECT_EQ(list.displayDeviceIDs(), (std::vector<uint32_t>{1, 2, 0}));
    EXPECT_EQ(list.items()[1].name, "USB hub");
    EXPECT_EQ(list.items()[2].fileName, "PRG002");
    EXPECT_EQ(list.items()[3].versionRepresentation, 0u);
}

TEST_F(MonitorProfile, NoShownDeviceGivesAnEmptyDisplayList) {
    MonitorDescription description = test::FilesMonitorDescription();
    for (DeviceDescription& d : description.devices) d.displayOrder = 0;
    install({description});
    DeviceProfileList list;
    ASSERT_GE(monitor().getDeviceProfile(&list), 0);
    EXPECT_EQ(list.items().size(), 4u);
    EXPECT_TRUE(list.displayDeviceIDs().empty());
}

TEST_F(MonitorProfile, AFailedRecordReadStopsWithTheProfilesReadSoFar) {
    MonitorDescription description = test::FilesMonitorDescription();
    // Property selects: KFW000 once, then three per device; the sixth is device 1's KFW001.
    FaultRule rule;
    rule.page = 0xFF02;
    rule.usage = 0xC2;
    rule.first = 6;
    rule.status = SCREENIO_ERROR_TIMEOUT;
    description.faults = {rule};
    install({description});
    DeviceProfileList list;
    EXPECT_EQ(monitor().getDeviceProfile(&list), SCREENIO_ERROR_TIMEOUT);
    EXPECT_EQ(Devices(list), (std::vector<uint32_t>{0}));
}

TEST_F(MonitorProfile, FromTheZvReport) {
    install({test::ZvMonitorDescription()});
    DeviceProfileList list;
    ASSERT_GE(monitor().getDeviceProfile(&list), 0);
    EXPECT_EQ(Devices(list), (std::vector<uint32_t>{0x10, 0x11, 0x12}));
    EXPECT_EQ(list.displayDeviceIDs(), (std::vector<uint32_t>{0x12, 0x10}));
    const DeviceProfile& touch = list.items()[2];
    EXPECT_EQ(touch.name, "Touch");
    EXPECT_EQ(touch.address, 0x80000u);
    EXPECT_EQ(touch.updateFlagIndex, 5u);
    EXPECT_TRUE(touch.fileName.empty());
}

TEST_F(MonitorProfile, ZvReportThatIsShortEmptyOrUnreadableIsNotSupported) {
    MonitorDescription shortReport = test::ZvMonitorDescription();
    shortReport.zvInfoReportLength = 11;
    MonitorDescription empty = test::ZvMonitorDescription();
    empty.serial = "Z0000002";
    empty.devices.clear();
    MonitorDescription unreadable = test::ZvMonitorDescription();
    unreadable.serial = "Z0000003";
    FaultRule rule;
    rule.page = 0xFF01;
    rule.usage = 0x124;
    rule.anyAccess = false;
    rule.access = Access::GetArray;
    unreadable.faults = {rule};
    install({shortReport, empty, unreadable});
    for (size_t i = 0; i < 3; ++i) {
        DeviceProfileList list;
        EXPECT_EQ(Monitor(handle(i)).get_device_profile_zv(&list), KmErrorNotSupported);
    }
}

TEST_F(MonitorProfile, MonitorsWithoutDeviceFilesOrZvGetTheLegacyProfile) {
    install({test::LegacyMonitorDescription(), test::MStarMonitorDescription()});
    for (size_t i = 0; i < 2; ++i) {
        DeviceProfileList list;
        EXPECT_EQ(Monitor(handle(i)).getDeviceProfile(&list), 0);
        EXPECT_EQ(Devices(list), (std::vector<uint32_t>{0x100, 0x101, 0x500, 0x400, 0x600}));
        EXPECT_EQ(list.displayDeviceIDs(), (std::vector<uint32_t>{0x100, 0x101, 0x500}));
    }
    DeviceProfileList list;
    EXPECT_EQ(monitor().getDeviceProfile(nullptr), KmErrorInvalidArgument);
}

TEST_F(MonitorProfile, VersionsFromTheDeviceFiles) {
    install({test::FilesMonitorDescription()});
    FWDeviceVersion version{0, 0};
    ASSERT_GE(monitor().getDeviceVersion(2, &version), 0);
    EXPECT_EQ(version.deviceID, 2u);
    EXPECT_EQ(version.version, 21u);

    DeviceProfileList profile;
    ASSERT_GE(monitor().getDeviceProfile(&profile), 0);
    kfw::DeviceVersionList versions;
    ASSERT_GE(monitor().getDeviceVersionList(&versions, &profile), 0);
    ASSERT_EQ(versions.items().size(), 4u);
    EXPECT_EQ(versions.items()[0].version.value(), 0x0102u);
    EXPECT_EQ(versions.items()[3].version.value(), 4u);

    DeviceProfileList none;
    EXPECT_EQ(monitor().getDeviceVersionList(&versions, &none), KmErrorFailed);
    EXPECT_EQ(monitor().getDeviceVersionList(nullptr, &profile), KmErrorInvalidArgument);
    EXPECT_EQ(monitor().getDeviceVersion(2, nullptr), KmErrorInvalidArgument);
}

TEST_F(MonitorProfile, VersionsFromTheOlderQuery) {
    auto device = [](uint32_t id, uint32_t version, bool hex, const char* text) {
        DeviceDescription d;
        d.id = id;
        d.version = version;
        d.hexVersion = hex;
        d.versionText = text;
        d.fileName = "DEV" + std::to_string(id % 1000 + 100);
        return d;
    };
    MonitorDescription description = test::LegacyMonitorDescription();
    description.devices = {device(0x200, 105, false, ""), device(0x600, 0x10A, true, ""),
                           device(0x100, 0, false, "1.2.3"), device(0x101, 0, false, "beta"),
                           device(0x500, 0, false, "-4")};
    install({description});
    struct Case {
        uint32_t device;
        uint32_t callerValue;
        uint32_t want;
    } cases[] = {
        {0x200, 0, 105},    // "1.05"
        {0x600, 0, 0x10A},  // "1.0A", read in base 16 for this device only
        {0x100, 0, 12},     // only the first dot goes; the number ends at the second
        {0x101, 7, 7},      // no number: the version stays
        {0x500, 0, uint32_t(-4)},
        {0x300, 77, 77},  // unknown device: empty text keeps the caller's value
        {0x10200, 5, 0},  // 16 bits cannot echo this ID
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        FWDeviceVersion version{0, c.callerValue};
        EXPECT_GE(monitor().getDeviceVersion(c.device, &version), 0);
        EXPECT_EQ(version.deviceID, c.device);
        EXPECT_EQ(version.version, c.want);
    }
}

TEST_F(MonitorProfile, VersionReplyAboutAnotherDeviceGivesZero) {
    MonitorDescription description = test::LegacyMonitorDescription();
    FaultRule rule;
    rule.page = 0xFF00;
    rule.usage = 0xD8;
    rule.anyAccess = false;
    rule.access = Access::GetArray;
    rule.effect = FaultEffect::WrongEcho;
    description.faults = {rule};
    install({description});
    FWDeviceVersion version{0, 55};
    EXPECT_GE(monitor().getDeviceVersion(0x100, &version), 0);
    EXPECT_EQ(version.version, 0u);
}

}  // namespace
}  // namespace fwu::dev
