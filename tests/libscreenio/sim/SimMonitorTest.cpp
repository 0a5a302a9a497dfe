// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "libscreenio/sim/SimMonitorHost.h"
#include "sim/Crc32.h"
#include "sim/SimMonitor.h"

namespace screenio::sim {
namespace {

using test::get16;
using test::get32;
using test::nameOf;
using test::SimHost;
using test::textAt;

MonitorDescription filesDescription() {
    MonitorDescription description;
    description.product = "Test Monitor";
    description.serial = "SN000001";
    description.kind = MonitorKind::Files;
    DeviceDescription main;
    main.id = 0;
    main.name = "Main";
    main.fileName = "PRG000";
    main.recordSize = 512;
    main.recordCount = 2;
    main.version = 100;
    main.displayOrder = 2;
    DeviceDescription sub;
    sub.id = 1;
    sub.name = "Sub controller";
    sub.fileName = "PRG001";
    sub.recordSize = 700;  // two pages per record, the second partly used
    sub.recordCount = 3;
    sub.version = 0x01020304;
    sub.displayOrder = 1;
    description.devices = {main, sub};
    FileDescription extra;
    extra.name = "DATA01";
    extra.recordSize = 4;
    extra.recordCount = 2;
    extra.content = {1, 2, 3, 4, 5};
    description.files = {extra};
    return description;
}

// ---- usages ----

struct UsageCase {
    MonitorKind kind;
    uint16_t page;
    uint16_t usage;
    bool offered;
    uint32_t count;
};

TEST(SimMonitorUsages, EachKindOffersItsOwnUsagesWithTheirReportCounts) {
    const UsageCase cases[] = {
        {MonitorKind::Files, 0xFF00, 0x0F, true, 0},
        {MonitorKind::Files, 0xFF00, 0x35, true, 24},
        {MonitorKind::Files, 0xFF00, 0xD8, false, 0},
        {MonitorKind::Files, 0xFF02, 0xC2, true, 10},
        {MonitorKind::Files, 0xFF02, 0xC3, true, 16},
        {MonitorKind::Files, 0xFF02, 0xF4, true, 0},
        {MonitorKind::Files, 0xFF02, 0xFB, true, 0},
        {MonitorKind::Files, 0xFF02, 0xFC, true, 15},
        {MonitorKind::Files, 0xFF02, 0xFD, true, 522},
        {MonitorKind::Files, 0xFF02, 0xFE, true, 522},
        {MonitorKind::Files, 0xFF30, 0x11, false, 0},
        {MonitorKind::Files, 0xFF01, 0x122, false, 0},
        {MonitorKind::Legacy, 0xFF00, 0xD8, true, 18},
        {MonitorKind::Legacy, 0xFF02, 0xFE, true, 522},
        {MonitorKind::MStar, 0xFF00, 0xD8, true, 18},
        {MonitorKind::MStar, 0xFF30, 0x10, true, 4},
        {MonitorKind::MStar, 0xFF30, 0x11, true, 262},
        {MonitorKind::MStar, 0xFF02, 0xFB, false, 0},
        {MonitorKind::MStar, 0xFF02, 0xFE, false, 0},
        {MonitorKind::MStar, 0xFF02, 0xF4, false, 0},
        {MonitorKind::ZV, 0xFF00, 0xD8, true, 18},
        {MonitorKind::ZV, 0xFF01, 0x122, true, 9},
        {MonitorKind::ZV, 0xFF01, 0x123, true, 256},
        {MonitorKind::ZV, 0xFF01, 0x124, true, 32},
        {MonitorKind::ZV, 0xFF02, 0x110, true, 3},
        {MonitorKind::ZV, 0xFF02, 0xFB, true, 0},
        {MonitorKind::ZV, 0xFF02, 0xF4, true, 0},
        {MonitorKind::ZV, 0xFF02, 0xFE, false, 0},
        {MonitorKind::ZV, 0xFF02, 0xFC, false, 0},
        {MonitorKind::ZV, 0xFF30, 0x11, false, 0},
    };
    for (const UsageCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "kind " << int(c.kind) << " " << std::hex << c.page << "/" << c.usage);
        MonitorDescription description;
        description.kind = c.kind;
        SimMonitor monitor(description);
        SimHost host(monitor);
        bool offered = !c.offered;
        uint32_t count = 99;
        EXPECT_EQ(host.fixed(c.page, c.usage, &offered, &count), 0);
        EXPECT_EQ(offered, c.offered);
        EXPECT_EQ(count, c.count);
        if (!c.offered) {
            std::vector<uint8_t> buffer(16, 0);
            int64_t value = 0;
            EXPECT_EQ(host.get(c.page, c.usage, &buffer, 16), SCREENIO_ERROR_NOT_OFFERED);
            EXPECT_EQ(host.set(c.page, c.usage, buffer), SCREENIO_ERROR_NOT_OFFERED);
            EXPECT_EQ(host.getValue(c.page, c.usage, &value), SCREENIO_ERROR_NOT_OFFERED);
            EXPECT_EQ(host.setValue(c.page, c.usage, 0), SCREENIO_ERROR_NOT_OFFERED);
        }
    }
}

TEST(SimMonitorUsages, LeftOutUsagesAreNotOfferedAndCountsFollowTheReportLengths) {
    MonitorDescription description;
    description.kind = MonitorKind::ZV;
    description.withoutUsages = {{0xFF02, 0x110}};
    description.serialReportLength = 40;
    description.zvInfoReportLength = 48;
    SimMonitor monitor(description);
    SimHost host(monitor);
    bool offered = true;
    uint32_t count = 7;
    EXPECT_EQ(host.fixed(0xFF02, 0x110, &offered, &count), 0);
    EXPECT_FALSE(offered);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(host.zvFlag(1, 1), SCREENIO_ERROR_NOT_OFFERED);
    EXPECT_EQ(host.count(0xFF00, 0x35), 40u);
    EXPECT_EQ(host.count(0xFF01, 0x124), 48u);
}

TEST(SimMonitorUsages, RequestsOfAnotherLengthThanTheReportAreRefused) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    const struct {
        uint16_t usage;
        uint32_t length;
    } cases[] = {{0xC2, 9}, {0xC3, 17}, {0xFC, 14}, {0xFD, 512}, {0xFE, 523}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << c.usage << " length " << std::dec << c.length);
        std::vector<uint8_t> buffer(c.length, 0);
        EXPECT_EQ(host.set(0xFF02, c.usage, buffer), SCREENIO_ERROR_LENGTH);
    }
    std::vector<uint8_t> reply;
    EXPECT_EQ(host.get(0xFF00, 0x35, &reply, 23), SCREENIO_ERROR_LENGTH);
}

// ---- identity, registers, version query ----

TEST(SimMonitorReports, SerialAndProductAreWrittenVerbatimAndCutToTheReport) {
    const struct {
        const char* serial;
        const char* product;
        uint32_t length;
        std::string expectSerial;
        std::string expectProduct;
    } cases[] = {
        {"SN1", "Screen 27  ", 24, "SN1", "Screen 27  "},
        {"SERIAL0123", "Model", 16, "SERIAL01", "Model"},
        {"ABCDEFGH", "A product name too long", 20, "ABCDEFGH", "A product na"},
    };
    for (const auto& c : cases) {
        MonitorDescription description = filesDescription();
        description.serial = c.serial;
        description.product = c.product;
        description.serialReportLength = c.length;
        SimMonitor monitor(description);
        SimHost host(monitor);
        std::vector<uint8_t> reply;
        ASSERT_EQ(host.get(0xFF00, 0x35, &reply, c.length), 0);
        EXPECT_EQ(std::string(reply.begin(), reply.begin() + 8).c_str(), c.expectSerial);
        EXPECT_EQ(textAt(reply, 8), c.expectProduct);
        for (size_t i = 8 + c.expectProduct.size(); i < reply.size(); ++i)
            EXPECT_EQ(reply[i], 0) << i;
    }
}

TEST(SimMonitorReports, TransferStateAndOsdAreStoredValues) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    int64_t value = -1;
    EXPECT_EQ(host.getValue(0xFF02, 0xFB, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(host.setValue(0xFF02, 0xFB, 0x12345678), 0);
    EXPECT_EQ(host.getValue(0xFF02, 0xFB, &value), 0);
    EXPECT_EQ(value, 0x12345678);
    EXPECT_EQ(monitor.transferState(), 0x12345678u);
    EXPECT_EQ(host.setValue(0xFF00, 0x0F, 0x8000), 0);
    EXPECT_EQ(host.setValue(0xFF00, 0x0F, 0x4000), 0);
    EXPECT_EQ(monitor.osdValue(), 0x4000);
    // A value usage answers no array request and an array usage no value request.
    std::vector<uint8_t> reply;
    EXPECT_EQ(host.getValue(0xFF02, 0xFE, &value), SCREENIO_ERROR_REJECTED);
    EXPECT_EQ(host.get(0xFF02, 0xFE, &reply, 522), SCREENIO_ERROR_REJECTED);
}

TEST(SimMonitorReports, VersionQueryFormatsTheVersionWithAPointBeforeTheLastTwoDigits) {
    const struct {
        uint32_t version;
        bool hex;
        const char* text;
        const char* expected;
    } cases[] = {
        {105, false, "", "1.05"},       {5, false, "", "0.05"},
        {0, false, "", "0.00"},         {1234, false, "", "12.34"},
        {0x10A, true, "", "1.0A"},      {0xABCDE, true, "", "ABC.DE"},
        {105, false, "V2.1b", "V2.1b"}, {1, false, "0123456789ABCDEFGH", "0123456789ABCDEF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        MonitorDescription description;
        description.kind = MonitorKind::ZV;
        DeviceDescription d;
        d.id = 0x200;
        d.version = c.version;
        d.hexVersion = c.hex;
        d.versionText = c.text;
        description.devices = {d};
        SimMonitor monitor(description);
        SimHost host(monitor);
        std::vector<uint8_t> reply;
        ASSERT_EQ(host.queryVersion(0x200, &reply), 0);
        EXPECT_EQ(get16(reply, 0), 0x200u);
        EXPECT_EQ(std::string(reply.begin() + 2, reply.end()).c_str(), std::string(c.expected));
    }
}

TEST(SimMonitorReports, VersionQueryOfLegacyDefaultsUnknownDevicesAndWithoutRequest) {
    MonitorDescription description;
    description.kind = MonitorKind::Legacy;
    SimMonitor monitor(description);
    SimHost host(monitor);
    std::vector<uint8_t> reply;
    EXPECT_EQ(host.get(0xFF00, 0xD8, &reply, 18), SCREENIO_ERROR_REJECTED);

    ASSERT_EQ(host.queryVersion(0x600, &reply), 0);
    EXPECT_EQ(textAt(reply, 2), "0.00");
    ASSERT_EQ(host.queryVersion(0x1234, &reply), 0);
    EXPECT_EQ(get16(reply, 0), 0x1234u);
    for (size_t i = 2; i < 18; ++i) EXPECT_EQ(reply[i], 0);
    // The five legacy devices come with their firmware files.
    for (const char* name : {"PRG000", "PRG001", "INP027", "AIC653", "AIC904"}) {
        EXPECT_EQ(host.geometry(name), std::make_pair(512u, 8u)) << name;
    }
    EXPECT_EQ(host.geometry("KFW000"), std::make_pair(0u, 0u));
}

// ---- record files ----

class SimMonitorFiles : public testing::Test {
protected:
    SimMonitor monitor{filesDescription()};
    SimHost host{monitor};
};

TEST_F(SimMonitorFiles, PropertyReplyNamesTheSelectedFileWithItsGeometry) {
    std::vector<uint8_t> reply;
    EXPECT_EQ(host.property(&reply), SCREENIO_ERROR_REJECTED);
    EXPECT_EQ(host.geometry("PRG001"), std::make_pair(700u, 3u));
    EXPECT_EQ(host.geometry("DATA01"), std::make_pair(4u, 2u));
    EXPECT_EQ(host.geometry("KFW000"), std::make_pair(32u, 2u));
    EXPECT_EQ(host.geometry("KFW001"), std::make_pair(8u, 2u));
    EXPECT_EQ(host.geometry("KFW002"), std::make_pair(4u, 2u));
    // Unknown: its name, nothing else; names are matched exactly.
    EXPECT_EQ(host.geometry("prg000"), std::make_pair(0u, 0u));
    EXPECT_EQ(host.geometry("NOFILE"), std::make_pair(0u, 0u));
    ASSERT_EQ(host.property(&reply), 0);
    for (size_t i = 10; i < 16; ++i) EXPECT_EQ(reply[i], 0);
}

TEST_F(SimMonitorFiles, DeviceFilesDescribeTheDevicesRecordByRecord) {
    auto record = [&](const std::string& name, uint32_t r) {
        EXPECT_EQ(host.requestPage(name, r, 0), 0);
        std::vector<uint8_t> reply;
        EXPECT_EQ(host.readPage(&reply), 0);
        return reply;
    };
    EXPECT_EQ(textAt(record("KFW000", 0), 10), "Main");
    EXPECT_EQ(textAt(record("KFW000", 1), 10), "Sub controller");
    EXPECT_EQ(textAt(record("KFW001", 1), 10), "PRG001");
    EXPECT_EQ(get32(record("KFW002", 0), 10), 100u);
    EXPECT_EQ(get32(record("KFW002", 1), 10), 0x01020304u);
    EXPECT_EQ(get32(record("KFW003", 0), 10), 2u);
    std::vector<uint8_t> names = record("KFW000", 1);
    for (size_t i = 10 + 14; i < names.size(); ++i) EXPECT_EQ(names[i], 0);
    // They are a view of the devices, not something the host can write.
    std::vector<uint8_t> data(4, 9);
    EXPECT_EQ(host.writePage("KFW002", 0, 0, data.data(), data.size()), SCREENIO_ERROR_REJECTED);
}

TEST_F(SimMonitorFiles, PagesOfRecordsLargerThanAPageLandAtTheirOffsets) {
    ASSERT_EQ(host.create("prg001", 700, 3), 0);
    EXPECT_EQ(host.geometry("prg001"), std::make_pair(700u, 3u));
    std::vector<uint8_t> image(2100);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 13 + 1);
    host.writeFile("prg001", 700, image);
    EXPECT_EQ(*monitor.fileContent("prg001"), image);

    // Page 1 of record 2 holds 188 bytes, then zeros; the reply echoes the request.
    ASSERT_EQ(host.requestPage("prg001", 2, 1), 0);
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.readPage(&reply), 0);
    EXPECT_EQ(nameOf(reply), "prg001");
    EXPECT_EQ(get16(reply, 6), 2u);
    EXPECT_EQ(get16(reply, 8), 1u);
    EXPECT_TRUE(
        std::equal(reply.begin() + 10, reply.begin() + 10 + 188, image.begin() + 1400 + 512));
    for (size_t i = 10 + 188; i < reply.size(); ++i) ASSERT_EQ(reply[i], 0) << i;

    // A page write carries 512 bytes but only the record's part of them is kept.
    std::vector<uint8_t> ones(512, 0xAB);
    ASSERT_EQ(host.writePage("prg001", 0, 1, ones.data(), ones.size()), 0);
    std::vector<uint8_t> content = *monitor.fileContent("prg001");
    EXPECT_EQ(content[699], 0xAB);
    EXPECT_EQ(content[700], image[700]);
}

TEST_F(SimMonitorFiles, FileRequestsOutsideAFileAreRejected) {
    ASSERT_EQ(host.create("prg000", 512, 2), 0);
    std::vector<uint8_t> data(512, 1);
    const struct {
        const char* name;
        uint32_t record;
        uint32_t page;
    } cases[] = {{"prg000", 2, 0}, {"prg000", 0, 1}, {"NOFILE", 0, 0}, {"PRG001", 0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.record << "/" << c.page);
        EXPECT_EQ(host.writePage(c.name, c.record, c.page, data.data(), data.size()),
                  SCREENIO_ERROR_REJECTED);
        EXPECT_EQ(host.requestPage(c.name, c.record, c.page), SCREENIO_ERROR_REJECTED);
    }
    std::vector<uint8_t> reply;
    EXPECT_EQ(host.readPage(&reply), SCREENIO_ERROR_REJECTED);  // no request pending
    EXPECT_EQ(host.create("zero00", 0, 4), SCREENIO_ERROR_REJECTED);
    EXPECT_EQ(host.create("zero00", 16, 0), SCREENIO_ERROR_REJECTED);
    // Creating over a firmware file would destroy it.
    EXPECT_EQ(host.create("PRG000", 512, 2), SCREENIO_ERROR_REJECTED);
}

TEST_F(SimMonitorFiles, CreatingAgainClearsTheTemporaryFile) {
    ASSERT_EQ(host.create("prg000", 512, 2), 0);
    std::vector<uint8_t> data(512, 0x5A);
    ASSERT_EQ(host.writePage("prg000", 1, 0, data.data(), data.size()), 0);
    ASSERT_EQ(host.create("prg000", 256, 1), 0);
    EXPECT_EQ(*monitor.fileContent("prg000"), std::vector<uint8_t>(256, 0));
}

TEST_F(SimMonitorFiles, CrcIsBusyForItsTimeThenMatchesAnIndependentComputation) {
    std::vector<uint8_t> reply;
    EXPECT_EQ(host.crcResult(&reply), SCREENIO_ERROR_REJECTED);  // nothing triggered
    EXPECT_EQ(host.triggerCrc("NOFILE", 0), SCREENIO_ERROR_REJECTED);

    std::vector<uint8_t> image = test::versionedImage(7, 2100);
    ASSERT_EQ(host.create("prg001", 700, 3), 0);
    host.writeFile("prg001", 700, image);
    ASSERT_EQ(host.triggerCrc("prg001", 0xFEEDBEEF), 0);
    ASSERT_EQ(host.crcResult(&reply), 0);
    EXPECT_EQ(nameOf(reply), "prg001");
    EXPECT_EQ(get32(reply, 6), 2100u);
    EXPECT_NE(reply[10], 0);
    EXPECT_EQ(get32(reply, 11), 0u);

    SimClock::advance(25000);
    ASSERT_EQ(host.crcResult(&reply), 0);
    EXPECT_NE(reply[10], 0);
    SimClock::advance(5000);
    ASSERT_EQ(host.crcResult(&reply), 0);
    EXPECT_EQ(reply[10], 0);
    EXPECT_EQ(get32(reply, 11), test::referenceCrc(0xFEEDBEEF, image));
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(reply[i], "prg001"[i]);

    // A permanent file can be checked as well; its initial value matters.
    ASSERT_EQ(host.triggerCrc("DATA01", 0), 0);
    SimClock::advance(30000);
    ASSERT_EQ(host.crcResult(&reply), 0);
    EXPECT_EQ(get32(reply, 11), test::referenceCrc(0, {1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(SimMonitorCrc32, MatchesTheStandardCheckValue) {
    const std::string text = "123456789";
    std::vector<uint8_t> bytes(text.begin(), text.end());
    EXPECT_EQ(Crc32::compute(0xFFFFFFFF, bytes.data(), bytes.size()), 0xCBF43926u);
    EXPECT_EQ(Crc32::compute(0xFEEDBEEF, bytes.data(), bytes.size()),
              test::referenceCrc(0xFEEDBEEF, bytes));
}

// ---- restart and install ----

struct InstallCase {
    const char* what;
    bool arm;
    bool writeAllPages;
    bool runCrc;
    bool writeAfterCrc;
    bool restartBeforeCrcDone;
    bool versioned;
    bool installed;
};

TEST(SimMonitorRestart, TemporaryFilesAreInstalledOnlyWhenArmedCompleteAndChecked) {
    const InstallCase cases[] = {
        {"complete", true, true, true, false, false, true, true},
        {"not armed", false, true, true, false, false, true, false},
        {"a page missing", true, false, true, false, false, true, false},
        {"no CRC", true, true, false, false, false, true, false},
        {"written after the CRC", true, true, true, true, false, true, false},
        {"CRC still busy", true, true, true, false, true, true, false},
        {"no version mark", true, true, true, false, false, false, true},
    };
    for (const InstallCase& c : cases) {
        SCOPED_TRACE(c.what);
        SimMonitor monitor(filesDescription());
        SimHost host(monitor);
        std::vector<uint8_t> image = test::versionedImage(205, 1024);
        if (!c.versioned) image[0] = 'X';
        ASSERT_EQ(host.setValue(0xFF02, 0xFB, 1), 0);
        ASSERT_EQ(host.create("prg000", 512, 2), 0);
        if (c.writeAllPages) {
            host.writeFile("prg000", 512, image);
        } else {
            ASSERT_EQ(host.writePage("prg000", 0, 0, image.data(), 512), 0);
        }
        if (c.runCrc) {
            ASSERT_EQ(host.triggerCrc("prg000", 0xFEEDBEEF), 0);
            if (!c.restartBeforeCrcDone) SimClock::advance(30000);
        }
        if (c.writeAfterCrc) {
            ASSERT_EQ(host.writePage("prg000", 1, 0, image.data() + 512, 512), 0);
        }
        if (c.arm) {
            ASSERT_EQ(host.setValue(0xFF02, 0xFB, 2), 0);
        }
        // The trigger: state 0, then the restart.
        ASSERT_EQ(host.setValue(0xFF02, 0xFB, 0), 0);
        ASSERT_EQ(host.setValue(0xFF02, 0xF4, 0), 0);

        EXPECT_EQ(monitor.deviceVersion(0), c.installed && c.versioned ? 205u : 100u);
        std::vector<uint8_t> firmware = *monitor.fileContent("PRG000");
        EXPECT_EQ(firmware == image, c.installed);
        EXPECT_FALSE(monitor.fileContent("prg000").has_value());
        EXPECT_EQ(monitor.transferState(), 0u);
        EXPECT_EQ(monitor.deviceVersion(1), 0x01020304u);
    }
}

TEST(SimMonitorRestart, MonitorIsAbsentForItsRestartTimeAndComesBackOnANewConnection) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    std::vector<uint8_t> image = test::versionedImage(0x0A0B0C0D, 2100);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 1), 0);
    host.transfer("prg001", 700, image, 30);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 2), 0);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 0), 0);
    const uint64_t before = monitor.connection();
    ASSERT_EQ(host.setValue(0xFF02, 0xF4, 0), 0);

    EXPECT_FALSE(monitor.present());
    EXPECT_NE(monitor.connection(), before);
    EXPECT_EQ(monitor.restartCount(), 1u);
    int64_t value = 0;
    EXPECT_EQ(host.getValue(0xFF02, 0xFB, &value), SCREENIO_ERROR_GONE);
    SimClock::advance(2900 * 1000);
    EXPECT_FALSE(monitor.present());
    SimClock::advance(100 * 1000);
    EXPECT_TRUE(monitor.present());
    EXPECT_EQ(host.getValue(0xFF02, 0xFB, &value), SCREENIO_ERROR_GONE);  // old handle stays dead

    host.reconnect();
    ASSERT_EQ(host.requestPage("KFW002", 1, 0), 0);
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.readPage(&reply), 0);
    EXPECT_EQ(get32(reply, 10), 0x0A0B0C0Du);
    EXPECT_EQ(monitor.deviceVersion(1), 0x0A0B0C0Du);
    EXPECT_EQ(host.geometry("prg001"), std::make_pair(0u, 0u));
    // Selections do not survive the restart.
    EXPECT_EQ(host.crcResult(&reply), SCREENIO_ERROR_REJECTED);
}

TEST(SimMonitorRestart, SettingTransferringDisarmsAndPowerCycleInstallsLikeARestart) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    std::vector<uint8_t> image = test::versionedImage(300, 1024);
    host.transfer("prg000", 512, image, 30);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 2), 0);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 1), 0);
    monitor.powerCycle();
    EXPECT_EQ(monitor.deviceVersion(0), 100u);

    SimClock::advance(3000 * 1000);
    host.reconnect();
    host.transfer("prg000", 512, image, 30);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 2), 0);
    monitor.powerCycle();
    EXPECT_EQ(monitor.deviceVersion(0), 300u);
    EXPECT_EQ(monitor.restartCount(), 2u);
}

TEST(SimMonitorRestart, LegacyMonitorReportsTheInstalledVersionThroughTheVersionQuery) {
    MonitorDescription description;
    description.kind = MonitorKind::Legacy;
    description.restartMs = 10;
    SimMonitor monitor(description);
    SimHost host(monitor);
    host.transfer("aic904", 512, test::versionedImage(0x10A, 512 * 8), 30);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 2), 0);
    ASSERT_EQ(host.setValue(0xFF02, 0xF4, 0), 0);
    SimClock::advance(10000);
    host.reconnect();
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.queryVersion(0x600, &reply), 0);
    EXPECT_EQ(textAt(reply, 2), "1.0A");
}

// ---- recording, latency, threads ----

TEST(SimMonitorRecording, KeepsRequestsOnlyWhileOn) {
    SimMonitor monitor(filesDescription());
    SimHost host(monitor);
    ASSERT_EQ(host.setValue(0xFF00, 0x0F, 1), 0);
    monitor.setRecording(true);
    ASSERT_EQ(host.selectFile("PRG000"), 0);
    std::vector<uint8_t> reply;
    ASSERT_EQ(host.property(&reply), 0);
    EXPECT_EQ(host.setValue(0xFF00, 0xD8, 1), SCREENIO_ERROR_NOT_OFFERED);
    std::vector<SimRequest> history = monitor.history();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].access, Access::SetArray);
    EXPECT_EQ(history[0].usage, 0xC2);
    EXPECT_EQ(nameOf(history[0].data), "PRG000");
    EXPECT_EQ(history[1].access, Access::GetArray);
    EXPECT_EQ(history[1].data, reply);
    EXPECT_EQ(history[2].status, SCREENIO_ERROR_NOT_OFFERED);
    monitor.clearHistory();
    monitor.setRecording(false);
    ASSERT_EQ(host.property(&reply), 0);
    EXPECT_TRUE(monitor.history().empty());
}

TEST(SimMonitorLatency, EveryRequestTakesTheLinkTime) {
    MonitorDescription description = filesDescription();
    description.latencyUs = 20000;
    SimMonitor monitor(description);
    SimHost host(monitor);
    auto start = std::chrono::steady_clock::now();
    int64_t value = 0;
    ASSERT_EQ(host.getValue(0xFF02, 0xFB, &value), 0);
    ASSERT_EQ(host.setValue(0xFF02, 0xFB, 1), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
}

TEST(SimMonitorThreads, TwoHostsWritingAtOnceKeepTheirFilesApart) {
    SimMonitor monitor(filesDescription());
    SimHost setup(monitor);
    ASSERT_EQ(setup.create("prg000", 512, 2), 0);
    ASSERT_EQ(setup.create("prg001", 700, 3), 0);
    std::atomic<int> failures{0};
    auto worker = [&](const std::string& name, uint32_t recordSize, uint32_t records,
                      uint8_t fill) {
        SimHost host(monitor);
        std::vector<uint8_t> data(512, fill);
        for (int round = 0; round < 200; ++round)
            for (uint32_t r = 0; r < records; ++r)
                for (uint32_t p = 0; p * 512 < recordSize; ++p) {
                    if (host.writePage(name, r, p, data.data(), data.size()) != 0) ++failures;
                    int64_t value = 0;
                    if (host.getValue(0xFF02, 0xFB, &value) != 0) ++failures;
                }
    };
    std::thread a(worker, "prg000", 512, 2, 0x11);
    std::thread b(worker, "prg001", 700, 3, 0x22);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(*monitor.fileContent("prg000"), std::vector<uint8_t>(1024, 0x11));
    EXPECT_EQ(*monitor.fileContent("prg001"), std::vector<uint8_t>(2100, 0x22));
}

}  // namespace
}  // namespace screenio::sim
