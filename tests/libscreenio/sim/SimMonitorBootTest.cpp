// SPDX-License-Identifier: Apache-2.0
// The simulated monitors' boot loaders: which images boot after a restart or power cycle, the
// MCU ISP MODE a monitor falls back to, its recovery, and the power cut that interrupts a flow.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "libscreenio/sim/SimMonitorHost.h"
#include "sim/DemoSet.h"
#include "sim/SimImage.h"
#include "sim/SimMonitor.h"

namespace screenio::sim {
namespace {

using test::SimHost;
using test::textAt;

constexpr uint32_t kScalerAddress = 0x10000;
constexpr uint32_t kMarkerAddress = 0x7FFC;

std::vector<uint8_t> payload(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 13);
    return bytes;
}

// ---- the image convention ----

TEST(SimImage, CheckedFormCarriesLengthAndCrcOfThePayload) {
    const std::vector<uint8_t> digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    const std::vector<uint8_t> image = SimImage::make(0x0207, digits);
    ASSERT_EQ(image.size(), 29u);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "SIMV");
    EXPECT_EQ(test::get32(image, 4), 0x0207u);
    EXPECT_EQ(std::string(image.begin() + 8, image.begin() + 12), "SIMC");
    EXPECT_EQ(test::get32(image, 12), 29u);
    EXPECT_EQ(test::get32(image, 16), 0xCBF43926u);  // the usual CRC-32 check value
}

TEST(SimImage, InspectAcceptsWhatABootLoaderWouldRun) {
    const std::vector<uint8_t> good = SimImage::make(42, payload(5000, 1));
    auto with = [&](const std::function<void(std::vector<uint8_t>&)>& change) {
        std::vector<uint8_t> bytes = good;
        change(bytes);
        return bytes;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        SimImage::Form form;
        bool valid;
    } cases[] = {
        {"checked", good, SimImage::Form::Checked, true},
        {"checked, erased bytes after it", with([](auto& b) { b.resize(b.size() + 300, 0xFF); }),
         SimImage::Form::Checked, true},
        {"one payload bit flipped", with([](auto& b) { b[3000] ^= 0x10; }), SimImage::Form::Checked,
         false},
        {"cut short", with([](auto& b) { b.resize(4000); }), SimImage::Form::Checked, false},
        {"tail erased", with([](auto& b) { std::fill(b.begin() + 4096, b.end(), 0xFF); }),
         SimImage::Form::Checked, false},
        {"length below the header", with([](auto& b) { test::put32(b, 12, 19); }),
         SimImage::Form::Checked, false},
        {"short form", test::versionedImage(42, 64), SimImage::Form::Short, true},
        {"short form, 8 bytes", test::versionedImage(42, 8), SimImage::Form::Short, true},
        {"erased", std::vector<uint8_t>(64, 0xFF), SimImage::Form::None, false},
        {"7 bytes", std::vector<uint8_t>{'S', 'I', 'M', 'V', 1, 0, 0}, SimImage::Form::None, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SimImage::Check check = SimImage::inspect(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(check.form, c.form);
        EXPECT_EQ(check.valid, c.valid);
        if (c.form != SimImage::Form::None) {
            EXPECT_EQ(check.version, 42u);
        }
    }
}

// The demo's fifth monitor is there to be recovered; the other four boot.
TEST(SimMonitorBoot, DemoSetStartsOneScalerInIspMode) {
    for (const MonitorDescription& description : DemoSet::config().monitors) {
        SimMonitor monitor(description);
        const bool recovery = description.serial == "V32R0005";
        EXPECT_EQ(monitor.bootState().boots, !recovery) << description.serial;
        if (recovery) {
            EXPECT_EQ(description.kind, MonitorKind::MStar);
            EXPECT_EQ(monitor.bootState().product, "MCU ISP MODE");
        }
    }
}

// ---- the scaler ----

MonitorDescription scalerDescription() {
    MonitorDescription description;
    description.kind = MonitorKind::MStar;
    description.product = "Scaler 27";
    description.serial = "MS000001";
    description.flashSize = 0x80000;
    description.restartMs = 200;
    DeviceDescription scaler;
    scaler.id = 0x100;
    scaler.name = "Scaler";
    scaler.version = 105;
    scaler.address = kScalerAddress;
    scaler.flagAddress = kMarkerAddress;
    description.devices = {scaler};
    return description;
}

// The scaler flow's requests: ISP entry and unprotect, then the image block by block (erase,
// pages, ready-wait), stopping after `pageLimit` page programs, then optionally the marker and
// the protect step.
struct ScalerRun {
    size_t pageLimit = SIZE_MAX;
    bool marker = true;
};

// Returns the first failure, as the flow stops at it.
KmError runScalerFlow(SimHost& host, const std::vector<uint8_t>& image, ScalerRun run = {}) {
    KmError status = 0;
    if ((status = host.enterIsp()) < 0 || (status = host.setProtection(false)) < 0 ||
        (status = host.waitReady()) < 0)
        return status;
    size_t pages = 0;
    for (uint32_t block = 0; block * 0x10000 < image.size(); ++block) {
        if ((status = host.flashErase(0xD8, kScalerAddress + block * 0x10000)) < 0 ||
            (status = host.waitReady()) < 0)
            return status;
        for (uint32_t at = block * 0x10000; at < image.size() && at < (block + 1) * 0x10000;
             at += 256) {
            if (pages++ == run.pageLimit) return 0;
            const size_t end = std::min<size_t>(image.size(), at + 256);
            if ((status = host.flashProgram(kScalerAddress + at,
                                            {image.begin() + at, image.begin() + end})) < 0)
                return status;
        }
        if ((status = host.waitReady()) < 0) return status;
    }
    if (run.marker) {
        std::vector<uint8_t> page(256, 0xFF);
        std::fill_n(page.begin() + 0xFC, 4, 0xA5);
        if ((status = host.flashErase(0x20, kMarkerAddress & ~0xFFFu)) < 0 ||
            (status = host.waitReady()) < 0 ||
            (status = host.flashProgram(kMarkerAddress & ~0xFFu, page)) < 0 ||
            (status = host.waitReady()) < 0)
            return status;
    }
    return host.setProtection(true);
}

void expectIspMode(SimMonitor& monitor, SimHost& host) {
    const SimBootState boot = monitor.bootState();
    EXPECT_FALSE(boot.boots);
    EXPECT_EQ(boot.product, "MCU ISP MODE");
    EXPECT_EQ(boot.notBooting, std::vector<uint32_t>{0x100});
    std::vector<uint8_t> serial;
    ASSERT_EQ(host.get(0xFF00, 0x35, &serial, monitor.description().serialReportLength), 0);
    EXPECT_EQ(textAt(serial, 0).substr(0, 8), "MS000001");
    EXPECT_EQ(textAt(serial, 8), "MCU ISP MODE");
    std::vector<uint8_t> version;
    EXPECT_EQ(host.queryVersion(0x100, &version), SCREENIO_ERROR_REJECTED)
        << "a boot loader knows no versions";
    EXPECT_EQ(host.count(0xFF30, 0x11), 262u) << "the flash protocol stays offered";
}

struct ScalerCase {
    const char* name;
    std::function<void(SimMonitor&, SimHost&)> act;
    bool boots;
    uint32_t version;  // when it boots
};

TEST(SimMonitorBoot, ScalerBootsFromWhatItsFlashHolds) {
    const std::vector<uint8_t> image = SimImage::make(0x0207, payload(0x18000, 5));  // two blocks
    std::vector<uint8_t> corrupt = image;
    corrupt[0x12345] ^= 0x01;
    const ScalerCase cases[] = {
        {"complete image and marker",
         [&](SimMonitor&, SimHost& h) { ASSERT_EQ(runScalerFlow(h, image), 0); }, true, 0x0207},
        {"complete image, no marker",
         [&](SimMonitor&, SimHost& h) {
             ASSERT_EQ(runScalerFlow(h, image, {SIZE_MAX, false}), 0);
         },
         true, 0x0207},
        {"short-header image",
         [&](SimMonitor&, SimHost& h) {
             ASSERT_EQ(runScalerFlow(h, test::versionedImage(0x0300, 600)), 0);
         },
         true, 0x0300},
        {"cut after the first erase",
         [&](SimMonitor&, SimHost& h) {
             ASSERT_EQ(runScalerFlow(h, image, {0, false}), 0);
         },
         false, 0},
        {"cut in the second block",
         [&](SimMonitor&, SimHost& h) {
             ASSERT_EQ(runScalerFlow(h, image, {300, false}), 0);
         },
         false, 0},
        {"marker on an image that fails its CRC",
         [&](SimMonitor&, SimHost& h) { ASSERT_EQ(runScalerFlow(h, corrupt), 0); }, false, 0},
        {"marker on the untouched factory image",
         [](SimMonitor& m, SimHost&) {
             m.writeFlash(kMarkerAddress, {0xA5, 0xA5, 0xA5, 0xA5});
         },
         true, 105},
        {"nothing done", [](SimMonitor&, SimHost&) {}, true, 105},
    };
    for (const ScalerCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimMonitor monitor(scalerDescription());
        SimHost host(monitor);
        c.act(monitor, host);
        EXPECT_EQ(monitor.deviceVersion(0x100), 105u) << "versions change only at a boot";
        EXPECT_TRUE(monitor.bootState().boots);
        monitor.powerCycle();
        SimClock::advance(200000);
        host.reconnect();
        EXPECT_EQ(monitor.bootState().boots, c.boots);
        if (c.boots) {
            EXPECT_EQ(monitor.deviceVersion(0x100), c.version);
            EXPECT_EQ(monitor.bootState().product, "Scaler 27");
            EXPECT_EQ(monitor.readFlash(kMarkerAddress, 4), std::vector<uint8_t>(4, 0xFF))
                << "marker consumed";
        } else {
            expectIspMode(monitor, host);
        }
    }
}

TEST(SimMonitorBoot, ScalerInIspModeIsRecoveredByACompleteUpdateAndStaysRecovered) {
    MonitorDescription description = scalerDescription();
    description.devices[0].boots = false;  // starts with an erased region
    SimMonitor monitor(description);
    SimHost host(monitor);
    expectIspMode(monitor, host);
    monitor.powerCycle();
    SimClock::advance(200000);
    host.reconnect();
    EXPECT_FALSE(monitor.bootState().boots) << "a power cycle alone does not help";

    // A state file keeps the outcome.
    SimMonitor copy(description);
    copy.loadState(monitor.saveState());
    EXPECT_FALSE(copy.bootState().boots);

    ASSERT_EQ(runScalerFlow(host, SimImage::make(0x0210, payload(0x2000, 9))), 0);
    monitor.powerCycle();
    SimClock::advance(200000);
    host.reconnect();
    EXPECT_TRUE(monitor.bootState().boots);
    EXPECT_EQ(monitor.bootState().product, "Scaler 27");
    EXPECT_EQ(monitor.deviceVersion(0x100), 0x0210u);
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.queryVersion(0x100, &reply), 0);
    EXPECT_EQ(textAt(reply, 2), "5.28");
    monitor.powerCycle();
    EXPECT_TRUE(monitor.bootState().boots);
}

// State files written before the boot check and the status register were modelled.
TEST(SimMonitorBoot, OlderStateFilesStillLoad) {
    for (bool wasProtected : {true, false}) {
        SimMonitor monitor(scalerDescription());
        monitor.writeFlash(kScalerAddress, test::versionedImage(0x0300, 64));
        nlohmann::json state = monitor.saveState();
        for (nlohmann::json& device : state["devices"]) {
            device.erase("boots");
            device.erase("imageInFlash");
        }
        state.erase("changingRequests");
        state["mstar"].erase("status");
        state["mstar"]["protected"] = wasProtected;
        SimMonitor loaded(scalerDescription());
        ASSERT_NO_THROW(loaded.loadState(state));
        EXPECT_TRUE(loaded.bootState().boots);
        EXPECT_EQ(loaded.flashStatus(), wasProtected ? 0x1C : 0x00);
        EXPECT_EQ(loaded.readFlash(kScalerAddress, 4), (std::vector<uint8_t>{'S', 'I', 'M', 'V'}));
        loaded.powerCycle();
        EXPECT_EQ(loaded.deviceVersion(0x100), 105u) << "an older state knows no touched region";
    }
}

// ---- ZV ----

MonitorDescription zvDescription() {
    MonitorDescription description;
    description.kind = MonitorKind::ZV;
    description.product = "ZV 34";
    description.serial = "ZV000001";
    description.flashSize = 0x40000;
    description.restartMs = 100;
    DeviceDescription main;
    main.id = 0x100;
    main.version = 100;
    main.address = 0;
    main.updateFlagIndex = 0;
    DeviceDescription sub;
    sub.id = 0x200;
    sub.version = 7;
    sub.address = 0x20000;
    sub.updateFlagIndex = 3;
    description.devices = {main, sub};
    return description;
}

void restart(SimMonitor& monitor, SimHost& host) {
    ASSERT_EQ(host.setValue(0xFF02, 0xF4, 0), 0);
    SimClock::advance(100000);
    host.reconnect();
    (void)monitor;
}

TEST(SimMonitorBoot, ZvInstallsFlaggedImagesOnlyWhenTheyPassTheirCheck) {
    const std::vector<uint8_t> image = SimImage::make(0x0123, payload(700, 3));
    std::vector<uint8_t> half = image;
    std::fill(half.begin() + 300, half.end(), 0xFF);
    const struct {
        const char* name;
        std::vector<uint8_t> staged;  // at the main device's address
        bool flagged;
        bool boots;
        uint32_t version;
    } cases[] = {
        {"valid and flagged", image, true, true, 0x0123},
        {"half written and flagged", half, true, false, 0},
        {"erased and flagged", {}, true, false, 0},
        {"short header and flagged", test::versionedImage(0x0124, 300), true, true, 0x0124},
        {"half written, not flagged", half, false, true, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimMonitor monitor(zvDescription());
        SimHost host(monitor);
        if (!c.staged.empty()) monitor.writeFlash(0, c.staged);
        if (c.flagged) {
            ASSERT_EQ(host.zvFlag(0, 1), 0);
        }
        restart(monitor, host);
        EXPECT_EQ(monitor.zvUpdateFlags(), 0u) << "the flags are consumed";
        EXPECT_EQ(monitor.bootState().boots, c.boots);
        EXPECT_EQ(monitor.deviceVersion(0x200), 7u) << "the other device is not touched";
        if (c.boots) {
            EXPECT_EQ(monitor.deviceVersion(0x100), c.version);
            continue;
        }
        EXPECT_EQ(monitor.bootState().product, "MCU ISP MODE");
        EXPECT_EQ(monitor.bootState().notBooting, std::vector<uint32_t>{0x100});
        // Unflagged restarts leave it so; staging a valid image and flagging it recovers it.
        restart(monitor, host);
        EXPECT_FALSE(monitor.bootState().boots);
        monitor.writeFlash(0, image);
        ASSERT_EQ(host.zvFlag(0, 1), 0);
        restart(monitor, host);
        EXPECT_TRUE(monitor.bootState().boots);
        EXPECT_EQ(monitor.deviceVersion(0x100), 0x0123u);
    }
}

// ---- power cut ----

TEST(SimMonitorBoot, PowerCutAtARequestRestartsAtOnceAndKeepsTheFlash) {
    MonitorDescription description = scalerDescription();
    FaultRule cut;
    cut.anyUsage = true;  // counts every request
    cut.first = 3000;     // in the second block
    cut.effect = FaultEffect::PowerCut;
    description.faults = {cut};
    SimMonitor monitor(description);
    SimHost host(monitor);
    monitor.setRecording(true);
    const std::vector<uint8_t> image = SimImage::make(0x0207, payload(0x18000, 5));
    EXPECT_EQ(runScalerFlow(host, image), SCREENIO_ERROR_GONE);

    const std::vector<SimRequest> history = monitor.history();
    ASSERT_EQ(history.size(), 3000u);
    EXPECT_EQ(history.back().status, SCREENIO_ERROR_GONE);
    EXPECT_FALSE(monitor.present());
    EXPECT_EQ(monitor.restartCount(), 1u);
    EXPECT_FALSE(monitor.ispMode()) << "ISP mode is volatile";
    EXPECT_EQ(monitor.readFlash(kScalerAddress, 20),
              std::vector<uint8_t>(image.begin(), image.begin() + 20))
        << "the flash keeps what was programmed";
    EXPECT_FALSE(monitor.bootState().boots) << "the image was cut short";
    SimClock::advance(200000);
    host.reconnect();
    expectIspMode(monitor, host);
}

TEST(SimMonitorBoot, PowerCutDuringAFileTransferLeavesTheOldFirmware) {
    MonitorDescription description;
    description.serial = "FILES001";
    description.product = "Files 27";
    description.restartMs = 100;
    DeviceDescription scaler;
    scaler.fileName = "SCL000";
    scaler.recordSize = 512;
    scaler.recordCount = 4;
    scaler.version = 5;
    description.devices = {scaler};
    FaultRule cut;
    cut.page = 0xFF02;
    cut.usage = 0xFE;
    cut.first = 3;
    cut.effect = FaultEffect::PowerCut;
    description.faults = {cut};
    SimMonitor monitor(description);
    SimHost host(monitor);
    const std::vector<uint8_t> image = SimImage::make(6, payload(2048 - 20, 1));
    ASSERT_EQ(host.create("scl000", 512, 4), 0);
    ASSERT_EQ(host.writePage("scl000", 0, 0, image.data(), 512), 0);
    ASSERT_EQ(host.writePage("scl000", 1, 0, image.data() + 512, 512), 0);
    EXPECT_EQ(host.writePage("scl000", 2, 0, image.data() + 1024, 512), SCREENIO_ERROR_GONE);
    EXPECT_EQ(monitor.restartCount(), 1u);
    EXPECT_FALSE(monitor.fileContent("scl000").has_value()) << "the temporary file is gone";
    EXPECT_EQ(monitor.deviceVersion(0), 5u);
    EXPECT_TRUE(monitor.bootState().boots);
}

// ---- record files ----

TEST(SimMonitorBoot, RecordFileImageThatFailsItsOwnCheckIsNotInstalled) {
    MonitorDescription description;
    description.serial = "FILES001";
    description.product = "Files 27";
    description.restartMs = 100;
    DeviceDescription scaler;
    scaler.fileName = "SCL000";
    scaler.recordSize = 512;
    scaler.recordCount = 2;
    scaler.version = 5;
    description.devices = {scaler};
    for (bool corrupt : {true, false}) {
        SCOPED_TRACE(corrupt ? "corrupt" : "sound");
        SimMonitor monitor(description);
        SimHost host(monitor);
        std::vector<uint8_t> image = SimImage::make(6, payload(1024 - 20, 2));
        if (corrupt) image[700] ^= 0x80;
        host.transfer("scl000", 512, image, description.crcBusyMs);
        ASSERT_EQ(host.setValue(0xFF02, 0xFB, 2), 0);
        ASSERT_EQ(host.setValue(0xFF02, 0xF4, 0), 0);
        EXPECT_EQ(monitor.deviceVersion(0), corrupt ? 5u : 6u);
        EXPECT_EQ(*monitor.fileContent("SCL000") == image, !corrupt);
        EXPECT_TRUE(monitor.bootState().boots);
    }
}

TEST(SimMonitorBoot, TemporaryFileLargerThanTheFirmwareAreaIsRefusedAtOnce) {
    MonitorDescription description;
    description.serial = "FILES001";
    description.product = "Files 27";
    DeviceDescription scaler;
    scaler.fileName = "SCL000";
    scaler.recordSize = 512;
    scaler.recordCount = 4;
    description.devices = {scaler};
    SimMonitor monitor(description);
    SimHost host(monitor);
    EXPECT_EQ(host.create("scl000", 512, 5), SCREENIO_ERROR_REJECTED);
    EXPECT_EQ(host.create("scl000", 2049, 1), SCREENIO_ERROR_REJECTED);
    EXPECT_FALSE(monitor.fileContent("scl000").has_value());
    EXPECT_EQ(host.create("scl000", 1024, 2), 0) << "another geometry of the same size fits";
    EXPECT_EQ(host.create("tmp000", 4096, 8), 0) << "a file that replaces nothing is not limited";
}

// ---- what a request changes ----

TEST(SimMonitorBoot, HistoryMarksTheRequestsThatChangeTheMonitor) {
    SimMonitor monitor(scalerDescription());
    SimHost host(monitor);
    monitor.setRecording(true);
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.get(0xFF00, 0x35, &reply, 24), 0);
    ASSERT_EQ(host.queryVersion(0x100, &reply), 0);
    ASSERT_EQ(host.count(0xFF30, 0x11), 262u);
    EXPECT_EQ(monitor.changingRequests(), 0u);
    for (const SimRequest& r : monitor.history())
        EXPECT_FALSE(r.changing) << r.page << "/" << r.usage;

    monitor.clearHistory();
    ASSERT_EQ(host.enterIsp(), 0);  // 2 x (address, data): the data reports change
    uint8_t status = 0;
    ASSERT_EQ(host.flashStatus(&status), 0);  // address, [05], address, read, address, end
    ASSERT_EQ(host.flashRead(0, 16, &reply), 0);
    ASSERT_EQ(host.flashErase(0x20, 0x1000), 0);
    std::vector<bool> marks;
    for (const SimRequest& r : monitor.history()) marks.push_back(r.changing);
    const std::vector<bool> expected = {
        false, true,  false, true,                 // ISP entry twice
        false, false, false, false, false, false,  // status read
        false, false, false, false, false, false,  // data read
        false, true,  false, false,                // write enable: its bytes, then the end
        false, true,  false, false,                // the erase
    };
    EXPECT_EQ(marks, expected);
    EXPECT_EQ(monitor.changingRequests(), 4u);
    EXPECT_EQ(monitor.saveState().at("changingRequests"), 4u) << "kept for other processes";
}

TEST(SimMonitorBoot, ZvChecksumAndSelectionsDoNotCountAsChanges) {
    SimMonitor monitor(zvDescription());
    SimHost host(monitor);
    ASSERT_EQ(host.set(0xFF01, 0x124, std::vector<uint8_t>(32, 0)), 0);
    ASSERT_EQ(host.zvCommand(0, 0x10000, 3), 0);
    ASSERT_EQ(host.zvExecute(), 0);
    EXPECT_EQ(monitor.changingRequests(), 0u);
    SimClock::advance(10000);  // the checksum's busy time
    ASSERT_EQ(host.zvCommand(0, 0x10000, 2), 0);
    EXPECT_EQ(monitor.changingRequests(), 1u);
    ASSERT_EQ(host.zvExecute(), 0);
    EXPECT_EQ(monitor.changingRequests(), 2u);
    ASSERT_EQ(host.zvFlag(1, 0), 0);
    EXPECT_EQ(monitor.changingRequests(), 3u);
}

}  // namespace
}  // namespace screenio::sim
