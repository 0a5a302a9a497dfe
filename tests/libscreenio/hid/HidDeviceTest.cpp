// SPDX-License-Identifier: Apache-2.0
// The HID backend over a hand-written descriptor whose fields share reports, start and end
// inside bytes and carry signs: what reaches the device, byte for byte.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "core/BackendRegistry.h"
#include "hid/HidBackend.h"
#include "libscreenio/hid/FakeHidTransport.h"
#include "screenio/screenio.h"

namespace screenio::hid {
namespace {

using Bytes = std::vector<uint8_t>;
using test::FakeHidTransport;
using Call = FakeHidTransport::Call;

constexpr uint16_t kPage = 0xFF02;

const Bytes kDescriptor = {
    0x06, 0x02, 0xFF,  // Usage Page FF02
    0x09, 0x01,        // Usage 01
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x07,        //   Report ID 7: three fields in five bytes
    0x09, 0x20,        //   Usage 20: 4 bits, 0..15, at bit 0
    0x15, 0x00,        //   Logical Minimum 0
    0x25, 0x0F,        //   Logical Maximum 15
    0x75, 0x04,        //   Report Size 4
    0x95, 0x01,        //   Report Count 1
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0x09, 0x21,        //   Usage 21: 12 bits, -2048..2047, at bit 4
    0x16, 0x00, 0xF8,  //   Logical Minimum -2048
    0x26, 0xFF, 0x07,  //   Logical Maximum 2047
    0x75, 0x0C,        //   Report Size 12
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0x09, 0x22,        //   Usage 22: three bytes at bit 16
    0x15, 0x00,        //   Logical Minimum 0
    0x26, 0xFF, 0x00,  //   Logical Maximum 255
    0x75, 0x08,        //   Report Size 8
    0x95, 0x03,        //   Report Count 3
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0x85, 0x08,        //   Report ID 8: three bytes
    0x75, 0x03,        //   Report Size 3
    0x95, 0x01,        //   Report Count 1
    0xB1, 0x03,        //   Feature (Constant): bits 0 to 2
    0x09, 0x30,        //   Usage 30: five 4-bit elements at bit 3
    0x25, 0x0F,        //   Logical Maximum 15
    0x75, 0x04,        //   Report Size 4
    0x95, 0x05,        //   Report Count 5
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0x09, 0x31,        //   Usage 31: one bit at bit 23
    0x25, 0x01,        //   Logical Maximum 1
    0x75, 0x01,        //   Report Size 1
    0x95, 0x01,        //   Report Count 1
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0x85, 0x09,        //   Report ID 9: one field alone
    0x09, 0x40,        //   Usage 40: 16 bits, 0..1000
    0x26, 0xE8, 0x03,  //   Logical Maximum 1000
    0x75, 0x10,        //   Report Size 16
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0xC0,              // End Collection
};

class HidDeviceTest : public testing::Test {
protected:
    void SetUp() override {
        m_transport = std::make_shared<FakeHidTransport>();
        m_transport->addNode("hidraw7", kDescriptor, "SHARED01");
        m_transport->setReport(7, {0x5A, 0xC3, 0x11, 0x22, 0x33});
        m_transport->setReport(8, {0xFF, 0xFF, 0xFF});
        m_transport->setReport(9, {0x00, 0x00});
        BackendRegistry::instance().set(std::make_shared<HidBackend>(m_transport));
        ASSERT_EQ(KmFind(), 1);
        ASSERT_EQ(KmRetrieve(0, &m_handle), 0);
        m_transport->clearCalls();
    }
    void TearDown() override {
        KmRelease();
        BackendRegistry::instance().set(nullptr);
    }

    int64_t value(uint16_t usage) {
        int64_t v = 0;
        EXPECT_EQ(KmGetFeatureValue(m_handle, kPage, usage, &v), 0);
        return v;
    }

    std::shared_ptr<FakeHidTransport> m_transport;
    void* m_handle = nullptr;
};

TEST_F(HidDeviceTest, SettingOneFieldKeepsTheOthersOfItsReport) {
    EXPECT_EQ(value(0x20), 0xA);
    EXPECT_EQ(value(0x21), -971);  // 0xC35 as a signed 12-bit number
    m_transport->clearCalls();

    // Read, patch, write back: the device never sees the neighbours change.
    ASSERT_EQ(KmSetFeatureValue(m_handle, kPage, 0x20, 9), 0);
    EXPECT_EQ(m_transport->calls(), (std::vector<Call>{{'G', 7}, {'S', 7}}));
    EXPECT_EQ(m_transport->report(7), (Bytes{0x59, 0xC3, 0x11, 0x22, 0x33}));

    ASSERT_EQ(KmSetFeatureValue(m_handle, kPage, 0x21, -1), 0);
    EXPECT_EQ(m_transport->report(7), (Bytes{0xF9, 0xFF, 0x11, 0x22, 0x33}));
    ASSERT_EQ(KmSetFeatureValue(m_handle, kPage, 0x21, 2047), 0);
    EXPECT_EQ(m_transport->report(7), (Bytes{0xF9, 0x7F, 0x11, 0x22, 0x33}));
    EXPECT_EQ(value(0x21), 2047);
    EXPECT_EQ(value(0x20), 9);

    const uint8_t bytes[] = {1, 2, 3};
    ASSERT_EQ(KmSetFeatureArray(m_handle, kPage, 0x22, bytes, 3), 0);
    EXPECT_EQ(m_transport->report(7), (Bytes{0xF9, 0x7F, 1, 2, 3}));

    // The device changing a neighbour between two writes is kept as well.
    m_transport->setReport(7, {0xF9, 0x7F, 9, 9, 9});
    ASSERT_EQ(KmSetFeatureValue(m_handle, kPage, 0x20, 0), 0);
    EXPECT_EQ(m_transport->report(7), (Bytes{0xF0, 0x7F, 9, 9, 9}));
}

TEST_F(HidDeviceTest, AnArrayOffByteBoundariesIsPackedBitByBit) {
    uint8_t flag = 1;
    uint32_t count = 0;
    ASSERT_EQ(KmGetFixedData(m_handle, kPage, 0x30, nullptr, nullptr, nullptr, &flag, &count), 0);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(count, 3u);  // 20 bits
    flag = 1;
    ASSERT_EQ(KmGetFixedData(m_handle, kPage, 0x31, nullptr, nullptr, nullptr, &flag, &count), 0);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(count, 0u);                       // a value
    EXPECT_TRUE(m_transport->calls().empty());  // fixed data comes from the descriptor

    uint8_t read[3] = {};
    ASSERT_EQ(KmGetFeatureArray(m_handle, kPage, 0x30, read, 3), 0);
    EXPECT_EQ(Bytes(read, read + 3), (Bytes{0xFF, 0xFF, 0x0F}));

    // Field bits 0..19 = 0x53412 at report bit 3; the constant bits and usage 31 stay set.
    const uint8_t bytes[] = {0x12, 0x34, 0x05};
    ASSERT_EQ(KmSetFeatureArray(m_handle, kPage, 0x30, bytes, 3), 0);
    EXPECT_EQ(m_transport->report(8), (Bytes{0x97, 0xA0, 0xA9}));
    ASSERT_EQ(KmGetFeatureArray(m_handle, kPage, 0x30, read, 3), 0);
    EXPECT_EQ(Bytes(read, read + 3), (Bytes{0x12, 0x34, 0x05}));
    EXPECT_EQ(value(0x31), 1);
}

TEST_F(HidDeviceTest, AFieldAloneInItsReportIsWrittenWithoutReading) {
    m_transport->setReport(9, {0xAA, 0xAA});
    ASSERT_EQ(KmSetFeatureValue(m_handle, kPage, 0x40, 1000), 0);
    EXPECT_EQ(m_transport->calls(), (std::vector<Call>{{'S', 9}}));
    EXPECT_EQ(m_transport->report(9), (Bytes{0xE8, 0x03}));
}

// Reports whose other data the old per-usage count missed: a usage declared again in a later
// report (the first declaration names the usage), and a data field without a usage.
const Bytes kSharedDescriptor = {
    0x06, 0x02, 0xFF,  // Usage Page FF02
    0x09, 0x01,        // Usage 01
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum 0
    0x26, 0xFF, 0x00,  //   Logical Maximum 255
    0x75, 0x08,        //   Report Size 8
    0x95, 0x01,        //   Report Count 1
    0x85, 0x01,        //   Report ID 1
    0x09, 0x50,        //   Usage 50
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0x85, 0x02,        //   Report ID 2
    0x09, 0x50,        //   Usage 50 again: byte 0, named by report 1's field
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0x09, 0x51,        //   Usage 51: byte 1
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0x85, 0x03,        //   Report ID 3
    0x09, 0x52,        //   Usage 52: byte 0
    0xB1, 0x02,        //   Feature (Data, Var, Abs)
    0xB1, 0x02,        //   Feature (Data, Var, Abs) without a usage: byte 1
    0xB1, 0x03,        //   Feature (Constant): byte 2, padding
    0xC0,              // End Collection
};

TEST(HidDeviceSharedReportTest, OtherDataOfTheReportIsKeptNamedOrNot) {
    auto transport = std::make_shared<FakeHidTransport>();
    transport->addNode("hidraw1", kSharedDescriptor);
    transport->setReport(1, {0x11});
    transport->setReport(2, {0x21, 0x22});
    transport->setReport(3, {0x31, 0x32, 0x33});
    BackendRegistry::instance().set(std::make_shared<HidBackend>(transport));
    void* handle = nullptr;
    ASSERT_EQ(KmFind(), 1);
    ASSERT_EQ(KmRetrieve(0, &handle), 0);
    transport->clearCalls();

    ASSERT_EQ(KmSetFeatureValue(handle, kPage, 0x51, 0x99), 0);
    EXPECT_EQ(transport->report(2), (Bytes{0x21, 0x99}));
    ASSERT_EQ(KmSetFeatureValue(handle, kPage, 0x52, 0x88), 0);
    // The padding is written as read as well; the device ignores it either way.
    EXPECT_EQ(transport->report(3), (Bytes{0x88, 0x32, 0x33}));
    EXPECT_EQ(transport->calls(), (std::vector<Call>{{'G', 2}, {'S', 2}, {'G', 3}, {'S', 3}}));
    // Report 1 holds usage 50 alone: no read.
    transport->clearCalls();
    ASSERT_EQ(KmSetFeatureValue(handle, kPage, 0x50, 0x77), 0);
    EXPECT_EQ(transport->calls(), (std::vector<Call>{{'S', 1}}));
    KmRelease();
    BackendRegistry::instance().set(nullptr);
}

TEST_F(HidDeviceTest, RequestsTheFieldCannotTakeNeverReachTheDevice) {
    uint8_t buffer[8] = {};
    int64_t v = 0;
    struct Case {
        const char* what;
        KmError status;
    } const cases[] = {
        {"1001 above the maximum", KmSetFeatureValue(m_handle, kPage, 0x40, 1001)},
        {"-1 below the minimum", KmSetFeatureValue(m_handle, kPage, 0x40, -1)},
        {"2048 above a signed maximum", KmSetFeatureValue(m_handle, kPage, 0x21, 2048)},
        {"-2049 below a signed minimum", KmSetFeatureValue(m_handle, kPage, 0x21, -2049)},
        {"16 wider than four bits", KmSetFeatureValue(m_handle, kPage, 0x20, 16)},
        {"value read of an array", KmGetFeatureValue(m_handle, kPage, 0x22, &v)},
        {"value write of an array", KmSetFeatureValue(m_handle, kPage, 0x22, 1)},
        {"short array read", KmGetFeatureArray(m_handle, kPage, 0x22, buffer, 2)},
        {"long array write", KmSetFeatureArray(m_handle, kPage, 0x22, buffer, 4)},
        {"unaligned array, wrong length", KmGetFeatureArray(m_handle, kPage, 0x30, buffer, 2)},
        {"usage not declared", KmGetFeatureValue(m_handle, kPage, 0x99, &v)},
        {"usage of another page", KmGetFeatureValue(m_handle, 0xFF00, 0x20, &v)},
    };
    const KmError expected[] = {
        SCREENIO_ERROR_INVALID_ARGUMENT, SCREENIO_ERROR_INVALID_ARGUMENT,
        SCREENIO_ERROR_INVALID_ARGUMENT, SCREENIO_ERROR_INVALID_ARGUMENT,
        SCREENIO_ERROR_INVALID_ARGUMENT, SCREENIO_ERROR_LENGTH,
        SCREENIO_ERROR_LENGTH,           SCREENIO_ERROR_LENGTH,
        SCREENIO_ERROR_LENGTH,           SCREENIO_ERROR_LENGTH,
        SCREENIO_ERROR_NOT_OFFERED,      SCREENIO_ERROR_NOT_OFFERED,
    };
    static_assert(sizeof cases / sizeof cases[0] == sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i)
        EXPECT_EQ(cases[i].status, expected[i]) << cases[i].what;
    EXPECT_TRUE(m_transport->calls().empty());
    EXPECT_EQ(m_transport->report(7), (Bytes{0x5A, 0xC3, 0x11, 0x22, 0x33}));
}

// Each thread writes its own field of the shared report and reads it back; without the
// device's lock around read-modify-write, one thread's write-back would undo the other's.
TEST_F(HidDeviceTest, ConcurrentWritesToASharedReportLoseNothing) {
    std::atomic<int> lost{0};
    auto writer = [&](uint16_t usage, int64_t low, int64_t high) {
        for (int64_t v = low; v <= high; ++v) {
            if (KmSetFeatureValue(m_handle, kPage, usage, v) != 0) ++lost;
            int64_t back = 0;
            if (KmGetFeatureValue(m_handle, kPage, usage, &back) != 0 || back != v) ++lost;
        }
    };
    std::thread a([&] {
        for (int round = 0; round < 1000; ++round) writer(0x20, 0, 15);
    });
    std::thread b([&] {
        for (int round = 0; round < 5; ++round) writer(0x21, -1500, 1500);
    });
    a.join();
    b.join();
    EXPECT_EQ(lost.load(), 0);
    EXPECT_EQ(value(0x20), 15);
    EXPECT_EQ(value(0x21), 1500);
}

}  // namespace
}  // namespace screenio::hid
