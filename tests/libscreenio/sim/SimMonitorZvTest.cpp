// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "libscreenio/sim/SimMonitorHost.h"
#include "sim/SimMonitor.h"

namespace screenio::sim {
namespace {

using test::get16;
using test::get32;
using test::SimHost;
using test::textAt;

MonitorDescription zvDescription() {
    MonitorDescription description;
    description.kind = MonitorKind::ZV;
    description.serial = "ZV000001";
    description.flashSize = 0x40000;
    description.restartMs = 100;
    // Long enough that the real time a test takes does not end a busy period early.
    description.zvChecksumMsPerBlock = 200;
    DeviceDescription scaler;
    scaler.id = 0x300;
    scaler.name = "Scaler";
    scaler.version = 100;
    scaler.displayOrder = 2;
    scaler.address = 0x0;
    scaler.updateFlagIndex = 0;
    DeviceDescription usb;
    usb.id = 0x301;
    usb.name = "USB hub controller";
    usb.version = 7;
    usb.displayOrder = 0;
    usb.address = 0x20000;
    usb.updateFlagIndex = 5;
    description.devices = {scaler, usb};
    return description;
}

uint8_t statusByte(SimHost& host) {
    std::vector<uint8_t> reply;
    EXPECT_EQ(host.zvStatus(&reply), 0);
    return reply[0];
}

class SimMonitorZv : public testing::Test {
protected:
    // Erases a block and waits for it as the host does.
    void erase(uint32_t address) {
        ASSERT_EQ(host.zvCommand(address, 0x10000, 2), 0);
        ASSERT_EQ(host.zvExecute(), 0);
        SimClock::advance(120000);
        ASSERT_EQ(statusByte(host), 1);
    }
    uint32_t checksum(uint32_t address, uint32_t length) {
        EXPECT_EQ(host.zvCommand(address, length, 3), 0);
        EXPECT_EQ(host.zvExecute(), 0);
        SimClock::advance(int64_t(200000) * ((length + 0xFFFF) / 0x10000));
        std::vector<uint8_t> reply;
        EXPECT_EQ(host.zvStatus(&reply), 0);
        EXPECT_EQ(reply[0], 1);
        return get32(reply, 1);
    }

    SimMonitor monitor{zvDescription()};
    SimHost host{monitor};
};

TEST_F(SimMonitorZv, FlashStartsErasedAndProgrammingOnlyClearsBits) {
    EXPECT_EQ(statusByte(host), 1);  // done before any command
    EXPECT_EQ(monitor.readFlash(0x1000, 4), std::vector<uint8_t>(4, 0xFF));
    std::vector<uint8_t> page(256, 0xF0);
    ASSERT_EQ(host.zvWrite(0x1000, page), 0);
    std::vector<uint8_t> second(256, 0x3C);
    ASSERT_EQ(host.zvWrite(0x1000, second), 0);
    EXPECT_EQ(monitor.readFlash(0x1000, 256), std::vector<uint8_t>(256, 0x30));
    EXPECT_EQ(monitor.readFlash(0x1100, 1), std::vector<uint8_t>{0xFF});

    erase(0);
    EXPECT_EQ(monitor.readFlash(0x1000, 256), std::vector<uint8_t>(256, 0xFF));
}

TEST_F(SimMonitorZv, EraseIsBusyForItsTimeAndRefusesCommandsMeanwhile) {
    monitor.writeFlash(0x10000, std::vector<uint8_t>(0x10000, 0));
    monitor.writeFlash(0x20000, {0});
    ASSERT_EQ(host.zvCommand(0x10000, 0x10000, 2), 0);
    ASSERT_EQ(host.zvExecute(), 0);
    EXPECT_EQ(monitor.readFlash(0x1FFFF, 2), (std::vector<uint8_t>{0xFF, 0}));
    EXPECT_EQ(statusByte(host), 2);
    EXPECT_EQ(host.zvCommand(0, 256, 0), SCREENIO_ERROR_REJECTED);
    EXPECT_EQ(host.zvExecute(), SCREENIO_ERROR_REJECTED);
    SimClock::advance(110000);
    EXPECT_EQ(statusByte(host), 2);
    SimClock::advance(10000);
    EXPECT_EQ(statusByte(host), 1);
}

TEST_F(SimMonitorZv, BadCommandsAreRefusedOrReportFailure) {
    const struct {
        const char* what;
        uint32_t address;
        uint32_t length;
        uint8_t op;
    } failing[] = {
        {"unaligned erase", 0x1000, 0x10000, 2},
        {"erase beyond the flash", 0x40000, 0x10000, 2},
        {"checksum beyond the flash", 0x30000, 0x10001, 3},
    };
    for (const auto& c : failing) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(host.zvCommand(c.address, c.length, c.op), 0);
        ASSERT_EQ(host.zvExecute(), 0);
        EXPECT_EQ(statusByte(host), 3);
    }
    EXPECT_EQ(host.zvCommand(0, 256, 1), SCREENIO_ERROR_REJECTED);         // no such operation
    EXPECT_EQ(host.zvWrite(0x40000 - 255, {1}), SCREENIO_ERROR_REJECTED);  // page past the end
    EXPECT_EQ(host.zvExecute(), SCREENIO_ERROR_REJECTED);                  // no command
    ASSERT_EQ(host.zvCommand(0, 0x10000, 2), 0);
    std::vector<uint8_t> notExecute(256, 0);
    EXPECT_EQ(host.set(0xFF01, 0x123, notExecute), SCREENIO_ERROR_REJECTED);
}

TEST_F(SimMonitorZv, ChecksumComplementsTheByteSumAndIsBusyPerBlock) {
    erase(0);
    erase(0x10000);
    std::vector<uint8_t> page(256);
    uint32_t sum = 0;
    for (size_t i = 0; i < page.size(); ++i) page[i] = uint8_t(i * 5 + 1);
    ASSERT_EQ(host.zvWrite(0x10000, page), 0);
    for (uint32_t a = 0; a < 0x20000; ++a) sum += monitor.readFlash(a, 1)[0];

    ASSERT_EQ(host.zvCommand(0, 0x20000, 3), 0);
    ASSERT_EQ(host.zvExecute(), 0);
    EXPECT_EQ(statusByte(host), 2);
    SimClock::advance(300000);
    EXPECT_EQ(statusByte(host), 2);  // two blocks: 400 ms
    SimClock::advance(100000);
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.zvStatus(&reply), 0);
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(uint32_t(sum + get32(reply, 1)), 0u);

    // A started block counts whole; an empty range is done at once with checksum 0.
    ASSERT_EQ(host.zvCommand(0x10000, 0x10001, 3), 0);
    ASSERT_EQ(host.zvExecute(), 0);
    SimClock::advance(300000);
    EXPECT_EQ(statusByte(host), 2);
    SimClock::advance(100000);
    EXPECT_EQ(statusByte(host), 1);
    EXPECT_EQ(checksum(0, 0), 0u);
}

TEST_F(SimMonitorZv, InfoReportDescribesTheDeviceAskedFor) {
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.get(0xFF01, 0x124, &reply, 32), 0);
    EXPECT_EQ(reply[0], 2);
    EXPECT_EQ(reply[1], 0);
    EXPECT_EQ(get16(reply, 3), 0x300u);

    std::vector<uint8_t> request = reply;
    request[1] = 1;
    ASSERT_EQ(host.set(0xFF01, 0x124, request), 0);
    ASSERT_EQ(host.get(0xFF01, 0x124, &reply, 32), 0);
    EXPECT_EQ(reply[0], 2);
    EXPECT_EQ(reply[1], 1);
    EXPECT_EQ(reply[2], 5);
    EXPECT_EQ(get16(reply, 3), 0x301u);
    EXPECT_EQ(reply[5], 0);
    EXPECT_EQ(get32(reply, 6), 0x20000u);
    EXPECT_EQ(reply[10], 0);
    EXPECT_EQ(textAt(reply, 11), "USB hub controller");

    request[1] = 2;
    EXPECT_EQ(host.set(0xFF01, 0x124, request), SCREENIO_ERROR_REJECTED);
}

TEST_F(SimMonitorZv, NameLongerThanTheReportIsCut) {
    MonitorDescription description = zvDescription();
    description.zvInfoReportLength = 16;
    SimMonitor small(description);
    SimHost smallHost(small);
    std::vector<uint8_t> request(16, 0);
    request[1] = 1;
    ASSERT_EQ(smallHost.set(0xFF01, 0x124, request), 0);
    std::vector<uint8_t> reply;
    ASSERT_EQ(smallHost.get(0xFF01, 0x124, &reply, 16), 0);
    EXPECT_EQ(std::string(reply.begin() + 11, reply.end()), "USB h");
}

TEST_F(SimMonitorZv, UpdateFlagsAreSetAndClearedByIndex) {
    ASSERT_EQ(host.zvFlag(5, 1), 0);
    ASSERT_EQ(host.zvFlag(31, 1), 0);
    ASSERT_EQ(host.zvFlag(0, 1), 0);
    ASSERT_EQ(host.zvFlag(0, 0), 0);
    EXPECT_EQ(monitor.zvUpdateFlags(), (1u << 5) | (1u << 31));
    EXPECT_EQ(host.zvFlag(32, 1), SCREENIO_ERROR_REJECTED);
}

TEST_F(SimMonitorZv, RestartTakesVersionsFromTheImagesOfFlaggedDevices) {
    erase(0);
    erase(0x20000);
    ASSERT_EQ(host.zvWrite(0, test::versionedImage(111, 256)), 0);
    ASSERT_EQ(host.zvWrite(0x20000, test::versionedImage(222, 256)), 0);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 1), 0);
    ASSERT_EQ(host.zvFlag(5, 1), 0);  // only the second device
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 2), 0);
    ASSERT_EQ(host.setValue(0xFF02, 0xF4, 0), 0);

    EXPECT_EQ(monitor.deviceVersion(0x300), 100u);
    EXPECT_EQ(monitor.deviceVersion(0x301), 222u);
    EXPECT_EQ(monitor.zvUpdateFlags(), 0u);
    EXPECT_EQ(monitor.transferState(), 0u);
    EXPECT_FALSE(monitor.present());
    SimClock::advance(100000);
    host.reconnect();
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.queryVersion(0x301, &reply), 0);
    EXPECT_EQ(textAt(reply, 2), "2.22");

    // A flagged device whose image carries no version mark keeps its version.
    ASSERT_EQ(host.zvFlag(0, 1), 0);
    erase(0);
    monitor.powerCycle();
    EXPECT_EQ(monitor.deviceVersion(0x300), 100u);
}

}  // namespace
}  // namespace screenio::sim
