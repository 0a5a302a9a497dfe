// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>

#include <nlohmann/json.hpp>

#include "libscreenio/sim/SimMonitorHost.h"
#include "sim/SimMonitor.h"

namespace screenio::sim {
namespace {

using test::get32;
using test::SimHost;

MonitorDescription filesDescription() {
    MonitorDescription description;
    description.kind = MonitorKind::Files;
    description.serial = "ST000001";
    description.restartMs = 1000;
    DeviceDescription main;
    main.id = 0;
    main.name = "Main";
    main.fileName = "PRG000";
    main.recordSize = 512;
    main.recordCount = 2;
    main.version = 10;
    DeviceDescription sub;
    sub.id = 1;
    sub.name = "Sub";
    sub.fileName = "PRG001";
    sub.recordSize = 16;
    sub.recordCount = 1;
    sub.version = 20;
    description.devices = {main, sub};
    return description;
}

MonitorDescription zvDescription() {
    MonitorDescription description;
    description.kind = MonitorKind::ZV;
    description.flashSize = 0x20000;
    DeviceDescription d;
    d.id = 9;
    d.version = 3;
    description.devices = {d};
    return description;
}

TEST(SimMonitorState, FilesMonitorResumesAnInterruptedTransferInAnotherInstance) {
    SimMonitor first(filesDescription());
    SimHost host(first);
    std::vector<uint8_t> image = test::versionedImage(77, 1024);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 1), 0);
    ASSERT_EQ(host.setValue(0xFF00, 0x0F, 0x4000), 0);
    ASSERT_EQ(host.create("prg000", 512, 2), 0);
    ASSERT_EQ(host.writePage("prg000", 0, 0, image.data(), 512), 0);
    ASSERT_EQ(host.selectFile("PRG001"), 0);
    const nlohmann::json state = first.saveState();

    SimMonitor second(filesDescription());
    second.loadState(state);
    EXPECT_EQ(second.connection(), first.connection());
    EXPECT_EQ(second.transferState(), 1u);
    EXPECT_EQ(second.osdValue(), 0x4000);
    EXPECT_EQ(second.fileContent("prg000"), first.fileContent("prg000"));
    SimHost resumed(second);
    std::vector<uint8_t> reply;
    ASSERT_EQ(resumed.property(&reply), 0);  // the selection lives on the monitor
    EXPECT_EQ(get32(reply, 6) & 0xFFFF, 16u);

    // The written-page set came along: one more page completes the file and it installs.
    ASSERT_EQ(resumed.writePage("prg000", 1, 0, image.data() + 512, 512), 0);
    ASSERT_EQ(resumed.triggerCrc("prg000", 0xFEEDBEEF), 0);
    const nlohmann::json busyState = second.saveState();
    SimMonitor third(filesDescription());
    third.loadState(busyState);  // the CRC's busy time is carried as time left
    SimHost last(third);
    ASSERT_EQ(last.crcResult(&reply), 0);
    EXPECT_NE(reply[10], 0);
    SimClock::advance(30000);
    ASSERT_EQ(last.crcResult(&reply), 0);
    EXPECT_EQ(get32(reply, 11), test::referenceCrc(0xFEEDBEEF, image));
    ASSERT_EQ(last.setValue(0xFF02, 0xFB, 2), 0);
    ASSERT_EQ(last.setValue(0xFF02, 0xF4, 0), 0);
    EXPECT_EQ(third.deviceVersion(0), 77u);

    // A restart deadline and the new version survive another round trip.
    SimMonitor fourth(filesDescription());
    fourth.loadState(third.saveState());
    EXPECT_FALSE(fourth.present());
    EXPECT_EQ(fourth.restartCount(), 1u);
    EXPECT_EQ(fourth.deviceVersion(0), 77u);
    EXPECT_EQ(*fourth.fileContent("PRG000"), image);
    SimClock::advance(1000 * 1000);
    EXPECT_TRUE(fourth.present());
    SimHost after(fourth);
    ASSERT_EQ(after.requestPage("KFW002", 0, 0), 0);
    ASSERT_EQ(after.readPage(&reply), 0);
    EXPECT_EQ(get32(reply, 10), 77u);
}

TEST(SimMonitorState, ZvFlashFlagsAndCommandStateRoundTrip) {
    MonitorDescription description;
    description.kind = MonitorKind::ZV;
    description.flashSize = 0x30000;
    DeviceDescription d;
    d.id = 5;
    d.address = 0x10000;
    d.updateFlagIndex = 3;
    description.devices = {d};
    SimMonitor first(description);
    SimHost host(first);
    ASSERT_EQ(host.zvWrite(0x10000, test::versionedImage(900, 256)), 0);
    ASSERT_EQ(host.zvFlag(3, 1), 0);
    ASSERT_EQ(host.zvCommand(0x10000, 256, 3), 0);
    ASSERT_EQ(host.zvExecute(), 0);

    SimMonitor second(description);
    second.loadState(first.saveState());
    EXPECT_EQ(second.readFlash(0x10000, 256), first.readFlash(0x10000, 256));
    EXPECT_EQ(second.readFlash(0x2FFFF, 1), std::vector<uint8_t>{0xFF});
    EXPECT_EQ(second.zvUpdateFlags(), 1u << 3);
    SimHost resumed(second);
    std::vector<uint8_t> reply;
    SimClock::advance(2000);
    ASSERT_EQ(resumed.zvStatus(&reply), 0);
    EXPECT_EQ(reply[0], 1);
    EXPECT_NE(get32(reply, 1), 0u);
    second.powerCycle();
    EXPECT_EQ(second.deviceVersion(5), 900u);
}

TEST(SimMonitorState, MStarFlashIsSavedSparselyWithItsProtection) {
    MonitorDescription description;
    description.kind = MonitorKind::MStar;
    description.flashSize = 0x100000;
    DeviceDescription d;
    d.id = 1;
    d.address = 0x20000;
    d.flagAddress = 0x5000;
    description.devices = {d};
    SimMonitor first(description);
    SimHost host(first);
    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.setProtection(false), 0);
    ASSERT_EQ(host.waitReady(), 0);
    first.writeFlash(0x20000, test::versionedImage(4, 64));
    first.writeFlash(0x5000, {0xA5, 0xA5, 0xA5, 0xA5});

    nlohmann::json state = first.saveState();
    EXPECT_EQ(state.at("mstar").at("sectors").size(), 2u);
    SimMonitor second(description);
    second.loadState(state);
    EXPECT_FALSE(second.flashWriteProtected());
    EXPECT_EQ(second.readFlash(0x20000, 64), first.readFlash(0x20000, 64));
    second.powerCycle();
    EXPECT_EQ(second.deviceVersion(1), 4u);
}

TEST(SimMonitorState, StatesThatDoNotFitAreRefusedAndChangeNothing) {
    SimMonitor zv(zvDescription());
    const nlohmann::json good = zv.saveState();

    MonitorDescription biggerFlash = zvDescription();
    biggerFlash.flashSize = 0x40000;
    SimMonitor other(biggerFlash);
    EXPECT_THROW(other.loadState(good), std::runtime_error);

    nlohmann::json unknownDevice = good;
    unknownDevice["devices"] = {{{"id", 10}, {"version", 1}}};
    EXPECT_THROW(zv.loadState(unknownDevice), std::runtime_error);
    EXPECT_EQ(zv.deviceVersion(9), 3u);

    nlohmann::json truncated = good;
    truncated.erase("zv");
    EXPECT_THROW(zv.loadState(truncated), std::runtime_error);
    EXPECT_THROW(zv.loadState(nlohmann::json::array()), std::runtime_error);

    SimMonitor files(filesDescription());
    EXPECT_THROW(files.loadState(good), std::runtime_error);  // another kind
    nlohmann::json filesState = files.saveState();
    for (auto& file : filesState["files"])
        if (file["name"] == "PRG001") file["recordCount"] = 2;
    EXPECT_THROW(files.loadState(filesState), std::runtime_error);
    nlohmann::json badContent = files.saveState();
    badContent["files"][0]["content"] = "not base64!";
    EXPECT_THROW(files.loadState(badContent), std::runtime_error);
}

// A damaged number never turns into another value: a fraction, a sign where none belongs or a
// value beyond the field refuses the whole state.
TEST(SimMonitorState, NumbersOutsideTheirFieldAreRefusedAndChangeNothing) {
    SimMonitor files(filesDescription());
    const nlohmann::json good = files.saveState();
    const struct {
        const char* pointer;
        nlohmann::json value;
    } cases[] = {
        {"/devices/0/id", 1e24},  // once undefined behaviour in the conversion
        {"/devices/0/id", 0.5},
        {"/devices/0/version", -1},
        {"/devices/0/version", 4294967296u},
        {"/restartCount", 1.0},
        {"/connection", -1},
        {"/osd", 9223372036854775808u},
        {"/selection/zvInfoIndex", 256},
        {"/files/0/recordSize", 65536},
        {"/faultCounters", {-3}},
    };
    for (const auto& c : cases) {
        nlohmann::json bad = good;
        bad["devices"][0]["version"] = 77;  // would show if anything were taken in
        bad[nlohmann::json::json_pointer(c.pointer)] = c.value;
        EXPECT_THROW(files.loadState(bad), std::runtime_error) << c.pointer << " " << c.value;
        EXPECT_EQ(files.deviceVersion(0), 10u) << c.pointer;
    }
    nlohmann::json largest = good;
    largest["devices"][0]["version"] = 4294967295u;
    largest["osd"] = -9223372036854775807 - 1;
    files.loadState(largest);
    EXPECT_EQ(files.deviceVersion(0), 4294967295u);
}

// A busy time left beyond the clock's end stays busy instead of overflowing the deadline.
TEST(SimMonitorState, AHugeBusyTimeEndsAtTheClocksEnd) {
    SimMonitor zv(zvDescription());
    nlohmann::json state = zv.saveState();
    state["zv"]["busyLeftUs"] = INT64_MAX;
    zv.loadState(state);
    EXPECT_GT(zv.saveState()["zv"]["busyLeftUs"].get<int64_t>(), INT64_MAX / 2);
    state["zv"]["busyLeftUs"] = -1;
    EXPECT_THROW(zv.loadState(state), std::runtime_error);
}

TEST(SimMonitorState, ChangeCountGrowsWithEveryChangeOfTheState) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    uint64_t last = monitor.changeCount();
    auto grew = [&] {
        uint64_t now = monitor.changeCount();
        bool result = now > last;
        last = now;
        return result;
    };
    std::vector<uint8_t> reply;
    int64_t value = 0;
    ASSERT_EQ(host.getValue(0xFF02, 0xFB, &value), 0);
    EXPECT_FALSE(grew());
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 1), 0);
    EXPECT_TRUE(grew());
    ASSERT_EQ(host.create("prg001", 16, 1), 0);
    EXPECT_TRUE(grew());
    std::vector<uint8_t> data(16, 1);
    ASSERT_EQ(host.writePage("prg001", 0, 0, data.data(), 16), 0);
    EXPECT_TRUE(grew());
    ASSERT_EQ(host.setValue(0xFF02, 0xF4, 0), 0);
    EXPECT_TRUE(grew());
    monitor.powerCycle();
    EXPECT_TRUE(grew());
}

}  // namespace
}  // namespace screenio::sim
