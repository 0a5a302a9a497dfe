// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "libscreenio/sim/SimMonitorHost.h"
#include "sim/SimMonitor.h"

namespace screenio::sim {
namespace {

using test::SimHost;
using test::textAt;

MonitorDescription mstarDescription() {
    MonitorDescription description;
    description.kind = MonitorKind::MStar;
    description.serial = "MS000001";
    description.flashSize = 0x80000;
    description.restartMs = 200;
    DeviceDescription scaler;
    scaler.id = 0x100;
    scaler.name = "Scaler";
    scaler.version = 105;
    scaler.address = 0x10000;
    scaler.flagAddress = 0x7FFC;
    description.devices = {scaler};
    return description;
}

// The whole update as the host runs it: ISP entry, unprotect, erase, program and read back one
// block, the update marker, protect again.
void update(SimHost& host, const std::vector<uint8_t>& image) {
    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.setProtection(false), 0);
    SimClock::advance(100000);
    ASSERT_EQ(host.waitReady(), 0);

    ASSERT_EQ(host.flashErase(0xD8, 0x10000), 0);
    ASSERT_EQ(host.waitReady(), 0);
    std::vector<uint8_t> block(0x10000, 0xFF);
    std::copy(image.begin(), image.end(), block.begin());
    for (uint32_t i = 0; i < 256; ++i)
        ASSERT_EQ(host.flashProgram(0x10000 + 256 * i,
                                    {block.begin() + 256 * i, block.begin() + 256 * (i + 1)}),
                  0);
    ASSERT_EQ(host.waitReady(), 0);
    for (uint32_t j = 0; j < 256; ++j) {
        std::vector<uint8_t> page;
        ASSERT_EQ(host.flashRead(0x10000 + 256 * j, 256, &page), 0);
        ASSERT_TRUE(std::equal(page.begin(), page.end(), block.begin() + 256 * j)) << "page " << j;
    }

    ASSERT_EQ(host.flashErase(0x20, 0x7000), 0);
    std::vector<uint8_t> sector(0x1000, 0xFF);
    std::fill_n(sector.begin() + 0xFFC, 4, 0xA5);
    for (uint32_t i = 0; i < 16; ++i)
        ASSERT_EQ(host.flashProgram(0x7000 + 256 * i,
                                    {sector.begin() + 256 * i, sector.begin() + 256 * (i + 1)}),
                  0);
    ASSERT_EQ(host.waitReady(), 0);
    std::vector<uint8_t> marker;
    ASSERT_EQ(host.flashRead(0x7F00, 256, &marker), 0);
    ASSERT_TRUE(std::equal(marker.begin(), marker.end(), sector.begin() + 0xF00));

    ASSERT_EQ(host.setProtection(true), 0);
}

TEST(SimMonitorMStar, FullUpdateThroughTheBridgeInstallsAtThePowerCycle) {
    SimMonitor monitor(mstarDescription());
    SimHost host(monitor);
    host.setLinkTime(400);
    EXPECT_TRUE(monitor.flashWriteProtected());
    EXPECT_FALSE(monitor.ispMode());
    // Flash commands need ISP mode first.
    EXPECT_EQ(host.scalerAddress(0x1092, 1), SCREENIO_ERROR_REJECTED);

    std::vector<uint8_t> image = test::versionedImage(0x0207, 300);
    update(host, image);
    EXPECT_TRUE(monitor.ispMode());
    // The host's protect byte (0x01) sets no block-protection bit of a standard part.
    EXPECT_FALSE(monitor.flashWriteProtected());
    EXPECT_EQ(monitor.flashStatus() & 0x1C, 0);
    EXPECT_EQ(monitor.readFlash(0x10000, 300), image);
    EXPECT_EQ(monitor.readFlash(0x7FFC, 4), std::vector<uint8_t>(4, 0xA5));
    EXPECT_EQ(monitor.deviceVersion(0x100), 105u);  // nothing happens without a power cycle
    EXPECT_TRUE(monitor.present());

    monitor.powerCycle();
    EXPECT_EQ(monitor.deviceVersion(0x100), 0x0207u);
    EXPECT_EQ(monitor.readFlash(0x7FFC, 4), std::vector<uint8_t>(4, 0xFF));
    EXPECT_FALSE(monitor.ispMode());
    EXPECT_FALSE(monitor.present());
    EXPECT_EQ(monitor.restartCount(), 1u);
    SimClock::advance(200000);
    host.reconnect();
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.queryVersion(0x100, &reply), 0);
    EXPECT_EQ(textAt(reply, 2), "5.19");
}

// The scaler runs in place: without a marker it still runs what its region holds.
TEST(SimMonitorMStar, PowerCycleRunsTheImageInPlaceWithOrWithoutMarker) {
    SimMonitor monitor(mstarDescription());
    monitor.powerCycle();
    EXPECT_EQ(monitor.deviceVersion(0x100), 105u) << "the factory image";
    monitor.writeFlash(0x10000, test::versionedImage(999, 16));
    monitor.writeFlash(0x7FFC, {0xA5, 0xA5, 0xA5, 0x00});  // not a marker
    monitor.powerCycle();
    EXPECT_EQ(monitor.deviceVersion(0x100), 999u);
    EXPECT_TRUE(monitor.bootState().boots);
    EXPECT_EQ(monitor.readFlash(0x7FFC, 4), (std::vector<uint8_t>{0xA5, 0xA5, 0xA5, 0x00}));
}

TEST(SimMonitorMStar, MonitorPowerCyclesByItselfAfterProtectingWithAMarkerSet) {
    MonitorDescription description = mstarDescription();
    description.mstarPowerCycleMs = 3000;
    SimMonitor monitor(description);
    SimHost host(monitor);
    host.setLinkTime(400);
    update(host, test::versionedImage(0x0300, 64));
    EXPECT_TRUE(monitor.present());
    SimClock::advance(2000 * 1000);
    EXPECT_TRUE(monitor.present());
    EXPECT_EQ(monitor.deviceVersion(0x100), 105u);
    SimClock::advance(1000 * 1000);
    EXPECT_EQ(monitor.deviceVersion(0x100), 0x0300u);
    EXPECT_FALSE(monitor.present());
    EXPECT_EQ(monitor.restartCount(), 1u);
    uint8_t status = 0;
    EXPECT_EQ(host.flashStatus(&status), SCREENIO_ERROR_GONE);

    // Protecting without a marker set does not start one.
    SimClock::advance(200000);
    host.reconnect();
    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.setProtection(false), 0);
    SimClock::advance(100000);
    ASSERT_EQ(host.setProtection(true), 0);
    SimClock::advance(10000 * 1000);
    EXPECT_TRUE(monitor.present());
    EXPECT_EQ(monitor.restartCount(), 1u);
}

TEST(SimMonitorMStar, ScalerReportsHaveFixedLengths) {
    SimMonitor monitor(mstarDescription());
    SimHost host(monitor);
    EXPECT_EQ(host.set(0xFF30, 0x10, std::vector<uint8_t>(5, 0)), SCREENIO_ERROR_LENGTH);
    EXPECT_EQ(host.set(0xFF30, 0x11, std::vector<uint8_t>(261, 0)), SCREENIO_ERROR_LENGTH);
    std::vector<uint8_t> reply;
    EXPECT_EQ(host.get(0xFF30, 0x10, &reply, 4), SCREENIO_ERROR_REJECTED);  // set only
}

}  // namespace
}  // namespace screenio::sim
