// SPDX-License-Identifier: Apache-2.0
// The library's hidraw backend against report layouts the simulated monitors do not use, and
// against a node that the kernel hands to another device between a search and the claim:
// unnumbered reports (report ID 0), several fields in one report with data the library does not
// name, and the reused node. The devices serve plain report bytes, so what the library wrote is
// checked byte for byte on the device's side.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "HidrawNode.h"
#include "ServingThread.h"
#include "UhidDevice.h"
#include "screenio/screenio.h"

namespace kerneltest {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kBuildVendor = KERNEL_TEST_BUILD_VENDOR_ID;
constexpr uint16_t kVendor = kBuildVendor == 0xFFF2 ? 0xFFF3 : 0xFFF2;
constexpr uint16_t kProduct = 0x0B28;
constexpr uint16_t kPage = 0xFF00;

// Feature reports as plain bytes (without the ID byte), kept as the library last wrote them.
class ReportStore : public UhidDevice::Handler {
public:
    explicit ReportStore(std::map<uint8_t, Bytes> reports) : m_reports(std::move(reports)) {}

    int getReport(uint8_t reportId, UhidReportType type, Bytes& reply) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_reports.find(reportId);
        if (type != UhidReportType::Feature || it == m_reports.end()) return EPROTO;
        ++m_gets;
        // hidraw's buffer starts with the report ID, 0 for unnumbered reports too.
        reply.assign(1, reportId);
        reply.insert(reply.end(), it->second.begin(), it->second.end());
        return 0;
    }
    int setReport(uint8_t reportId, UhidReportType type, const Bytes& report) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_reports.find(reportId);
        if (type != UhidReportType::Feature || it == m_reports.end()) return EPROTO;
        if (report.size() != it->second.size() + 1 || report[0] != reportId) return EPROTO;
        ++m_sets;
        it->second.assign(report.begin() + 1, report.end());
        return 0;
    }

    Bytes report(uint8_t id) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reports.at(id);
    }
    unsigned requests() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_gets + m_sets;
    }

private:
    mutable std::mutex m_mutex;
    std::map<uint8_t, Bytes> m_reports;
    unsigned m_gets = 0;
    unsigned m_sets = 0;
};

// One uhid device serving a ReportStore, created at once and destroyed with the object.
class StoreDevice {
public:
    StoreDevice(const std::string& serial, Bytes descriptor, std::map<uint8_t, Bytes> reports)
        : m_store(std::move(reports)), m_serving(m_device, m_store, serial) {
        m_identity.name = "Kernel test layout " + serial;
        m_identity.uniq = serial;
        m_identity.vendor = kVendor;
        m_identity.product = kProduct;
        m_identity.descriptor = std::move(descriptor);
        m_device.create(m_identity);
        m_node = HidrawNode::find(m_identity.bus, kVendor, kProduct, serial, 10000);
    }
    ~StoreDevice() { m_device.destroy(); }
    StoreDevice(const StoreDevice&) = delete;
    StoreDevice& operator=(const StoreDevice&) = delete;

    const std::optional<std::string>& node() const { return m_node; }
    const ReportStore& store() const { return m_store; }
    bool healthy() const { return m_serving.healthy(); }

private:
    UhidIdentity m_identity;
    UhidDevice m_device;
    ReportStore m_store;
    ServingThread m_serving;  // last: stops serving before the store and device go
    std::optional<std::string> m_node;
};

template <typename Predicate> bool WaitFor(Predicate done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Usage Page FF00, Usage 01, Collection (Application), `body`, End Collection.
Bytes VendorCollection(std::initializer_list<uint8_t> body) {
    static const uint8_t kHead[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    Bytes out;
    out.reserve(sizeof kHead + body.size() + 1);
    out.insert(out.end(), std::begin(kHead), std::end(kHead));
    out.insert(out.end(), body.begin(), body.end());
    out.push_back(0xC0);
    return out;
}

// No Report ID item: one unnumbered report of a byte 20, a 16-bit 21 and a 4-byte buffer 22.
const Bytes kUnnumbered =
    VendorCollection({0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x01, 0x09, 0x20, 0xB1,
                      0x02, 0x27, 0xFF, 0xFF, 0x00, 0x00, 0x75, 0x10, 0x09, 0x21, 0xB1, 0x02,
                      0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x04, 0x09, 0x22, 0xB1, 0x02});

// Report 4: usage 30 alone. Report 5: 30 again (byte 0), a 4-bit 31 and a signed 12-bit 32
// sharing bytes 1 and 2, a data byte without a usage, and padding. Report 6: usage 33 and a
// data byte without a usage.
const Bytes kSeveralFields = VendorCollection(
    {0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x01, 0x85, 0x04, 0x09, 0x30, 0xB1, 0x02,
     0x85, 0x05, 0x09, 0x30, 0xB1, 0x02, 0x25, 0x0F, 0x75, 0x04, 0x09, 0x31, 0xB1, 0x02, 0x16,
     0x00, 0xF8, 0x26, 0xFF, 0x07, 0x75, 0x0C, 0x09, 0x32, 0xB1, 0x02, 0x15, 0x00, 0x26, 0xFF,
     0x00, 0x75, 0x08, 0xB1, 0x02, 0xB1, 0x03, 0x85, 0x06, 0x09, 0x33, 0xB1, 0x02, 0xB1, 0x02});

class KernelLayouts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char id[8];
        std::snprintf(id, sizeof id, "%04x", kVendor);
        ::setenv("SCREENIO_USB_VENDOR_ID", id, 1);
        ::unsetenv("SCREENIO_SIM");
    }
    void TearDown() override { KmRelease(); }

    // The handle of the only monitor found.
    static void* onlyMonitor() {
        KmRelease();
        EXPECT_EQ(KmFind(), 1);
        void* handle = nullptr;
        EXPECT_EQ(KmRetrieve(0, &handle), 0);
        return handle;
    }
};

TEST_F(KernelLayouts, UnnumberedReportsRoundTrip) {
    StoreDevice device("LAYOUT-0", kUnnumbered, {{0, {0x11, 0x22, 0x33, 1, 2, 3, 4}}});
    ASSERT_TRUE(device.node());
    void* monitor = onlyMonitor();
    ASSERT_NE(monitor, nullptr);
    int64_t value = 0;
    ASSERT_EQ(KmGetFeatureValue(monitor, kPage, 0x21, &value), 0);
    EXPECT_EQ(value, 0x3322);
    ASSERT_EQ(KmSetFeatureValue(monitor, kPage, 0x21, 0xBEEF), 0);
    EXPECT_EQ(device.store().report(0), (Bytes{0x11, 0xEF, 0xBE, 1, 2, 3, 4}));
    const uint8_t buffer[4] = {9, 8, 7, 6};
    ASSERT_EQ(KmSetFeatureArray(monitor, kPage, 0x22, buffer, 4), 0);
    EXPECT_EQ(device.store().report(0), (Bytes{0x11, 0xEF, 0xBE, 9, 8, 7, 6}));
    uint8_t read[4] = {};
    ASSERT_EQ(KmGetFeatureArray(monitor, kPage, 0x22, read, 4), 0);
    EXPECT_EQ(Bytes(read, read + 4), (Bytes{9, 8, 7, 6}));
    EXPECT_TRUE(device.healthy());
}

TEST_F(KernelLayouts, AFieldWrittenKeepsEveryOtherDataBitOfItsReport) {
    StoreDevice device("LAYOUT-5", kSeveralFields,
                       {{4, {0x44}}, {5, {0x55, 0x5A, 0xC3, 0x77, 0x00}}, {6, {0x66, 0x67}}});
    ASSERT_TRUE(device.node());
    void* monitor = onlyMonitor();
    ASSERT_NE(monitor, nullptr);
    int64_t value = 0;
    ASSERT_EQ(KmGetFeatureValue(monitor, kPage, 0x32, &value), 0);
    EXPECT_EQ(value, -971);  // 0xC35
    ASSERT_EQ(KmSetFeatureValue(monitor, kPage, 0x32, 2047), 0);
    EXPECT_EQ(device.store().report(5), (Bytes{0x55, 0xFA, 0x7F, 0x77, 0x00}));
    ASSERT_EQ(KmSetFeatureValue(monitor, kPage, 0x31, 3), 0);
    EXPECT_EQ(device.store().report(5), (Bytes{0x55, 0xF3, 0x7F, 0x77, 0x00}));
    // Usage 30 is report 4's.
    ASSERT_EQ(KmSetFeatureValue(monitor, kPage, 0x30, 0x99), 0);
    EXPECT_EQ(device.store().report(4), (Bytes{0x99}));
    EXPECT_EQ(device.store().report(5)[0], 0x55);
    ASSERT_EQ(KmSetFeatureValue(monitor, kPage, 0x33, 0x01), 0);
    EXPECT_EQ(device.store().report(6), (Bytes{0x01, 0x67}));
    EXPECT_TRUE(device.healthy());
}

TEST_F(KernelLayouts, ANodeHandedToAnotherDeviceAfterTheSearchIsNotDriven) {
    const std::map<uint8_t, Bytes> reports = {{4, {0x44}}, {5, {0, 0, 0, 0, 0}}, {6, {0, 0}}};
    auto first = std::make_unique<StoreDevice>("REUSE-A", kSeveralFields, reports);
    ASSERT_TRUE(first->node());
    const std::string name = *first->node();
    KmRelease();
    ASSERT_EQ(KmFind(), 1);

    // It leaves, and another monitor of the same model comes on the freed node.
    first.reset();
    ASSERT_TRUE(WaitFor([&] { return !HidrawNode::exists(name); }, 5000));
    StoreDevice second("REUSE-B", kSeveralFields, reports);
    ASSERT_TRUE(second.node());
    ASSERT_EQ(*second.node(), name) << "the kernel gave the new device another node";

    void* handle = nullptr;
    EXPECT_EQ(KmRetrieve(0, &handle), SCREENIO_ERROR_GONE);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(second.store().requests(), 0u) << "the other monitor was driven";
    // A new search finds the new monitor, which is then claimed as usual.
    void* monitor = onlyMonitor();
    ASSERT_NE(monitor, nullptr);
    int64_t value = 0;
    EXPECT_EQ(KmGetFeatureValue(monitor, kPage, 0x30, &value), 0);
    EXPECT_TRUE(second.healthy());
}

}  // namespace
}  // namespace kerneltest
