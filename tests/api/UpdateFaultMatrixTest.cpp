// SPDX-License-Identifier: Apache-2.0
// Every way an update can fail, through the exported functions against simulated monitors:
// the exact status, the transfer state afterwards, what reached the monitor and what did not,
// and that no failure is ever reported as success.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "flashkit/flashkit.h"
#include "sim/SimImage.h"
#include "support/Faults.h"
#include "support/MonitorDescriptions.h"
#include "support/PackageBuilder.h"
#include "support/SimulatedMonitors.h"

namespace {

using fwu::test::PackageBuilder;
using screenio::Access;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::MonitorDescription;
using screenio::sim::SimMonitor;

enum class Kind { Files, ZV, Scaler };
enum class Step { Transfer, Trigger, Update, Finished };
// How the row's package differs from the working one of its kind.
enum class Variant { Working, NoBundle, AtTarget, OddSize, Unaligned, BadFlag, NoVersionImage };

using fwu::test::MakeFault;

constexpr uint32_t kScalerFlag = 0xF0000;

// A scaler image with the header that states its length and CRC: the scaler runs it in place,
// so a half-written one must not boot.
std::vector<uint8_t> CheckedImage(uint32_t version, size_t size) {
    std::vector<uint8_t> payload(size - screenio::sim::SimImage::kCheckedHeader);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = uint8_t(1 + i * 13 + (i >> 9));
    return screenio::sim::SimImage::make(version, payload);
}

void BuildPackage(Kind kind, Variant variant, PackageBuilder& p) {
    const bool noBundle = variant == Variant::NoBundle;
    switch (kind) {
    case Kind::Files: {
        // Device 0 reports 0x0102, device 1 reports 7.
        p.products({"TESTPANEL 27"})
            .target(0, variant == Variant::AtTarget ? 0x0102 : 0x0200)
            .target(1, 7);
        const size_t size = variant == Variant::OddSize ? 1000 : 2048;
        const auto image = variant == Variant::NoVersionImage ? std::vector<uint8_t>(size, 0x5A)
                                                              : PackageBuilder::Image(0x0200, size);
        std::vector<PackageBuilder::Condition> conditions;
        if (noBundle) conditions.push_back({0, 0x0102, "lt"});
        p.bundle({p.transfer(p.blob("scaler", image), "PRG000")}, conditions);
        return;
    }
    case Kind::ZV: {
        // Devices 0x10 at 0x00000 (flag 0), 0x11 at 0x40000 (flag 1), 0x12 at 0x80000 (flag 5).
        // Devices report 100 plus their ID.
        const bool atTarget = variant == Variant::AtTarget;
        p.products({"ZVPANEL 32"})
            .target(0x10, atTarget ? 116 : 0x300)
            .target(0x12, atTarget ? 118 : 0x301);
        std::vector<PackageBuilder::Condition> conditions;
        if (noBundle) conditions.push_back({0x10, 1, "eq"});
        p.bundle({p.zvTransfer(p.blob("main", PackageBuilder::Image(0x300, 100000)), 0),
                  p.zvTransfer(p.blob("touch", PackageBuilder::Image(0x301, 5000)),
                               variant == Variant::Unaligned ? 0x81000 : 0x80000)},
                 conditions);
        return;
    }
    case Kind::Scaler: {
        p.products({"SCALERPANEL"}).target(0x100, 0x400);
        std::vector<PackageBuilder::Condition> conditions;
        if (noBundle) conditions.push_back({0x100, 1, "eq"});
        const bool atTarget = variant == Variant::AtTarget;
        std::vector<FWUuid> actions;
        if (!atTarget)
            actions.push_back(
                p.mstarTransfer(p.blob("scaler", CheckedImage(0x400, 70000)),
                                variant == Variant::Unaligned ? 0x21000 : 0x20000,
                                variant == Variant::BadFlag ? kScalerFlag + 4093 : kScalerFlag));
        p.bundle(actions, conditions);
        return;
    }
    }
}

struct Row {
    const char* name;
    Kind kind;
    Step step;
    Variant variant;
    std::vector<FaultRule> faults;
    int cancelAt;  // progress call that answers 0, or -1
    KmError status;
    std::function<void(SimMonitor&)> also;  // further checks of what reached the monitor
};

struct Canceller {
    int cancelAt, calls = 0;
    static int8_t Call(FWTransferProgress, void* user) {
        auto* c = static_cast<Canceller*>(user);
        return c->calls++ == c->cancelAt ? 0 : 1;
    }
};

size_t Accepted(const SimMonitor& monitor, uint16_t page, uint16_t usage) {
    size_t count = 0;
    for (const auto& r : monitor.history())
        count +=
            r.page == page && r.usage == usage && r.access == Access::SetArray && r.status >= 0;
    return count;
}

const std::function<void(SimMonitor&)> kNoPageWritten = [](SimMonitor& m) {
    EXPECT_EQ(Accepted(m, 0xFF02, 0xFE), 0u);
};
const std::function<void(SimMonitor&)> kNothingErased = [](SimMonitor& m) {
    EXPECT_EQ(Accepted(m, 0xFF01, 0x122), 0u);
    EXPECT_EQ(m.readFlash(0, 16), std::vector<uint8_t>(16, 0xFF));
};
const std::function<void(SimMonitor&)> kScalerUntouched = [](SimMonitor& m) {
    EXPECT_EQ(m.readFlash(0x20000, 16), std::vector<uint8_t>(16, 0xFF));
};

class UpdateFaultMatrix : public fwu::test::SimulatedMonitors {
protected:
    // A package that lists "MCU ISP MODE" brings the scaler back with the new firmware.
    void recoverScaler(Variant variant) {
        screenio::sim::SimClock::advance(int64_t(sim().description().restartMs + 1000) * 1000);
        search();
        PackageBuilder package;
        BuildPackage(Kind::Scaler, variant, package);
        package.products({"SCALERPANEL", "MCU ISP MODE"});
        ASSERT_EQ(FWMonitorUpdateFirmware(handle(), package.get(), nullptr, nullptr, 0), 0);
        sim().powerCycle();
        EXPECT_TRUE(sim().bootState().boots);
        EXPECT_EQ(sim().bootState().product, "SCALERPANEL");
        EXPECT_EQ(sim().deviceVersion(0x100), 0x400u);
    }
};

TEST_F(UpdateFaultMatrix, EveryFailureHasItsStatusAndLeavesTheMonitorSafe) {
    const Row rows[] = {
        // Record-file transfer and trigger.
        {"files: no bundle applies",
         Kind::Files,
         Step::Transfer,
         Variant::NoBundle,
         {},
         -1,
         KmErrorInvalidState,
         kNoPageWritten},
        {"files: nothing to transfer",
         Kind::Files,
         Step::Transfer,
         Variant::AtTarget,
         {},
         -1,
         KmErrorNoData,
         kNoPageWritten},
        {"files: image not whole records",
         Kind::Files,
         Step::Transfer,
         Variant::OddSize,
         {},
         -1,
         KmErrorNotSupported,
         kNoPageWritten},
        {"files: cancel at the first call",
         Kind::Files,
         Step::Transfer,
         Variant::Working,
         {},
         0,
         KmErrorCancelled,
         kNoPageWritten},
        {"files: cancel mid-image",
         Kind::Files,
         Step::Transfer,
         Variant::Working,
         {},
         2,
         KmErrorCancelled,
         [](SimMonitor& m) { EXPECT_EQ(Accepted(m, 0xFF02, 0xFE), 2u); }},
        {"files: cancel during the CRC poll",
         Kind::Files,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF02, 0xFC, Access::GetArray, FaultEffect::StayBusy, 1, 0)},
         12,
         KmErrorCancelled,
         nullptr},
        {"files: CRC differs",
         Kind::Files,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF02, 0xFC, Access::GetArray, FaultEffect::CorruptCrc, 1, 0)},
         -1,
         KmErrorChecksumMismatch,
         nullptr},
        {"files: CRC reply about another file",
         Kind::Files,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF02, 0xFC, Access::GetArray, FaultEffect::WrongEcho)},
         -1,
         KmErrorFailed,
         nullptr},
        {"files: property reply about another file",
         Kind::Files,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF02, 0xC3, Access::GetArray, FaultEffect::WrongEcho, 6)},
         -1,
         KmErrorFailed,
         kNoPageWritten},
        {"files: page write fails 20 times",
         Kind::Files,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF02, 0xFE, Access::SetArray, FaultEffect::Fail, 2, 20,
                    SCREENIO_ERROR_TIMEOUT)},
         -1,
         SCREENIO_ERROR_TIMEOUT,
         [](SimMonitor& m) { EXPECT_EQ(Accepted(m, 0xFF02, 0xFE), 1u); }},
        {"files: temporary file refused",
         Kind::Files,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF02, 0xC3, Access::SetArray, FaultEffect::Fail)},
         -1,
         SCREENIO_ERROR_IO,
         kNoPageWritten},
        {"files: monitor drops off",
         Kind::Files,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF02, 0xFE, Access::SetArray, FaultEffect::DropOff, 2, 1)},
         -1,
         SCREENIO_ERROR_GONE,
         // Gone, the monitor cannot be told to forget the transfer; back on power, it has.
         [](SimMonitor& m) { m.powerCycle(); }},
        {"files: trigger before the transfer",
         Kind::Files,
         Step::Trigger,
         Variant::Working,
         {},
         -1,
         KmErrorInvalidState,
         [](SimMonitor& m) { EXPECT_EQ(m.restartCount(), 0u); }},
        {"files: versions not reached after the restart",
         Kind::Files,
         Step::Finished,
         Variant::NoVersionImage,
         {},
         -1,
         KmErrorNotFinished,
         nullptr},

        // ZV transfer and trigger.
        {"zv: no bundle applies",
         Kind::ZV,
         Step::Transfer,
         Variant::NoBundle,
         {},
         -1,
         KmErrorInvalidState,
         kNothingErased},
        {"zv: image not on a block boundary",
         Kind::ZV,
         Step::Transfer,
         Variant::Unaligned,
         {},
         -1,
         KmErrorInvalidState,
         nullptr},
        {"zv: nothing to transfer",
         Kind::ZV,
         Step::Transfer,
         Variant::AtTarget,
         {},
         -1,
         KmErrorNoData,
         kNothingErased},
        {"zv: checksum does not complement",
         Kind::ZV,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF01, 0x123, Access::GetArray, FaultEffect::CorruptChecksum, 1, 0)},
         -1,
         KmErrorVerifyFailed,
         nullptr},
        {"zv: cancel at the first call",
         Kind::ZV,
         Step::Transfer,
         Variant::Working,
         {},
         0,
         KmErrorCancelled,
         nullptr},
        {"zv: cancel mid-image",
         Kind::ZV,
         Step::Transfer,
         Variant::Working,
         {},
         300,
         KmErrorCancelled,
         nullptr},
        {"zv: erase stays busy",
         Kind::ZV,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF01, 0x123, Access::GetArray, FaultEffect::StayBusy, 1, 0)},
         -1,
         KmErrorTimeout,
         nullptr},
        {"zv: status unreadable",
         Kind::ZV,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF01, 0x123, Access::GetArray, FaultEffect::Fail)},
         -1,
         KmErrorFailed,
         nullptr},
        {"zv: page write fails",
         Kind::ZV,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF01, 0x123, Access::SetArray, FaultEffect::Fail, 10, 1,
                    SCREENIO_ERROR_REJECTED)},
         -1,
         SCREENIO_ERROR_REJECTED,
         nullptr},
        // Flag requests 1 and 2 clear the flags before each image is erased; 4 sets the second.
        {"zv: second update flag fails",
         Kind::ZV,
         Step::Transfer,
         Variant::Working,
         {MakeFault(0xFF02, 0x110, Access::SetArray, FaultEffect::Fail, 4)},
         -1,
         SCREENIO_ERROR_IO,
         [](SimMonitor& m) { EXPECT_EQ(m.zvUpdateFlags(), 1u << 0); }},
        {"zv: trigger before the transfer",
         Kind::ZV,
         Step::Trigger,
         Variant::Working,
         {},
         -1,
         KmErrorInvalidState,
         [](SimMonitor& m) { EXPECT_EQ(m.restartCount(), 0u); }},

        // Scaler flow in one call.
        {"scaler: no bundle applies",
         Kind::Scaler,
         Step::Update,
         Variant::NoBundle,
         {},
         -1,
         KmErrorInvalidState,
         kScalerUntouched},
        {"scaler: image not on a block boundary",
         Kind::Scaler,
         Step::Update,
         Variant::Unaligned,
         {},
         -1,
         KmErrorInvalidState,
         kScalerUntouched},
        {"scaler: flag would cross its sector",
         Kind::Scaler,
         Step::Update,
         Variant::BadFlag,
         {},
         -1,
         KmErrorInvalidState,
         nullptr},
        {"scaler: nothing to transfer",
         Kind::Scaler,
         Step::Update,
         Variant::AtTarget,
         {},
         -1,
         KmErrorNoData,
         nullptr},
        {"scaler: flash stays busy",
         Kind::Scaler,
         Step::Update,
         Variant::Working,
         {MakeFault(0xFF30, 0x11, Access::GetArray, FaultEffect::StayBusy, 3, 0)},
         -1,
         KmErrorTimeout,
         // A flash that never finishes cannot be protected; the protection is still asked for.
         [](SimMonitor& m) {
             const auto history = m.history();
             ASSERT_FALSE(history.empty());
             bool asked = false;
             for (const auto& r : history)
                 asked = asked ||
                         (r.page == 0xFF30 && r.usage == 0x11 && r.access == Access::SetArray &&
                          r.data.size() > 3 && r.data[2] == 0x01 && r.data[3] == 0x01);
             EXPECT_TRUE(asked);
         }},
        {"scaler: read back differs",
         Kind::Scaler,
         Step::Update,
         Variant::Working,
         {MakeFault(0xFF30, 0x11, Access::SetArray, FaultEffect::FlipBit, 200)},
         -1,
         KmErrorVerifyFailed,
         nullptr},
        {"scaler: cancel mid-image",
         Kind::Scaler,
         Step::Update,
         Variant::Working,
         {},
         100,
         KmErrorCancelled,
         nullptr},
        {"scaler: bridge refuses a command",
         Kind::Scaler,
         Step::Update,
         Variant::Working,
         {MakeFault(0xFF30, 0x11, Access::SetArray, FaultEffect::Fail, 500, 1,
                    SCREENIO_ERROR_REJECTED)},
         -1,
         SCREENIO_ERROR_REJECTED,
         nullptr},
        {"scaler: read reply of another length",
         Kind::Scaler,
         Step::Update,
         Variant::Working,
         {MakeFault(0xFF30, 0x11, Access::GetArray, FaultEffect::WrongEcho, 40)},
         -1,
         KmErrorInvalidLength,
         nullptr},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MonitorDescription description =
            row.kind == Kind::Files ? fwu::test::FilesMonitorDescription()
            : row.kind == Kind::ZV  ? fwu::test::ZvMonitorDescription()
                                    : fwu::test::MStarMonitorDescription();
        install({description});
        record();
        PackageBuilder package;
        BuildPackage(row.kind, row.variant, package);
        for (const FaultRule& fault : row.faults) sim().addFault(fault);
        Canceller canceller{row.cancelAt};
        FWTransferProgressCallback callback = row.cancelAt >= 0 ? &Canceller::Call : nullptr;

        KmError status = 0;
        switch (row.step) {
        case Step::Transfer:
            status = FWMonitorTransferFirmwareDataWithOptions(handle(), package.get(), callback,
                                                              &canceller, 0);
            break;
        case Step::Trigger: status = FWMonitorTriggerFirmwareUpdate(handle()); break;
        case Step::Update:
            status = FWMonitorUpdateFirmware(handle(), package.get(), callback, &canceller, 0);
            break;
        case Step::Finished:
            ASSERT_GE(FWMonitorUpdateFirmware(handle(), package.get(), nullptr, nullptr, 0), 0);
            screenio::sim::SimClock::advance(5000 * 1000);
            search();
            status = FWMonitorCheckFirmwareUpdateFinished(handle(), package.get());
            break;
        }
        EXPECT_EQ(status, row.status);
        ASSERT_LT(status, 0) << "a failure reported as success";
        if (row.also) row.also(sim());

        // What no failure may leave behind.
        sim().clearFaults();
        switch (row.kind) {
        case Kind::Files:
            if (row.step == Step::Finished) break;
            EXPECT_EQ(sim().transferState(), 0u);
            EXPECT_EQ(sim().deviceVersion(0), 0x0102u);
            break;
        case Kind::ZV:
            EXPECT_EQ(sim().transferState(), 0u);
            if (row.status != SCREENIO_ERROR_IO) {
                EXPECT_EQ(sim().zvUpdateFlags(), 0u);
            }
            EXPECT_EQ(sim().deviceVersion(0x10), 116u);
            break;
        case Kind::Scaler: {
            const FWUpdateOutcome outcome = FWMonitorGetLastUpdateOutcome();
            if (outcome == FWUpdateOutcomeUntouched) {
                // Refused before ISP mode: the scaler still runs its firmware and the flash keeps
                // the protection it started with.
                EXPECT_FALSE(sim().ispMode()) << "said untouched, but left in ISP mode";
                EXPECT_TRUE(sim().flashWriteProtected()) << "unprotected by a refused update";
            } else if (row.status != KmErrorTimeout) {
                EXPECT_TRUE(fwu::test::ProtectionByteWritten(recorded()))
                    << "write protection not asked for";
            }
            EXPECT_EQ(sim().readFlash(kScalerFlag, 4), std::vector<uint8_t>(4, 0xFF))
                << "marker written";
            sim().powerCycle();
            // The scaler runs in place: what it boots is what the outcome said it would.
            if (outcome == FWUpdateOutcomeNeedsRecovery) {
                EXPECT_FALSE(sim().bootState().boots);
                EXPECT_EQ(sim().bootState().product, "MCU ISP MODE");
                recoverScaler(row.variant);
            } else if (outcome == FWUpdateOutcomeMixed) {
                // The one image was completed and verified before the stop took effect.
                EXPECT_TRUE(sim().bootState().boots);
                EXPECT_EQ(sim().deviceVersion(0x100), 0x400u);
            } else {
                EXPECT_TRUE(sim().bootState().boots);
                EXPECT_EQ(sim().deviceVersion(0x100), 105u);
            }
            break;
        }
        }
    }
}

}  // namespace
