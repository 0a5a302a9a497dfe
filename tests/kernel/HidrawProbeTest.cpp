// SPDX-License-Identifier: Apache-2.0
// The kernel's side of the path, checked without the library: a uhid device with a small
// vendor-page descriptor gets a hidraw node with the right ids, its feature reports round-trip
// through HIDIOCGFEATURE and HIDIOCSFEATURE with the report ID as first byte, failures and short
// replies come through, and a device destroyed and created again gets a new node. A fault here
// lies in the kernel set-up or the uhid device, not in the library.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "HidrawNode.h"
#include "ServingThread.h"
#include "UhidDevice.h"

namespace kerneltest {
namespace {

constexpr uint16_t kVendor = 0xFFF1;
constexpr uint16_t kProduct = 0x0B0E;

// Report IDs and their data lengths (without the ID byte).
constexpr uint8_t kFixed = 1;    // always the same bytes
constexpr uint8_t kEcho = 2;     // gives back what was last set
constexpr uint8_t kFailing = 3;  // every request fails
constexpr uint8_t kShort = 4;    // answered with fewer bytes than declared
constexpr size_t kFixedLength = 7;
constexpr size_t kEchoLength = 32;
constexpr size_t kFailingLength = 4;
constexpr size_t kShortDeclared = 16;
constexpr size_t kShortReply = 5;

// One vendor-page application collection with four feature reports of bytes.
std::vector<uint8_t> ProbeDescriptor() {
    std::vector<uint8_t> d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    const struct {
        uint8_t id;
        uint8_t usage;
        size_t count;
    } reports[] = {{kFixed, 0x10, kFixedLength},
                   {kEcho, 0x11, kEchoLength},
                   {kFailing, 0x12, kFailingLength},
                   {kShort, 0x13, kShortDeclared}};
    for (const auto& r : reports) {
        const uint8_t items[] = {0x85, r.id, 0x09, r.usage,          0x15, 0x00, 0x26, 0xFF, 0x00,
                                 0x75, 0x08, 0x95, uint8_t(r.count), 0xB1, 0x02};
        d.insert(d.end(), std::begin(items), std::end(items));
    }
    d.push_back(0xC0);
    return d;
}

std::vector<uint8_t> FixedReport() {
    std::vector<uint8_t> report = {kFixed};
    for (size_t i = 0; i < kFixedLength; ++i) report.push_back(uint8_t(0xA1 + i));
    return report;
}

// A report buffer as hidraw takes it: the ID byte, then `length` bytes.
std::vector<uint8_t> Request(uint8_t id, size_t length) {
    std::vector<uint8_t> report(1 + length, 0);
    report[0] = id;
    return report;
}

// Serves the probe's reports and remembers what the kernel passed in.
class ProbeHandler : public UhidDevice::Handler {
public:
    int getReport(uint8_t reportId, UhidReportType type, std::vector<uint8_t>& reply) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (type != UhidReportType::Feature) return EINVAL;
        switch (reportId) {
        case kFixed: reply = FixedReport(); return 0;
        case kEcho: reply = m_echo.empty() ? Request(kEcho, kEchoLength) : m_echo; return 0;
        case kShort:
            reply.assign(1 + kShortReply, 0x5A);
            reply[0] = kShort;
            return 0;
        default: return EPROTO;
        }
    }

    int setReport(uint8_t reportId, UhidReportType type,
                  const std::vector<uint8_t>& report) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastSetId = reportId;
        m_lastSet = report;
        if (type != UhidReportType::Feature || reportId != kEcho) return EPROTO;
        m_echo = report;
        return 0;
    }

    uint8_t lastSetId() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastSetId;
    }
    std::vector<uint8_t> lastSet() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastSet;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<uint8_t> m_echo;
    uint8_t m_lastSetId = 0;
    std::vector<uint8_t> m_lastSet;
};

template <typename Predicate> bool WaitFor(Predicate done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A probe device that is served from the start; each test finds its node first.
class HidrawProbe : public ::testing::Test {
protected:
    HidrawProbe() : m_serving(m_device, m_handler, "probe") {
        m_identity.name = "Kernel test probe";
        m_identity.uniq = "PROBE001";
        m_identity.vendor = kVendor;
        m_identity.product = kProduct;
        m_identity.descriptor = ProbeDescriptor();
    }

    // Creates the device and waits for its node; fails the test when none comes.
    std::string createAndFind() {
        const auto started = std::chrono::steady_clock::now();
        m_device.create(m_identity);
        const std::optional<std::string> name =
            HidrawNode::find(m_identity.bus, kVendor, kProduct, m_identity.uniq, 10000);
        if (!name) {
            ADD_FAILURE() << "no hidraw node with HID_ID 0003:FFF1:0B0E and HID_UNIQ "
                          << m_identity.uniq << " within 10 s of UHID_CREATE2";
            return std::string();
        }
        std::printf("%s appeared %lld ms after UHID_CREATE2\n", name->c_str(),
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - started)
                                               .count()));
        return *name;
    }

    UhidIdentity m_identity;
    UhidDevice m_device;
    ProbeHandler m_handler;
    ServingThread m_serving;  // last: stops serving before the handler and device go
};

TEST_F(HidrawProbe, NodeDescribesTheDevice) {
    const std::string name = createAndFind();
    ASSERT_FALSE(name.empty());
    const std::string uevent = HidrawNode::uevent(name);
    EXPECT_NE(uevent.find("HID_NAME=" + m_identity.name + "\n"), std::string::npos) << uevent;
    EXPECT_NE(uevent.find("HID_UNIQ=" + m_identity.uniq + "\n"), std::string::npos) << uevent;
    EXPECT_EQ(HidrawNode::descriptor(name), m_identity.descriptor);
    // The kernel opens the device only when a user opens a node.
    EXPECT_EQ(m_device.counts().open, 0u);
    HidrawNode node(name);
    EXPECT_TRUE(WaitFor([&] { return m_device.counts().open == 1; }, 2000));
}

TEST_F(HidrawProbe, FeatureReportsCarryTheReportIdAsFirstByte) {
    const std::string name = createAndFind();
    ASSERT_FALSE(name.empty());
    HidrawNode node(name);

    std::vector<uint8_t> report = Request(kFixed, kFixedLength);
    EXPECT_EQ(node.getFeature(report), int(1 + kFixedLength));
    EXPECT_EQ(report, FixedReport());

    // A shorter buffer gets the report's first bytes, the ID included.
    std::vector<uint8_t> part = Request(kFixed, 3);
    EXPECT_EQ(node.getFeature(part), 4);
    const std::vector<uint8_t> fixed = FixedReport();
    EXPECT_EQ(part, std::vector<uint8_t>(fixed.begin(), fixed.begin() + 4));

    std::vector<uint8_t> sent = Request(kEcho, kEchoLength);
    for (size_t i = 1; i < sent.size(); ++i) sent[i] = uint8_t(i * 7);
    EXPECT_EQ(node.setFeature(sent), int(sent.size()));
    EXPECT_EQ(m_handler.lastSetId(), kEcho);
    EXPECT_EQ(m_handler.lastSet(), sent) << "UHID_SET_REPORT passes the ID byte first";

    std::vector<uint8_t> echoed = Request(kEcho, kEchoLength);
    EXPECT_EQ(node.getFeature(echoed), int(echoed.size()));
    EXPECT_EQ(echoed, sent);
}

TEST_F(HidrawProbe, FailuresAndShortRepliesComeThrough) {
    const std::string name = createAndFind();
    ASSERT_FALSE(name.empty());
    HidrawNode node(name);

    // uhid passes no errno through: any error of the handler fails the ioctl with EIO.
    std::vector<uint8_t> failing = Request(kFailing, kFailingLength);
    EXPECT_EQ(node.getFeature(failing), -EIO);
    EXPECT_EQ(node.setFeature(failing), -EIO);

    std::vector<uint8_t> shortReport = Request(kShort, kShortDeclared);
    EXPECT_EQ(node.getFeature(shortReport), int(1 + kShortReply));
    EXPECT_EQ(shortReport[0], kShort);
}

TEST_F(HidrawProbe, DeviceCreatedAgainGetsANewNode) {
    const std::string name = createAndFind();
    ASSERT_FALSE(name.empty());
    HidrawNode node(name);

    m_device.destroy();
    EXPECT_TRUE(WaitFor([&] { return !HidrawNode::exists(name); }, 5000))
        << "UHID_DESTROY leaves " << name;
    std::vector<uint8_t> report = Request(kFixed, kFixedLength);
    EXPECT_EQ(node.getFeature(report), -ENODEV) << "a handle of the removed node";

    const std::string again = createAndFind();
    ASSERT_FALSE(again.empty());
    // Whether the name is reused depends on the old handle: its minor stays taken while open.
    std::printf("the node after re-creation is %s (before: %s)\n", again.c_str(), name.c_str());
    HidrawNode fresh(again);
    std::vector<uint8_t> afresh = Request(kFixed, kFixedLength);
    EXPECT_EQ(fresh.getFeature(afresh), int(afresh.size()));
    EXPECT_EQ(afresh, FixedReport());
}

}  // namespace
}  // namespace kerneltest
