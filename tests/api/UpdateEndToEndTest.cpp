// SPDX-License-Identifier: Apache-2.0
// Whole updates through the exported functions against simulated monitors of each protocol:
// the package is built with the editing functions, checked, sent, installed and confirmed, as
// the updater application does it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "flashkit/flashkit.h"
#include "support/MonitorDescriptions.h"
#include "support/PackageBuilder.h"
#include "support/SimulatedMonitors.h"

namespace {

using fwu::test::PackageBuilder;
using screenio::sim::SimClock;

struct ProgressCheck {
    uint32_t last = 0, calls = 0, total = 0, count = 0, completed = 0;
    bool monotonic = true;
    static int8_t Record(FWTransferProgress p, void* user) {
        auto* check = static_cast<ProgressCheck*>(user);
        check->monotonic =
            check->monotonic && p.transferredBytes >= check->last &&
            p.transferredBytes <= p.totalBytes &&
            (check->calls == 0 || (p.totalBytes == check->total && p.totalCount == check->count));
        check->last = p.transferredBytes;
        check->total = p.totalBytes;
        check->count = p.totalCount;
        check->completed = p.completedCount;
        ++check->calls;
        return 1;
    }
    void expectFinished(uint32_t bytes, uint32_t images) const {
        EXPECT_TRUE(monotonic);
        EXPECT_EQ(last, bytes);
        EXPECT_EQ(total, bytes);
        EXPECT_EQ(count, images);
        EXPECT_EQ(completed, images);
    }
};

class UpdateEndToEnd : public fwu::test::SimulatedMonitors {
protected:
    // Searches again, a simulated second at a time, until the monitor with this serial number
    // is back; as the updater does after a restart.
    void* waitForMonitor(const std::string& serial) {
        for (int attempt = 0; attempt < 40; ++attempt) {
            SimClock::advance(1000 * 1000);
            search();
            for (size_t i = 0;; ++i) {
                void* monitor = nullptr;
                if (KmRetrieve(int32_t(i), &monitor) < 0) break;
                char found[9], product[17];
                if (FWMonitorGetSerialProduct(monitor, found, product) >= 0 && serial == found)
                    return monitor;
            }
        }
        ADD_FAILURE() << "monitor " << serial << " did not come back";
        return nullptr;
    }
};

TEST_F(UpdateEndToEnd, RecordFileMonitor) {
    install({fwu::test::FilesMonitorDescription()});
    PackageBuilder package;
    package.products({"TESTPANEL 27"}).target(0, 0x0200).target(1, 8);
    const auto scaler = PackageBuilder::Image(0x0200, 2048, 3),
               hub = PackageBuilder::Image(8, 1024, 5);
    package.bundle({package.transfer(package.blob("scaler", scaler), "PRG000", 30),
                    package.transfer(package.blob("hub", hub), "PRG001", 20)});

    ASSERT_EQ(FWKfwFileCheckMonitor(package.get(), handle()), 0u);
    EXPECT_EQ(FWKfwFileGetEstimatedTimeForMonitor(package.get(), handle(), 0), 30u + 20u + 60u);
    FWDeviceVersion after{};
    ASSERT_GE(FWMonitorGetDeviceVersionAfterUpdate(handle(), package.get(), 0, &after), 0);
    EXPECT_EQ(after.version, 0x0200u);

    ProgressCheck progress;
    ASSERT_GE(
        FWMonitorTransferFirmwareData(handle(), package.get(), &ProgressCheck::Record, &progress),
        0);
    progress.expectFinished(3072, 2);
    FWTransferState state{};
    ASSERT_GE(FWMonitorGetTransferState(handle(), &state), 0);
    EXPECT_EQ(state, FWTransferStateTransferred);
    ASSERT_GE(FWMonitorTriggerFirmwareUpdate(handle()), 0);

    void* monitor = waitForMonitor("F0000001");
    ASSERT_NE(monitor, nullptr);
    EXPECT_GE(FWMonitorCheckFirmwareUpdateFinished(monitor, package.get()), 0);
    EXPECT_EQ(FWKfwFileCheckMonitor(package.get(), monitor), 3u);
    FWDeviceVersion version{};
    ASSERT_GE(FWMonitorGetDeviceVersion(monitor, 1, &version), 0);
    EXPECT_EQ(version.version, 8u);
    EXPECT_EQ(sim().fileContent("PRG000").value(), scaler);
}

TEST_F(UpdateEndToEnd, LegacyRecordFileMonitorInOneCall) {
    install({fwu::test::LegacyMonitorDescription()});
    PackageBuilder package;
    // The legacy devices' files hold 8 records of 512 bytes.
    package.products({"OLDPANEL 24"}).target(0x100, 210).target(0x600, 0x10B);
    package.bundle(
        {package.transfer(package.blob("main", PackageBuilder::Image(210, 4096)), "PRG000"),
         package.transfer(package.blob("fpga", PackageBuilder::Image(0x10B, 4096)), "AIC904")});
    ASSERT_EQ(FWKfwFileCheckMonitor(package.get(), handle()), 0u);
    ProgressCheck progress;
    ASSERT_GE(
        FWMonitorUpdateFirmware(handle(), package.get(), &ProgressCheck::Record, &progress, 0), 0);
    progress.expectFinished(8192, 2);
    void* monitor = waitForMonitor("L0000001");
    ASSERT_NE(monitor, nullptr);
    EXPECT_GE(FWMonitorCheckFirmwareUpdateFinished(monitor, package.get()), 0);
    FWFirmwareVersion versions{};
    ASSERT_GE(FWMonitorGetFirmwareVersion(monitor, &versions), 0);
    EXPECT_EQ(versions.mainVersion, 210u);
    EXPECT_EQ(versions.fpgaVersion, 0x10Bu);
    EXPECT_EQ(FWKfwFileCheckMonitor(package.get(), monitor), 3u);
}

TEST_F(UpdateEndToEnd, ZvMonitor) {
    install({fwu::test::ZvMonitorDescription()});
    PackageBuilder package;
    package.products({"ZVPANEL 32"}).target(0x10, 0x300).target(0x12, 0x301);
    const auto main = PackageBuilder::Image(0x300, 100000, 7),
               touch = PackageBuilder::Image(0x301, 5000, 9);
    package.bundle({package.zvTransfer(package.blob("main", main), 0x00000),
                    package.zvTransfer(package.blob("touch", touch), 0x80000)});
    ASSERT_EQ(FWKfwFileCheckMonitor(package.get(), handle()), 0u);
    EXPECT_EQ(FWMonitorGetSupportedFirmwareUpdateType(handle()), FWFirmwareUpdateTypeZV);

    ProgressCheck progress;
    ASSERT_GE(FWMonitorTransferFirmwareDataWithOptions(handle(), package.get(),
                                                       &ProgressCheck::Record, &progress, 0),
              0);
    progress.expectFinished(105000, 2);
    EXPECT_EQ(sim().zvUpdateFlags(), (1u << 0) | (1u << 5));
    EXPECT_EQ(sim().readFlash(0x80000, 5000), touch);
    ASSERT_GE(FWMonitorTriggerFirmwareUpdate(handle()), 0);

    void* monitor = waitForMonitor("Z0000001");
    ASSERT_NE(monitor, nullptr);
    EXPECT_GE(FWMonitorCheckFirmwareUpdateFinished(monitor, package.get()), 0);
    EXPECT_EQ(FWKfwFileCheckMonitor(package.get(), monitor), 3u);
    EXPECT_EQ(sim().zvUpdateFlags(), 0u);
}

TEST_F(UpdateEndToEnd, ScalerMonitorInOneCall) {
    install({fwu::test::MStarMonitorDescription()});
    PackageBuilder package;
    package.products({"SCALERPANEL"}).target(0x100, 0x400);
    const auto image = PackageBuilder::Image(0x400, 70000, 11);
    package.bundle({package.mstarTransfer(package.blob("scaler", image), 0x20000, 0xF0000)});
    ASSERT_EQ(FWKfwFileCheckMonitor(package.get(), handle()), 0u);
    // Scaler monitors have no separate transfer.
    EXPECT_EQ(FWMonitorTransferFirmwareData(handle(), package.get(), nullptr, nullptr),
              KmErrorNotSupported);

    ProgressCheck progress;
    record();
    ASSERT_GE(
        FWMonitorUpdateFirmware(handle(), package.get(), &ProgressCheck::Record, &progress, 0), 0);
    progress.expectFinished(70000, 1);
    // The flash holds the image, erased bytes up to the block end, and the marker.
    std::vector<uint8_t> expected = image;
    expected.resize(0x20000, 0xFF);
    EXPECT_EQ(sim().readFlash(0x20000, 0x20000), expected);
    std::vector<uint8_t> flag(0x1000, 0xFF);
    std::fill_n(flag.begin(), 4, 0xA5);
    EXPECT_EQ(sim().readFlash(0xF0000, 0x1000), flag);
    EXPECT_TRUE(fwu::test::ProtectionByteWritten(recorded()));

    sim().powerCycle();
    void* monitor = waitForMonitor("M0000001");
    ASSERT_NE(monitor, nullptr);
    EXPECT_GE(FWMonitorCheckFirmwareUpdateFinished(monitor, package.get()), 0);
    EXPECT_EQ(FWKfwFileCheckMonitor(package.get(), monitor), 3u);
}

TEST_F(UpdateEndToEnd, MonitorWithoutAnUpdateProtocolIsNotWrittenTo) {
    screenio::sim::MonitorDescription description = fwu::test::FilesMonitorDescription();
    description.withoutUsages = {{0xFF02, 0xFE}};
    install({description});
    record();
    PackageBuilder package;
    package.products({"TESTPANEL 27"}).target(0, 0x200);
    package.bundle(
        {package.transfer(package.blob("s", PackageBuilder::Image(0x200, 2048)), "PRG000")});
    EXPECT_EQ(FWMonitorUpdateFirmware(handle(), package.get(), nullptr, nullptr, 0),
              KmErrorNotSupported);
    EXPECT_EQ(FWMonitorTriggerFirmwareUpdate(handle()), KmErrorNotSupported);
    for (const auto& request : recorded())
        EXPECT_TRUE(request.access != screenio::Access::SetArray &&
                    request.access != screenio::Access::SetValue);
}

}  // namespace
