// SPDX-License-Identifier: Apache-2.0
// ZV flash commands against a simulated monitor: command reports, waits and poll limits,
// checksum, update flags.
#include <gtest/gtest.h>

#include <numeric>

#include "device/Monitor.h"
#include "support/Faults.h"
#include "support/MonitorDescriptions.h"
#include "support/SimulatedMonitors.h"

namespace fwu::dev {
namespace {

using screenio::Access;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::MonitorDescription;
using test::Requests;

FaultRule StatusFault(FaultEffect effect, uint32_t count) {
    return test::MakeFault(0xFF01, 0x123, Access::GetArray, effect, 1, count);
}

class MonitorZV : public test::SimulatedMonitors {
protected:
    void SetUp() override {
        install({test::ZvMonitorDescription()});
        record();
    }
    Monitor monitor() { return Monitor(handle()); }
    size_t statusReads() { return Requests(recorded(), 0xFF01, 0x123, Access::GetArray).size(); }
};

TEST_F(MonitorZV, EraseWaitsThenPollsUntilDone) {
    ASSERT_EQ(monitor().zvBlockErase(0x40000), 0);
    // The fixed wait outlasts the simulated erase, so the first status already says done.
    EXPECT_EQ(Sleeps(), (std::vector<uint32_t>{300}));
    EXPECT_EQ(statusReads(), 1u);
    const auto commands = Requests(recorded(), 0xFF01, 0x122, Access::SetArray);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].data,
              (std::vector<uint8_t>{0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 2}));
    EXPECT_EQ(sim().readFlash(0x40000, 16), std::vector<uint8_t>(16, 0xFF));
}

TEST_F(MonitorZV, BusyForeverTimesOutAfter602Rereads) {
    sim().addFault(StatusFault(FaultEffect::StayBusy, 0));
    EXPECT_EQ(monitor().zvBlockErase(0), KmErrorTimeout);
    EXPECT_EQ(statusReads(), 603u);
    ASSERT_EQ(Sleeps().size(), 603u);
    EXPECT_EQ(Sleeps().front(), 300u);
    EXPECT_TRUE(
        std::all_of(Sleeps().begin() + 1, Sleeps().end(), [](uint32_t ms) { return ms == 100; }));
}

TEST_F(MonitorZV, BusyThatEndsOnTheLastRereadStillTimesOut) {
    // The first read and 601 re-reads busy: the 602nd re-read says done, yet the limit holds.
    sim().addFault(StatusFault(FaultEffect::StayBusy, 602));
    EXPECT_EQ(monitor().zvBlockErase(0), KmErrorTimeout);
    sim().clearFaults();
    sim().clearHistory();
    sim().addFault(StatusFault(FaultEffect::StayBusy, 601));
    EXPECT_EQ(monitor().zvBlockErase(0), 0);
    EXPECT_EQ(statusReads(), 602u);
}

TEST_F(MonitorZV, UnreadableOrFailedStatusIsAGeneralFailure) {
    sim().addFault(StatusFault(FaultEffect::Fail, 1));
    EXPECT_EQ(monitor().zvBlockErase(0), KmErrorFailed);
    // The monitor reports failure for an erase that is not on a block boundary.
    EXPECT_EQ(monitor().zvBlockErase(0x1234), KmErrorFailed);
    // A failed send is returned as it is, after the wait.
    Sleeps().clear();
    FaultRule rule = StatusFault(FaultEffect::Fail, 1);
    rule.access = Access::SetArray;
    rule.status = SCREENIO_ERROR_GONE;
    sim().addFault(rule);
    EXPECT_EQ(monitor().zvBlockErase(0), SCREENIO_ERROR_GONE);
    EXPECT_EQ(Sleeps(), (std::vector<uint32_t>{300}));
}

TEST_F(MonitorZV, ChecksumWaitsASecondPerBlockAndComplementsTheByteSum) {
    MonitorDescription description = test::ZvMonitorDescription();
    description.zvChecksumMsPerBlock = 50;  // long enough to be seen busy without a wait
    install({description});
    ASSERT_EQ(monitor().zvBlockErase(0), 0);
    std::vector<uint8_t> page(256);
    std::iota(page.begin(), page.end(), uint8_t(0));
    ASSERT_GE(monitor().zvWriteData(0x100, page.data(), 256), 0);

    struct Case {
        uint32_t length;
        uint32_t firstSleep;
    } cases[] = {{0x30000, 3000}, {0xFFFF, 100}, {0x10000, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        Sleeps().clear();
        uint32_t checksum = 0;
        ASSERT_GE(monitor().zvCalcChecksum(0, c.length, &checksum), 0);
        ASSERT_FALSE(Sleeps().empty());
        EXPECT_EQ(Sleeps().front(), c.firstSleep);
        uint32_t sum = 0;
        for (uint8_t b : sim().readFlash(0, c.length)) sum += b;
        EXPECT_EQ(uint32_t(sum + checksum), 0u);
    }
    EXPECT_GE(monitor().zvCalcChecksum(0, 0x100, nullptr), 0);
}

TEST_F(MonitorZV, PageWriteSendsTheCommandThenAZeroPaddedPage) {
    ASSERT_EQ(monitor().zvBlockErase(0x80000), 0);
    sim().clearHistory();
    const std::vector<uint8_t> data{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_GE(monitor().zvWriteData(0x80200, data.data(), 10), 0);
    const auto commands = Requests(recorded(), 0xFF01, 0x122, Access::SetArray);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].data,
              (std::vector<uint8_t>{0x00, 0x02, 0x08, 0x00, 0x00, 0x01, 0x00, 0x00, 0}));
    const auto pages = Requests(recorded(), 0xFF01, 0x123, Access::SetArray);
    ASSERT_EQ(pages.size(), 1u);
    std::vector<uint8_t> expected = data;
    expected.resize(256, 0);
    EXPECT_EQ(pages[0].data, expected);
    EXPECT_EQ(statusReads(), 0u);
    EXPECT_EQ(sim().readFlash(0x80200, 256), expected);
}

TEST_F(MonitorZV, UpdateFlagsAndCapability) {
    ASSERT_GE(monitor().zvSetUpdateFlag(5, true), 0);
    ASSERT_GE(monitor().zvSetUpdateFlag(1, true), 0);
    ASSERT_GE(monitor().zvSetUpdateFlag(1, false), 0);
    EXPECT_EQ(sim().zvUpdateFlags(), 1u << 5);
    const auto flags = Requests(recorded(), 0xFF02, 0x110, Access::SetArray);
    ASSERT_EQ(flags.size(), 3u);
    EXPECT_EQ(flags[0].data, (std::vector<uint8_t>{0, 5, 1}));
    EXPECT_EQ(flags[2].data, (std::vector<uint8_t>{0, 1, 0}));

    MonitorDescription noFlag = test::ZvMonitorDescription();
    noFlag.serial = "Z0000009";
    noFlag.withoutUsages = {{0xFF02, 0x110}};
    install({test::ZvMonitorDescription(), noFlag});
    EXPECT_TRUE(Monitor(handle(0)).supportsFirmwareUpdateZV());
    EXPECT_FALSE(Monitor(handle(1)).supportsFirmwareUpdateZV());
}

}  // namespace
}  // namespace fwu::dev
