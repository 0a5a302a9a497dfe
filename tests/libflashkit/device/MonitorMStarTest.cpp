// SPDX-License-Identifier: Apache-2.0
// The scaler bridge commands as the simulated monitor receives them, and a round trip through
// its serial flash.
#include <gtest/gtest.h>

#include "device/Monitor.h"
#include "support/MonitorDescriptions.h"
#include "support/SimulatedMonitors.h"

namespace fwu::dev {
namespace {

using screenio::Access;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::MonitorDescription;
using screenio::sim::SimRequest;
using test::Requests;

// One bridge step: the target of the scaler-address report, then what the data report carried
// (the first `length` bytes after its header) or "read" for a data read.
struct Step {
    uint16_t target;
    std::vector<uint8_t> data;
    bool read = false;
    bool operator==(const Step& o) const {
        return target == o.target && data == o.data && read == o.read;
    }
};

std::ostream& operator<<(std::ostream& out, const Step& s) {
    out << std::hex << s.target << (s.read ? " read" : "") << " [";
    for (uint8_t b : s.data) out << int(b) << ' ';
    return out << ']';
}

std::vector<Step> Steps(const std::vector<SimRequest>& requests) {
    std::vector<Step> steps;
    uint16_t target = 0, length = 0;
    for (const SimRequest& r : requests) {
        if (r.page != 0xFF30) continue;
        if (r.usage == 0x10 && r.access == Access::SetArray) {
            target = uint16_t(r.data[0] | r.data[1] << 8);
            length = uint16_t(r.data[2] | r.data[3] << 8);
        } else if (r.usage == 0x11 && r.access == Access::SetArray) {
            steps.push_back(
                {target, std::vector<uint8_t>(r.data.begin() + 2, r.data.begin() + 2 + length)});
        } else if (r.usage == 0x11 && r.access == Access::GetArray) {
            steps.push_back({target,
                             std::vector<uint8_t>(r.data.begin() + 2, r.data.begin() + 2 + length),
                             true});
        }
    }
    return steps;
}

constexpr uint16_t kCmd = 0x1092, kRead = 0x1192, kEnd = 0x1292;

class MonitorMStar : public test::SimulatedMonitors {
protected:
    void SetUp() override {
        install({test::MStarMonitorDescription()});
        record();
    }
    Monitor monitor() { return Monitor(handle()); }

    void waitReady() {
        Monitor::MStarFlashStatus status{true};
        for (int i = 0; i < 100 && status.busy; ++i) {
            ASSERT_GE(monitor().mstarReadFlashStatus(&status), 0);
            screenio::sim::SimClock::advance(100 * 1000);
        }
        ASSERT_FALSE(status.busy);
    }
};

TEST_F(MonitorMStar, WriteProtectionSequences) {
    ASSERT_GE(monitor().mstarSetISPMode(), 0);
    sim().clearHistory();
    ASSERT_GE(monitor().mstarSetSWFlashWriteProtection(false), 0);
    const std::vector<Step> unprotect = Steps(recorded());
    ASSERT_EQ(unprotect.size(), 9u);
    EXPECT_EQ(unprotect[0], (Step{kCmd, {0x05}}));
    EXPECT_EQ(unprotect[1].target, kRead);
    EXPECT_TRUE(unprotect[1].read);
    const std::vector<Step> commands{{kEnd, {}}, {kCmd, {0x06}}, {kEnd, {}}, {kCmd, {0x01, 0x00}},
                                     {kEnd, {}}, {kCmd, {0x04}}, {kEnd, {}}};
    EXPECT_EQ(std::vector<Step>(unprotect.begin() + 2, unprotect.end()), commands);
    EXPECT_FALSE(sim().flashWriteProtected());

    // The status write keeps the flash busy for a moment; commands meanwhile would be lost.
    waitReady();
    sim().clearHistory();
    ASSERT_GE(monitor().mstarSetSWFlashWriteProtection(true), 0);
    EXPECT_EQ(Steps(recorded()), (std::vector<Step>{{kCmd, {0x06}},
                                                    {kEnd, {}},
                                                    {kCmd, {0x01, 0x01}},
                                                    {kEnd, {}},
                                                    {kCmd, {0x04}},
                                                    {kEnd, {}}}));
    // The byte sets only the read-only busy bit: the block-protection bits stay as they were.
    EXPECT_EQ(sim().flashStatus() & 0x1C, 0);
}

TEST_F(MonitorMStar, PageProgramAlwaysSendsAWholeZeroPaddedPage) {
    ASSERT_GE(monitor().mstarSetISPMode(), 0);
    sim().clearHistory();
    std::vector<uint8_t> data(100, 0xAB);
    ASSERT_GE(monitor().mstarWriteData(0x123456, data.data(), 100), 0);
    std::vector<uint8_t> command(260, 0);
    command[0] = 0x02;
    command[1] = 0x12;
    command[2] = 0x34;
    command[3] = 0x56;
    std::copy(data.begin(), data.end(), command.begin() + 4);
    EXPECT_EQ(Steps(recorded()),
              (std::vector<Step>{{kCmd, {0x06}}, {kEnd, {}}, {kCmd, command}, {kEnd, {}}}));

    sim().clearHistory();
    ASSERT_GE(monitor().mstarSectorErase(0x0ABCDE), 0);
    ASSERT_GE(monitor().mstarBlockErase(0x0F0000), 0);
    EXPECT_EQ(Steps(recorded()), (std::vector<Step>{{kCmd, {0x06}},
                                                    {kEnd, {}},
                                                    {kCmd, {0x20, 0x0A, 0xBC, 0xDE}},
                                                    {kEnd, {}},
                                                    {kCmd, {0x06}},
                                                    {kEnd, {}},
                                                    {kCmd, {0xD8, 0x0F, 0x00, 0x00}},
                                                    {kEnd, {}}}));
}

TEST_F(MonitorMStar, DataThatDoesNotFitTheReportIsRefusedAfterTheAddress) {
    ASSERT_GE(monitor().mstarSetISPMode(), 0);
    sim().clearHistory();
    EXPECT_EQ(monitor().write_scalar_data(kCmd, std::vector<uint8_t>(261, 1)),
              KmErrorInvalidLength);
    const auto requests = recorded();
    ASSERT_EQ(Requests(requests, 0xFF30, 0x10, Access::SetArray).size(), 1u);
    EXPECT_TRUE(Requests(requests, 0xFF30, 0x11, Access::SetArray).empty());
    uint8_t out[261];
    EXPECT_EQ(monitor().read_scalar_data(kRead, 261, out), KmErrorInvalidLength);
}

TEST_F(MonitorMStar, BridgeFailuresPassThroughAtTheFirstFailingStep) {
    ASSERT_GE(monitor().mstarSetISPMode(), 0);
    // Requests to the data report: 1 write enable, 2 its end, 3 the erase command, 4 its end.
    for (uint32_t failing = 1; failing <= 4; ++failing) {
        SCOPED_TRACE(failing);
        sim().clearFaults();
        FaultRule rule;
        rule.page = 0xFF30;
        rule.usage = 0x11;
        rule.anyAccess = false;
        rule.access = Access::SetArray;
        rule.first = failing;
        rule.status = SCREENIO_ERROR_TIMEOUT;
        sim().addFault(rule);
        sim().clearHistory();
        EXPECT_EQ(monitor().mstarSectorErase(0x1000), SCREENIO_ERROR_TIMEOUT);
        EXPECT_EQ(Requests(recorded(), 0xFF30, 0x11, Access::SetArray).size(), failing);
    }
}

TEST_F(MonitorMStar, ReadReplyWithAnotherLengthIsRefused) {
    ASSERT_GE(monitor().mstarSetISPMode(), 0);
    FaultRule rule;
    rule.page = 0xFF30;
    rule.usage = 0x11;
    rule.anyAccess = false;
    rule.access = Access::GetArray;
    rule.effect = FaultEffect::WrongEcho;
    sim().addFault(rule);
    uint8_t out[256];
    EXPECT_EQ(monitor().mstarReadData(0, out, 256), KmErrorInvalidLength);
}

TEST_F(MonitorMStar, EraseProgramAndReadBackThroughTheBridge) {
    Monitor m = monitor();
    ASSERT_GE(m.mstarSetISPMode(), 0);
    EXPECT_TRUE(sim().ispMode());

    // Still protected: programming changes nothing.
    std::vector<uint8_t> page(256);
    for (size_t i = 0; i < page.size(); ++i) page[i] = uint8_t(i * 3);
    ASSERT_GE(m.mstarWriteData(0x30000, page.data(), 256), 0);
    waitReady();
    std::vector<uint8_t> back(256, 0);
    ASSERT_GE(m.mstarReadData(0x30000, back.data(), 256), 0);
    EXPECT_EQ(back, std::vector<uint8_t>(256, 0xFF));

    ASSERT_GE(m.mstarSetSWFlashWriteProtection(false), 0);
    waitReady();
    ASSERT_GE(m.mstarBlockErase(0x30000), 0);
    Monitor::MStarFlashStatus status;
    ASSERT_GE(m.mstarReadFlashStatus(&status), 0);
    EXPECT_TRUE(status.busy);
    waitReady();
    ASSERT_GE(m.mstarWriteData(0x30100, page.data(), 256), 0);
    waitReady();
    ASSERT_GE(m.mstarReadData(0x30100, back.data(), 256), 0);
    EXPECT_EQ(back, page);
    EXPECT_EQ(sim().readFlash(0x30100, 256), page);
    sim().clearHistory();
    ASSERT_GE(m.mstarSetSWFlashWriteProtection(true), 0);
    EXPECT_TRUE(test::ProtectionByteWritten(recorded()));
}

TEST_F(MonitorMStar, OnlyAReportOfExactly262BytesMakesAScalerMonitor) {
    MonitorDescription noBridge = test::MStarMonitorDescription();
    noBridge.serial = "M0000002";
    noBridge.withoutUsages = {{0xFF30, 0x11}};
    install({test::MStarMonitorDescription(), noBridge, test::FilesMonitorDescription()});
    EXPECT_TRUE(Monitor(handle(0)).supportsFirmwareUpdateMStar());
    uint32_t count = 0;
    EXPECT_TRUE(Monitor(handle(0)).supports_scalar_update(&count));
    EXPECT_EQ(count, 262u);
    EXPECT_FALSE(Monitor(handle(1)).supportsFirmwareUpdateMStar());
    EXPECT_FALSE(Monitor(handle(2)).supportsFirmwareUpdateMStar());
}

}  // namespace
}  // namespace fwu::dev
