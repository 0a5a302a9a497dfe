// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/BackendRegistry.h"
#include "core/Trace.h"
#include "core/VendorId.h"
#include "hid/HidBackend.h"
#include "libscreenio/TracedTest.h"
#include "libscreenio/hid/FakeHidTransport.h"
#include "screenio/screenio.h"

namespace screenio::hid {
namespace {

using Bytes = std::vector<uint8_t>;
using test::FakeHidTransport;

// One vendor collection on `page` with a single 4-byte feature report.
Bytes VendorDescriptor(uint8_t pageLow) {
    return {0x06, pageLow, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x35, 0x15,
            0x00, 0x26,    0xFF, 0x00, 0x75, 0x08, 0x95, 0x04, 0xB1, 0x02, 0xC0};
}

// A keyboard-like interface of the same maker: no vendor page at top level, though a vendor
// usage sits inside its collection.
const Bytes kGenericDesktop = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x06, 0x00, 0xFF, 0x85,
                               0x01, 0x09, 0x35, 0x75, 0x08, 0x95, 0x04, 0xB1, 0x02, 0xC0};

// A Report Count item whose data bytes are missing.
const Bytes kTruncated = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x96, 0x0A};

class HidBackendTest : public screenio::test::TracedTest {
protected:
    std::vector<std::string> notes() const {
        std::vector<std::string> lines;
        for (const std::string& line : traceLines())
            if (line.find(" - note ") != std::string::npos) lines.push_back(line);
        return lines;
    }
};

TEST_F(HidBackendTest, FindKeepsMonitorInterfacesInOrderAndOpensNothing) {
    auto transport = std::make_shared<FakeHidTransport>();
    transport->addNode("hidraw1", VendorDescriptor(0x02), "MON00001");
    transport->addNode("hidraw2", kTruncated, "MON00002");
    transport->addNode("hidraw3", kGenericDesktop, "MON00003");
    transport->addNode("hidraw4", VendorDescriptor(0x30), "");
    transport->addNode("hidraw5", Bytes{}, "MON00005");
    transport->addNode("hidraw6", VendorDescriptor(0x01), "MON00006");
    HidBackend backend(transport);

    const auto devices = backend.find();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0]->describe(), "MON00001");
    EXPECT_EQ(devices[1]->describe(), "hidraw4");  // no serial number: the node's name
    EXPECT_EQ(devices[2]->describe(), "MON00006");
    EXPECT_EQ(transport->opens(), 0);
    EXPECT_EQ(transport->askedVendorId(), UsbVendorId());

    // Each interface passed over is named in the trace with the reason.
    const std::vector<std::string> lines = notes();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("hidraw2"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("truncated item"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("hidraw3"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("no monitor collection"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("hidraw5"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("empty"), std::string::npos) << lines[2];
}

TEST_F(HidBackendTest, AMonitorFoundThroughTheExportedFunctionsIsClaimedOnRetrieve) {
    auto transport = std::make_shared<FakeHidTransport>();
    transport->addNode("hidraw1", VendorDescriptor(0x00), "MON00001");
    transport->setReport(1, {'A', 'B', 'C', 'D'});
    BackendRegistry::instance().set(std::make_shared<HidBackend>(transport));
    ASSERT_EQ(KmFind(), 1);
    EXPECT_EQ(transport->opens(), 0);
    void* handle = nullptr;
    ASSERT_EQ(KmRetrieve(0, &handle), 0);
    EXPECT_EQ(transport->opens(), 1);
    uint8_t report[4] = {};
    ASSERT_EQ(KmGetFeatureArray(handle, 0xFF00, 0x35, report, 4), 0);
    EXPECT_EQ(std::string(report, report + 4), "ABCD");
}

// A vendor collection on FF`pageLow` whose feature report `reportId` holds usage `usage`.
Bytes VendorReport(uint8_t pageLow, uint8_t reportId, uint8_t usage) {
    return {0x06, pageLow, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, reportId, 0x09, usage, 0x15,
            0x00, 0x26,    0xFF, 0x00, 0x75, 0x08, 0x95, 0x01, 0xB1,     0x02, 0xC0};
}

TEST_F(HidBackendTest, AMonitorWithCollectionsOnTwoInterfacesIsOneMonitor) {
    auto transport = std::make_shared<FakeHidTransport>();
    HidNodeInfo& second = transport->addNode("hidraw5", VendorReport(0x30, 2, 0x40), "SN-A");
    second.usbDevice = "1-4";
    second.interfaceNumber = 1;
    HidNodeInfo& other = transport->addNode("hidraw6", VendorReport(0x00, 1, 0x35), "SN-B");
    other.usbDevice = "1-7";
    HidNodeInfo& first = transport->addNode("hidraw7", VendorReport(0x00, 1, 0x35), "SN-A");
    first.usbDevice = "1-4";
    first.interfaceNumber = 0;
    transport->setReport(1, {0x11});
    transport->setReport(2, {0x22});
    BackendRegistry::instance().set(std::make_shared<HidBackend>(transport));

    ASSERT_EQ(KmFind(), 2);
    void* handle = nullptr;
    ASSERT_EQ(KmRetrieve(0, &handle), 0);
    // Both interfaces are claimed, in interface order; the monitor's lock comes with the first.
    EXPECT_EQ(transport->opened(), (std::vector<std::string>{"hidraw7 SN-A", "hidraw5 "}));
    int64_t value = 0;
    ASSERT_EQ(KmGetFeatureValue(handle, 0xFF30, 0x40, &value), 0);
    EXPECT_EQ(value, 0x22);
    ASSERT_EQ(KmGetFeatureValue(handle, 0xFF00, 0x35, &value), 0);
    EXPECT_EQ(value, 0x11);
    EXPECT_EQ(transport->requestNodes(), (std::vector<std::string>{"hidraw5", "hidraw7"}));
    void* otherHandle = nullptr;
    EXPECT_EQ(KmRetrieve(1, &otherHandle), 0) << "the other monitor is not blocked";
}

TEST_F(HidBackendTest, AnInterfaceThatCannotBeOpenedLeavesNoHalfClaim) {
    auto transport = std::make_shared<FakeHidTransport>();
    HidNodeInfo& first = transport->addNode("hidraw1", VendorReport(0x00, 1, 0x35), "SN-A");
    first.usbDevice = "1-4";
    HidNodeInfo& second = transport->addNode("hidraw2", VendorReport(0x30, 2, 0x40), "SN-A");
    second.usbDevice = "1-4";
    second.interfaceNumber = 1;
    transport->failOpen("hidraw2", EBUSY);
    BackendRegistry::instance().set(std::make_shared<HidBackend>(transport));

    ASSERT_EQ(KmFind(), 1);
    void* handle = nullptr;
    EXPECT_EQ(KmRetrieve(0, &handle), SCREENIO_ERROR_BUSY);
    EXPECT_EQ(transport->openConnections(), 0);
    transport->failOpen("hidraw2", 0);
    EXPECT_EQ(KmRetrieve(0, &handle), 0);
    EXPECT_EQ(transport->openConnections(), 2);
}

}  // namespace
}  // namespace screenio::hid
