// SPDX-License-Identifier: Apache-2.0
// The ZV update flow against a simulated ZV monitor: block-wise flash writes, the checksum of
// each image, update flags, progress reports, cancel, refusals and monitor failures, and the
// trigger with the monitor's restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../package/TestPackage.h"
#include "device/Monitor.h"
#include "engine/ZVUpdate.h"
#include "package/v2/KfwFile.h"
#include "profile/DeviceProfileList.h"
#include "sim/SimClock.h"
#include "support/MonitorDescriptions.h"
#include "support/SimulatedMonitors.h"

namespace fwu {
namespace {

using screenio::Access;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::SimRequest;
using test::Requests;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kBlock = 0x10000;
constexpr uint32_t kPage = 256;

// The simulated monitor's devices (ZvMonitorDescription): ID, image address, update flag index;
// each reports version 100 + ID.
constexpr uint32_t kMain = 0x10, kMainAddress = 0x00000, kMainFlag = 0;
constexpr uint32_t kSub = 0x11, kSubAddress = 0x40000;
constexpr uint32_t kTouch = 0x12, kTouchAddress = 0x80000, kTouchFlag = 5;

// An image the simulator installs as `version`: "SIMV", the version little-endian, then a
// pattern that differs from one image to the next.
Bytes SimvImage(uint32_t version, size_t size, uint8_t seed) {
    Bytes image(size);
    for (size_t i = 0; i < size; ++i) image[i] = uint8_t(seed * 31 + i * 7 + (i >> 8));
    const uint8_t head[] = {'S',
                            'I',
                            'M',
                            'V',
                            uint8_t(version),
                            uint8_t(version >> 8),
                            uint8_t(version >> 16),
                            uint8_t(version >> 24)};
    std::copy_n(head, std::min(size, sizeof head), image.begin());
    return image;
}

Bytes Erased(size_t size) { return Bytes(size, 0xFF); }

// A current-format package for the simulated monitor, built object by object.
class ZvPackage {
public:
    ZvPackage() : m_file(std::make_unique<kfw::v2::KfwFile>()) {
        m_file->products() = {test::ZvMonitorDescription().product};
    }
    ZvPackage& product(const std::string& name) {
        m_file->products() = {name};
        return *this;
    }
    ZvPackage& target(uint32_t device, uint32_t version) {
        m_file->targetVersion().push({device, Version(version)});
        return *this;
    }
    ZvPackage& image(uint32_t address, const Bytes& bytes) {
        kfw::Blob* blob = m_file->registerBlob(test::pkg::makeBlob(bytes));
        m_actions.push_back(m_file->registerAction(test::pkg::makeZV(blob->id(), address))->id());
        return *this;
    }
    ZvPackage& condition(uint32_t device, uint32_t version) {
        m_conditions.push_back({device, version, Version::OperatorEqual});
        return *this;
    }
    // Without any, the flow reads the monitor's.
    ZvPackage& profile(uint32_t device, uint32_t address, uint32_t flagIndex) {
        dev::DeviceProfile entry;
        entry.device = device;
        entry.address = address;
        entry.updateFlagIndex = flagIndex;
        m_file->deviceProfile().push(entry);
        return *this;
    }
    std::unique_ptr<kfw::KfwFile> build() {
        m_file->registerBundle(test::pkg::makeBundle(m_actions, m_conditions));
        return std::move(m_file);
    }

private:
    std::unique_ptr<kfw::v2::KfwFile> m_file;
    std::vector<Uuid> m_actions;
    std::vector<test::pkg::Condition> m_conditions;
};

// Keeps every progress report; the call numbered `cancelAt` (from 1) asks to stop.
struct ProgressLog {
    std::vector<FWTransferProgress> calls;
    size_t cancelAt = 0;

    static int8_t Callback(FWTransferProgress progress, void* userData) {
        auto* self = static_cast<ProgressLog*>(userData);
        self->calls.push_back(progress);
        return self->calls.size() == self->cancelAt ? 0 : 1;
    }
};

FaultRule Fault(uint16_t page, uint16_t usage, Access access, FaultEffect effect,
                uint32_t first = 1, uint32_t count = 1, KmError status = SCREENIO_ERROR_IO) {
    FaultRule rule;
    rule.page = page;
    rule.usage = usage;
    rule.anyAccess = false;
    rule.access = access;
    rule.effect = effect;
    rule.first = first;
    rule.count = count;
    rule.status = status;
    return rule;
}

class ZVUpdateFlow : public test::SimulatedMonitors {
protected:
    void SetUp() override {
        install({test::ZvMonitorDescription()});
        m_main = SimvImage(200, kBlock + 300, 1);  // two blocks, the second mostly fill
        m_touch = SimvImage(300, 1000, 2);
    }

    // Main and Touch need new images; Sub is at its target, so its action is left out.
    ZvPackage standardPackage() {
        ZvPackage package;
        package.target(kMain, 200).target(kSub, 100 + kSub).target(kTouch, 300);
        package.image(kMainAddress, m_main)
            .image(kSubAddress, SimvImage(400, 500, 3))
            .image(kTouchAddress, m_touch);
        return package;
    }

    KmError transfer(const kfw::KfwFile* file, ProgressLog* log = nullptr, uint32_t options = 0,
                     FWUpdateOutcome* outcome = nullptr) {
        dev::Monitor monitor(handle());
        return ZVTransferUpdateData(monitor, file, log ? &ProgressLog::Callback : nullptr, log,
                                    options, outcome);
    }
    // Update-flag requests that set a flag (clearing ones are left out).
    size_t flagsSetRequests() {
        size_t count = 0;
        for (const SimRequest& r : Requests(recorded(), 0xFF02, 0x110, Access::SetArray))
            count += r.data.size() == 3 && r.data[2] != 0;
        return count;
    }
    KmError trigger() {
        dev::Monitor monitor(handle());
        return ZVTriggerUpdate(monitor);
    }

    // Recorded ZV commands of one operation (0 write, 2 erase, 3 checksum).
    std::vector<SimRequest> commands(uint8_t operation) {
        std::vector<SimRequest> selected;
        for (const SimRequest& r : Requests(recorded(), 0xFF01, 0x122, Access::SetArray))
            if (r.data.size() == 9 && r.data[8] == operation) selected.push_back(r);
        return selected;
    }
    static uint32_t CommandAddress(const SimRequest& r) {
        return uint32_t(r.data[0]) | uint32_t(r.data[1]) << 8 | uint32_t(r.data[2]) << 16 |
               uint32_t(r.data[3]) << 24;
    }
    static uint32_t CommandLength(const SimRequest& r) {
        return uint32_t(r.data[4]) | uint32_t(r.data[5]) << 8 | uint32_t(r.data[6]) << 16 |
               uint32_t(r.data[7]) << 24;
    }

    Bytes m_main;
    Bytes m_touch;
};

TEST_F(ZVUpdateFlow, TransfersFlagsAndInstallsAtTheRestart) {
    auto file = standardPackage().build();
    ASSERT_EQ(file->version(), kfw::FileVersion(2, 2));
    ASSERT_GE(transfer(file.get()), 0);

    EXPECT_EQ(sim().readFlash(kMainAddress, uint32_t(m_main.size())), m_main);
    EXPECT_EQ(sim().readFlash(kMainAddress + uint32_t(m_main.size()),
                              2 * kBlock - uint32_t(m_main.size())),
              Erased(2 * kBlock - m_main.size()));
    EXPECT_EQ(sim().readFlash(kTouchAddress, uint32_t(m_touch.size())), m_touch);
    EXPECT_EQ(sim().readFlash(kSubAddress, kBlock), Erased(kBlock));
    EXPECT_EQ(sim().zvUpdateFlags(), 1u << kMainFlag | 1u << kTouchFlag);
    EXPECT_EQ(sim().transferState(), 1u);
    // The pause after entering the transfer state comes before the first erase's wait.
    ASSERT_GE(Sleeps().size(), 2u);
    EXPECT_EQ(Sleeps()[0], 100u);
    EXPECT_EQ(Sleeps()[1], 300u);

    record();
    ASSERT_EQ(trigger(), 0);
    const auto history = recorded();
    const auto isState = [](const SimRequest& r) {
        return r.page == 0xFF02 && r.usage == 0xFB && r.access == Access::SetValue;
    };
    const auto isRestart = [](const SimRequest& r) {
        return r.page == 0xFF02 && r.usage == 0xF4 && r.access == Access::SetValue;
    };
    const auto state = std::find_if(history.begin(), history.end(), isState);
    const auto restart = std::find_if(history.begin(), history.end(), isRestart);
    ASSERT_NE(state, history.end());
    ASSERT_NE(restart, history.end());
    EXPECT_EQ(state->value, 2);
    EXPECT_LT(state - history.begin(), restart - history.begin());
    EXPECT_EQ(std::count_if(history.begin(), history.end(), isState), 1);
    EXPECT_EQ(sim().restartCount(), 1u);
    EXPECT_FALSE(sim().present());

    screenio::sim::SimClock::advance(int64_t(test::ZvMonitorDescription().restartMs + 1) * 1000);
    search();
    dev::Monitor back(handle());
    const std::vector<std::pair<uint32_t, uint32_t>> installed{
        {kMain, 200}, {kSub, 100 + kSub}, {kTouch, 300}};
    for (const auto& [device, version] : installed) {
        SCOPED_TRACE(device);
        FWDeviceVersion current{};
        ASSERT_GE(back.getDeviceVersion(device, &current), 0);
        EXPECT_EQ(current.version, version);
    }
    EXPECT_EQ(sim().zvUpdateFlags(), 0u);
    EXPECT_EQ(sim().transferState(), 0u);
}

TEST_F(ZVUpdateFlow, ReportsEveryPageThenEveryImage) {
    auto file = standardPackage().build();
    ProgressLog log;
    ASSERT_GE(transfer(file.get(), &log), 0);

    // Expected reports, worked out from the image sizes alone: one per 256-byte page of every
    // 64 KiB block (counting image bytes, never fill), then one per finished image.
    struct Expected {
        uint32_t completed;
        uint32_t bytes;
    };
    std::vector<Expected> expected;
    uint32_t before = 0, completed = 0;
    for (size_t size : {m_main.size(), m_touch.size()}) {
        const size_t pages = (size + kBlock - 1) / kBlock * (kBlock / kPage);
        for (size_t j = 0; j < pages; ++j)
            expected.push_back({completed, before + uint32_t(std::min(size, (j + 1) * kPage))});
        before += uint32_t(size);
        expected.push_back({++completed, before});
    }
    const uint32_t total = uint32_t(m_main.size() + m_touch.size());
    ASSERT_EQ(log.calls.size(), expected.size());
    uint32_t previous = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const FWTransferProgress& p = log.calls[i];
        ASSERT_GE(p.transferredBytes, previous);
        previous = p.transferredBytes;
        ASSERT_EQ(p.totalCount, 2u);
        ASSERT_EQ(p.totalBytes, total);
        ASSERT_EQ(p.completedCount, expected[i].completed);
        ASSERT_EQ(p.transferredBytes, expected[i].bytes);
    }
    EXPECT_EQ(log.calls.back().transferredBytes, total);
}

TEST_F(ZVUpdateFlow, ShortImageFillsOneWholeBlock) {
    const Bytes image = SimvImage(7, 100, 4);
    kfw::Blob blob;
    blob.setBytes(image.data(), image.size());
    const FWTransferProgress start{1, 3, 5000, 9000};
    ProgressLog log;
    record();
    dev::Monitor monitor(handle());
    ASSERT_GE(
        internal::ZVTransferBlob(monitor, kSubAddress, blob, start, &ProgressLog::Callback, &log),
        0);

    const auto erases = commands(2);
    ASSERT_EQ(erases.size(), 1u);
    EXPECT_EQ(CommandAddress(erases[0]), kSubAddress);
    const auto writes = commands(0);
    ASSERT_EQ(writes.size(), 256u);
    for (size_t i = 0; i < writes.size(); ++i)
        ASSERT_EQ(CommandAddress(writes[i]), kSubAddress + i * kPage) << i;
    // The whole block counts for the checksum, so the local sum must include the fill: the
    // simulated monitor's answer only complements that sum.
    const auto checksums = commands(3);
    ASSERT_EQ(checksums.size(), 1u);
    EXPECT_EQ(CommandAddress(checksums[0]), kSubAddress);
    EXPECT_EQ(CommandLength(checksums[0]), kBlock);

    Bytes block = image;
    block.resize(kBlock, 0xFF);
    EXPECT_EQ(sim().readFlash(kSubAddress, kBlock), block);

    ASSERT_EQ(log.calls.size(), 256u);
    for (const FWTransferProgress& p : log.calls) {
        EXPECT_EQ(p.completedCount, 1u);
        EXPECT_EQ(p.totalCount, 3u);
        EXPECT_EQ(p.transferredBytes, 5100u);
        EXPECT_EQ(p.totalBytes, 9000u);
    }
}

TEST_F(ZVUpdateFlow, EmptyImageStillAsksForAChecksumOverNothing) {
    kfw::Blob empty;
    ProgressLog log;
    record();
    dev::Monitor monitor(handle());
    EXPECT_GE(internal::ZVTransferBlob(monitor, kTouchAddress, empty, FWTransferProgress{},
                                       &ProgressLog::Callback, &log),
              0);
    EXPECT_TRUE(commands(2).empty());
    EXPECT_TRUE(commands(0).empty());
    const auto checksums = commands(3);
    ASSERT_EQ(checksums.size(), 1u);
    EXPECT_EQ(CommandAddress(checksums[0]), kTouchAddress);
    EXPECT_EQ(CommandLength(checksums[0]), 0u);
    EXPECT_TRUE(log.calls.empty());
}

TEST_F(ZVUpdateFlow, UnalignedImageIsRefusedBeforeAnyRequest) {
    const Bytes image = SimvImage(7, 100, 5);
    kfw::Blob blob;
    blob.setBytes(image.data(), image.size());
    record();
    dev::Monitor monitor(handle());
    for (uint32_t address : {0x40100u, 0x4FFFFu, 0x1u}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(internal::ZVTransferBlob(monitor, address, blob, FWTransferProgress{}, nullptr,
                                           nullptr),
                  KmErrorInvalidState);
    }
    EXPECT_TRUE(recorded().empty());
}

TEST_F(ZVUpdateFlow, PackageProfileDecidesTheFlags) {
    // The package names other flag indices than the monitor reports: the package wins, and the
    // monitor's device information is never asked for.
    ZvPackage package = standardPackage();
    package.profile(kMain, kMainAddress, 3)
        .profile(kSub, kSubAddress, 1)
        .profile(kTouch, kTouchAddress, 4);
    auto file = package.build();
    record();
    ASSERT_GE(transfer(file.get()), 0);
    EXPECT_EQ(sim().zvUpdateFlags(), 1u << 3 | 1u << 4);
    for (Access access : {Access::GetArray, Access::SetArray})
        EXPECT_TRUE(Requests(recorded(), 0xFF01, 0x124, access).empty());
}

TEST_F(ZVUpdateFlow, ImageForAnUnknownAddressIsWrittenWithoutAFlag) {
    const Bytes extra = SimvImage(9, 3000, 6);
    ZvPackage package;
    package.target(kTouch, 300).image(0xC0000, extra).image(kTouchAddress, m_touch);
    auto file = package.build();
    ASSERT_GE(transfer(file.get()), 0);
    EXPECT_EQ(sim().readFlash(0xC0000, uint32_t(extra.size())), extra);
    EXPECT_EQ(sim().readFlash(kTouchAddress, uint32_t(m_touch.size())), m_touch);
    EXPECT_EQ(sim().zvUpdateFlags(), 1u << kTouchFlag);
}

TEST_F(ZVUpdateFlow, ActionWithoutItsImageIsSkipped) {
    // A package that lost a blob: the other images still go out, the missing one counts in
    // the planned total only, and its device is not flagged although the profile knows it.
    auto file = standardPackage().build();
    const Uuid mainAction = file->bundles().front()->actionIDs().front();
    auto* main = dynamic_cast<kfw::TransferZVDataAction*>(file->findAction(mainAction));
    ASSERT_NE(main, nullptr);
    main->setTransferData(test::pkg::fixedID(0x77), kMainAddress);
    record();
    ProgressLog log;
    ASSERT_GE(transfer(file.get(), &log), 0);
    for (const SimRequest& erase : commands(2)) EXPECT_EQ(CommandAddress(erase), kTouchAddress);
    EXPECT_EQ(sim().readFlash(kTouchAddress, uint32_t(m_touch.size())), m_touch);
    EXPECT_EQ(sim().zvUpdateFlags(), 1u << kTouchFlag);
    ASSERT_EQ(log.calls.size(), 257u);
    const FWTransferProgress last = log.calls.back();
    EXPECT_EQ(last.completedCount, 1u);
    EXPECT_EQ(last.totalCount, 2u);
    EXPECT_EQ(last.transferredBytes, uint32_t(m_touch.size()));
    EXPECT_EQ(last.totalBytes, uint32_t(m_touch.size()));
}

TEST_F(ZVUpdateFlow, NothingLeftToTransferUnlessForced) {
    ZvPackage package;
    package.target(kMain, 100 + kMain).target(kTouch, 100 + kTouch);
    package.image(kMainAddress, m_main).image(kTouchAddress, m_touch);
    auto file = package.build();
    record();
    EXPECT_EQ(transfer(file.get()), KmErrorNoData);
    EXPECT_TRUE(commands(2).empty());
    EXPECT_EQ(sim().transferState(), 0u);

    ProgressLog log;
    ASSERT_GE(transfer(file.get(), &log, FWTransferOptionForce), 0);
    EXPECT_EQ(sim().readFlash(kTouchAddress, uint32_t(m_touch.size())), m_touch);
    EXPECT_EQ(sim().zvUpdateFlags(), 1u << kMainFlag | 1u << kTouchFlag);
    ASSERT_FALSE(log.calls.empty());
    EXPECT_EQ(log.calls.back().completedCount, 2u);
}

// Refusals decided from the package and the monitor's answers, before anything is erased.
TEST_F(ZVUpdateFlow, RefusesBeforeWriting) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<kfw::KfwFile>()> package;
        KmError expected;
        uint32_t stateAfter;
    } cases[] = {
        {"no package", [] { return std::unique_ptr<kfw::KfwFile>(); }, KmErrorInvalidArgument, 0},
        {"other product", [this] { return standardPackage().product("OTHERPANEL").build(); },
         KmErrorInvalidState, 0},
        {"no bundle applies", [this] { return standardPackage().condition(kMain, 999).build(); },
         KmErrorInvalidState, 0},
        {"every device at its target",
         [this] {
             ZvPackage p;
             p.target(kMain, 100 + kMain).image(kMainAddress, m_main);
             return p.build();
         },
         KmErrorNoData, 0},
        {"only empty images",
         [] {
             ZvPackage p;
             p.target(kMain, 200).image(kMainAddress, Bytes());
             return p.build();
         },
         KmErrorNoData, 0},
        // Refused while planning, so the transfer state is not even set.
        {"image off a block boundary",
         [this] {
             ZvPackage p;
             p.target(kMain, 200).image(kMainAddress, m_main).image(kTouchAddress + 0x100, m_touch);
             return p.build();
         },
         KmErrorInvalidState, 0},
        // Its second block would wrap to address 0 and erase the first image's.
        {"image past the 32-bit address space",
         [this] {
             ZvPackage p;
             p.target(kMain, 200).image(kMainAddress, m_main).image(0xFFFF0000, m_main);
             return p.build();
         },
         KmErrorInvalidState, 0},
        {"images sharing a block",
         [this] {
             ZvPackage p;
             p.target(kMain, 200).image(kMainAddress, m_main).image(kMainAddress + kBlock, m_touch);
             return p.build();
         },
         KmErrorInvalidState, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install({test::ZvMonitorDescription()});
        auto file = c.package();
        record();
        ProgressLog log;
        EXPECT_EQ(transfer(file.get(), &log), c.expected);
        EXPECT_TRUE(Requests(recorded(), 0xFF01, 0x122, Access::SetArray).empty());
        EXPECT_TRUE(log.calls.empty());
        EXPECT_EQ(sim().zvUpdateFlags(), 0u);
        EXPECT_EQ(sim().transferState(), c.stateAfter);
    }
}

// Failures of the monitor come back as the monitor layer reports them, and leave no flag set.
TEST_F(ZVUpdateFlow, MonitorFailuresPassThrough) {
    // Main takes 515 commands (2 erases, 512 page writes, 1 checksum), so 516 is Touch's erase.
    struct Case {
        const char* name;
        FaultRule fault;
        KmError expected;
        uint32_t stateAfter;
    } cases[] = {
        {"product unreadable", Fault(0xFF00, 0x35, Access::GetArray, FaultEffect::Fail),
         SCREENIO_ERROR_IO, 0},
        {"version query refused",
         Fault(0xFF00, 0xD8, Access::SetArray, FaultEffect::Fail, 1, 1, SCREENIO_ERROR_REJECTED),
         SCREENIO_ERROR_REJECTED, 0},
        {"transfer state not writable", Fault(0xFF02, 0xFB, Access::SetValue, FaultEffect::Fail),
         SCREENIO_ERROR_IO, 0},
        {"erase command lost",
         Fault(0xFF01, 0x122, Access::SetArray, FaultEffect::Fail, 1, 1, SCREENIO_ERROR_GONE),
         SCREENIO_ERROR_GONE, 1},
        {"page data lost", Fault(0xFF01, 0x123, Access::SetArray, FaultEffect::Fail, 2),
         SCREENIO_ERROR_IO, 1},
        {"status unreadable", Fault(0xFF01, 0x123, Access::GetArray, FaultEffect::Fail),
         KmErrorFailed, 1},
        {"erase busy forever", Fault(0xFF01, 0x123, Access::GetArray, FaultEffect::StayBusy, 1, 0),
         KmErrorTimeout, 1},
        {"checksum does not complement the bytes",
         Fault(0xFF01, 0x123, Access::GetArray, FaultEffect::CorruptChecksum, 1, 0),
         KmErrorVerifyFailed, 1},
        {"second image's erase fails",
         Fault(0xFF01, 0x122, Access::SetArray, FaultEffect::Fail, 516), SCREENIO_ERROR_IO, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install({test::ZvMonitorDescription()});
        auto file = standardPackage().build();
        sim().addFault(c.fault);
        EXPECT_EQ(transfer(file.get()), c.expected);
        EXPECT_EQ(sim().zvUpdateFlags(), 0u);
        EXPECT_EQ(sim().transferState(), c.stateAfter);
    }
}

TEST_F(ZVUpdateFlow, FailedFlagAfterAllImagesKeepsEarlierFlags) {
    auto file = standardPackage().build();
    // Requests 1 and 2 clear the two flags before their images are erased; 4 sets Touch's.
    sim().addFault(
        Fault(0xFF02, 0x110, Access::SetArray, FaultEffect::Fail, 4, 1, SCREENIO_ERROR_TIMEOUT));
    FWUpdateOutcome outcome = FWUpdateOutcomeUntouched;
    EXPECT_EQ(transfer(file.get(), nullptr, 0, &outcome), SCREENIO_ERROR_TIMEOUT);
    EXPECT_EQ(outcome, FWUpdateOutcomeMixed);
    EXPECT_EQ(sim().readFlash(kMainAddress, uint32_t(m_main.size())), m_main);
    EXPECT_EQ(sim().readFlash(kTouchAddress, uint32_t(m_touch.size())), m_touch);
    EXPECT_EQ(sim().zvUpdateFlags(), 1u << kMainFlag);
    EXPECT_EQ(sim().transferState(), 1u);
}

// A cancel once an image's first block is erased waits for that image to be whole and
// verified; between images it takes effect at once. No flag is set after a cancel.
TEST_F(ZVUpdateFlow, CancelCompletesTheImageBeingWrittenWithoutFlags) {
    struct Case {
        const char* name;
        size_t cancelAt;
        size_t calls;
        size_t pagesWritten;
        size_t checksums;
    } cases[] = {
        {"first page", 1, 512, 512, 1},
        {"inside the second block", 300, 512, 512, 1},
        {"after the first image", 513, 513, 512, 1},
        {"first page of the last image", 514, 513 + 256, 768, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install({test::ZvMonitorDescription()});
        auto file = standardPackage().build();
        record();
        ProgressLog log;
        log.cancelAt = c.cancelAt;
        FWUpdateOutcome outcome = FWUpdateOutcomeUntouched;
        EXPECT_EQ(transfer(file.get(), &log, 0, &outcome), KmErrorCancelled);
        EXPECT_EQ(log.calls.size(), c.calls);
        EXPECT_EQ(commands(0).size(), c.pagesWritten);
        EXPECT_EQ(commands(3).size(), c.checksums);
        EXPECT_EQ(sim().zvUpdateFlags(), 0u);
        EXPECT_EQ(flagsSetRequests(), 0u);
        EXPECT_EQ(sim().transferState(), 1u);
        EXPECT_EQ(outcome, FWUpdateOutcomeOldFirmwareKept);
    }
}

TEST_F(ZVUpdateFlow, StaleFlagIsClearedBeforeItsImageIsErased) {
    // An earlier run flagged Main and was never triggered; this run fails inside Main's image.
    dev::Monitor monitor(handle());
    ASSERT_GE(monitor.zvSetUpdateFlag(kMainFlag, true), 0);
    auto file = standardPackage().build();
    sim().addFault(Fault(0xFF01, 0x123, Access::SetArray, FaultEffect::Fail, 10));
    record();

    EXPECT_EQ(transfer(file.get()), SCREENIO_ERROR_IO);

    // A restart now must not install Main's half-written area.
    EXPECT_EQ(sim().zvUpdateFlags() & (1u << kMainFlag), 0u);
    const auto history = recorded();
    const auto isClear = [](const SimRequest& r) {
        return r.page == 0xFF02 && r.usage == 0x110 && r.data.size() == 3 &&
               r.data[1] == kMainFlag && r.data[2] == 0;
    };
    const auto isCommand = [](const SimRequest& r) {
        return r.page == 0xFF01 && r.usage == 0x122 && r.access == Access::SetArray;
    };
    const auto clear = std::find_if(history.begin(), history.end(), isClear);
    const auto erase = std::find_if(history.begin(), history.end(), isCommand);
    ASSERT_NE(clear, history.end());
    EXPECT_LT(clear - history.begin(), erase - history.begin());
}

TEST_F(ZVUpdateFlow, EmptyImageIsNeitherWrittenNorFlagged) {
    ZvPackage package;
    package.target(kMain, 200).target(kTouch, 300);
    package.image(kMainAddress, m_main).image(kTouchAddress, Bytes());
    auto file = package.build();
    record();

    ASSERT_GE(transfer(file.get()), 0);

    for (uint8_t operation : {0, 2, 3})
        for (const SimRequest& r : commands(operation))
            EXPECT_LT(CommandAddress(r), kTouchAddress) << int(operation);
    EXPECT_EQ(sim().zvUpdateFlags(), 1u << kMainFlag);
}

TEST_F(ZVUpdateFlow, TriggerOnlyFromTheTransferringState) {
    for (uint32_t state : {0u, 2u}) {
        SCOPED_TRACE(state);
        install({test::ZvMonitorDescription()});
        dev::Monitor monitor(handle());
        ASSERT_GE(monitor.setTransferState(state), 0);
        record();
        EXPECT_EQ(trigger(), KmErrorInvalidState);
        for (const SimRequest& r : recorded())
            EXPECT_TRUE(r.access != Access::SetValue && r.access != Access::SetArray)
                << std::hex << r.page << "/" << r.usage;
        EXPECT_EQ(sim().restartCount(), 0u);
        EXPECT_EQ(sim().transferState(), state);
    }
}

TEST_F(ZVUpdateFlow, TriggerPassesMonitorFailuresOnWithoutRestart) {
    struct Case {
        const char* name;
        FaultRule fault;
        KmError expected;
    } cases[] = {
        {"state unreadable", Fault(0xFF02, 0xFB, Access::GetValue, FaultEffect::Fail),
         SCREENIO_ERROR_IO},
        {"state not writable",
         Fault(0xFF02, 0xFB, Access::SetValue, FaultEffect::Fail, 1, 1, SCREENIO_ERROR_REJECTED),
         SCREENIO_ERROR_REJECTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install({test::ZvMonitorDescription()});
        dev::Monitor monitor(handle());
        ASSERT_GE(monitor.setTransferState(1), 0);
        sim().addFault(c.fault);
        EXPECT_EQ(trigger(), c.expected);
        EXPECT_EQ(sim().restartCount(), 0u);
        EXPECT_EQ(sim().transferState(), 1u);
    }
}

}  // namespace
}  // namespace fwu
