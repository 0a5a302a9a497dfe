// SPDX-License-Identifier: Apache-2.0
// The scaler's ISP bridge: report layouts, targets, ISP gating and length checks, and the host's
// request sequences reaching the flash behind it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "libscreenio/sim/MStarHost.h"
#include "sim/MStarBridge.h"
#include "sim/SimClock.h"
#include "sim/SpiNorFlash.h"

namespace screenio::sim {
namespace {

using test::MStarHost;

constexpr uint32_t kFlashSize = 0x20000;
constexpr uint32_t kReport = MStarBridge::kDataReportLength;

class MStarBridgeTest : public ::testing::Test {
protected:
    MStarBridgeTest() : flash(kFlashSize, SpiNorFlash::Timing()), bridge(flash), host(bridge) {}

    KmError setAddressRaw(std::vector<uint8_t> report) {
        return bridge.setAddress(report.data(), uint32_t(report.size()));
    }
    // One spare byte, so that a length of 0 still passes a non-null buffer.
    KmError writeRaw(uint32_t length) {
        std::vector<uint8_t> report(length + 1, 0);
        return bridge.writeData(report.data(), length);
    }
    KmError readRaw(uint32_t length) {
        std::vector<uint8_t> report(length + 1, 0);
        return bridge.readData(report.data(), length);
    }

    SpiNorFlash flash;
    MStarBridge bridge;
    MStarHost host;
};

TEST(MStarBridgeConstants, DataReportIs262Bytes) {
    EXPECT_EQ(MStarBridge::kDataReportLength, 262u);
    EXPECT_EQ(MStarBridge::kMaxDataLength, 260u);
}

TEST_F(MStarBridgeTest, EntersIspModeWithVrnxTwiceAsTheHostSendsIt) {
    EXPECT_FALSE(bridge.ispMode());
    EXPECT_EQ(host.enterIsp(), 0);
    EXPECT_TRUE(bridge.ispMode());
}

TEST_F(MStarBridgeTest, RefusesAnEntryWithoutExactlyVrnx) {
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
        {"Lowercase", {'v', 'r', 'n', 'x'}},
        {"OtherOrder", {'X', 'N', 'R', 'V'}},
        {"Short", {'V', 'R', 'N'}},
        {"Long", {'V', 'R', 'N', 'X', 0}},
        {"Empty", {}},
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(host.writeScalarData(0x4D92, data), SCREENIO_ERROR_REJECTED);
        EXPECT_FALSE(bridge.ispMode());
    }
}

TEST_F(MStarBridgeTest, FlashTargetsAreRefusedOutsideIspMode) {
    const uint16_t flashTargets[] = {0x1092, 0x1192, 0x1292};
    for (uint16_t target : flashTargets) {
        SCOPED_TRACE(target);
        EXPECT_EQ(host.setScalarAddress(target, 1), SCREENIO_ERROR_REJECTED);
        EXPECT_EQ(writeRaw(kReport), SCREENIO_ERROR_REJECTED);
        EXPECT_EQ(readRaw(kReport), SCREENIO_ERROR_REJECTED);
    }
    // The whole host sequences fail at their first request, and the flash sees nothing.
    uint8_t status = 0;
    EXPECT_EQ(host.readStatus(&status), SCREENIO_ERROR_REJECTED);
    EXPECT_EQ(host.writeEnable(), SCREENIO_ERROR_REJECTED);
    EXPECT_EQ(host.setProtection(false), SCREENIO_ERROR_REJECTED);
    EXPECT_FALSE(flash.selected());
    EXPECT_FALSE(flash.writeEnabled());
    EXPECT_TRUE(flash.writeProtected());

    ASSERT_EQ(host.enterIsp(), 0);
    for (uint16_t target : flashTargets) {
        EXPECT_EQ(host.setScalarAddress(target, 1), 0) << target;
    }
    EXPECT_EQ(host.readStatus(&status), 0);
    EXPECT_EQ(status, 0x1C);

    ASSERT_EQ(host.leaveIsp(), 0);
    EXPECT_FALSE(bridge.ispMode());
    EXPECT_EQ(host.readStatus(&status), SCREENIO_ERROR_REJECTED);
    // Leaving when already out is harmless.
    EXPECT_EQ(host.leaveIsp(), 0);
}

TEST_F(MStarBridgeTest, LeavingIspBetweenAddressAndDataRefusesTheData) {
    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.setScalarAddress(0x1092, 1), 0);
    bridge.reset();
    std::vector<uint8_t> report(kReport, 0);
    report[2] = 0x06;
    EXPECT_EQ(bridge.writeData(report.data(), kReport), SCREENIO_ERROR_REJECTED);
    EXPECT_FALSE(flash.selected());
}

TEST_F(MStarBridgeTest, UnknownTargetsAreRefusedAndForgetTheEarlierTarget) {
    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.setScalarAddress(0x1092, 1), 0);
    const uint16_t unknown[] = {0x0000, 0x1392, 0x9210, 0x4D93, 0xFFFF};
    for (uint16_t target : unknown) {
        SCOPED_TRACE(target);
        EXPECT_EQ(host.setScalarAddress(target, 1), SCREENIO_ERROR_REJECTED);
        std::vector<uint8_t> report(kReport, 0);
        report[2] = 0x06;
        EXPECT_EQ(bridge.writeData(report.data(), kReport), SCREENIO_ERROR_REJECTED);
        EXPECT_EQ(readRaw(kReport), SCREENIO_ERROR_REJECTED);
    }
    EXPECT_FALSE(flash.selected()) << "the stale 0x1092 target must not reach the flash";
}

TEST_F(MStarBridgeTest, DataRequestsInTheWrongDirectionAreRefused) {
    ASSERT_EQ(host.enterIsp(), 0);
    const struct {
        uint16_t target;
        bool writeOk;
        bool readOk;
    } cases[] = {{0x1092, true, false},
                 {0x1192, false, true},
                 {0x1292, true, false},
                 {0x4D92, false, false},
                 {0x2492, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        ASSERT_EQ(host.enterIsp(), 0);
        ASSERT_EQ(host.setScalarAddress(c.target, 0), 0);
        EXPECT_EQ(readRaw(kReport), c.readOk ? 0 : SCREENIO_ERROR_REJECTED);
        ASSERT_EQ(host.setScalarAddress(c.target, 0), 0);
        EXPECT_EQ(writeRaw(kReport), c.writeOk ? 0 : SCREENIO_ERROR_REJECTED);
        if (bridge.ispMode()) {
            ASSERT_EQ(host.end(), 0);  // 0x2492 has left it
        }
    }
}

TEST_F(MStarBridgeTest, ReportLengthsAreChecked) {
    ASSERT_EQ(host.enterIsp(), 0);
    for (uint32_t length : {0u, 3u, 5u, 262u}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> report(std::max(length, 4u), 0);
        report[0] = 0x92;
        report[1] = 0x10;
        EXPECT_EQ(bridge.setAddress(report.data(), length), SCREENIO_ERROR_LENGTH);
    }
    for (uint32_t length : {0u, 4u, 261u, 263u, 512u}) {
        SCOPED_TRACE(length);
        ASSERT_EQ(host.setScalarAddress(0x1092, 1), 0);
        EXPECT_EQ(writeRaw(length), SCREENIO_ERROR_LENGTH);
        ASSERT_EQ(host.setScalarAddress(0x1192, 1), 0);
        EXPECT_EQ(readRaw(length), SCREENIO_ERROR_LENGTH);
    }
    EXPECT_FALSE(flash.selected());
    EXPECT_EQ(bridge.setAddress(nullptr, 4), SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(bridge.writeData(nullptr, kReport), SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(bridge.readData(nullptr, kReport), SCREENIO_ERROR_INVALID_ARGUMENT);
}

TEST_F(MStarBridgeTest, LengthsAbove260AreRefusedByTheDataReportNotTheAddress) {
    ASSERT_EQ(host.enterIsp(), 0);
    const struct {
        uint16_t target;
        uint16_t length;
        KmError expected;  // of the data report that follows the address
    } cases[] = {{0x1092, 260, 0},
                 {0x1092, 261, SCREENIO_ERROR_LENGTH},
                 {0x1192, 260, 0},
                 {0x1192, 261, SCREENIO_ERROR_LENGTH},
                 {0x1192, 0xFFFF, SCREENIO_ERROR_LENGTH},
                 {0x4D92, 262, SCREENIO_ERROR_LENGTH}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.target) + "/" + std::to_string(c.length));
        // The address report itself is taken: the host learns of the problem only after it.
        EXPECT_EQ(host.setScalarAddress(c.target, c.length), 0);
        const KmError got = c.target == 0x1192 ? readRaw(kReport) : writeRaw(kReport);
        EXPECT_EQ(got, c.expected);
        ASSERT_EQ(host.end(), 0);
    }
    EXPECT_FALSE(flash.selected());
}

TEST_F(MStarBridgeTest, StatusReadReplyCarriesTheLengthAndOneByte) {
    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.command({0x05}), 0);
    ASSERT_EQ(host.setScalarAddress(0x1192, 1), 0);
    std::vector<uint8_t> report(kReport, 0xEE);
    ASSERT_EQ(bridge.readData(report.data(), kReport), 0);
    std::vector<uint8_t> expected(kReport, 0);
    expected[0] = 1;
    expected[2] = 0x1C;  // protected, idle, no latch
    EXPECT_EQ(report, expected);
    EXPECT_TRUE(flash.selected()) << "a read keeps the command open";
    ASSERT_EQ(host.end(), 0);
    EXPECT_FALSE(flash.selected());

    // A status read repeats the status for every byte clocked out.
    ASSERT_EQ(host.command({0x05}), 0);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(host.readScalarData(0x1192, 3, &bytes), 0);
    EXPECT_EQ(bytes, std::vector<uint8_t>(3, 0x1C));
    ASSERT_EQ(host.end(), 0);
}

TEST_F(MStarBridgeTest, AReadWithoutAnOpenCommandGetsTheUndrivenLine) {
    ASSERT_EQ(host.enterIsp(), 0);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(host.readScalarData(0x1192, 4, &bytes), 0);
    EXPECT_EQ(bytes, std::vector<uint8_t>(4, 0xFF));
    EXPECT_FALSE(flash.selected());
}

TEST_F(MStarBridgeTest, SeveralCommandWritesBeforeTheEndMakeOneCommand) {
    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.setProtection(false), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    ASSERT_EQ(host.writeEnable(), 0);
    const std::vector<uint8_t> full =
        MStarHost::programCommand(0x1200, std::vector<uint8_t>(256, 0x3C));
    ASSERT_EQ(host.command({full.begin(), full.begin() + 2}), 0);
    ASSERT_EQ(host.command({full.begin() + 2, full.begin() + 100}), 0);
    ASSERT_EQ(host.command({}), 0);
    ASSERT_EQ(host.command({full.begin() + 100, full.end()}), 0);
    EXPECT_EQ(flash.memory().at(0x1200), 0xFF) << "nothing before the end";
    ASSERT_EQ(host.end(), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_EQ(host.readFlash(0x1200, 256), std::vector<uint8_t>(256, 0x3C));
}

TEST_F(MStarBridgeTest, AnEndWithoutAnOpenCommandDoesNothing) {
    ASSERT_EQ(host.enterIsp(), 0);
    EXPECT_EQ(host.end(), 0);
    EXPECT_EQ(host.end(), 0);
    EXPECT_FALSE(flash.selected());
}

TEST_F(MStarBridgeTest, LeavingIspEndsTheOpenCommandExecutingIt) {
    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.command({0x06}), 0);
    ASSERT_EQ(host.leaveIsp(), 0);
    EXPECT_FALSE(bridge.ispMode());
    EXPECT_FALSE(flash.selected());
    EXPECT_TRUE(flash.writeEnabled());
}

TEST_F(MStarBridgeTest, ResetDropsTheOpenCommandWithoutExecutingIt) {
    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.setProtection(false), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    ASSERT_EQ(host.writeEnable(), 0);
    ASSERT_EQ(host.command(MStarHost::programCommand(0, std::vector<uint8_t>(256, 0))), 0);

    bridge.reset();
    EXPECT_FALSE(bridge.ispMode());
    EXPECT_FALSE(flash.selected());
    EXPECT_FALSE(flash.writeEnabled());
    EXPECT_EQ(flash.contents(0, flash.size()), std::vector<uint8_t>(kFlashSize, 0xFF));
    EXPECT_FALSE(flash.writeProtected()) << "the protection bits are non-volatile";
    EXPECT_EQ(host.end(), SCREENIO_ERROR_REJECTED);

    // After a new entry the bridge starts afresh: the next command is a new one.
    ASSERT_EQ(host.enterIsp(), 0);
    EXPECT_EQ(host.status(), 0x00);
}

// The scaler update flow for a two-block image and one flag sector, exactly as the host
// runs it: no ready-wait between pages nor between the flag erase and its pages. It relies on the
// link being slower than the flash; 1 ms per request, as a USB feature report takes.
TEST_F(MStarBridgeTest, TheUpdateFlowWritesVerifiesAndProtectsOverARealisticLink) {
    host.setLinkLatency(1000);
    std::vector<uint8_t> image(0x10000 + 300);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 31 + 5);
    flash.load(0, std::vector<uint8_t>(kFlashSize, 0x00).data(), kFlashSize);

    ASSERT_EQ(host.enterIsp(), 0);
    ASSERT_EQ(host.setProtection(false), 0);
    SimClock::advance(100000);
    ASSERT_EQ(host.waitForReady(), 0);

    for (uint32_t block = 0; block < 2; ++block) {
        const uint32_t base = block * 0x10000;
        std::vector<uint8_t> buffer(0x10000, 0xFF);
        const size_t length = std::min<size_t>(image.size() - base, 0x10000);
        std::copy(image.begin() + base, image.begin() + base + length, buffer.begin());
        ASSERT_EQ(host.blockErase(base), 0);
        ASSERT_EQ(host.waitForReady(), 0);
        for (uint32_t page = 0; page < 256; ++page) {
            ASSERT_EQ(host.writePage(base + page * 256, {buffer.begin() + page * 256,
                                                         buffer.begin() + page * 256 + 256}),
                      0);
        }
        ASSERT_EQ(host.waitForReady(), 0);
        std::vector<uint8_t> back;
        for (uint32_t page = 0; page < 256; ++page) {
            std::vector<uint8_t> part = host.readFlash(base + page * 256, 256);
            back.insert(back.end(), part.begin(), part.end());
        }
        ASSERT_EQ(back, buffer) << "block " << block;
    }

    // The flag marker in the last four bytes of sector 0x1F000.
    std::vector<uint8_t> sector(0x1000, 0xFF);
    std::fill(sector.begin() + 0xFFC, sector.end(), 0xA5);
    ASSERT_EQ(host.sectorErase(0x1F000), 0);
    for (uint32_t page = 0; page < 16; ++page) {
        ASSERT_EQ(host.writePage(0x1F000 + page * 256,
                                 {sector.begin() + page * 256, sector.begin() + page * 256 + 256}),
                  0);
    }
    ASSERT_EQ(host.waitForReady(), 0);
    std::vector<uint8_t> back;
    for (uint32_t page = 0; page < 16; ++page) {
        std::vector<uint8_t> part = host.readFlash(0x1F000 + page * 256, 256);
        back.insert(back.end(), part.begin(), part.end());
    }
    EXPECT_EQ(back, sector);

    ASSERT_EQ(host.setProtection(true), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    // The flow's protect byte 0x01 sets no block-protection bit of a standard part.
    EXPECT_FALSE(flash.writeProtected());
    EXPECT_TRUE(bridge.ispMode()) << "the flow does not leave ISP mode";
}

// The same flow over a link that takes no time: commands that arrive while the previous page
// program or the erase is busy are ignored, as on a real part, so pages go missing and the
// read-back differs. A simulator that answers instantly needs some link latency for the update
// flow to pass.
TEST_F(MStarBridgeTest, PagesSentBackToBackOverAnInstantLinkAreLostWhileTheFlashIsBusy) {
    SpiNorFlash::Timing timing;
    timing.pageProgramUs = 1000000;  // so that real time cannot end it between requests
    timing.sectorEraseUs = 1000000;
    SpiNorFlash slow(kFlashSize, timing);
    MStarBridge slowBridge(slow);
    MStarHost slowHost(slowBridge);
    ASSERT_EQ(slowHost.enterIsp(), 0);
    ASSERT_EQ(slowHost.setProtection(false), 0);
    ASSERT_EQ(slowHost.waitForReady(), 0);

    ASSERT_EQ(slowHost.writePage(0x000, std::vector<uint8_t>(256, 0x11)), 0);
    ASSERT_EQ(slowHost.writePage(0x100, std::vector<uint8_t>(256, 0x22)), 0);
    ASSERT_EQ(slowHost.waitForReady(), 0);
    EXPECT_EQ(slowHost.readFlash(0x000, 256), std::vector<uint8_t>(256, 0x11));
    EXPECT_EQ(slowHost.readFlash(0x100, 256), std::vector<uint8_t>(256, 0xFF))
        << "second page lost";

    // MStarUpdateFlag: sector erase, then the marker page straight away.
    slow.load(0x1F000, std::vector<uint8_t>(0x1000, 0x00).data(), 0x1000);
    ASSERT_EQ(slowHost.sectorErase(0x1F000), 0);
    std::vector<uint8_t> last(256, 0xFF);
    std::fill(last.begin() + 0xFC, last.end(), 0xA5);
    ASSERT_EQ(slowHost.writePage(0x1FF00, last), 0);
    ASSERT_EQ(slowHost.waitForReady(), 0);
    EXPECT_EQ(slowHost.readFlash(0x1FFFC, 4), std::vector<uint8_t>(4, 0xFF)) << "marker lost";
}

}  // namespace
}  // namespace screenio::sim
