// SPDX-License-Identifier: Apache-2.0
// Every update kind interrupted at every moment of its run, in every way an update can be cut
// short: a cancel, a power cut, the monitor dropping off the bus, a failing request. Each row
// checks what the monitor boots afterwards, that the library's outcome and status say no better
// than that, and that a monitor left in MCU ISP MODE is recovered by the next update.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "flashkit/flashkit.h"
#include "safety/MatrixTable.h"
#include "sim/SimClock.h"
#include "sim/SimImage.h"
#include "support/MonitorDescriptions.h"
#include "support/PackageBuilder.h"
#include "support/SimulatedMonitors.h"

namespace fwu::test {
namespace {

using screenio::Access;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::MonitorDescription;
using screenio::sim::SimClock;
using screenio::sim::SimImage;
using screenio::sim::SimMonitor;
using screenio::sim::SimRequest;

// The two devices each kind's package updates, with their versions before and after.
struct Target {
    uint32_t device, before, after;
};

struct KindSetup {
    MonitorDescription description;
    std::vector<Target> targets;
    uint32_t firstImageSize;
};

std::vector<uint8_t> Checked(uint32_t version, size_t size, uint8_t seed) {
    std::vector<uint8_t> payload(size - SimImage::kCheckedHeader);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = uint8_t(seed + i * 7 + (i >> 8));
    return SimImage::make(version, payload);
}

MonitorDescription ScalerDescription() {
    MonitorDescription description = MStarMonitorDescription();
    description.restartMs = 500;
    screenio::sim::DeviceDescription font;
    font.id = 0x400;
    font.name = "OSD Font";
    font.version = 4;
    font.address = 0x60000;
    font.flagAddress = 0xF1000;
    description.devices.push_back(font);
    return description;
}

KindSetup SetupFor(Kind kind) {
    switch (kind) {
    case Kind::Files: {
        MonitorDescription description = FilesMonitorDescription();
        description.restartMs = 500;
        return {description, {{0, 0x0102, 0x0200}, {1, 7, 8}}, 2048};
    }
    case Kind::Legacy: {
        MonitorDescription description = LegacyMonitorDescription();
        description.restartMs = 500;
        return {description, {{0x100, 105, 106}, {0x101, 103, 104}}, 4096};
    }
    case Kind::Scaler: return {ScalerDescription(), {{0x100, 105, 0x400}, {0x400, 4, 5}}, 70000};
    case Kind::ZV: {
        MonitorDescription description = ZvMonitorDescription();
        description.restartMs = 500;
        return {description, {{0x10, 116, 0x300}, {0x12, 118, 0x301}}, 100000};
    }
    }
    return {};
}

// The package of a kind: two images with the checked header; it lists "MCU ISP MODE" too, so
// the same package recovers a monitor that a row left in that mode.
void BuildPackage(Kind kind, const KindSetup& setup, PackageBuilder& p) {
    const Target& a = setup.targets[0];
    const Target& b = setup.targets[1];
    p.target(a.device, a.after).target(b.device, b.after);
    const auto first = Checked(a.after, setup.firstImageSize, 3);
    switch (kind) {
    case Kind::Files:
        p.products({"TESTPANEL 27", "MCU ISP MODE"});
        p.bundle({p.transfer(p.blob("a", first), "PRG000"),
                  p.transfer(p.blob("b", Checked(b.after, 2048, 9)), "PRG001")});
        return;
    case Kind::Legacy:
        p.products({"OLDPANEL 24", "MCU ISP MODE"});
        p.bundle({p.transfer(p.blob("a", first), "PRG000"),
                  p.transfer(p.blob("b", Checked(b.after, 4096, 9)), "PRG001")});
        return;
    case Kind::Scaler:
        p.products({"SCALERPANEL", "MCU ISP MODE"});
        p.bundle({p.mstarTransfer(p.blob("a", first), 0x20000, 0xF0000),
                  p.mstarTransfer(p.blob("b", Checked(b.after, 5000, 9)), 0x60000, 0xF1000)});
        return;
    case Kind::ZV:
        p.products({"ZVPANEL 32", "MCU ISP MODE"});
        p.bundle({p.zvTransfer(p.blob("a", first), 0x00000),
                  p.zvTransfer(p.blob("b", Checked(b.after, 5000, 9)), 0x80000)});
        return;
    }
}

// A progress call of the clean run and how many requests had reached the monitor by then.
struct ProgressCall {
    FWTransferProgress progress;
    size_t requests;
};

struct Recorder {
    SimMonitor* monitor = nullptr;
    int cancelAt = -1;
    // Which calls learn how many requests came before them: reading the history copies it, so
    // a flash run counts only at the calls after an image (where its next phase begins).
    enum class Count { None, ImageEnds, Every } count = Count::None;
    std::vector<ProgressCall> calls;
    static int8_t Call(FWTransferProgress progress, void* user) {
        auto* self = static_cast<Recorder*>(user);
        const bool imageEnd = self->calls.empty() ||
                              progress.completedCount != self->calls.back().progress.completedCount;
        const bool counted =
            self->count == Count::Every || (self->count == Count::ImageEnds && imageEnd);
        self->calls.push_back({progress, counted ? self->monitor->history().size() : 0});
        return int(self->calls.size()) - 1 == self->cancelAt ? 0 : 1;
    }
};

bool IsSet(const SimRequest& r, uint16_t page, uint16_t usage) {
    return r.page == page && r.usage == usage && r.access == Access::SetArray;
}
bool IsGet(const SimRequest& r, uint16_t page, uint16_t usage) {
    return r.page == page && r.usage == usage && r.access == Access::GetArray;
}
// A command through the scaler bridge: the byte after the report's 2-byte header.
bool ScalerCommand(const SimRequest& r, uint8_t command) {
    return IsSet(r, 0xFF30, 0x11) && r.data.size() > 2 && r.data[2] == command;
}
bool ZvOperation(const SimRequest& r, uint8_t operation) {
    return IsSet(r, 0xFF01, 0x122) && r.data.size() > 8 && r.data[8] == operation;
}

using Match = std::function<bool(const SimRequest&)>;

size_t FindFrom(const std::vector<SimRequest>& h, size_t from, const Match& match) {
    for (size_t i = from; i < h.size(); ++i)
        if (match(h[i])) return i;
    return h.size();
}
size_t FindLast(const std::vector<SimRequest>& h, const Match& match) {
    for (size_t i = h.size(); i-- > 0;)
        if (match(h[i])) return i;
    return h.size();
}

// The clean run of a kind: every request and every progress call, to place interruptions in.
struct CleanRun {
    std::vector<SimRequest> requests;
    std::vector<ProgressCall> calls;

    // The first request after the first image was complete.
    size_t betweenImages() const {
        for (const ProgressCall& c : calls)
            if (c.progress.completedCount == 1) return c.requests;
        return requests.size();
    }
    // A page write in the middle of the first image.
    size_t midImage(Kind kind) const {
        const Match page = [kind](const SimRequest& r) {
            switch (kind) {
            case Kind::Scaler: return ScalerCommand(r, 0x02);
            case Kind::ZV: return ZvOperation(r, 0);
            default: return IsSet(r, 0xFF02, 0xFE);
            }
        };
        std::vector<size_t> pages;
        for (size_t i = 0; i < betweenImages(); ++i)
            if (page(requests[i])) pages.push_back(i);
        // A quarter in: inside the first flash block, which is then half rewritten.
        return pages.empty() ? requests.size() : pages[pages.size() / 4];
    }

    size_t request(Kind kind, Phase phase) const {
        const auto& h = requests;
        switch (phase) {
        case Phase::FirstChange:
            return FindFrom(h, 0, [](const SimRequest& r) { return r.changing; });
        case Phase::Erase:
            // A flash status read while the first block erase is under way.
            if (kind == Kind::Scaler)
                return FindFrom(
                    h, FindFrom(h, 0, [](const SimRequest& r) { return ScalerCommand(r, 0xD8); }),
                    [](const SimRequest& r) { return ScalerCommand(r, 0x05); });
            return FindFrom(h,
                            FindFrom(h, 0, [](const SimRequest& r) { return ZvOperation(r, 2); }),
                            [](const SimRequest& r) { return IsGet(r, 0xFF01, 0x123); });
        case Phase::MidImage: return midImage(kind);
        case Phase::BetweenImages: return betweenImages();
        case Phase::Verify:
            if (kind == Kind::Scaler)
                return FindFrom(h, 0, [](const SimRequest& r) { return ScalerCommand(r, 0x03); });
            if (kind == Kind::ZV)
                return FindFrom(
                    h, FindFrom(h, 0, [](const SimRequest& r) { return ZvOperation(r, 3); }),
                    [](const SimRequest& r) { return IsGet(r, 0xFF01, 0x123); });
            return FindFrom(h, 0, [](const SimRequest& r) { return IsGet(r, 0xFF02, 0xFC); });
        case Phase::BeforeTrigger:
            // Scaler: the markers are its trigger; others: the trigger's first request.
            if (kind == Kind::Scaler) return calls.empty() ? h.size() : calls.back().requests;
            return FindLast(h, [](const SimRequest& r) {
                return r.page == 0xFF02 && r.usage == 0xFB && r.access == Access::GetValue;
            });
        case Phase::Restart:
            // Scaler: the status write that switches the protection back on and starts its
            // power cycle; others: the restart request.
            if (kind == Kind::Scaler)
                return FindLast(h, [](const SimRequest& r) { return ScalerCommand(r, 0x01); });
            return FindFrom(h, 0, [](const SimRequest& r) {
                return r.page == 0xFF02 && r.usage == 0xF4 && r.access == Access::SetValue;
            });
        }
        return h.size();
    }

    // The progress call at which a cancel is asked for, or -1.
    int cancelCall(Kind kind, Phase phase) const {
        const int last = int(calls.size()) - 1;
        switch (phase) {
        case Phase::Erase: return 0;  // the first call comes right after the first erase
        case Phase::MidImage:
            for (size_t i = 0; i < calls.size(); ++i)
                if (calls[i].progress.completedCount == 0 &&
                    calls[i].progress.transferredBytes >= SetupFor(kind).firstImageSize * 3 / 5)
                    return int(i);
            return -1;
        case Phase::BetweenImages:
            for (size_t i = 0; i < calls.size(); ++i)
                if (calls[i].progress.completedCount == 1) return int(i);
            return -1;
        case Phase::Verify:
            // During the CRC poll: the call right after a CRC result was read.
            for (size_t i = 0; i < calls.size(); ++i)
                if (calls[i].requests > 0 && IsGet(requests[calls[i].requests - 1], 0xFF02, 0xFC))
                    return int(i);
            return -1;
        case Phase::BeforeTrigger: return last;
        default: return -1;
        }
    }
};

Boots Classify(SimMonitor& monitor, const std::vector<Target>& targets) {
    const auto state = monitor.bootState();
    if (!state.boots) return Boots::Recovered;
    size_t fresh = 0, old = 0;
    for (const Target& t : targets) {
        const uint32_t version = monitor.deviceVersion(t.device);
        fresh += version == t.after;
        old += version == t.before;
    }
    if (old == targets.size()) return Boots::Old;
    if (fresh == targets.size()) return Boots::New;
    EXPECT_EQ(fresh + old, targets.size()) << "a device runs neither its old nor its new version";
    return Boots::Mixed;
}

class InterruptionMatrix : public SimulatedMonitors {
protected:
    // Waits out a restart and searches again.
    void comeBack(const MonitorDescription& description) {
        SimClock::advance(int64_t(description.restartMs + 1000) * 1000);
        search();
    }

    // One update run with recording on and `fault` (if any) counted from its first request.
    KmError run(Kind kind, const KindSetup& setup, const FaultRule* fault, Recorder& recorder) {
        PackageBuilder package;
        BuildPackage(kind, setup, package);
        recorder.monitor = &sim();
        record();
        if (fault) sim().addFault(*fault);
        return FWMonitorUpdateFirmware(handle(), package.get(), &Recorder::Call, &recorder, 0);
    }

    CleanRun clean(Kind kind) {
        const KindSetup setup = SetupFor(kind);
        install({setup.description});
        Recorder recorder;
        recorder.count = kind == Kind::Scaler || kind == Kind::ZV ? Recorder::Count::ImageEnds
                                                                  : Recorder::Count::Every;
        EXPECT_EQ(run(kind, setup, nullptr, recorder), 0);
        CleanRun result{sim().history(), recorder.calls};
        sim().setRecording(false);
        sim().powerCycle();
        EXPECT_EQ(Classify(sim(), setup.targets), Boots::New) << "the clean run did not update";
        return result;
    }

    // After the interrupted call: what the caller learns once the monitor is back, whether the
    // update can be called finished.
    bool finishedAfterRestart(Kind kind, const KindSetup& setup) {
        comeBack(setup.description);
        if (KmFind() <= 0) return false;
        search();
        PackageBuilder package;
        BuildPackage(kind, setup, package);
        return FWMonitorCheckFirmwareUpdateFinished(handle(), package.get()) >= 0;
    }

    void recover(Kind kind, const KindSetup& setup) {
        comeBack(setup.description);
        ASSERT_EQ(sim().bootState().product, "MCU ISP MODE");
        PackageBuilder package;
        BuildPackage(kind, setup, package);
        ASSERT_EQ(FWKfwFileCheckMonitor(package.get(), handle()), 0u);
        ASSERT_EQ(FWMonitorUpdateFirmware(handle(), package.get(), nullptr, nullptr, 0), 0);
        sim().powerCycle();
        EXPECT_TRUE(sim().bootState().boots);
        EXPECT_EQ(sim().bootState().product, setup.description.product);
        EXPECT_EQ(Classify(sim(), setup.targets), Boots::New);
    }
};

const char* Name(Boots b) {
    switch (b) {
    case Boots::Old: return "old";
    case Boots::New: return "new";
    case Boots::Mixed: return "mixed";
    case Boots::Recovered: return "MCU ISP MODE, recovered";
    }
    return "?";
}

TEST_F(InterruptionMatrix, EveryInterruptionLeavesAMonitorThatBootsOrIsRecovered) {
    std::vector<CleanRun> cleanRuns;
    for (Kind kind : {Kind::Files, Kind::Legacy, Kind::Scaler, Kind::ZV})
        cleanRuns.push_back(clean(kind));

    for (const MatrixRow& row : MatrixRows()) {
        SCOPED_TRACE(RowName(row));
        const KindSetup setup = SetupFor(row.kind);
        const CleanRun& cleanRun = cleanRuns[size_t(row.kind)];
        install({setup.description});

        Recorder recorder;
        FaultRule fault;
        size_t at = 0;
        if (row.cut == Cut::Cancel) {
            recorder.cancelAt = cleanRun.cancelCall(row.kind, row.phase);
            ASSERT_GE(recorder.cancelAt, 0) << "no progress call in this phase";
        } else {
            at = cleanRun.request(row.kind, row.phase);
            ASSERT_LT(at, cleanRun.requests.size()) << "phase not found in the clean run";
            fault.anyUsage = true;
            fault.first = uint32_t(at + 1);
            fault.count = 1;
            fault.effect = row.cut == Cut::PowerCut  ? FaultEffect::PowerCut
                           : row.cut == Cut::DropOff ? FaultEffect::DropOff
                                                     : FaultEffect::Fail;
        }
        const KmError status =
            run(row.kind, setup, row.cut == Cut::Cancel ? nullptr : &fault, recorder);
        const FWUpdateOutcome outcome = FWMonitorGetLastUpdateOutcome();
        if (row.cut != Cut::Cancel) {
            // The interruption hit the request the row is about.
            const auto history = sim().history();
            ASSERT_GT(history.size(), at);
            EXPECT_EQ(history[at].page, cleanRun.requests[at].page);
            EXPECT_EQ(history[at].usage, cleanRun.requests[at].usage);
            EXPECT_EQ(history[at].access, cleanRun.requests[at].access);
            if (history[at].access == Access::SetArray) {
                EXPECT_EQ(history[at].data, cleanRun.requests[at].data);
            }
        } else {
            EXPECT_EQ(status, KmErrorCancelled);
        }
        sim().clearFaults();
        sim().setRecording(false);
        const bool finished = status >= 0 && finishedAfterRestart(row.kind, setup);

        // What the user finds once the monitor was switched off and on.
        sim().powerCycle();
        const Boots boots = Classify(sim(), setup.targets);
        EXPECT_EQ(boots, row.boots) << "boots " << Name(boots);
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_EQ(status >= 0, row.success) << "status " << status;

        // Whatever the row, the library never says better than the truth.
        if (finished) {
            EXPECT_EQ(boots, Boots::New) << "a success for an update that did not take";
        }
        if (boots == Boots::Recovered) {
            EXPECT_EQ(outcome, FWUpdateOutcomeNeedsRecovery)
                << "a monitor left unbootable unannounced";
        }
        if (outcome == FWUpdateOutcomeUntouched || outcome == FWUpdateOutcomeOldFirmwareKept) {
            EXPECT_EQ(boots, Boots::Old) << "said to keep its old firmware, but it does not";
        }
        if (boots == Boots::Recovered) recover(row.kind, setup);
    }
}

}  // namespace
}  // namespace fwu::test
