// SPDX-License-Identifier: Apache-2.0
// The record-file update against a simulated monitor: transfer, CRC check, trigger, restart
// and completion, with the progress the caller sees and the failures it can meet.
#include <gtest/gtest.h>

#include "api/PackageHandle.h"
#include "device/Monitor.h"
#include "engine/Compatibility.h"
#include "engine/GenericTransfer.h"
#include "support/Faults.h"
#include "support/MonitorDescriptions.h"
#include "support/PackageBuilder.h"
#include "support/SimulatedMonitors.h"

namespace fwu {
namespace {

using screenio::Access;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::MonitorDescription;
using screenio::sim::SimClock;
using test::PackageBuilder;
using test::Requests;

struct ProgressLog {
    std::vector<FWTransferProgress> calls;
    size_t cancelAt = SIZE_MAX;  // call index that answers 0
    static int8_t Record(FWTransferProgress progress, void* user) {
        auto* log = static_cast<ProgressLog*>(user);
        log->calls.push_back(progress);
        return log->calls.size() - 1 == log->cancelAt ? 0 : 1;
    }
};

FaultRule Rule(uint16_t usage, Access access, FaultEffect effect, uint32_t first = 1,
               uint32_t count = 1) {
    return test::MakeFault(0xFF02, usage, access, effect, first, count);
}

class GenericTransfer : public test::SimulatedMonitors {
protected:
    void SetUp() override {
        install({test::FilesMonitorDescription()});
        // Two images: a whole file (2 records) for device 0 and one record of device 1's file.
        m_package.products({"TESTPANEL 27"}).target(0, 0x0200).target(1, 8);
        const FWUuid first = m_package.blob("scaler", PackageBuilder::Image(0x0200, 2048, 3));
        const FWUuid second = m_package.blob("hub", PackageBuilder::Image(8, 1024, 5));
        m_package.bundle(
            {m_package.transfer(first, "PRG000"), m_package.transfer(second, "PRG001")});
        record();
    }

    const kfw::KfwFile* package() { return api::AsPackage(m_package.get()); }
    dev::Monitor monitor() { return dev::Monitor(handle()); }
    KmError transfer(ProgressLog* log, uint32_t options = 0) {
        dev::Monitor m = monitor();
        return TransferUpdateData(m, package(), log ? &ProgressLog::Record : nullptr, log, options);
    }
    // Pages the monitor took (failed attempts are retried and do not count).
    size_t pagesWritten() {
        size_t pages = 0;
        for (const auto& r : Requests(recorded(), 0xFF02, 0xFE, Access::SetArray))
            pages += r.status >= 0;
        return pages;
    }

    PackageBuilder m_package;
};

TEST_F(GenericTransfer, TransferTriggerRestartAndCompletion) {
    dev::Monitor m = monitor();
    ASSERT_EQ(KfwFileCheckMonitor(package(), m), CheckResultApplies);
    ProgressLog log;
    ASSERT_GE(transfer(&log), 0);
    EXPECT_EQ(sim().transferState(), 2u);
    EXPECT_EQ(pagesWritten(), 6u);  // 2 records of 2 pages, then 1 record of 2 pages

    // Progress: fixed totals, never going back, ending at the total.
    ASSERT_FALSE(log.calls.empty());
    uint32_t last = 0;
    for (const FWTransferProgress& p : log.calls) {
        EXPECT_EQ(p.totalCount, 2u);
        EXPECT_EQ(p.totalBytes, 3072u);
        EXPECT_GE(p.transferredBytes, last);
        EXPECT_LE(p.transferredBytes, p.totalBytes);
        last = p.transferredBytes;
    }
    EXPECT_EQ(log.calls.back().completedCount, 2u);
    EXPECT_EQ(log.calls.back().transferredBytes, 3072u);
    // First image: before each record and after each of its pages: 0, 512, 1024 | 1024, 1536,
    // 2048; then the CRC polls at 2048, then the image done.
    const std::vector<uint32_t> firstRecords{0, 512, 1024, 1024, 1536, 2048};
    for (size_t i = 0; i < firstRecords.size(); ++i)
        EXPECT_EQ(log.calls[i].transferredBytes, firstRecords[i]);
    size_t i = firstRecords.size();
    while (i < log.calls.size() && log.calls[i].completedCount == 0)
        EXPECT_EQ(log.calls[i++].transferredBytes, 2048u);
    ASSERT_LT(i, log.calls.size());
    EXPECT_EQ(log.calls[i].completedCount, 1u);
    EXPECT_EQ(log.calls[i].transferredBytes, 2048u);
    // The CRC was busy at first, so the monitor was asked again 100 ms later.
    EXPECT_FALSE(Sleeps().empty());
    for (uint32_t ms : Sleeps()) EXPECT_EQ(ms, 100u);

    ASSERT_EQ(TriggerUpdate(m), 0);
    EXPECT_EQ(sim().transferState(), 0u);
    EXPECT_FALSE(sim().present());
    SimClock::advance(3000 * 1000);
    search();
    dev::Monitor back = monitor();
    EXPECT_GE(CheckFirmwareUpdateFinished(back, package()), 0);
    EXPECT_EQ(sim().deviceVersion(0), 0x0200u);
    EXPECT_EQ(sim().deviceVersion(1), 8u);
    EXPECT_EQ(KfwFileCheckMonitor(package(), back), CheckResultAlreadyUpdated);
}

TEST_F(GenericTransfer, FailuresAndCancels) {
    struct Case {
        const char* name;
        std::vector<FaultRule> faults;
        size_t cancelAt;
        KmError status;
        size_t pages;  // pages written before it stopped
    } cases[] = {
        {"monitor CRC differs",
         {Rule(0xFC, Access::GetArray, FaultEffect::CorruptCrc, 1, 0)},
         SIZE_MAX,
         KmErrorChecksumMismatch,
         4},
        {"CRC reply names another file",
         {Rule(0xFC, Access::GetArray, FaultEffect::WrongEcho)},
         SIZE_MAX,
         KmErrorFailed,
         4},
        {"temporary file refused",
         {Rule(0xC3, Access::SetArray, FaultEffect::Fail)},
         SIZE_MAX,
         SCREENIO_ERROR_IO,
         0},
        {"page write keeps failing",
         {Rule(0xFE, Access::SetArray, FaultEffect::Fail, 2, 20)},
         SIZE_MAX,
         SCREENIO_ERROR_IO,
         1},
        {"transfer state refused",
         {Rule(0xFB, Access::SetValue, FaultEffect::Fail)},
         SIZE_MAX,
         SCREENIO_ERROR_IO,
         0},
        {"monitor drops off",
         {Rule(0xFE, Access::SetArray, FaultEffect::DropOff, 3)},
         SIZE_MAX,
         SCREENIO_ERROR_GONE,
         2},
        {"cancel at the first call", {}, 0, KmErrorCancelled, 0},
        {"cancel after the first page", {}, 1, KmErrorCancelled, 1},
        {"cancel while the CRC is checked", {}, 6, KmErrorCancelled, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorDescription description = test::FilesMonitorDescription();
        description.faults = c.faults;
        install({description});
        record();
        ProgressLog log;
        log.cancelAt = c.cancelAt;
        EXPECT_EQ(transfer(&log), c.status);
        EXPECT_EQ(pagesWritten(), c.pages);
        // Never ready to install after a failure.
        EXPECT_NE(sim().transferState(), 2u);
        EXPECT_EQ(sim().deviceVersion(0), 0x0102u);
    }
}

TEST_F(GenericTransfer, BusyCrcIsPolledEvery100msUntilTheCallerCancels) {
    sim().addFault(Rule(0xFC, Access::GetArray, FaultEffect::StayBusy, 1, 0));
    ProgressLog log;
    log.cancelAt = 6 + 50;  // after 50 polls of the first image
    EXPECT_EQ(transfer(&log), KmErrorCancelled);
    EXPECT_EQ(Requests(recorded(), 0xFF02, 0xFC, Access::GetArray).size(), 51u);
    EXPECT_EQ(Sleeps(), std::vector<uint32_t>(50, 100));
}

TEST_F(GenericTransfer, WhatIsSentDependsOnVersionsSizesAndOptions) {
    struct Case {
        const char* name;
        uint32_t target0;
        size_t blobSize;
        const char* condition;  // bundle condition on device 0's version 0x0102
        uint32_t options;
        KmError status;
    } cases[] = {
        {"device already at target", 0x0102, 2048, nullptr, 0, KmErrorNoData},
        {"forced although at target", 0x0102, 2048, nullptr, FWTransferOptionForce, 0},
        {"image not whole records", 0x0200, 1000, nullptr, 0, KmErrorNotSupported},
        {"no bundle applies", 0x0200, 2048, "gt", 0, KmErrorInvalidState},
        {"fewer records than the file", 0x0200, 1024, "eq", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install({test::FilesMonitorDescription()});
        PackageBuilder package;
        package.products({"TESTPANEL*"}).target(0, c.target0);
        const FWUuid blob = package.blob("scaler", PackageBuilder::Image(0x0200, c.blobSize));
        std::vector<PackageBuilder::Condition> conditions;
        if (c.condition) conditions.push_back({0, 0x0102, c.condition});
        package.bundle({package.transfer(blob, "PRG000")}, conditions);
        dev::Monitor m = monitor();
        const KmError status =
            TransferUpdateData(m, api::AsPackage(package.get()), nullptr, nullptr, c.options);
        EXPECT_EQ(status >= 0 ? 0 : status, c.status);
    }
}

TEST_F(GenericTransfer, TriggerOnlyAfterACompleteTransferAndCompletionNeedsEveryTarget) {
    dev::Monitor m = monitor();
    for (uint32_t state : {0u, 1u}) {
        ASSERT_GE(m.setTransferState(state), 0);
        sim().clearHistory();
        EXPECT_EQ(TriggerUpdate(m), KmErrorInvalidState);
        for (const auto& request : recorded())
            EXPECT_TRUE(request.access != Access::SetValue && request.access != Access::SetArray);
        EXPECT_TRUE(sim().present());
    }
    EXPECT_EQ(CheckFirmwareUpdateFinished(m, package()), KmErrorNotFinished);
    EXPECT_EQ(CheckFirmwareUpdateFinished(m, nullptr), KmErrorInvalidArgument);
    EXPECT_EQ(TransferUpdateData(m, nullptr, nullptr, nullptr, 0), KmErrorInvalidArgument);
    PackageBuilder noTargets;
    noTargets.products({"TESTPANEL 27"});
    EXPECT_GE(CheckFirmwareUpdateFinished(m, api::AsPackage(noTargets.get())), 0);
}

// Packages whose second image cannot be written safely: refused while planning, before the
// first image or the transfer state is touched.
TEST_F(GenericTransfer, UnsafeSecondImageIsRefusedBeforeAnythingChanges) {
    struct Case {
        const char* name;
        const char* fileName;
        size_t blobSize;
        KmError status;
    } cases[] = {
        // Its own lower-case form: the temporary copy would be the live file itself.
        {"name without letters", "123456", 1024, KmErrorNotSupported},
        {"lower-case name", "prg001", 1024, KmErrorNotSupported},
        {"name too short", "PRG01", 1024, KmErrorInvalidArgument},
        {"image not whole records", "PRG001", 1000, KmErrorNotSupported},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorDescription description = test::FilesMonitorDescription();
        screenio::sim::FileDescription digits;
        digits.name = "123456";
        digits.recordSize = 1024;
        digits.recordCount = 2;
        digits.content.assign(2048, 0x42);
        description.files.push_back(digits);
        install({description});
        PackageBuilder package;
        package.products({"TESTPANEL 27"}).target(0, 0x0200).target(1, 8);
        const FWUuid first = package.blob("scaler", PackageBuilder::Image(0x0200, 2048, 3));
        const FWUuid second = package.blob("other", PackageBuilder::Image(8, c.blobSize, 5));
        package.bundle({package.transfer(first, "PRG000"), package.transfer(second, c.fileName)});
        record();
        dev::Monitor m = monitor();
        FWUpdateOutcome outcome = FWUpdateOutcomeComplete;

        EXPECT_EQ(
            TransferUpdateData(m, api::AsPackage(package.get()), nullptr, nullptr, 0, &outcome),
            c.status);

        // Only the set requests of reads: the property select, the page-read request and the
        // older version query.
        for (const auto& request : recorded())
            EXPECT_FALSE(request.access == Access::SetValue ||
                         (request.access == Access::SetArray && request.usage != 0xC2 &&
                          request.usage != 0xFD && request.usage != 0xD8))
                << std::hex << request.page << "/" << request.usage;
        EXPECT_EQ(sim().fileContent("123456"), std::vector<uint8_t>(2048, 0x42));
        EXPECT_EQ(outcome, FWUpdateOutcomeUntouched);
    }
}

TEST_F(GenericTransfer, OutcomeTellsWhetherTheMonitorWasTouched) {
    ProgressLog log;
    log.cancelAt = 3;
    FWUpdateOutcome outcome = FWUpdateOutcomeUntouched;
    dev::Monitor m = monitor();
    EXPECT_EQ(TransferUpdateData(m, package(), &ProgressLog::Record, &log, 0, &outcome),
              KmErrorCancelled);
    // The temporary copies are not the live files: the monitor keeps its firmware.
    EXPECT_EQ(outcome, FWUpdateOutcomeOldFirmwareKept);
    EXPECT_GE(TransferUpdateData(m, package(), nullptr, nullptr, 0, &outcome), 0);
    EXPECT_EQ(outcome, FWUpdateOutcomeComplete);
}

}  // namespace
}  // namespace fwu
