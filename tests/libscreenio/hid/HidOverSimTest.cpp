// SPDX-License-Identifier: Apache-2.0
// The HID backend against simulated monitors through the fake transport: the exported
// functions all the way down to feature reports, with transport faults injected below the
// backend for every errno a request can meet.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/BackendRegistry.h"
#include "core/VendorId.h"
#include "hid/HidBackend.h"
#include "screenio/screenio.h"
#include "sim/SimBackend.h"
#include "sim/SimClock.h"
#include "sim/SimConfig.h"
#include "sim/SimMonitor.h"
#include "support/SimHidTransport.h"

namespace screenio::hid {
namespace {

using sim::SimHidTransport;
using Request = SimHidTransport::TestRequest;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint16_t kPageGeneral = 0xFF00;
constexpr uint16_t kPageFiles = 0xFF02;
constexpr uint16_t kOsd = 0x0F;
constexpr uint16_t kSerialProduct = 0x35;
constexpr uint16_t kTransferState = 0xFB;
const std::string kSerial = "HS000001";

sim::MonitorDescription FilesMonitor(const std::string& serial) {
    sim::MonitorDescription description;
    description.product = "Hid Bench";
    description.serial = serial;
    description.kind = sim::MonitorKind::Files;
    sim::DeviceDescription device;
    device.id = 0;
    device.name = "Scaler";
    device.fileName = "SCL000";
    device.version = 105;
    device.displayOrder = 1;
    description.devices = {device};
    return description;
}

class HidOverSimTest : public testing::Test {
protected:
    void SetUp() override {
        sim::SimConfig config;
        config.monitors = {FilesMonitor(kSerial)};
        m_sim = std::make_shared<sim::SimBackend>(std::move(config));
        m_transport = std::make_shared<SimHidTransport>(m_sim, UsbVendorId());
        // Stalls are waited out on a clock of the test's own, so they cost no time.
        HidStallRetry retry;
        retry.now = [this] { return m_now; };
        retry.sleep = [this](milliseconds d) {
            m_now += d;
            ++m_sleeps;
        };
        BackendRegistry::instance().set(std::make_shared<HidBackend>(m_transport, retry));
        search();
    }
    void TearDown() override {
        KmRelease();
        BackendRegistry::instance().set(nullptr);
    }

    void search() {
        m_handle = nullptr;
        ASSERT_EQ(KmFind(), 1);
        ASSERT_EQ(KmRetrieve(0, &m_handle), 0);
    }
    sim::SimMonitor& monitor() { return *m_sim->monitors().at(0); }
    uint32_t gets() { return m_transport->testRequestCount(Node(), Request::Get); }
    uint32_t sets() { return m_transport->testRequestCount(Node(), Request::Set); }
    static std::string Node() { return SimHidTransport::NodeName(kSerial); }

    std::shared_ptr<sim::SimBackend> m_sim;
    std::shared_ptr<SimHidTransport> m_transport;
    void* m_handle = nullptr;
    Clock::time_point m_now{};
    int m_sleeps = 0;
};

TEST_F(HidOverSimTest, ValuesKeepTheirSignAndRangeThroughReports) {
    for (int64_t v : {int64_t(-5), int64_t(0x4000), int64_t(0x8000), int64_t(0x7FFFFF),
                      int64_t(-0x800000), int64_t(0)}) {
        SCOPED_TRACE(v);
        ASSERT_EQ(KmSetFeatureValue(m_handle, kPageGeneral, kOsd, v), 0);
        EXPECT_EQ(monitor().osdValue(), v);
        int64_t back = 12345;
        ASSERT_EQ(KmGetFeatureValue(m_handle, kPageGeneral, kOsd, &back), 0);
        EXPECT_EQ(back, v);
    }
    // Outside the declared range: refused before anything is sent, not truncated.
    const uint32_t before = sets();
    EXPECT_EQ(KmSetFeatureValue(m_handle, kPageGeneral, kOsd, 0x800000),
              SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(KmSetFeatureValue(m_handle, kPageGeneral, kOsd, -0x800001),
              SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(KmSetFeatureValue(m_handle, kPageFiles, kTransferState, -1),
              SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(KmSetFeatureValue(m_handle, kPageFiles, kTransferState, 0x100000000),
              SCREENIO_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(sets(), before);
    EXPECT_EQ(monitor().osdValue(), 0);
    // The widest unsigned value of the 32-bit field arrives whole.
    ASSERT_EQ(KmSetFeatureValue(m_handle, kPageFiles, kTransferState, 0xFFFFFFFF), 0);
    EXPECT_EQ(monitor().transferState(), 0xFFFFFFFFu);
}

TEST_F(HidOverSimTest, FixedDataComesFromTheDescriptorAlone) {
    for (const sim::SimUsage& u : monitor().usages()) {
        SCOPED_TRACE(testing::Message() << std::hex << u.page << "/" << u.usage);
        uint8_t flag = 1;
        uint32_t count = 99;
        ASSERT_EQ(
            KmGetFixedData(m_handle, u.page, u.usage, nullptr, nullptr, nullptr, &flag, &count), 0);
        EXPECT_EQ(flag, 0);
        EXPECT_EQ(count, u.count);
    }
    uint8_t flag = 7;
    uint32_t count = 99;
    ASSERT_EQ(KmGetFixedData(m_handle, 0xFF30, 0x11, nullptr, nullptr, nullptr, &flag, &count), 0);
    EXPECT_EQ(flag, 7);  // left as the caller set it
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(gets() + sets(), 0u);

    std::vector<uint8_t> report(24);
    ASSERT_EQ(KmGetFeatureArray(m_handle, kPageGeneral, kSerialProduct, report.data(), 24), 0);
    EXPECT_EQ(std::string(report.begin(), report.begin() + 8), kSerial);
    EXPECT_EQ(KmGetFeatureArray(m_handle, kPageGeneral, kSerialProduct, report.data(), 23),
              SCREENIO_ERROR_LENGTH);
    EXPECT_EQ(gets(), 1u);
}

// A read meeting one errno value: stalls are retried, everything else is final at once.
TEST_F(HidOverSimTest, ReadErrorsBecomeStatuses) {
    struct Case {
        int error;
        uint32_t times;
        KmError status;
        uint32_t reads;  // requests that reached the transport
    } const cases[] = {
        {EPIPE, 1, 0, 2},
        {EPIPE, 4, 0, 5},
        {ETIMEDOUT, 1, SCREENIO_ERROR_TIMEOUT, 1},
        {EIO, 1, SCREENIO_ERROR_IO, 1},
        {EPROTO, 1, SCREENIO_ERROR_IO, 1},
        {EOVERFLOW, 1, SCREENIO_ERROR_IO, 1},
        {EINTR, 1, SCREENIO_ERROR_IO, 1},
        {ENODEV, 1, SCREENIO_ERROR_GONE, 1},
        {ENOENT, 1, SCREENIO_ERROR_GONE, 1},
        {ESHUTDOWN, 1, SCREENIO_ERROR_GONE, 1},
    };
    ASSERT_EQ(KmSetFeatureValue(m_handle, kPageFiles, kTransferState, 3), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "errno " << c.error << " x" << c.times);
        search();  // a device found gone stays gone until the next search
        m_transport->testFailRequests(Node(), Request::Get, c.error, 1, c.times);
        const uint32_t before = gets();
        int64_t value = -1;
        EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value), c.status);
        EXPECT_EQ(gets() - before, c.reads);
        EXPECT_EQ(value, c.status == 0 ? 3 : -1);
        m_transport->testClearFaults();
    }
}

// A write is sent once: a stalled one may have been acted on, so it is not repeated.
TEST_F(HidOverSimTest, WriteErrorsBecomeStatusesWithoutRetry) {
    struct Case {
        int error;
        KmError status;
    } const cases[] = {
        {EPIPE, SCREENIO_ERROR_REJECTED}, {ETIMEDOUT, SCREENIO_ERROR_TIMEOUT},
        {EIO, SCREENIO_ERROR_IO},         {EPROTO, SCREENIO_ERROR_IO},
        {ENODEV, SCREENIO_ERROR_GONE},    {ESHUTDOWN, SCREENIO_ERROR_GONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "errno " << c.error);
        search();
        m_transport->testFailRequests(Node(), Request::Set, c.error, 1, 0);
        const uint32_t before = sets();
        EXPECT_EQ(KmSetFeatureValue(m_handle, kPageFiles, kTransferState, 2), c.status);
        EXPECT_EQ(sets() - before, 1u);
        EXPECT_EQ(monitor().transferState(), 0u);
        m_transport->testClearFaults();
    }
    EXPECT_EQ(m_sleeps, 0);
}

TEST_F(HidOverSimTest, AStallOutlastingAboutATenthOfASecondIsRejected) {
    m_transport->testFailRequests(Node(), Request::Get, EPIPE, 1, 0);
    const Clock::time_point start = m_now;
    int64_t value = 0;
    EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value),
              SCREENIO_ERROR_REJECTED);
    const auto waited = std::chrono::duration_cast<milliseconds>(m_now - start);
    EXPECT_GE(waited.count(), 100);
    EXPECT_LE(waited.count(), 110);
    EXPECT_EQ(gets(), uint32_t(m_sleeps) + 1);
    EXPECT_GE(m_sleeps, 10);  // short pauses, not one long wait
    // The device is still usable: a stall is the monitor being busy, not gone.
    m_transport->testClearFaults();
    EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value), 0);
}

// The same with the real clock, as the library runs by default.
TEST_F(HidOverSimTest, TheDefaultStallBudgetIsMeasuredOnTheSteadyClock) {
    BackendRegistry::instance().set(std::make_shared<HidBackend>(m_transport));
    search();
    m_transport->testFailRequests(Node(), Request::Get, EPIPE, 1, 0);
    const Clock::time_point start = Clock::now();
    const uint32_t before = gets();
    int64_t value = 0;
    EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value),
              SCREENIO_ERROR_REJECTED);
    const auto waited = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    EXPECT_GE(waited.count(), 100);
    EXPECT_LT(waited.count(), 1000);
    EXPECT_GT(gets() - before, 2u);
}

TEST_F(HidOverSimTest, AShortReportIsAnIoErrorAndNoneOfItIsUsed) {
    ASSERT_EQ(KmSetFeatureValue(m_handle, kPageFiles, kTransferState, 0x01020304), 0);
    m_transport->testShortReads(Node(), 1, 2);
    std::vector<uint8_t> report(24, 0xEE);
    EXPECT_EQ(KmGetFeatureArray(m_handle, kPageGeneral, kSerialProduct, report.data(), 24),
              SCREENIO_ERROR_IO);
    EXPECT_EQ(report, std::vector<uint8_t>(24, 0xEE));
    int64_t value = -7;
    EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value), SCREENIO_ERROR_IO);
    EXPECT_EQ(value, -7);
    // Whole reports again.
    EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value), 0);
    EXPECT_EQ(value, 0x01020304);
}

TEST_F(HidOverSimTest, OnceGoneNothingReachesTheTransportUntilTheNextSearch) {
    m_transport->testFailRequests(Node(), Request::Get, ENODEV, 1, 1);
    int64_t value = 0;
    ASSERT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value), SCREENIO_ERROR_GONE);
    const uint32_t reads = gets(), writes = sets();
    uint8_t buffer[24] = {};
    uint8_t flag = 1;
    uint32_t count = 0;
    EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value), SCREENIO_ERROR_GONE);
    EXPECT_EQ(KmSetFeatureValue(m_handle, kPageFiles, kTransferState, 1), SCREENIO_ERROR_GONE);
    EXPECT_EQ(KmGetFeatureArray(m_handle, kPageGeneral, kSerialProduct, buffer, 24),
              SCREENIO_ERROR_GONE);
    EXPECT_EQ(KmSetFeatureArray(m_handle, kPageGeneral, kSerialProduct, buffer, 24),
              SCREENIO_ERROR_GONE);
    EXPECT_EQ(KmGetFixedData(m_handle, kPageGeneral, kSerialProduct, nullptr, nullptr, nullptr,
                             &flag, &count),
              SCREENIO_ERROR_GONE);
    EXPECT_EQ(gets(), reads);
    EXPECT_EQ(sets(), writes);

    search();
    EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value), 0);
}

TEST_F(HidOverSimTest, AMonitorThatLeftTheBusIsGoneOnItsOldConnection) {
    monitor().powerCycle();
    int64_t value = 0;
    EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value), SCREENIO_ERROR_GONE);
    // Restarting, it is not on the bus; back, it is found and answers on a new connection.
    EXPECT_EQ(KmFind(), 0);
    sim::SimClock::advance(int64_t(monitor().description().restartMs + 1) * 1000);
    search();
    EXPECT_EQ(KmGetFeatureValue(m_handle, kPageFiles, kTransferState, &value), 0);
}

TEST_F(HidOverSimTest, AFailedClaimGivesNoHandle) {
    struct Case {
        int error;
        KmError status;
    } const cases[] = {
        {EBUSY, SCREENIO_ERROR_BUSY},   {EACCES, SCREENIO_ERROR_ACCESS},
        {EPERM, SCREENIO_ERROR_ACCESS}, {ENODEV, SCREENIO_ERROR_GONE},
        {ENOENT, SCREENIO_ERROR_GONE},  {EIO, SCREENIO_ERROR_IO},
        {ENOLCK, SCREENIO_ERROR_LOCK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "errno " << c.error);
        m_transport->testFailOpen(Node(), c.error);
        // The search itself opens nothing, so it still finds the monitor.
        ASSERT_EQ(KmFind(), 1);
        void* handle = &m_handle;
        EXPECT_EQ(KmRetrieve(0, &handle), c.status);
        EXPECT_EQ(handle, static_cast<void*>(&m_handle));
        EXPECT_EQ(m_transport->testOpenConnections(Node()), 0u);
        // Another program letting go: the same search can claim it now, unless it left.
        m_transport->testFailOpen(Node(), 0);
        EXPECT_EQ(KmRetrieve(0, &handle), c.status == SCREENIO_ERROR_GONE ? c.status : 0);
    }
}

// The claim is one open connection, held from KmRetrieve until the search is dropped.
TEST_F(HidOverSimTest, TheClaimLastsAsLongAsTheSearch) {
    EXPECT_EQ(m_transport->testOpenConnections(Node()), 1u);
    void* again = nullptr;
    ASSERT_EQ(KmRetrieve(0, &again), 0);
    EXPECT_EQ(again, m_handle);
    EXPECT_EQ(m_transport->testOpenConnections(Node()), 1u);

    ASSERT_EQ(KmFind(), 1);
    EXPECT_EQ(m_transport->testOpenConnections(Node()), 0u);
    ASSERT_EQ(KmRetrieve(0, &again), 0);
    EXPECT_EQ(m_transport->testOpenConnections(Node()), 1u);
    KmRelease();
    EXPECT_EQ(m_transport->testOpenConnections(Node()), 0u);
}

TEST_F(HidOverSimTest, TheFakeTransportListsPresentMonitorsOfItsVendorOnly) {
    const uint16_t vendor = UsbVendorId();
    EXPECT_TRUE(m_transport->enumerate(uint16_t(vendor ^ 1)).empty());
    const std::vector<HidNodeInfo> nodes = m_transport->enumerate(vendor);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].node, "sim:" + kSerial);
    EXPECT_EQ(nodes[0].serial, kSerial);
    EXPECT_EQ(nodes[0].vendorId, vendor);
    EXPECT_EQ(nodes[0].interfaceNumber, 0);
    EXPECT_FALSE(nodes[0].descriptor.empty());
    monitor().powerCycle();
    EXPECT_TRUE(m_transport->enumerate(vendor).empty());
}

}  // namespace
}  // namespace screenio::hid
