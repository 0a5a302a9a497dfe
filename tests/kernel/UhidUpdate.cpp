// SPDX-License-Identifier: Apache-2.0
// A whole update through the exported functions and the library's hidraw backend, against a
// simulated monitor that the kernel sees as a USB HID device (uhid): the search, the transfer
// of the images as feature reports, the restart that takes the device off the bus, and the
// search that finds it again through a new hidraw node.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HidrawNode.h"
#include "MonitorServer.h"
#include "flashkit/flashkit.h"
#include "screenio/screenio.h"
#include "sim/SimMonitor.h"
#include "support/Faults.h"
#include "support/MonitorDescriptions.h"
#include "support/PackageBuilder.h"

namespace kerneltest {
namespace {

using fwu::test::MakeFault;
using fwu::test::PackageBuilder;
using screenio::Access;
using screenio::sim::FaultEffect;
using screenio::sim::FaultRule;
using screenio::sim::SimMonitor;

// The build's vendor id; the monitors here get another one, given through the environment, so
// a backend that ignores the override finds only the decoy that keeps the build's id.
constexpr uint16_t kBuildVendor = KERNEL_TEST_BUILD_VENDOR_ID;
constexpr uint16_t kVendor = kBuildVendor == 0xFFF2 ? 0xFFF3 : 0xFFF2;
constexpr uint16_t kProduct = 0x0B27;
constexpr uint16_t kBusUsb = 0x03;
constexpr uint16_t kBusBluetooth = 0x05;

// Short restarts and small images: the kernel runs under software emulation.
screenio::sim::MonitorDescription QuickFilesMonitor(const char* serial) {
    screenio::sim::MonitorDescription description = fwu::test::FilesMonitorDescription();
    description.serial = serial;
    description.restartMs = 300;
    return description;
}

struct Progress {
    uint32_t calls = 0, last = 0, total = 0, completed = 0, count = 0;
    bool monotonic = true;
    static int8_t Record(FWTransferProgress p, void* user) {
        auto* self = static_cast<Progress*>(user);
        self->monotonic = self->monotonic && p.transferredBytes >= self->last &&
                          p.transferredBytes <= p.totalBytes;
        self->last = p.transferredBytes;
        self->total = p.totalBytes;
        self->completed = p.completedCount;
        self->count = p.totalCount;
        ++self->calls;
        return 1;
    }
};

// Scaler (device 0) 0x0102 to 0x0200 and USB hub (device 1) 7 to 8: 3072 bytes in two images.
// Returns the scaler's image.
std::vector<uint8_t> BuildPackage(PackageBuilder& package) {
    package.products({"TESTPANEL 27"}).target(0, 0x0200).target(1, 8);
    const auto scaler = PackageBuilder::Image(0x0200, 2048, 3);
    const auto hub = PackageBuilder::Image(8, 1024, 5);
    package.bundle({package.transfer(package.blob("scaler", scaler), "PRG000", 30),
                    package.transfer(package.blob("hub", hub), "PRG001", 20)});
    return scaler;
}

std::string Serial(void* monitor) {
    char serial[9] = {}, product[17] = {};
    return FWMonitorGetSerialProduct(monitor, serial, product) >= 0 ? serial : "";
}

class KernelUpdate : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char id[8];
        std::snprintf(id, sizeof id, "%04x", kVendor);
        ::setenv("SCREENIO_USB_VENDOR_ID", id, 1);
        ::unsetenv("SCREENIO_SIM");
    }

    void TearDown() override { KmRelease(); }

    std::unique_ptr<MonitorServer> serve(const screenio::sim::MonitorDescription& description,
                                         uint16_t vendor = kVendor, uint16_t bus = kBusUsb) {
        auto server = std::make_unique<MonitorServer>(std::make_shared<SimMonitor>(description),
                                                      vendor, kProduct, bus);
        EXPECT_TRUE(HidrawNode::find(bus, vendor, kProduct, description.serial, 10000))
            << "no hidraw node for " << description.serial;
        return server;
    }

    // Searches, as the updater does while a monitor restarts, until the monitor with this
    // serial number is found and its handle taken; null when it is not back in time.
    static void* findMonitor(const std::string& serial, int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            KmRelease();
            const KmError count = KmFind();
            for (int32_t i = 0; i < count; ++i) {
                void* monitor = nullptr;
                if (KmRetrieve(i, &monitor) >= 0 && Serial(monitor) == serial) return monitor;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < deadline);
        return nullptr;
    }
};

TEST_F(KernelUpdate, OnlyUsbDevicesOfTheVendorAreTaken) {
    const auto monitor = serve(QuickFilesMonitor("F0000001"));
    // The same monitor with the build's vendor id, and with the right id on another bus.
    const auto otherVendor = serve(QuickFilesMonitor("F0000002"), kBuildVendor);
    const auto otherBus = serve(QuickFilesMonitor("F0000003"), kVendor, kBusBluetooth);

    ASSERT_EQ(KmFind(), 1) << "with SCREENIO_SIM unset the search must take the hidraw nodes";
    // A search reads what sysfs tells; it opens no device.
    EXPECT_EQ(monitor->counts().open, 0u);
    void* handle = nullptr;
    ASSERT_GE(KmRetrieve(0, &handle), 0);
    EXPECT_EQ(Serial(handle), "F0000001");
    EXPECT_GE(monitor->counts().open, 1u);
    EXPECT_GE(monitor->counts().getReport, 1u);
    for (const MonitorServer* decoy : {otherVendor.get(), otherBus.get()}) {
        EXPECT_EQ(decoy->counts().open, 0u) << decoy->identity().uniq << " was opened";
        EXPECT_EQ(decoy->counts().getReport, 0u) << decoy->identity().uniq << " was read";
    }
    EXPECT_TRUE(monitor->healthy() && otherVendor->healthy() && otherBus->healthy());
}

TEST_F(KernelUpdate, FilesMonitorIsUpdatedAndFoundAgainAfterItsRestart) {
    const auto server = serve(QuickFilesMonitor("F0000001"));
    void* monitor = findMonitor("F0000001", 10000);
    ASSERT_NE(monitor, nullptr);
    ASSERT_EQ(FWMonitorGetSupportedFirmwareUpdateType(monitor), FWFirmwareUpdateTypeV4);
    FWDeviceVersion before{};
    ASSERT_GE(FWMonitorGetDeviceVersion(monitor, 0, &before), 0);
    EXPECT_EQ(before.version, 0x0102u);

    PackageBuilder package;
    const std::vector<uint8_t> scaler = BuildPackage(package);
    ASSERT_EQ(FWKfwFileCheckMonitor(package.get(), monitor), 0u);

    const auto started = std::chrono::steady_clock::now();
    Progress progress;
    ASSERT_GE(FWMonitorUpdateFirmware(monitor, package.get(), &Progress::Record, &progress, 0), 0);
    const double transfer =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(progress.monotonic);
    EXPECT_EQ(progress.last, 3072u);
    EXPECT_EQ(progress.total, 3072u);
    EXPECT_EQ(progress.completed, 2u);
    EXPECT_EQ(progress.count, 2u);
    std::printf("transfer and trigger: %.2f s, %u progress calls, %u GET and %u SET reports\n",
                transfer, progress.calls, server->counts().getReport, server->counts().setReport);

    // The restart takes the device off the bus: the handle of the old node must fail.
    const auto left = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server->counts().destroys == 0 && std::chrono::steady_clock::now() < left)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(server->counts().destroys, 1u) << "the monitor did not leave the bus";
    FWTransferState state{};
    const KmError stale = FWMonitorGetTransferState(monitor, &state);
    EXPECT_TRUE(stale == SCREENIO_ERROR_GONE || stale == SCREENIO_ERROR_INVALID_HANDLE) << stale;

    void* back = findMonitor("F0000001", 20000);
    ASSERT_NE(back, nullptr) << "the monitor was not found after its restart";
    EXPECT_EQ(server->counts().creates, 2u);
    EXPECT_GE(FWMonitorCheckFirmwareUpdateFinished(back, package.get()), 0);
    FWDeviceVersion version{};
    ASSERT_GE(FWMonitorGetDeviceVersion(back, 0, &version), 0);
    EXPECT_EQ(version.version, 0x0200u);
    ASSERT_GE(FWMonitorGetDeviceVersion(back, 1, &version), 0);
    EXPECT_EQ(version.version, 8u);
    EXPECT_EQ(FWKfwFileCheckMonitor(package.get(), back), 3u) << "nothing is left to update";
    EXPECT_EQ(server->monitor().fileContent("PRG000").value_or(std::vector<uint8_t>()), scaler);
    EXPECT_EQ(server->monitor().restartCount(), 1u);
    EXPECT_TRUE(server->healthy());
}

// A request the monitor fails, and a monitor that drops off the bus mid-transfer (an unplug):
// the update reports the failure, and the monitor is left as it was, found again when it left.
struct FailureRow {
    const char* name;
    FaultRule fault;
    bool leavesBus;
};

FaultRule DropOff(uint16_t page, uint16_t usage, uint32_t request) {
    FaultRule rule = MakeFault(page, usage, Access::SetArray, FaultEffect::DropOff, request);
    rule.absentMs = 300;
    return rule;
}

class KernelUpdateFailure : public KernelUpdate,
                            public ::testing::WithParamInterface<FailureRow> {};

TEST_P(KernelUpdateFailure, IsReportedAndLeavesTheMonitorAsItWas) {
    const FailureRow& row = GetParam();
    screenio::sim::MonitorDescription description = QuickFilesMonitor("F0000001");
    description.faults = {row.fault};
    const auto server = serve(description);
    void* monitor = findMonitor("F0000001", 10000);
    ASSERT_NE(monitor, nullptr);
    PackageBuilder package;
    BuildPackage(package);
    ASSERT_EQ(FWKfwFileCheckMonitor(package.get(), monitor), 0u);

    const KmError status = FWMonitorUpdateFirmware(monitor, package.get(), nullptr, nullptr, 0);
    EXPECT_LT(status, 0) << "a failed update reported as success";
    std::printf("%s: the update gave status %d\n", row.name, status);
    if (row.leavesBus) {
        EXPECT_GE(server->counts().destroys, 1u);
        monitor = findMonitor("F0000001", 20000);
        ASSERT_NE(monitor, nullptr) << "the monitor was not found after it came back";
    } else {
        EXPECT_EQ(server->counts().destroys, 0u) << "the monitor left the bus";
    }
    FWTransferState state{};
    ASSERT_GE(FWMonitorGetTransferState(monitor, &state), 0);
    EXPECT_EQ(state, FWTransferStateNone);
    FWDeviceVersion version{};
    ASSERT_GE(FWMonitorGetDeviceVersion(monitor, 0, &version), 0);
    EXPECT_EQ(version.version, 0x0102u) << "a failed update installed an image";
    EXPECT_TRUE(server->healthy());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, KernelUpdateFailure,
    ::testing::Values(FailureRow{"TemporaryFileRefused",
                                 MakeFault(0xFF02, 0xC3, Access::SetArray, FaultEffect::Fail),
                                 false},
                      FailureRow{"DropsOffMidTransfer", DropOff(0xFF02, 0xFE, 2), true}),
    [](const ::testing::TestParamInfo<FailureRow>& info) { return info.param.name; });

}  // namespace
}  // namespace kerneltest
