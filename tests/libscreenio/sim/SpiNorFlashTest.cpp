// SPDX-License-Identifier: Apache-2.0
// The simulated serial NOR flash, driven as the updater drives it: through the ISP bridge with the
// host's byte sequences (MStarHost). Time passes through SimClock::advance.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "libscreenio/sim/MStarHost.h"
#include "sim/MStarBridge.h"
#include "sim/SimClock.h"
#include "sim/SpiNorFlash.h"

namespace screenio::sim {
namespace {

using test::MStarHost;

constexpr uint32_t kFlashSize = 0x40000;  // 256 KiB: four blocks
constexpr uint8_t kBusy = 0x01;
constexpr uint8_t kWel = 0x02;
constexpr uint8_t kProtectBits = 0x1C;

// Long busy periods, so nothing ends by itself while a test looks at it; tests advance SimClock.
SpiNorFlash::Timing slowTiming() {
    SpiNorFlash::Timing timing;
    timing.pageProgramUs = 2000000;
    timing.sectorEraseUs = 3000000;
    timing.blockEraseUs = 4000000;
    timing.statusWriteUs = 1000000;
    return timing;
}

std::vector<uint8_t> pattern(size_t length, uint8_t seed) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = uint8_t(seed + i * 7);
    return bytes;
}

std::vector<uint8_t> bytesAt(const SpiNorFlash& flash, uint32_t address, size_t length) {
    return flash.contents(address, uint32_t(length));
}

std::vector<uint8_t> all(const SpiNorFlash& flash) { return flash.contents(0, flash.size()); }

std::vector<uint8_t> addressed(uint8_t opcode, uint32_t address) {
    return {opcode, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)};
}

class SpiNorFlashTest : public ::testing::Test {
protected:
    explicit SpiNorFlashTest(SpiNorFlash::Timing timing = SpiNorFlash::Timing())
        : flash(kFlashSize, timing), bridge(flash), host(bridge) {}

    void SetUp() override { ASSERT_EQ(host.enterIsp(), 0); }

    // Protection off and ready, as MStarInitialize leaves it.
    void unprotect() {
        ASSERT_EQ(host.setProtection(false), 0);
        ASSERT_EQ(host.waitForReady(), 0);
        ASSERT_FALSE(flash.writeProtected());
    }
    void passTime(uint32_t microseconds) { SimClock::advance(int64_t(microseconds) + 1); }

    SpiNorFlash flash;
    MStarBridge bridge;
    MStarHost host;
};

class SpiNorFlashSlowTest : public SpiNorFlashTest {
protected:
    SpiNorFlashSlowTest() : SpiNorFlashTest(slowTiming()) {}
};

TEST(SpiNorFlash, StartsErasedProtectedIdleAndWriteDisabled) {
    SpiNorFlash flash(kFlashSize, SpiNorFlash::Timing());
    EXPECT_EQ(flash.size(), kFlashSize);
    EXPECT_EQ(all(flash), std::vector<uint8_t>(kFlashSize, 0xFF));
    EXPECT_TRUE(flash.writeProtected());
    EXPECT_FALSE(flash.writeEnabled());
    EXPECT_FALSE(flash.busy());
    EXPECT_EQ(flash.status(), kProtectBits);
}

TEST_F(SpiNorFlashTest, StatusReadThroughTheBridgeShowsProtectionAndLatch) {
    EXPECT_EQ(host.status(), kProtectBits);
    ASSERT_EQ(host.writeEnable(), 0);
    EXPECT_EQ(host.status(), kProtectBits | kWel);
    ASSERT_EQ(host.commandAndEnd({0x04}), 0);
    EXPECT_EQ(host.status(), kProtectBits);
}

TEST_F(SpiNorFlashTest, ProgramWithoutWriteEnableChangesNothing) {
    unprotect();
    ASSERT_EQ(host.commandAndEnd(MStarHost::programCommand(0x100, pattern(256, 0))), 0);
    EXPECT_EQ(all(flash), std::vector<uint8_t>(kFlashSize, 0xFF));
    EXPECT_FALSE(flash.busy());
}

TEST_F(SpiNorFlashTest, EraseWithoutWriteEnableChangesNothing) {
    unprotect();
    flash.load(0x1000, std::vector<uint8_t>(16, 0x00).data(), 16);
    ASSERT_EQ(host.commandAndEnd(addressed(0x20, 0x1000)), 0);
    ASSERT_EQ(host.commandAndEnd(addressed(0xD8, 0x0000)), 0);
    EXPECT_EQ(bytesAt(flash, 0x1000, 16), std::vector<uint8_t>(16, 0x00));
    EXPECT_FALSE(flash.busy());
}

struct ModifyCase {
    std::string name;
    uint8_t opcode;
    uint32_t address;
};

class SpiNorFlashProtectionTest : public SpiNorFlashTest,
                                  public ::testing::WithParamInterface<ModifyCase> {
protected:
    KmError modify() {
        const ModifyCase& c = GetParam();
        if (c.opcode == 0x02) return host.writePage(c.address, std::vector<uint8_t>(256, 0x00));
        return host.erase(c.opcode, c.address);
    }
};

TEST_P(SpiNorFlashProtectionTest, BlocksWhileOnClearsTheLatchAndLiftsWithTheUnprotectSequence) {
    const uint32_t address = GetParam().address;
    flash.load(address, std::vector<uint8_t>(256, 0x55).data(), 256);  // neither erased nor 0
    const std::vector<uint8_t> before = all(flash);

    ASSERT_TRUE(flash.writeProtected());  // as shipped
    ASSERT_EQ(modify(), 0);
    EXPECT_EQ(all(flash), before);
    EXPECT_FALSE(flash.writeEnabled()) << "a refused command still clears the latch";
    EXPECT_FALSE(flash.busy());

    unprotect();
    EXPECT_EQ(host.status() & kProtectBits, 0);
    ASSERT_EQ(modify(), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_NE(all(flash), before);
    const uint8_t expected = GetParam().opcode == 0x02 ? 0x00 : 0xFF;
    EXPECT_EQ(bytesAt(flash, address, 256), std::vector<uint8_t>(256, expected));

    // The host's protect sequence writes 0x01: on a standard part that byte sets no
    // block-protection bit (bit 0 is the read-only busy bit), so nothing is protected after it.
    ASSERT_EQ(host.setProtection(true), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_FALSE(flash.writeProtected());
    EXPECT_EQ(host.status() & kProtectBits, 0);
    flash.load(address, std::vector<uint8_t>(256, 0x55).data(), 256);
    const std::vector<uint8_t> reloaded = all(flash);
    ASSERT_EQ(modify(), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_NE(all(flash), reloaded) << "0x01 protects nothing";

    // All three block-protection bits protect the whole array again.
    ASSERT_EQ(host.writeEnable(), 0);
    ASSERT_EQ(host.commandAndEnd({0x01, kProtectBits}), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    flash.load(address, std::vector<uint8_t>(256, 0x55).data(), 256);
    const std::vector<uint8_t> again = all(flash);
    ASSERT_EQ(modify(), 0);
    EXPECT_EQ(all(flash), again);
}

INSTANTIATE_TEST_SUITE_P(SpiNorFlash, SpiNorFlashProtectionTest,
                         ::testing::Values(ModifyCase{"PageProgram", 0x02, 0x20100},
                                           ModifyCase{"SectorErase", 0x20, 0x21000},
                                           ModifyCase{"BlockErase", 0xD8, 0x30000}),
                         [](const auto& info) { return info.param.name; });

// A status write keeps only bits 2-4; busy and the latch are read-only and bits 5-7 are not
// modelled. BP = n protects the top 64 KiB << (n - 1) (of this 256 KiB part: 64, 128, 256 KiB).
TEST_F(SpiNorFlashTest, StatusWriteStoresOnlyTheBlockProtectionBits) {
    const struct {
        uint8_t value;
        uint8_t stored;
        uint32_t protectedFrom;
    } cases[] = {{0x00, 0x00, kFlashSize}, {0x01, 0x00, kFlashSize}, {0x02, 0x00, kFlashSize},
                 {0x80, 0x00, kFlashSize}, {0x04, 0x04, 0x30000},    {0x08, 0x08, 0x20000},
                 {0x0C, 0x0C, 0x00000},    {0x1C, 0x1C, 0x00000},    {0xFF, 0x1C, 0x00000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.value));
        ASSERT_EQ(host.writeEnable(), 0);
        ASSERT_EQ(host.commandAndEnd({0x01, c.value}), 0);
        EXPECT_EQ(flash.protectionBits(), c.stored);
        EXPECT_EQ(flash.protectedFrom(), c.protectedFrom);
        EXPECT_EQ(flash.writeProtected(), c.stored != 0);
        EXPECT_FALSE(flash.writeEnabled());
        ASSERT_EQ(host.waitForReady(), 0);
        EXPECT_EQ(host.status(), c.stored);
    }
}

TEST_F(SpiNorFlashTest, PartialProtectionGuardsOnlyTheTopOfTheArray) {
    ASSERT_EQ(host.writeEnable(), 0);
    ASSERT_EQ(host.commandAndEnd({0x01, 0x04}), 0);  // BP = 1: the top 64 KiB
    ASSERT_EQ(host.waitForReady(), 0);
    flash.load(0x2F000, std::vector<uint8_t>(0x2000, 0x00).data(), 0x2000);

    ASSERT_EQ(host.sectorErase(0x2F000), 0);  // below the protected area
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_EQ(bytesAt(flash, 0x2F000, 0x1000), std::vector<uint8_t>(0x1000, 0xFF));
    ASSERT_EQ(host.sectorErase(0x30000), 0);  // inside it: ignored, the latch cleared
    EXPECT_FALSE(flash.busy());
    EXPECT_FALSE(flash.writeEnabled());
    EXPECT_EQ(bytesAt(flash, 0x30000, 0x1000), std::vector<uint8_t>(0x1000, 0x00));
    ASSERT_EQ(host.writePage(0x3FF00, std::vector<uint8_t>(256, 0x00)), 0);
    EXPECT_FALSE(flash.busy());
    EXPECT_EQ(bytesAt(flash, 0x3FF00, 256), std::vector<uint8_t>(256, 0xFF));
}

TEST_F(SpiNorFlashTest, EraseThenProgramThenReadBack) {
    unprotect();
    flash.load(0x10000, std::vector<uint8_t>(0x10000, 0x00).data(), 0x10000);

    ASSERT_EQ(host.blockErase(0x10000), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_EQ(host.readFlash(0x10000, 256), std::vector<uint8_t>(256, 0xFF));

    const std::vector<uint8_t> page = pattern(256, 3);
    ASSERT_EQ(host.writePage(0x10200, page), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_EQ(host.readFlash(0x10200, 256), page);
    EXPECT_EQ(host.readFlash(0x10100, 256), std::vector<uint8_t>(256, 0xFF));
    EXPECT_EQ(host.readFlash(0x10300, 256), std::vector<uint8_t>(256, 0xFF));
    EXPECT_EQ(bytesAt(flash, 0x10200, 256), page);
}

TEST_F(SpiNorFlashTest, EraseCoversTheAlignedBlockOrSectorContainingTheAddress) {
    unprotect();
    flash.load(0, std::vector<uint8_t>(kFlashSize, 0x00).data(), kFlashSize);

    ASSERT_EQ(host.sectorErase(0x12345), 0);  // sector 0x12000-0x12FFF
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_EQ(flash.memory().at(0x11FFF), 0x00);
    EXPECT_EQ(bytesAt(flash, 0x12000, 0x1000), std::vector<uint8_t>(0x1000, 0xFF));
    EXPECT_EQ(flash.memory().at(0x13000), 0x00);

    ASSERT_EQ(host.blockErase(0x2FFFF), 0);  // block 0x20000-0x2FFFF
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_EQ(flash.memory().at(0x1FFFF), 0x00);
    EXPECT_EQ(bytesAt(flash, 0x20000, 0x10000), std::vector<uint8_t>(0x10000, 0xFF));
    EXPECT_EQ(flash.memory().at(0x30000), 0x00);
}

TEST_F(SpiNorFlashTest, ProgrammingOnlyClearsBits) {
    unprotect();
    const struct {
        uint8_t old;
        uint8_t data;
        uint8_t result;
    } cases[] = {{0xF0, 0x0F, 0x00},
                 {0xFF, 0x5A, 0x5A},
                 {0x00, 0xFF, 0x00},
                 {0xAA, 0xFF, 0xAA},
                 {0x3C, 0x96, 0x14}};
    std::vector<uint8_t> old, data, expected;
    for (const auto& c : cases) {
        old.push_back(c.old);
        data.push_back(c.data);
        expected.push_back(c.result);
    }
    flash.load(0x400, old.data(), old.size());
    std::vector<uint8_t> page(256, 0xFF);
    std::copy(data.begin(), data.end(), page.begin());
    ASSERT_EQ(host.writePage(0x400, page), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_EQ(host.readFlash(0x400, uint16_t(expected.size())), expected);
}

struct BusyCase {
    std::string name;
    uint32_t SpiNorFlash::Timing::*period;
};

class SpiNorFlashBusyTest : public SpiNorFlashSlowTest,
                            public ::testing::WithParamInterface<BusyCase> {
protected:
    void start() {
        const std::string& name = GetParam().name;
        if (name == "PageProgram") {
            ASSERT_EQ(host.writePage(0x8000, std::vector<uint8_t>(256, 0x00)), 0);
        } else if (name == "SectorErase") {
            ASSERT_EQ(host.sectorErase(0x8000), 0);
        } else if (name == "BlockErase") {
            ASSERT_EQ(host.blockErase(0x8000), 0);
        } else {
            ASSERT_EQ(host.writeEnable(), 0);
            ASSERT_EQ(host.commandAndEnd({0x01, 0x00}), 0);
        }
    }
};

TEST_P(SpiNorFlashBusyTest, BusyForItsPeriodAndOtherCommandsIgnoredMeanwhile) {
    unprotect();
    flash.load(0x10000, std::vector<uint8_t>(0x1000, 0x00).data(), 0x1000);
    const uint32_t period = slowTiming().*(GetParam().period);

    start();
    EXPECT_TRUE(flash.busy());
    EXPECT_EQ(host.status() & kBusy, kBusy);
    const std::vector<uint8_t> before = all(flash);

    // Ignored while busy: write enable, so nothing else can run either; erase and program even
    // with the latch set directly before; read data shifts out nothing but 0xFF.
    ASSERT_EQ(host.writeEnable(), 0);
    EXPECT_FALSE(flash.writeEnabled());
    ASSERT_EQ(host.commandAndEnd(addressed(0x20, 0x10000)), 0);
    ASSERT_EQ(host.commandAndEnd(MStarHost::programCommand(0x10100, pattern(256, 1))), 0);
    ASSERT_EQ(host.commandAndEnd({0x01, 0x01}), 0);
    EXPECT_EQ(host.readFlash(0x10000, 16), std::vector<uint8_t>(16, 0xFF));
    EXPECT_EQ(all(flash), before);
    EXPECT_FALSE(flash.writeProtected());

    SimClock::advance(period / 2);
    EXPECT_TRUE(flash.busy());
    passTime(period / 2);
    EXPECT_FALSE(flash.busy());
    EXPECT_EQ(host.status() & kBusy, 0);

    // Ready: the same commands work now.
    EXPECT_EQ(host.readFlash(0x10000, 16), std::vector<uint8_t>(16, 0x00));
    ASSERT_EQ(host.writeEnable(), 0);
    EXPECT_TRUE(flash.writeEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    SpiNorFlash, SpiNorFlashBusyTest,
    ::testing::Values(BusyCase{"PageProgram", &SpiNorFlash::Timing::pageProgramUs},
                      BusyCase{"SectorErase", &SpiNorFlash::Timing::sectorEraseUs},
                      BusyCase{"BlockErase", &SpiNorFlash::Timing::blockEraseUs},
                      BusyCase{"StatusWrite", &SpiNorFlash::Timing::statusWriteUs}),
    [](const auto& info) { return info.param.name; });

TEST_F(SpiNorFlashSlowTest, WaitForReadyTimesOutWhenTheEraseOutlastsTheLimit) {
    unprotect();
    ASSERT_EQ(host.blockErase(0), 0);
    EXPECT_EQ(host.waitForReady(1), SCREENIO_ERROR_TIMEOUT);  // 1 s < 4 s
    EXPECT_EQ(host.waitForReady(60), 0);
}

TEST_F(SpiNorFlashSlowTest, ACommandThatArrivedWhileBusyStaysIgnoredWhenBusyEndsBeforeItsEnd) {
    unprotect();
    ASSERT_EQ(host.sectorErase(0), 0);
    ASSERT_EQ(host.command({0x06}), 0);
    passTime(slowTiming().sectorEraseUs);
    ASSERT_EQ(host.end(), 0);
    EXPECT_FALSE(flash.writeEnabled());
}

TEST_F(SpiNorFlashTest, TheLatchIsClearedByEveryCommandThatExecutes) {
    unprotect();
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
        {"PageProgram", MStarHost::programCommand(0x300, pattern(256, 9))},
        {"SectorErase", addressed(0x20, 0x3000)},
        {"BlockErase", addressed(0xD8, 0x30000)},
        {"StatusWrite", {0x01, 0x00}},
        {"WriteDisable", {0x04}},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ASSERT_EQ(host.writeEnable(), 0);
        ASSERT_TRUE(flash.writeEnabled());
        ASSERT_EQ(host.commandAndEnd(bytes), 0);
        EXPECT_FALSE(flash.writeEnabled());
        ASSERT_EQ(host.waitForReady(), 0);
    }
    // Reads leave the latch alone.
    ASSERT_EQ(host.writeEnable(), 0);
    host.readFlash(0, 4);
    host.status();
    EXPECT_TRUE(flash.writeEnabled());
}

TEST_F(SpiNorFlashTest, FlipBitFaultCorruptsTheNextExecutedProgramOnly) {
    unprotect();
    flash.flipBitOnNextProgram();

    // A program refused for want of the latch does not use the fault up.
    ASSERT_EQ(host.commandAndEnd(MStarHost::programCommand(0x000, {0x00})), 0);
    EXPECT_EQ(flash.memory().at(0), 0xFF);

    std::vector<uint8_t> page = pattern(256, 0x40);  // first byte 0x40: bit 0 clear
    ASSERT_EQ(host.writePage(0x100, page), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    std::vector<uint8_t> corrupted = page;
    corrupted[0] |= 0x01;  // a flipped 0 is not programmed, so the erased 1 stays
    EXPECT_EQ(host.readFlash(0x100, 256), corrupted);

    ASSERT_EQ(host.writePage(0x200, page), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_EQ(host.readFlash(0x200, 256), page);

    // A data byte with bit 0 set loses it.
    flash.flipBitOnNextProgram();
    ASSERT_EQ(host.writePage(0x300, {0xFF, 0x11}), 0);
    ASSERT_EQ(host.waitForReady(), 0);
    EXPECT_EQ(host.readFlash(0x300, 2), (std::vector<uint8_t>{0xFE, 0x11}));
}

TEST_F(SpiNorFlashTest, ProgramWrapsWithinItsPage) {
    unprotect();
    // 32 bytes from page offset 0xF0: 16 to the end of the page, 16 from its start.
    std::vector<uint8_t> command = addressed(0x02, 0x10F0);
    const std::vector<uint8_t> data = pattern(32, 0x10);
    command.insert(command.end(), data.begin(), data.end());
    ASSERT_EQ(host.writeEnable(), 0);
    ASSERT_EQ(host.commandAndEnd(command), 0);
    ASSERT_EQ(host.waitForReady(), 0);

    EXPECT_EQ(bytesAt(flash, 0x10F0, 16), std::vector<uint8_t>(data.begin(), data.begin() + 16));
    EXPECT_EQ(bytesAt(flash, 0x1000, 16), std::vector<uint8_t>(data.begin() + 16, data.end()));
    EXPECT_EQ(bytesAt(flash, 0x1010, 0xE0), std::vector<uint8_t>(0xE0, 0xFF));
    EXPECT_EQ(flash.memory().at(0x1100), 0xFF) << "the next page is untouched";
    EXPECT_EQ(flash.memory().at(0x0FFF), 0xFF);
}

TEST_F(SpiNorFlashTest, MoreThan256DataBytesWrapAndOverwriteTheLatchedOnes) {
    unprotect();
    // 300 data bytes from offset 0 in two bridge writes: bytes 256-299 replace bytes 0-43.
    const std::vector<uint8_t> data = pattern(300, 0x21);
    std::vector<uint8_t> first = addressed(0x02, 0x2000);
    first.insert(first.end(), data.begin(), data.begin() + 200);
    ASSERT_EQ(host.writeEnable(), 0);
    ASSERT_EQ(host.command(first), 0);
    ASSERT_EQ(host.command(std::vector<uint8_t>(data.begin() + 200, data.end())), 0);
    ASSERT_EQ(host.end(), 0);
    ASSERT_EQ(host.waitForReady(), 0);

    std::vector<uint8_t> expected(data.begin(), data.begin() + 256);
    std::copy(data.begin() + 256, data.end(), expected.begin());
    EXPECT_EQ(bytesAt(flash, 0x2000, 256), expected);
    EXPECT_EQ(flash.memory().at(0x2100), 0xFF);
}

TEST_F(SpiNorFlashTest, ReadContinuesAcrossPagesAndReports) {
    std::vector<uint8_t> image = pattern(1024, 0x33);
    flash.load(0x7F0, image.data(), image.size());

    ASSERT_EQ(host.command(addressed(0x03, 0x7F0)), 0);
    std::vector<uint8_t> got, part;
    for (uint16_t length : {260, 260, 4, 256}) {
        ASSERT_EQ(host.readScalarData(0x1192, length, &part), 0);
        got.insert(got.end(), part.begin(), part.end());
    }
    ASSERT_EQ(host.end(), 0);
    EXPECT_EQ(got, std::vector<uint8_t>(image.begin(), image.begin() + 780));
}

TEST_F(SpiNorFlashTest, AReadTakesDummyBytesAfterItsAddressAsClocksThatShiftData) {
    std::vector<uint8_t> image = pattern(16, 0x70);
    flash.load(0x40, image.data(), image.size());
    std::vector<uint8_t> command = addressed(0x03, 0x40);
    command.push_back(0x00);  // one dummy byte: its clock shifts out the byte at 0x40
    ASSERT_EQ(host.command(command), 0);
    std::vector<uint8_t> got;
    ASSERT_EQ(host.readScalarData(0x1192, 4, &got), 0);
    ASSERT_EQ(host.end(), 0);
    EXPECT_EQ(got, std::vector<uint8_t>(image.begin() + 1, image.begin() + 5));
}

TEST_F(SpiNorFlashTest, CommandsOfTheWrongLengthAreIgnoredAndKeepTheLatch) {
    unprotect();
    flash.load(0, std::vector<uint8_t>(0x20000, 0x00).data(), 0x20000);
    const std::vector<uint8_t> before = all(flash);
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
        {"SectorEraseTwoAddressBytes", {0x20, 0x00, 0x10}},
        {"SectorEraseFiveBytes", {0x20, 0x00, 0x10, 0x00, 0x00}},
        {"BlockEraseTwoAddressBytes", {0xD8, 0x01, 0x00}},
        {"BlockEraseOpcodeOnly", {0xD8}},
        {"ProgramWithoutData", {0x02, 0x00, 0x01, 0x00}},
        {"ProgramThreeBytes", {0x02, 0x00, 0x01}},
        {"StatusWriteWithoutByte", {0x01}},
        {"StatusWriteTwoBytes", {0x01, 0x01, 0x00}},
        {"WriteDisableWithExtraByte", {0x04, 0x00}},
        {"UnknownOpcode", {0xC7}},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ASSERT_EQ(host.writeEnable(), 0);
        ASSERT_EQ(host.commandAndEnd(bytes), 0);
        EXPECT_TRUE(flash.writeEnabled());
        EXPECT_FALSE(flash.busy());
        EXPECT_FALSE(flash.writeProtected());
        EXPECT_EQ(all(flash), before);
    }
    ASSERT_EQ(host.commandAndEnd({0x04}), 0);
    ASSERT_EQ(host.commandAndEnd({0x06, 0x00}), 0);  // write enable with an extra byte
    EXPECT_FALSE(flash.writeEnabled());
}

TEST_F(SpiNorFlashTest, AddressesBeyondTheFlashAreIgnoredAndReadsWrapAtItsEnd) {
    unprotect();
    flash.load(0, std::vector<uint8_t>(kFlashSize, 0x00).data(), kFlashSize);
    const std::vector<uint8_t> before = all(flash);
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
        {"SectorErase", addressed(0x20, kFlashSize)},
        {"BlockErase", addressed(0xD8, 0xFF0000)},
        {"PageProgram",
         MStarHost::programCommand(kFlashSize + 0x100, std::vector<uint8_t>(256, 0))},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ASSERT_EQ(host.writeEnable(), 0);
        ASSERT_EQ(host.commandAndEnd(bytes), 0);
        EXPECT_EQ(all(flash), before);
        EXPECT_TRUE(flash.writeEnabled()) << "ignored like a malformed command";
        EXPECT_FALSE(flash.busy());
    }
    ASSERT_EQ(host.commandAndEnd({0x04}), 0);

    // A read from beyond the end shifts out 0xFF; one that runs past the end wraps to 0.
    EXPECT_EQ(host.readFlash(kFlashSize, 8), std::vector<uint8_t>(8, 0xFF));
    std::vector<uint8_t> head = pattern(4, 0x90), tail = pattern(4, 0xA0);
    flash.load(0, head.data(), 4);
    flash.load(kFlashSize - 4, tail.data(), 4);
    std::vector<uint8_t> expected = tail;
    expected.insert(expected.end(), head.begin(), head.end());
    EXPECT_EQ(host.readFlash(kFlashSize - 4, 8), expected);
}

TEST_F(SpiNorFlashTest, StuckBusyReportsBusyAndIgnoresCommandsUntilCleared) {
    unprotect();
    flash.setStuckBusy(true);
    EXPECT_TRUE(flash.busy());
    EXPECT_EQ(host.status() & kBusy, kBusy);
    SimClock::advance(3600LL * 1000000);
    EXPECT_EQ(host.status() & kBusy, kBusy);
    EXPECT_EQ(host.waitForReady(), SCREENIO_ERROR_TIMEOUT);
    ASSERT_EQ(host.writeEnable(), 0);
    EXPECT_FALSE(flash.writeEnabled());

    flash.setStuckBusy(false);
    EXPECT_EQ(host.status() & kBusy, 0);
    ASSERT_EQ(host.writeEnable(), 0);
    EXPECT_TRUE(flash.writeEnabled());
}

TEST_F(SpiNorFlashTest, StuckBusyArrivingMidCommandStopsItsExecution) {
    unprotect();
    ASSERT_EQ(host.writeEnable(), 0);
    ASSERT_EQ(host.command(addressed(0x20, 0)), 0);
    flash.setStuckBusy(true);
    flash.load(0, std::vector<uint8_t>(4, 0).data(), 4);
    ASSERT_EQ(host.end(), 0);
    EXPECT_EQ(bytesAt(flash, 0, 4), std::vector<uint8_t>(4, 0));
    flash.setStuckBusy(false);
}

TEST(SpiNorFlash, ReadingMidCommandIsSafe) {
    SpiNorFlash flash(0x1000, SpiNorFlash::Timing());
    uint8_t out[8];
    flash.read(out, sizeof(out));  // not selected
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), std::vector<uint8_t>(8, 0xFF));

    flash.select();
    flash.read(out, sizeof(out));  // no opcode yet
    EXPECT_EQ(out[0], 0xFF);
    const uint8_t partial[] = {0x03, 0x00};
    flash.write(partial, sizeof(partial));
    flash.read(out, sizeof(out));  // address incomplete
    EXPECT_EQ(out[7], 0xFF);
    EXPECT_EQ(flash.size(), 0x1000u);
    flash.deselect();

    flash.select();
    const uint8_t program[] = {0x02, 0x00, 0x00, 0x10, 0x00};
    flash.write(program, sizeof(program));
    EXPECT_EQ(flash.memory().at(0x10), 0xFF);  // nothing happens before the end
    flash.read(out, sizeof(out));
    EXPECT_EQ(out[0], 0xFF);
    flash.write(nullptr, 4);
    flash.read(nullptr, 4);
    flash.deselect();
    flash.deselect();
    EXPECT_FALSE(flash.selected());
}

TEST(SpiNorFlash, AbortAndPowerCycleDropTheOpenCommand) {
    SpiNorFlash flash(0x1000, SpiNorFlash::Timing());
    const uint8_t wren[] = {0x06};
    flash.select();
    flash.write(wren, 1);
    flash.abort();
    EXPECT_FALSE(flash.writeEnabled());
    flash.deselect();  // nothing left to execute
    EXPECT_FALSE(flash.writeEnabled());

    flash.select();
    flash.write(wren, 1);
    flash.deselect();
    ASSERT_TRUE(flash.writeEnabled());
    flash.select();
    flash.write(wren, 1);
    flash.powerCycle();
    EXPECT_FALSE(flash.selected());
    EXPECT_FALSE(flash.writeEnabled());
    EXPECT_TRUE(flash.writeProtected()) << "protection is non-volatile";
}

TEST(SpiNorFlash, SelectWhileSelectedStartsOver) {
    SpiNorFlash flash(0x1000, SpiNorFlash::Timing());
    const uint8_t wren[] = {0x06};
    flash.select();
    flash.write(wren, 1);
    flash.select();
    flash.deselect();
    EXPECT_FALSE(flash.writeEnabled());
}

TEST(SpiNorFlash, LoadRefusesBytesOutsideTheFlash) {
    SpiNorFlash flash(0x1000, SpiNorFlash::Timing());
    const std::vector<uint8_t> bytes(16, 0x12);
    flash.load(0x1000 - 16, bytes.data(), bytes.size());
    EXPECT_EQ(flash.memory().at(0xFFF), 0x12);
    EXPECT_THROW(flash.load(0x1000 - 15, bytes.data(), bytes.size()), std::out_of_range);
    EXPECT_THROW(flash.load(0xFFFFFFFF, bytes.data(), bytes.size()), std::out_of_range);
    flash.setWriteProtected(false);
    EXPECT_FALSE(flash.writeProtected());
    EXPECT_EQ(flash.status(), 0);
    flash.setProtectionBits(0xFF);
    EXPECT_EQ(flash.status(), kProtectBits) << "only the protection bits are settable";
}

}  // namespace
}  // namespace screenio::sim
