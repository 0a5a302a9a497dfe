// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "libscreenio/sim/SimMonitorHost.h"
#include "sim/SimMonitor.h"

namespace screenio::sim {
namespace {

using test::get16;
using test::get32;
using test::nameOf;
using test::SimHost;

MonitorDescription filesDescription() {
    MonitorDescription description;
    description.kind = MonitorKind::Files;
    description.serial = "FT000001";
    description.restartMs = 50;
    DeviceDescription main;
    main.id = 0;
    main.name = "Main";
    main.fileName = "PRG000";
    main.recordSize = 512;
    main.recordCount = 2;
    main.version = 1;
    description.devices = {main};
    return description;
}

MonitorDescription zvDescription() {
    MonitorDescription description;
    description.kind = MonitorKind::ZV;
    description.flashSize = 0x20000;
    DeviceDescription d;
    d.id = 0x42;
    d.name = "Scaler";
    description.devices = {d};
    return description;
}

MonitorDescription mstarDescription() {
    MonitorDescription description;
    description.kind = MonitorKind::MStar;
    description.flashSize = 0x20000;
    DeviceDescription d;
    d.id = 0x100;
    d.name = "Scaler";
    d.flagAddress = 0x1000;
    description.devices = {d};
    return description;
}

FaultRule rule(uint16_t page, uint16_t usage, FaultEffect effect, uint32_t first = 1,
               uint32_t count = 1) {
    FaultRule r;
    r.page = page;
    r.usage = usage;
    r.effect = effect;
    r.first = first;
    r.count = count;
    return r;
}

TEST(SimMonitorFaults, FailAffectsExactlyTheNumberedRequestsAndDoesNotCarryThemOut) {
    const struct {
        uint32_t first;
        uint32_t count;
        std::vector<bool> failed;  // for requests 1..6
    } cases[] = {
        {1, 1, {true, false, false, false, false, false}},
        {2, 3, {false, true, true, true, false, false}},
        {4, 0, {false, false, false, true, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "first " << c.first << " count " << c.count);
        SimMonitor monitor(filesDescription());
        SimHost host(monitor);
        FaultRule r = rule(0xFF00, 0x0F, FaultEffect::Fail, c.first, c.count);
        r.status = SCREENIO_ERROR_TIMEOUT;
        monitor.addFault(r);
        for (size_t i = 0; i < c.failed.size(); ++i) {
            KmError status = host.setValue(0xFF00, 0x0F, int64_t(i + 1));
            EXPECT_EQ(status, c.failed[i] ? SCREENIO_ERROR_TIMEOUT : 0) << "request " << i + 1;
            if (!c.failed[i]) {
                EXPECT_EQ(monitor.osdValue(), int64_t(i + 1));
            }
        }
        int64_t lastCarriedOut = 0;
        for (size_t i = 0; i < c.failed.size(); ++i)
            if (!c.failed[i]) lastCarriedOut = int64_t(i + 1);
        EXPECT_EQ(monitor.osdValue(), lastCarriedOut);
    }
}

TEST(SimMonitorFaults, RuleLimitedToOneAccessCountsOnlyThatAccess) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    FaultRule r = rule(0xFF02, 0xFC, FaultEffect::Fail, 1, 1);
    r.anyAccess = false;
    r.access = Access::GetArray;
    monitor.addFault(r);
    ASSERT_EQ(host.triggerCrc("PRG000", 0), 0);  // a set: not counted
    std::vector<uint8_t> reply;
    EXPECT_EQ(host.crcResult(&reply), SCREENIO_ERROR_IO);
    EXPECT_EQ(host.crcResult(&reply), 0);
}

// Each reply that can name something else does so under WrongEcho, and only under it.
TEST(SimMonitorFaults, WrongEchoNamesAnotherThingInEachReply) {
    struct EchoCase {
        const char* what;
        std::function<MonitorDescription()> description;
        FaultRule fault;
        std::function<void(SimHost&)> prepare;
        std::function<void(SimHost&, bool wrong)> check;
    };
    const std::vector<EchoCase> cases = {
        {"property name", filesDescription, rule(0xFF02, 0xC3, FaultEffect::WrongEcho),
         [](SimHost& h) { ASSERT_EQ(h.selectFile("PRG000"), 0); },
         [](SimHost& h, bool wrong) {
             std::vector<uint8_t> r;
             ASSERT_EQ(h.property(&r), 0);
             EXPECT_EQ(nameOf(r) == "PRG000", !wrong);
         }},
        {"page index", filesDescription, rule(0xFF02, 0xFD, FaultEffect::WrongEcho, 2),
         [](SimHost& h) { ASSERT_EQ(h.requestPage("PRG000", 1, 0), 0); },
         [](SimHost& h, bool wrong) {
             std::vector<uint8_t> r;
             ASSERT_EQ(h.readPage(&r), 0);
             EXPECT_EQ(get16(r, 6), 1u);
             EXPECT_EQ(get16(r, 8) == 0, !wrong);
         }},
        {"CRC name", filesDescription, rule(0xFF02, 0xFC, FaultEffect::WrongEcho, 2),
         [](SimHost& h) { ASSERT_EQ(h.triggerCrc("PRG000", 0), 0); },
         [](SimHost& h, bool wrong) {
             std::vector<uint8_t> r;
             ASSERT_EQ(h.crcResult(&r), 0);
             EXPECT_EQ(nameOf(r) == "PRG000", !wrong);
         }},
        {"device ID", zvDescription, rule(0xFF00, 0xD8, FaultEffect::WrongEcho, 2),
         [](SimHost& h) {
             ASSERT_EQ(h.set(0xFF00, 0xD8,
                             std::vector<uint8_t>{0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  0, 0}),
                       0);
         },
         [](SimHost& h, bool wrong) {
             std::vector<uint8_t> r;
             ASSERT_EQ(h.get(0xFF00, 0xD8, &r, 18), 0);
             EXPECT_EQ(get16(r, 0) == 0x42, !wrong);
         }},
        {"ZV info index", zvDescription, rule(0xFF01, 0x124, FaultEffect::WrongEcho),
         [](SimHost&) {},
         [](SimHost& h, bool wrong) {
             std::vector<uint8_t> r;
             ASSERT_EQ(h.get(0xFF01, 0x124, &r, 32), 0);
             EXPECT_EQ(r[1] == 0, !wrong);
         }},
        {"scaler data length", mstarDescription, rule(0xFF30, 0x11, FaultEffect::WrongEcho, 3),
         [](SimHost& h) { ASSERT_EQ(h.enterIsp(), 0); },
         [](SimHost& h, bool wrong) {
             std::vector<uint8_t> out;
             uint32_t echoed = 0;
             ASSERT_EQ(h.scalerRead(0x1192, 1, &out, &echoed), 0);
             EXPECT_EQ(echoed == 1, !wrong);
         }},
    };
    for (const EchoCase& c : cases) {
        SCOPED_TRACE(c.what);
        SimMonitor monitor(c.description());
        SimHost host(monitor);
        monitor.addFault(c.fault);
        c.prepare(host);
        c.check(host, true);
        c.check(host, false);
    }
}

TEST(SimMonitorFaults, CorruptCrcFlipsTheLowBitOfTheReportedCrc) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    monitor.addFault(rule(0xFF02, 0xFC, FaultEffect::CorruptCrc, 2));
    ASSERT_EQ(host.triggerCrc("PRG000", 0xFEEDBEEF), 0);
    SimClock::advance(30000);
    const uint32_t good = test::referenceCrc(0xFEEDBEEF, std::vector<uint8_t>(1024, 0));
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.crcResult(&reply), 0);
    EXPECT_EQ(get32(reply, 11), good ^ 1u);
    ASSERT_EQ(host.crcResult(&reply), 0);
    EXPECT_EQ(get32(reply, 11), good);
}

TEST(SimMonitorFaults, CorruptChecksumAddsOneToTheZvChecksum) {
    SimMonitor monitor(zvDescription());
    SimHost host(monitor);
    monitor.addFault(
        rule(0xFF01, 0x123, FaultEffect::CorruptChecksum, 2));  // after the execute request
    ASSERT_EQ(host.zvCommand(0, 0x10000, 3), 0);
    ASSERT_EQ(host.zvExecute(), 0);
    SimClock::advance(2000);
    const uint32_t good = 0u - 0xFFu * 0x10000u;
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.zvStatus(&reply), 0);
    EXPECT_EQ(get32(reply, 1), good + 1);
    ASSERT_EQ(host.zvStatus(&reply), 0);
    EXPECT_EQ(get32(reply, 1), good);
}

TEST(SimMonitorFaults, StayBusyKeepsTheCrcAndTheZvCommandBusyWhileActive) {
    SimMonitor files(filesDescription());
    SimHost filesHost(files);
    files.addFault(rule(0xFF02, 0xFC, FaultEffect::StayBusy, 2, 3));
    ASSERT_EQ(filesHost.triggerCrc("PRG000", 0), 0);
    SimClock::advance(1000000);
    std::vector<uint8_t> reply;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(filesHost.crcResult(&reply), 0);
        EXPECT_NE(reply[10], 0);
        EXPECT_EQ(get32(reply, 11), 0u);
    }
    ASSERT_EQ(filesHost.crcResult(&reply), 0);
    EXPECT_EQ(reply[10], 0);

    SimMonitor zv(zvDescription());
    SimHost zvHost(zv);
    FaultRule r = rule(0xFF01, 0x123, FaultEffect::StayBusy, 1, 0);
    r.anyAccess = false;
    r.access = Access::GetArray;
    zv.addFault(r);
    ASSERT_EQ(zvHost.zvCommand(0, 0x10000, 2), 0);
    ASSERT_EQ(zvHost.zvExecute(), 0);
    SimClock::advance(10 * 1000000);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(zvHost.zvStatus(&reply), 0);
        EXPECT_EQ(reply[0], 2);
    }
}

TEST(SimMonitorFaults, StayBusyOnTheBridgeKeepsTheFlashBusyUntilTheRuleEnds) {
    SimMonitor monitor(mstarDescription());
    SimHost host(monitor);
    ASSERT_EQ(host.enterIsp(), 0);
    // FF30/11 requests 1 to 5 span two status reads (three data reports each); the flash is
    // stuck busy for both and free again for the third.
    monitor.addFault(rule(0xFF30, 0x11, FaultEffect::StayBusy, 1, 5));
    uint8_t status = 0;
    ASSERT_EQ(host.flashStatus(&status), 0);
    EXPECT_EQ(status & 1, 1);
    ASSERT_EQ(host.flashStatus(&status), 0);
    EXPECT_EQ(status & 1, 1);
    ASSERT_EQ(host.flashStatus(&status), 0);
    EXPECT_EQ(status & 1, 0);
}

TEST(SimMonitorFaults, DropOffLeavesTheBusForItsTimeThenRestarts) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    FaultRule r = rule(0xFF02, 0xFE, FaultEffect::DropOff, 2);
    r.absentMs = 500;
    monitor.addFault(r);
    ASSERT_EQ(host.create("prg000", 512, 2), 0);
    std::vector<uint8_t> data(512, 1);
    ASSERT_EQ(host.writePage("prg000", 0, 0, data.data(), 512), 0);
    const uint64_t before = monitor.connection();
    EXPECT_EQ(host.writePage("prg000", 1, 0, data.data(), 512), SCREENIO_ERROR_GONE);
    EXPECT_NE(monitor.connection(), before);
    EXPECT_FALSE(monitor.present());
    EXPECT_EQ(monitor.restartCount(), 0u);
    SimClock::advance(500 * 1000);
    EXPECT_TRUE(monitor.present());
    EXPECT_EQ(monitor.restartCount(), 1u);
    EXPECT_FALSE(monitor.fileContent("prg000").has_value());  // came back as after a restart
    int64_t value = 0;
    EXPECT_EQ(host.getValue(0xFF02, 0xFB, &value), SCREENIO_ERROR_GONE);
    host.reconnect();
    EXPECT_EQ(host.getValue(0xFF02, 0xFB, &value), 0);
}

TEST(SimMonitorFaults, DropOffWithoutTimeLastsUntilAPowerCycle) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    monitor.addFault(rule(0xFF00, 0x0F, FaultEffect::DropOff));
    EXPECT_EQ(host.setValue(0xFF00, 0x0F, 5), SCREENIO_ERROR_GONE);
    EXPECT_EQ(monitor.osdValue(), 0);
    SimClock::advance(int64_t(3600) * 1000000);
    EXPECT_FALSE(monitor.present());
    monitor.powerCycle();
    SimClock::advance(50 * 1000);
    EXPECT_TRUE(monitor.present());
    host.reconnect();
    EXPECT_EQ(host.setValue(0xFF00, 0x0F, 5), 0);
}

TEST(SimMonitorFaults, FlipBitCorruptsTheProgrammedPage) {
    SimMonitor zv(zvDescription());
    SimHost zvHost(zv);
    FaultRule r = rule(0xFF01, 0x123, FaultEffect::FlipBit, 1, 1);
    zv.addFault(r);
    ASSERT_EQ(zvHost.zvWrite(0x100, std::vector<uint8_t>(256, 0x10)), 0);
    ASSERT_EQ(zvHost.zvWrite(0x200, std::vector<uint8_t>(256, 0x10)), 0);
    EXPECT_EQ(zv.readFlash(0x100, 2), (std::vector<uint8_t>{0x11, 0x10}));
    EXPECT_EQ(zv.readFlash(0x200, 1), std::vector<uint8_t>{0x10});

    SimMonitor mstar(mstarDescription());
    SimHost mstarHost(mstar);
    ASSERT_EQ(mstarHost.enterIsp(), 0);
    ASSERT_EQ(mstarHost.setProtection(false), 0);
    ASSERT_EQ(mstarHost.waitReady(), 0);
    mstar.addFault(rule(0xFF30, 0x10, FaultEffect::FlipBit, 1, 1));
    ASSERT_EQ(mstarHost.flashProgram(0x300, std::vector<uint8_t>(256, 0x20)), 0);
    ASSERT_EQ(mstarHost.waitReady(), 0);
    ASSERT_EQ(mstarHost.flashProgram(0x400, std::vector<uint8_t>(256, 0x20)), 0);
    EXPECT_EQ(mstar.readFlash(0x300, 2), (std::vector<uint8_t>{0x21, 0x20}));
    EXPECT_EQ(mstar.readFlash(0x400, 1), std::vector<uint8_t>{0x20});
}

TEST(SimMonitorFaults, CountersTravelWithTheState) {
    MonitorDescription description = filesDescription();
    description.faults = {rule(0xFF00, 0x0F, FaultEffect::Fail, 3, 1)};
    SimMonitor first(description);
    SimHost host(first);
    EXPECT_EQ(host.setValue(0xFF00, 0x0F, 1), 0);
    EXPECT_EQ(host.setValue(0xFF00, 0x0F, 2), 0);
    nlohmann::json state = first.saveState();

    SimMonitor second(description);
    second.loadState(state);
    SimHost again(second);
    EXPECT_EQ(again.setValue(0xFF00, 0x0F, 3), SCREENIO_ERROR_IO);
    EXPECT_EQ(again.setValue(0xFF00, 0x0F, 4), 0);

    second.clearFaults();
    EXPECT_EQ(again.setValue(0xFF00, 0x0F, 5), 0);
}

}  // namespace
}  // namespace screenio::sim
