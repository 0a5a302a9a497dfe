// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "hid/HidDescriptor.h"
#include "sim/SimMonitor.h"
#include "support/SimHidBridge.h"

namespace screenio::sim {
namespace {

constexpr uint16_t kPageGeneral = 0xFF00;
constexpr uint16_t kPageFiles = 0xFF02;
constexpr uint16_t kOsd = 0x0F;
constexpr uint16_t kSerialProduct = 0x35;
constexpr uint16_t kTransferState = 0xFB;

MonitorDescription DescriptionOf(MonitorKind kind) {
    MonitorDescription description;
    description.product = "Bridge";
    description.serial = "BR000001";
    description.kind = kind;
    DeviceDescription device;
    device.id = 0;
    device.name = "Scaler";
    device.fileName = "SCL000";
    device.version = 105;
    device.displayOrder = 1;
    device.address = 0x10000;
    device.flagAddress = 0xF0000;
    description.devices = {device};
    return description;
}

hid::HidDescriptor Parse(const SimHidBridge& bridge) {
    return hid::HidDescriptor::parse(bridge.descriptor().data(), bridge.descriptor().size());
}

uint8_t ReportOf(const SimHidBridge& bridge, uint16_t page, uint16_t usage) {
    const hid::HidDescriptor d = Parse(bridge);
    const hid::HidField* f = d.feature(page, usage);
    return f ? f->reportId : 0;
}

// The generated descriptor declares every usage the monitor offers, where a host expects it.
TEST(SimHidBridgeTest, DescriptorDeclaresEveryOfferedUsage) {
    for (MonitorKind kind :
         {MonitorKind::Files, MonitorKind::Legacy, MonitorKind::MStar, MonitorKind::ZV}) {
        SCOPED_TRACE(int(kind));
        auto monitor = std::make_shared<SimMonitor>(DescriptionOf(kind));
        SimHidBridge bridge(monitor);
        const hid::HidDescriptor d = Parse(bridge);
        std::set<uint16_t> pages;
        std::set<uint8_t> ids;
        for (const SimUsage& u : monitor->usages()) {
            SCOPED_TRACE(testing::Message() << std::hex << u.page << "/" << u.usage);
            pages.insert(u.page);
            const hid::HidField* f = d.feature(u.page, u.usage);
            ASSERT_NE(f, nullptr);
            EXPECT_TRUE(ids.insert(f->reportId).second) << "report ID shared";
            EXPECT_FALSE(f->isArray);
            if (u.count > 0) {
                EXPECT_EQ(f->bitOffset, 0u);
                EXPECT_EQ(f->bitSize, 8u);
                EXPECT_EQ(f->count, u.count);
                EXPECT_EQ(f->reportLength, u.count);
            } else {
                // A value never starts the report, so hosts must honour the bit offset.
                EXPECT_EQ(f->bitOffset, 8u);
                EXPECT_EQ(f->count, 1u);
                EXPECT_EQ(f->reportLength, 1 + f->bitSize / 8);
            }
        }
        EXPECT_EQ(d.features().size(), monitor->usages().size());
        EXPECT_EQ(*ids.begin(), 1);
        EXPECT_EQ(*ids.rbegin(), ids.size());
        for (uint16_t page : {0xFF00, 0xFF01, 0xFF02, 0xFF30})
            EXPECT_EQ(d.hasTopLevelCollectionOnPage(page), pages.count(page) != 0) << page;
    }
}

TEST(SimHidBridgeTest, ValueFieldsHaveRealisticWidths) {
    auto monitor = std::make_shared<SimMonitor>(DescriptionOf(MonitorKind::Files));
    SimHidBridge bridge(monitor);
    const hid::HidDescriptor d = Parse(bridge);
    const hid::HidField* osd = d.feature(kPageGeneral, kOsd);
    ASSERT_NE(osd, nullptr);
    EXPECT_TRUE(osd->isSigned);
    EXPECT_EQ(osd->bitSize, 24u);
    EXPECT_EQ(osd->logicalMinimum, -0x800000);
    EXPECT_EQ(osd->logicalMaximum, 0x7FFFFF);
    const hid::HidField* state = d.feature(kPageFiles, kTransferState);
    ASSERT_NE(state, nullptr);
    EXPECT_FALSE(state->isSigned);
    EXPECT_EQ(state->bitSize, 32u);
    EXPECT_EQ(state->logicalMaximum, 0xFFFFFFFF);
}

TEST(SimHidBridgeTest, ValuesTravelAfterThePaddingByteWithTheirSign) {
    auto monitor = std::make_shared<SimMonitor>(DescriptionOf(MonitorKind::Files));
    SimHidBridge bridge(monitor);
    const uint64_t c = monitor->connection();
    const uint8_t osd = ReportOf(bridge, kPageGeneral, kOsd);

    const uint8_t negative[] = {0xEE, 0xFB, 0xFF, 0xFF};  // padding, then -5 in 24 bits
    ASSERT_EQ(bridge.setFeature(c, osd, negative, sizeof negative), 4);
    EXPECT_EQ(monitor->osdValue(), -5);

    ASSERT_EQ(monitor->setValue(c, kPageGeneral, kOsd, 0x4000), 0);
    uint8_t report[4] = {9, 9, 9, 9};
    ASSERT_EQ(bridge.getFeature(c, osd, report, sizeof report), 4);
    EXPECT_EQ(std::vector<uint8_t>(report, report + 4), (std::vector<uint8_t>{0, 0x00, 0x40, 0}));
}

TEST(SimHidBridgeTest, ArraysAreServedByTheMonitor) {
    auto monitor = std::make_shared<SimMonitor>(DescriptionOf(MonitorKind::Files));
    SimHidBridge bridge(monitor);
    const uint64_t c = monitor->connection();
    const uint8_t id = ReportOf(bridge, kPageGeneral, kSerialProduct);
    std::vector<uint8_t> report(24);
    ASSERT_EQ(bridge.getFeature(c, id, report.data(), report.size()), 24);
    EXPECT_EQ(std::string(report.begin(), report.begin() + 8), "BR000001");
    // A shorter request gets the report cut short, a longer one the whole report.
    std::vector<uint8_t> shorter(5), longer(40);
    EXPECT_EQ(bridge.getFeature(c, id, shorter.data(), shorter.size()), 5);
    EXPECT_EQ(std::string(shorter.begin(), shorter.end()), "BR000");
    EXPECT_EQ(bridge.getFeature(c, id, longer.data(), longer.size()), 24);
}

TEST(SimHidBridgeTest, RequestsTheDeviceCannotTakeGiveEinval) {
    auto monitor = std::make_shared<SimMonitor>(DescriptionOf(MonitorKind::Files));
    SimHidBridge bridge(monitor);
    const uint64_t c = monitor->connection();
    monitor->setRecording(true);
    uint8_t buffer[600] = {};
    const uint8_t osd = ReportOf(bridge, kPageGeneral, kOsd);
    EXPECT_EQ(bridge.getFeature(c, 0, buffer, 4), -EINVAL);
    EXPECT_EQ(bridge.getFeature(c, 200, buffer, 4), -EINVAL);
    EXPECT_EQ(bridge.setFeature(c, 200, buffer, 4), -EINVAL);
    EXPECT_EQ(bridge.setFeature(c, osd, buffer, 3), -EINVAL);
    EXPECT_EQ(bridge.setFeature(c, osd, buffer, 5), -EINVAL);
    EXPECT_TRUE(monitor->history().empty());
}

TEST(SimHidBridgeTest, MonitorFailuresBecomeErrnoValues) {
    struct Case {
        KmError status;
        int error;
    } const cases[] = {{SCREENIO_ERROR_IO, EIO},         {SCREENIO_ERROR_TIMEOUT, ETIMEDOUT},
                       {SCREENIO_ERROR_GONE, ENODEV},    {SCREENIO_ERROR_REJECTED, EPIPE},
                       {SCREENIO_ERROR_LENGTH, EIO},     {SCREENIO_ERROR_INTERNAL, EIO},
                       {SCREENIO_ERROR_NOT_OFFERED, EIO}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.status);
        EXPECT_EQ(SimHidBridge::ErrnoFor(k.status), k.error);
        auto monitor = std::make_shared<SimMonitor>(DescriptionOf(MonitorKind::Files));
        SimHidBridge bridge(monitor);
        FaultRule rule;
        rule.page = kPageFiles;
        rule.usage = kTransferState;
        rule.status = k.status;
        monitor->addFault(rule);
        uint8_t report[5] = {};
        const uint8_t id = ReportOf(bridge, kPageFiles, kTransferState);
        EXPECT_EQ(bridge.getFeature(monitor->connection(), id, report, sizeof report), -k.error);
    }
}

TEST(SimHidBridgeTest, AnOldConnectionGetsEnodevOnceTheMonitorLeftTheBus) {
    auto monitor = std::make_shared<SimMonitor>(DescriptionOf(MonitorKind::Files));
    SimHidBridge bridge(monitor);
    const uint64_t before = monitor->connection();
    const uint8_t id = ReportOf(bridge, kPageFiles, kTransferState);
    uint8_t report[5] = {};
    ASSERT_EQ(bridge.getFeature(before, id, report, sizeof report), 5);
    monitor->powerCycle();
    EXPECT_EQ(bridge.getFeature(before, id, report, sizeof report), -ENODEV);
    EXPECT_EQ(bridge.setFeature(before, id, report, sizeof report), -ENODEV);
}

}  // namespace
}  // namespace screenio::sim
