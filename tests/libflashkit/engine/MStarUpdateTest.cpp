// SPDX-License-Identifier: Apache-2.0
// The scaler update flow against a simulated scaler monitor: what ends up in its serial flash,
// the update markers, the progress reports, and how each kind of failure stops the flow.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "device/Monitor.h"
#include "engine/MStarUpdate.h"
#include "libflashkit/package/TestPackage.h"
#include "sim/SimImage.h"
#include "support/MonitorDescriptions.h"
#include "support/SimulatedMonitors.h"

bool operator==(const FWTransferProgress& a, const FWTransferProgress& b) {
    return a.completedCount == b.completedCount && a.totalCount == b.totalCount &&
           a.transferredBytes == b.transferredBytes && a.totalBytes == b.totalBytes;
}

std::ostream& operator<<(std::ostream& out, const FWTransferProgress& p) {
    return out << "{" << p.completedCount << "/" << p.totalCount << ", " << p.transferredBytes
               << "/" << p.totalBytes << "}";
}

namespace fwu {
namespace {

using screenio::Access;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::SimRequest;
using test::Requests;
using test::pkg::TestPackage;

constexpr uint32_t kScaler = 0x100;
constexpr uint32_t kFont = 0x400;
constexpr uint32_t kScalerAddress = 0x20000;
constexpr uint32_t kFontAddress = 0x40000;
constexpr uint32_t kScalerFlag = 0xF0000;
constexpr uint32_t kFontFlag = 0xF1000;

constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kSectorErase = 0x20;
constexpr uint8_t kBlockErase = 0xD8;

const std::vector<uint8_t> kMarker(4, 0xA5);
const std::vector<uint8_t> kErased4(4, 0xFF);

// An image the simulated monitor boots as `version`, with the header that states its length
// and CRC, so a half-written image does not boot; its content differs at every byte position
// from a neighbour so a misplaced page shows.
std::vector<uint8_t> Image(size_t size, uint32_t version, uint8_t seed) {
    std::vector<uint8_t> payload(size - screenio::sim::SimImage::kCheckedHeader);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = uint8_t(i * 7 + (i >> 8) + seed);
    return screenio::sim::SimImage::make(version, payload);
}

// What the flash holds after an image is programmed: the image, then erased bytes up to the
// end of its last 64 KiB block.
std::vector<uint8_t> Programmed(const std::vector<uint8_t>& image) {
    std::vector<uint8_t> bytes = image;
    bytes.resize((image.size() + 0xFFFF) / 0x10000 * 0x10000, 0xFF);
    return bytes;
}

// One serial-flash command as the bridge carried it to the flash.
struct FlashCommand {
    uint8_t opcode;
    uint32_t address;  // for the commands that carry one
};

std::vector<FlashCommand> FlashCommands(const std::vector<SimRequest>& requests) {
    std::vector<FlashCommand> commands;
    uint16_t target = 0, length = 0;
    for (const SimRequest& r : requests) {
        if (r.page != 0xFF30 || r.access != Access::SetArray || r.status < 0) continue;
        if (r.usage == 0x10) {
            target = uint16_t(r.data[0] | r.data[1] << 8);
            length = uint16_t(r.data[2] | r.data[3] << 8);
        } else if (r.usage == 0x11 && target == 0x1092 && length > 0) {
            const uint8_t* d = r.data.data() + 2;
            const uint32_t address = length >= 4 ? uint32_t(d[1] << 16 | d[2] << 8 | d[3]) : 0;
            commands.push_back({d[0], address});
        }
    }
    return commands;
}

size_t CountOpcode(const std::vector<FlashCommand>& commands, uint8_t opcode) {
    return size_t(std::count_if(commands.begin(), commands.end(),
                                [opcode](const FlashCommand& c) { return c.opcode == opcode; }));
}

// Collects every progress report; cancels when `cancelWhen` says so.
struct ProgressLog {
    std::vector<FWTransferProgress> calls;
    std::function<bool(const FWTransferProgress&)> cancelWhen;

    static int8_t Callback(FWTransferProgress progress, void* userData) {
        auto* log = static_cast<ProgressLog*>(userData);
        log->calls.push_back(progress);
        return log->cancelWhen && log->cancelWhen(progress) ? 0 : 1;
    }
};

// The flow as the one-call update drives it: plan and check, ISP mode, every image, the
// markers, and the write protection back on whatever happened.
KmError RunUpdate(dev::Monitor& monitor, const kfw::KfwFile& file, ProgressLog* log = nullptr,
                  FWUpdateOutcome* outcome = nullptr) {
    FWTransferProgressCallback callback = log ? &ProgressLog::Callback : nullptr;
    return MStarUpdateFirmware(monitor, &file, callback, log, 0, outcome);
}

class MStarUpdate : public test::SimulatedMonitors {
protected:
    void SetUp() override {
        auto description = test::MStarMonitorDescription();
        screenio::sim::DeviceDescription font;
        font.id = kFont;
        font.name = "OSD Font";
        font.version = 4;
        font.address = kFontAddress;
        font.flagAddress = kFontFlag;
        description.devices.push_back(font);
        install({description});
        m_package.setFileVersion(kfw::FileVersion(2, 1));
        m_package.products().push_back(description.product);
    }

public:
    // Adds an image and its action to the package and to the one bundle, registered at the
    // first call of bundle().
    const kfw::TransferMStarDataAction* addImage(const std::vector<uint8_t>& bytes,
                                                 uint32_t address, uint32_t flagAddress) {
        kfw::Blob* blob = m_package.registerBlob(test::pkg::makeBlob(bytes));
        return addAction(blob->id(), address, flagAddress);
    }
    const kfw::TransferMStarDataAction* addAction(const Uuid& blob, uint32_t address,
                                                  uint32_t flagAddress) {
        kfw::Action* action =
            m_package.registerAction(test::pkg::makeMStar(blob, address, flagAddress));
        m_actionIDs.push_back(action->id());
        return static_cast<const kfw::TransferMStarDataAction*>(action);
    }
    const kfw::KfwFile& package(const std::vector<test::pkg::Condition>& conditions = {}) {
        if (!m_bundleRegistered)
            m_package.registerBundle(test::pkg::makeBundle(m_actionIDs, conditions));
        m_bundleRegistered = true;
        return m_package;
    }

protected:
    dev::Monitor monitor() { return dev::Monitor(handle()); }
    std::vector<uint8_t> flash(uint32_t address, uint32_t length) {
        return sim().readFlash(address, length);
    }

    TestPackage m_package;
    std::vector<Uuid> m_actionIDs;
    bool m_bundleRegistered = false;
};

// The two images of most tests: a scaler image one byte longer than a block and a font image
// that ends inside a page.
class MStarTwoImages : public MStarUpdate {
protected:
    void SetUp() override {
        MStarUpdate::SetUp();
        addImage(m_scaler, kScalerAddress, kScalerFlag);
        addImage(m_font, kFontAddress, kFontFlag);
    }
    uint32_t totalBytes() const { return uint32_t(m_scaler.size() + m_font.size()); }

    const std::vector<uint8_t> m_scaler = Image(0x10001, 212, 3);
    const std::vector<uint8_t> m_font = Image(0x1234, 9, 50);
};

TEST_F(MStarTwoImages, FullRunProgramsVerifiesAndMarksEveryImage) {
    // Leftovers of an earlier firmware must not survive in the blocks or the flag sectors.
    sim().writeFlash(kScalerAddress + 0x10000, std::vector<uint8_t>(0x10000, 0x00));
    sim().writeFlash(kScalerFlag, std::vector<uint8_t>(0x1000, 0x00));
    dev::Monitor m = monitor();
    record();

    ASSERT_EQ(RunUpdate(m, package()), 0);

    EXPECT_EQ(flash(kScalerAddress, 0x20000), Programmed(m_scaler));
    EXPECT_EQ(flash(kFontAddress, 0x10000), Programmed(m_font));
    std::vector<uint8_t> flagSector(0x1000, 0xFF);
    std::copy(kMarker.begin(), kMarker.end(), flagSector.begin());
    EXPECT_EQ(flash(kScalerFlag, 0x1000), flagSector);
    EXPECT_EQ(flash(kFontFlag, 0x1000), flagSector);
    EXPECT_TRUE(test::ProtectionByteWritten(recorded()));
    // Nothing is installed before the monitor is switched off and on.
    EXPECT_EQ(sim().deviceVersion(kScaler), 105u);

    sim().powerCycle();
    EXPECT_EQ(sim().deviceVersion(kScaler), 212u);
    EXPECT_EQ(sim().deviceVersion(kFont), 9u);
}

TEST_F(MStarTwoImages, ProgressCountsImageBytesPageByPage) {
    dev::Monitor m = monitor();
    ProgressLog log;
    ASSERT_EQ(RunUpdate(m, package(), &log), 0);

    // One report per page programmed, in which the image's bytes written so far count (the
    // fill does not), and one per finished image.
    std::vector<FWTransferProgress> expected;
    uint32_t before = 0, completed = 0;
    for (size_t size : {m_scaler.size(), m_font.size()}) {
        const size_t pages = (size + 0xFFFF) / 0x10000 * 256;
        for (size_t p = 0; p < pages; ++p)
            expected.push_back(
                {completed, 2, before + uint32_t(std::min(size, 256 * (p + 1))), totalBytes()});
        before += uint32_t(size);
        expected.push_back({++completed, 2, before, totalBytes()});
    }
    ASSERT_EQ(log.calls.size(), 2 * 256 + 1 + 256 + 1u);
    EXPECT_EQ(log.calls, expected);

    // The scaler's second block carries a single byte: it counts once, on its first page.
    EXPECT_EQ(log.calls[255].transferredBytes, 0x10000u);
    EXPECT_EQ(log.calls[256].transferredBytes, 0x10001u);
    EXPECT_EQ(log.calls[511].transferredBytes, 0x10001u);
    EXPECT_TRUE(std::is_sorted(log.calls.begin(), log.calls.end(),
                               [](const FWTransferProgress& a, const FWTransferProgress& b) {
                                   return a.transferredBytes < b.transferredBytes;
                               }));
    EXPECT_EQ(log.calls.back(), (FWTransferProgress{2, 2, totalBytes(), totalBytes()}));
}

TEST_F(MStarTwoImages, MarkersAreWrittenOnlyAfterEveryImageIsVerified) {
    dev::Monitor m = monitor();
    record();
    ASSERT_EQ(RunUpdate(m, package()), 0);

    const std::vector<FlashCommand> commands = FlashCommands(recorded());
    std::vector<uint8_t> erases;
    for (const FlashCommand& c : commands)
        if (c.opcode == kBlockErase || c.opcode == kSectorErase) erases.push_back(c.opcode);
    EXPECT_EQ(erases, (std::vector<uint8_t>{kBlockErase, kBlockErase, kBlockErase, kSectorErase,
                                            kSectorErase}));
    // Every programmed page is read back: 3 blocks and 2 flag sectors.
    EXPECT_EQ(CountOpcode(commands, kPageProgram), 3 * 256 + 2 * 16u);
    EXPECT_EQ(CountOpcode(commands, 0x03), 3 * 256 + 2 * 16u);
}

TEST_F(MStarUpdate, ImageOffBlockBoundaryIsRefusedBeforeAnyErase) {
    addImage(Image(0x800, 300, 1), 0x12000, kScalerFlag);
    dev::Monitor m = monitor();
    record();

    EXPECT_EQ(RunUpdate(m, package()), KmErrorInvalidState);

    const std::vector<FlashCommand> commands = FlashCommands(recorded());
    EXPECT_EQ(CountOpcode(commands, kBlockErase), 0u);
    EXPECT_EQ(CountOpcode(commands, kSectorErase), 0u);
    EXPECT_EQ(CountOpcode(commands, kPageProgram), 0u);
    EXPECT_EQ(flash(0x10000, 0x10000), std::vector<uint8_t>(0x10000, 0xFF));
    // Refused before the protection was touched: the flash keeps the protection it started with.
    EXPECT_TRUE(sim().flashWriteProtected());
}

// A flag address and what becomes of its 4 KiB sector.
struct FlagCase {
    const char* name;
    uint32_t flagAddress;
    KmError status;
};

class MStarFlag : public MStarUpdate, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(MStarFlag, MarkerMustFitInsideItsSector) {
    const FlagCase& c = GetParam();
    const uint32_t sector = c.flagAddress & ~0xFFFu;
    sim().writeFlash(sector, std::vector<uint8_t>(0x1000, 0x00));
    dev::Monitor m = monitor();
    ASSERT_EQ(MStarInitialize(m), 0);
    record();

    EXPECT_EQ(internal::MStarUpdateFlag(m, c.flagAddress), c.status);

    const std::vector<FlashCommand> commands = FlashCommands(recorded());
    if (c.status < 0) {
        EXPECT_EQ(CountOpcode(commands, kSectorErase), 0u);
        EXPECT_EQ(CountOpcode(commands, kPageProgram), 0u);
        EXPECT_EQ(flash(sector, 0x1000), std::vector<uint8_t>(0x1000, 0x00));
        return;
    }
    std::vector<uint8_t> expected(0x1000, 0xFF);
    std::copy(kMarker.begin(), kMarker.end(), expected.begin() + (c.flagAddress - sector));
    EXPECT_EQ(flash(sector, 0x1000), expected);
    const auto erase = std::find_if(commands.begin(), commands.end(), [](const FlashCommand& fc) {
        return fc.opcode == kSectorErase;
    });
    ASSERT_NE(erase, commands.end());
    EXPECT_EQ(erase->address, sector);
    EXPECT_EQ(CountOpcode(commands, kSectorErase), 1u);
    EXPECT_EQ(CountOpcode(commands, kPageProgram), 16u);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, MStarFlag,
    // At the start of the sector the marker is in the first page, the one sent right after
    // the erase command.
    ::testing::Values(FlagCase{"SectorStart", 0x7000, 0}, FlagCase{"MidSector", 0x7802, 0},
                      FlagCase{"LastFourBytes", 0x7FFC, 0},
                      FlagCase{"CrossesSectorEnd", 0x7FFD, KmErrorInvalidState},
                      FlagCase{"LastByte", 0x7FFF, KmErrorInvalidState}),
    [](const ::testing::TestParamInfo<FlagCase>& info) { return std::string(info.param.name); });

// Packages that give the flow nothing to write.
struct EmptyCase {
    const char* name;
    std::function<void(MStarUpdate&)> build;
};

class MStarNothingToDo : public MStarUpdate, public ::testing::WithParamInterface<EmptyCase> {};

TEST_P(MStarNothingToDo, LeavesTheMonitorUntouched) {
    GetParam().build(*this);
    const kfw::KfwFile& file = package();
    dev::Monitor m = monitor();
    record();

    FWUpdateOutcome outcome = FWUpdateOutcomeComplete;
    EXPECT_EQ(RunUpdate(m, file, nullptr, &outcome), KmErrorNoData);

    // Not even ISP mode or the write protection: nothing reaches the scaler bridge.
    EXPECT_TRUE(Requests(recorded(), 0xFF30, 0x10, Access::SetArray).empty());
    EXPECT_FALSE(sim().ispMode());
    EXPECT_TRUE(sim().flashWriteProtected());
    EXPECT_EQ(outcome, FWUpdateOutcomeUntouched);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, MStarNothingToDo,
    ::testing::Values(EmptyCase{"NoActions", [](MStarUpdate&) {}},
                      EmptyCase{
                          "EmptyImage",
                          [](MStarUpdate& t) { t.addImage({}, kScalerAddress, kScalerFlag); }},
                      EmptyCase{"ImageMissing",
                                [](MStarUpdate& t) {
                                    t.addAction(test::pkg::fixedID(7), kScalerAddress, kScalerFlag);
                                }}),
    [](const ::testing::TestParamInfo<EmptyCase>& info) { return std::string(info.param.name); });

TEST_F(MStarUpdate, ActionsComeFromTheBundleThatFitsTheMonitor) {
    const auto* first = addImage(Image(0x100, 1, 0), kScalerAddress, kScalerFlag);
    const auto* second = addImage(Image(0x100, 2, 0), kFontAddress, kFontFlag);
    const kfw::KfwFile& file = package({{kScaler, 105, Version::OperatorEqual}});
    dev::Monitor m = monitor();

    // Appended after what the caller already has, in bundle order.
    std::vector<const kfw::TransferMStarDataAction*> actions{second};
    EXPECT_EQ(internal::ExtractTransferMStarData(&file, m, 0, &actions), 0);
    EXPECT_EQ(actions, (std::vector<const kfw::TransferMStarDataAction*>{second, first, second}));
    EXPECT_EQ(internal::ExtractTransferMStarData(&file, m, 0, nullptr), 0);
}

TEST_F(MStarUpdate, NoBundleForTheMonitorIsRefused) {
    addImage(Image(0x100, 1, 0), kScalerAddress, kScalerFlag);
    const kfw::KfwFile& file = package({{kScaler, 104, Version::OperatorEqual}});
    dev::Monitor m = monitor();
    record();

    std::vector<const kfw::TransferMStarDataAction*> actions;
    EXPECT_EQ(internal::ExtractTransferMStarData(&file, m, 0, &actions), KmErrorInvalidState);
    EXPECT_TRUE(actions.empty());
    // Another model's package finds no bundle either.
    m_package.products() = {"OTHERPANEL"};
    EXPECT_EQ(internal::ExtractTransferMStarData(&file, m, 0, &actions), KmErrorInvalidState);
    EXPECT_TRUE(actions.empty());
    EXPECT_EQ(CountOpcode(FlashCommands(recorded()), kBlockErase), 0u);
}

// A fault on requests of one kind of the scaler bridge (or another page).
FaultRule Fault(uint16_t usage, Access access, uint32_t first, FaultEffect effect,
                KmError status = SCREENIO_ERROR_IO, uint16_t page = 0xFF30) {
    FaultRule rule;
    rule.page = page;
    rule.usage = usage;
    rule.anyAccess = false;
    rule.access = access;
    rule.first = first;
    rule.effect = effect;
    rule.status = status;
    return rule;
}

// Ready-waits, counted in status reads: the flash is held busy for the first `busyReads`.
struct WaitCase {
    const char* name;
    uint32_t seconds;
    uint32_t busyReads;  // 0xFFFFFFFF: for ever
    KmError status;
    size_t reads;
};

class MStarWait : public MStarUpdate, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(MStarWait, PollsEveryHundredMillisecondsUpToItsLimit) {
    const WaitCase& c = GetParam();
    dev::Monitor m = monitor();
    ASSERT_EQ(m.mstarSetISPMode(), 0);
    // Each status read fetches one data report; the flash answers busy in the reports the
    // rule covers.
    if (c.busyReads > 0) {
        FaultRule stuck = Fault(0x11, Access::GetArray, 1, FaultEffect::StayBusy);
        stuck.count = c.busyReads == 0xFFFFFFFF ? 0 : c.busyReads;
        sim().addFault(stuck);
    }
    record();
    Sleeps().clear();

    EXPECT_EQ(internal::MStarWaitForReady(m, c.seconds), c.status);

    EXPECT_EQ(CountOpcode(FlashCommands(recorded()), kReadStatus), c.reads);
    EXPECT_EQ(Sleeps(), std::vector<uint32_t>(c.reads, 100));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, MStarWait,
    ::testing::Values(WaitCase{"ReadyAtOnce", 60, 0, 0, 1},
                      WaitCase{"ReadyAfterFiveBusyReads", 60, 5, 0, 6},
                      WaitCase{"StuckSixtySeconds", 60, 0xFFFFFFFF, KmErrorTimeout, 602},
                      WaitCase{"StuckOneSecond", 1, 0xFFFFFFFF, KmErrorTimeout, 12},
                      WaitCase{"ReadyOnReadBeforeLimit", 1, 10, 0, 11},
                      // The limit is checked before the answer of the last read.
                      WaitCase{"ReadyOnLastRead", 1, 11, KmErrorTimeout, 12}),
    [](const ::testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.name); });

TEST_F(MStarUpdate, InitializeUnprotectsAndWaitsForTheFlash) {
    dev::Monitor m = monitor();
    ASSERT_TRUE(sim().flashWriteProtected());
    Sleeps().clear();
    ASSERT_EQ(MStarInitialize(m), 0);
    EXPECT_TRUE(sim().ispMode());
    EXPECT_FALSE(sim().flashWriteProtected());
    ASSERT_GE(Sleeps().size(), 2u);
    EXPECT_EQ(Sleeps(), std::vector<uint32_t>(Sleeps().size(), 100));

    record();
    ASSERT_EQ(MStarFinalize(m), 0);
    EXPECT_TRUE(test::ProtectionByteWritten(recorded()));
    // The monitor is left in ISP mode for the power cycle to end.
    EXPECT_TRUE(sim().ispMode());
}

// A fault during an update of the two images and the status the flow ends with.
struct FailureCase {
    const char* name;
    FaultRule fault;
    KmError status;
    // A bridge request that fails inside a flash command leaves that command open, and the
    // protection command that follows is merged into it and lost.
    bool reprotected = true;
    // Every fault but the version read's strikes after the first block was erased.
    FWUpdateOutcome outcome = FWUpdateOutcomeNeedsRecovery;
    // The fault hit only the fill after the image's end, which its check does not cover: the
    // scaler image is whole and starts, though the flow could not know it.
    bool imageWhole = false;
};

class MStarFailure : public MStarTwoImages, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(MStarFailure, StopsBeforeAnyMarker) {
    const FailureCase& c = GetParam();
    sim().addFault(c.fault);
    dev::Monitor m = monitor();
    record();

    FWUpdateOutcome outcome = FWUpdateOutcomeComplete;
    EXPECT_EQ(RunUpdate(m, package(), nullptr, &outcome), c.status);

    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(CountOpcode(FlashCommands(recorded()), kSectorErase), 0u);
    EXPECT_EQ(flash(kScalerFlag, 4), kErased4);
    EXPECT_EQ(flash(kFontFlag, 4), kErased4);
    if (c.reprotected) {
        EXPECT_TRUE(test::ProtectionByteWritten(recorded()));
    }
    sim().clearFaults();
    sim().powerCycle();
    if (c.outcome != FWUpdateOutcomeNeedsRecovery) {
        EXPECT_TRUE(sim().bootState().boots);
        EXPECT_EQ(sim().deviceVersion(kScaler), 105u);
        return;
    }
    if (c.imageWhole) {
        EXPECT_TRUE(sim().bootState().boots);
        EXPECT_EQ(sim().deviceVersion(kScaler), 212u);
        EXPECT_EQ(sim().deviceVersion(kFont), 4u);
        return;
    }
    // The scaler image was erased and not rewritten: the scaler does not start, and the
    // monitor comes back as its boot loader until an update recovers it.
    EXPECT_FALSE(sim().bootState().boots);
    screenio::sim::SimClock::advance(int64_t(sim().description().restartMs + 1000) * 1000);
    search();
    EXPECT_EQ(sim().bootState().product, "MCU ISP MODE");
    m_package.products().push_back("MCU ISP MODE");
    dev::Monitor again = monitor();
    ASSERT_EQ(RunUpdate(again, package()), 0);
    sim().powerCycle();
    EXPECT_TRUE(sim().bootState().boots);
    EXPECT_EQ(sim().deviceVersion(kScaler), 212u);
    EXPECT_EQ(sim().deviceVersion(kFont), 9u);
}

// Data reports of the scaler bridge (FF30/11 set-array) are numbered from the start of the run:
// the update of the first block's pages is well under way by report 200, and the first block's
// read-back by read report 100.
INSTANTIATE_TEST_SUITE_P(
    Faults, MStarFailure,
    ::testing::Values(
        FailureCase{"FlippedBitInFirstBlock",
                    Fault(0x11, Access::SetArray, 200, FaultEffect::FlipBit), KmErrorVerifyFailed},
        // A page program is four data reports and a page read two: 2500 falls among the
        // programs of the second block, whose page is mostly fill.
        FailureCase{"FlippedBitInSecondBlock",
                    Fault(0x11, Access::SetArray, 2500, FaultEffect::FlipBit), KmErrorVerifyFailed,
                    true, FWUpdateOutcomeNeedsRecovery, true},
        FailureCase{"AddressReportTimesOut",
                    Fault(0x10, Access::SetArray, 300, FaultEffect::Fail, SCREENIO_ERROR_TIMEOUT),
                    SCREENIO_ERROR_TIMEOUT},
        FailureCase{"DataReportRejected",
                    Fault(0x11, Access::SetArray, 400, FaultEffect::Fail, SCREENIO_ERROR_REJECTED),
                    SCREENIO_ERROR_REJECTED, false},
        FailureCase{"ReadBackFails", Fault(0x11, Access::GetArray, 100, FaultEffect::Fail),
                    SCREENIO_ERROR_IO, false},
        FailureCase{"ReadBackWrongLength",
                    Fault(0x11, Access::GetArray, 100, FaultEffect::WrongEcho),
                    KmErrorInvalidLength, false},
        FailureCase{"VersionReadFails",
                    Fault(0xD8, Access::GetArray, 1, FaultEffect::Fail, SCREENIO_ERROR_IO, 0xFF00),
                    SCREENIO_ERROR_IO, false, FWUpdateOutcomeUntouched}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(MStarTwoImages, FlashStuckBusyIsCaughtBeforeTheNextPage) {
    // Stuck from the middle of the first block's pages on: the wait before the next page
    // program finds it busy and gives up, so no page is sent into a flash that ignores it.
    FaultRule stuck = Fault(0x11, Access::SetArray, 200, FaultEffect::StayBusy);
    stuck.count = 0;
    sim().addFault(stuck);
    dev::Monitor m = monitor();
    record();

    EXPECT_EQ(RunUpdate(m, package()), KmErrorTimeout);

    const std::vector<FlashCommand> commands = FlashCommands(recorded());
    const auto lastProgram =
        std::find_if(commands.rbegin(), commands.rend(),
                     [](const FlashCommand& c) { return c.opcode == kPageProgram; });
    ASSERT_NE(lastProgram, commands.rend());
    EXPECT_LT(CountOpcode(commands, kPageProgram), 256u);
    // After the last program only status reads: 20 quick ones and the 602 of the long wait,
    // then 20 quick ones more before the protection goes back on.
    EXPECT_EQ(CountOpcode(std::vector<FlashCommand>(commands.rbegin(), lastProgram), kReadStatus),
              20 + 602 + 20u);
    EXPECT_EQ(CountOpcode(commands, kSectorErase), 0u);
    EXPECT_EQ(flash(kScalerFlag, 4), kErased4);
}

TEST_F(MStarTwoImages, CancelDuringAnImageTakesEffectOnceItIsWholeAndMarksNothing) {
    ProgressLog log;
    log.cancelWhen = [this](const FWTransferProgress& p) {
        return p.completedCount == 1 && p.transferredBytes > m_scaler.size() + 0x800;
    };
    dev::Monitor m = monitor();
    record();

    FWUpdateOutcome outcome = FWUpdateOutcomeUntouched;
    EXPECT_EQ(RunUpdate(m, package(), &log, &outcome), KmErrorCancelled);

    // Asked on the ninth page of the font image, whose block was already erased: the image is
    // still written to its end and verified, so the scaler never holds half an image.
    EXPECT_EQ(log.calls.back().transferredBytes, totalBytes());
    EXPECT_EQ(log.calls.back().completedCount, 1u);
    const std::vector<FlashCommand> commands = FlashCommands(recorded());
    EXPECT_EQ(CountOpcode(commands, kPageProgram), 3 * 256u);
    EXPECT_EQ(CountOpcode(commands, 0x03), 3 * 256u);
    EXPECT_EQ(flash(kScalerAddress, 0x20000), Programmed(m_scaler));
    EXPECT_EQ(flash(kFontAddress, 0x10000), Programmed(m_font));
    EXPECT_EQ(CountOpcode(commands, kSectorErase), 0u);
    EXPECT_EQ(flash(kScalerFlag, 4), kErased4);
    EXPECT_EQ(flash(kFontFlag, 4), kErased4);
    EXPECT_TRUE(test::ProtectionByteWritten(recorded()));
    EXPECT_EQ(outcome, FWUpdateOutcomeMixed);
}

TEST_F(MStarTwoImages, CancelBetweenImagesTakesEffectAtOnce) {
    ProgressLog log;
    log.cancelWhen = [](const FWTransferProgress& p) { return p.completedCount == 1; };
    dev::Monitor m = monitor();
    sim().writeFlash(kFontAddress, std::vector<uint8_t>(0x100, 0x11));
    record();

    EXPECT_EQ(RunUpdate(m, package(), &log), KmErrorCancelled);
    EXPECT_EQ(CountOpcode(FlashCommands(recorded()), kBlockErase), 2u);
    EXPECT_EQ(flash(kFontAddress, 0x100), std::vector<uint8_t>(0x100, 0x11));
}

TEST_F(MStarTwoImages, CancelAfterLastImageStillCancels) {
    ProgressLog log;
    log.cancelWhen = [](const FWTransferProgress& p) { return p.completedCount == 2; };
    dev::Monitor m = monitor();
    record();

    EXPECT_EQ(RunUpdate(m, package(), &log), KmErrorCancelled);
    EXPECT_EQ(flash(kFontAddress, 0x10000), Programmed(m_font));
    EXPECT_EQ(CountOpcode(FlashCommands(recorded()), kSectorErase), 0u);
}

// A flash slower than the link: a page program outlasts the requests of the next page's write
// enable, which the busy flash would ignore, dropping that page.
TEST_F(MStarTwoImages, SlowFlashIsWaitedForBeforeEveryPage) {
    install([] {
        auto description = test::MStarMonitorDescription();
        description.pageProgramUs = 5000;
        screenio::sim::DeviceDescription font;
        font.id = kFont;
        font.address = kFontAddress;
        font.flagAddress = kFontFlag;
        description.devices.push_back(font);
        return std::vector<screenio::sim::MonitorDescription>{description};
    }());
    dev::Monitor m = monitor();

    ASSERT_EQ(RunUpdate(m, package()), 0);

    EXPECT_EQ(flash(kScalerAddress, 0x20000), Programmed(m_scaler));
    EXPECT_EQ(flash(kFontAddress, 0x10000), Programmed(m_font));
    EXPECT_EQ(flash(kScalerFlag, 4), kMarker);
    EXPECT_EQ(flash(kFontFlag, 4), kMarker);
}

// Layouts that would erase what they must not: refused before ISP mode, so the flash and its
// protection stay as they were.
struct LayoutCase {
    const char* name;
    uint32_t scalerAddress, scalerFlag, fontAddress, fontFlag;
};

class MStarLayout : public MStarUpdate, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(MStarLayout, IsRefusedBeforeAnythingIsErased) {
    const LayoutCase& c = GetParam();
    addImage(Image(0x10001, 212, 3), c.scalerAddress, c.scalerFlag);
    addImage(Image(0x1234, 9, 50), c.fontAddress, c.fontFlag);
    sim().writeFlash(0, std::vector<uint8_t>(0x1000, 0x5A));
    dev::Monitor m = monitor();
    record();

    FWUpdateOutcome outcome = FWUpdateOutcomeComplete;
    EXPECT_EQ(RunUpdate(m, package(), nullptr, &outcome), KmErrorInvalidState);

    EXPECT_TRUE(Requests(recorded(), 0xFF30, 0x10, Access::SetArray).empty());
    EXPECT_FALSE(sim().ispMode());
    EXPECT_EQ(flash(0, 0x1000), std::vector<uint8_t>(0x1000, 0x5A));
    EXPECT_EQ(outcome, FWUpdateOutcomeUntouched);
}

INSTANTIATE_TEST_SUITE_P(
    Refused, MStarLayout,
    ::testing::Values(
        // Blocks past 16 MiB would wrap to address 0 in the 24-bit commands.
        LayoutCase{"ImagePastTheAddressSpace", 0xFF0000, kScalerFlag, kFontAddress, kFontFlag},
        LayoutCase{"MarkerPastTheAddressSpace", kScalerAddress, kScalerFlag, kFontAddress,
                   0x1000000},
        LayoutCase{"TwoMarkersInOneSector", kScalerAddress, kScalerFlag, kFontAddress,
                   kScalerFlag + 0x800},
        LayoutCase{"MarkerSectorInsideAnImage", kScalerAddress, kScalerFlag, kFontAddress,
                   kScalerAddress + 0x10800},
        LayoutCase{"ImagesShareABlock", kScalerAddress, kScalerFlag, kScalerAddress + 0x10000,
                   kFontFlag},
        LayoutCase{"SecondImageOffItsBlock", kScalerAddress, kScalerFlag, 0x42000, kFontFlag}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST_F(MStarUpdate, OnlyImagesWrittenInThisRunAreMarked) {
    addImage(Image(0x300, 212, 3), kScalerAddress, kScalerFlag);
    addImage({}, kFontAddress, kFontFlag);
    addAction(test::pkg::fixedID(7), 0x60000, 0xF2000);
    sim().writeFlash(kFontFlag, std::vector<uint8_t>(4, 0x00));
    dev::Monitor m = monitor();

    ASSERT_EQ(RunUpdate(m, package()), 0);

    EXPECT_EQ(flash(kScalerFlag, 4), kMarker);
    // The empty and the missing image were not written: their sectors were not touched.
    EXPECT_EQ(flash(kFontFlag, 4), std::vector<uint8_t>(4, 0x00));
    EXPECT_EQ(flash(0xF2000, 4), kErased4);
}

}  // namespace
}  // namespace fwu
