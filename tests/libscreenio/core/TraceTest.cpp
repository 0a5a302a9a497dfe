// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "core/BackendRegistry.h"
#include "core/Trace.h"
#include "libscreenio/TracedTest.h"
#include "screenio/screenio.h"
#include "sim/SimBackend.h"
#include "sim/SimConfig.h"

namespace screenio {
namespace {

class TraceTest : public test::TracedTest {};

const std::string kTime = R"(\d+\.\d{6} )";

TEST_F(TraceTest, OneLinePerCallWithUsageLengthStatusAndData) {
    sim::MonitorDescription description;
    description.product = "Traced";
    description.serial = "TRC00001";
    description.devices.resize(1);
    description.devices[0].fileName = "SCL000";
    BackendRegistry::instance().set(
        std::make_shared<sim::SimBackend>(sim::SimConfig{{description}, ""}));

    ASSERT_EQ(KmFind(), 1);
    void* handle = nullptr;
    ASSERT_EQ(KmRetrieve(0, &handle), 0);
    uint8_t flag = 1;
    uint32_t count = 0;
    ASSERT_EQ(KmGetFixedData(handle, 0xFF02, 0xFE, nullptr, nullptr, nullptr, &flag, &count), 0);
    uint8_t select[10] = {'K', 'F', 'W', '0', '0', '0'};
    ASSERT_EQ(KmSetFeatureArray(handle, 0xFF02, 0xC2, select, sizeof select), 0);
    uint8_t property[16] = {};
    ASSERT_EQ(KmGetFeatureArray(handle, 0xFF02, 0xC3, property, sizeof property), 0);
    uint8_t shortBuffer[15] = {};
    EXPECT_LT(KmGetFeatureArray(handle, 0xFF02, 0xC3, shortBuffer, sizeof shortBuffer), 0);
    std::vector<uint8_t> read(522, 0);
    for (size_t i = 0; i < 20; ++i) read[i] = uint8_t(i);
    KmSetFeatureArray(handle, 0xFF02, 0xFD, read.data(), uint32_t(read.size()));
    int64_t value = 0;
    ASSERT_EQ(KmSetFeatureValue(handle, 0xFF02, 0xFB, 2), 0);
    ASSERT_EQ(KmGetFeatureValue(handle, 0xFF02, 0xFB, &value), 0);
    EXPECT_EQ(KmGetFeatureValue(nullptr, 0xFF02, 0xFB, &value), SCREENIO_ERROR_INVALID_HANDLE);
    KmRelease();

    std::vector<std::string> lines = traceLines();
    const std::vector<std::string> expected = {
        kTime + "- KmFind argument=0 status=1",
        kTime + "- KmRetrieve argument=0 status=0",
        kTime + "TRC00001 fixed-data FF02/00FE length=0 status=0",
        kTime + "TRC00001 set-array FF02/00C2 length=10 status=0 data=4b465730303000000000",
        kTime + "TRC00001 get-array FF02/00C3 length=16 status=0 data=4b4657303030[0-9a-f]{20}",
        // A failed read shows no data: the buffer holds nothing from the monitor.
        kTime + "TRC00001 get-array FF02/00C3 length=15 status=-\\d+",
        kTime + "TRC00001 set-array FF02/00FD length=522 status=-?\\d+ "
                "data=000102030405060708090a0b0c0d0e0f\\.\\.",
        kTime + "TRC00001 set-value FF02/00FB length=0 status=0 value=0x2",
        kTime + "TRC00001 get-value FF02/00FB length=0 status=0 value=0x2",
        // A value that was not read is not shown.
        kTime + "\\? get-value FF02/00FB length=0 status=-2",
        kTime + "- KmRelease argument=0 status=0",
    };
    ASSERT_EQ(lines.size(), expected.size()) << testing::PrintToString(lines);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i]))) << lines[i];
    // Monotonic seconds: never going back.
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_LE(std::stod(lines[i - 1]), std::stod(lines[i]));
}

TEST_F(TraceTest, LinesOfSeveralThreadsStayWhole) {
    constexpr int kThreads = 4;
    constexpr int kLines = 400;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            std::vector<uint8_t> data(64, uint8_t(0x11 * (t + 1)));
            std::string monitor = "MON" + std::to_string(t) + std::string(60, 'x');
            for (int i = 0; i < kLines; ++i)
                Trace::request(monitor, Access::SetArray, 0xFF01, 0x123, data.data(),
                               uint32_t(data.size()), 0);
        });
    for (auto& thread : threads) thread.join();

    std::vector<std::string> lines = traceLines();
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    std::regex line(
        kTime +
        R"(MON(\d)x{60} set-array FF01/0123 length=64 status=0 data=(([0-9a-f]{2})\3{15})\.\.)");
    for (const std::string& text : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, line)) << text;
        int t = std::stoi(match[1]);
        EXPECT_EQ(std::stoul(match[3], nullptr, 16), 0x11u * (t + 1)) << text;
    }
}

TEST_F(TraceTest, UnopenableFileIsReportedOnceAndTracingStaysOff) {
    std::string path = testing::TempDir() + "/no-such-folder-for-trace/trace.log";
    setenv("SCREENIO_TRACE", path.c_str(), 1);
    Trace::reset();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Trace::enabled());
    Trace::call("KmFind", 0, 0);
    EXPECT_FALSE(Trace::enabled());
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(messages.rfind("screenio: ", 0), 0u) << messages;
    EXPECT_NE(messages.find(path), std::string::npos) << messages;
    EXPECT_EQ(messages.find('\n'), messages.size() - 1) << "reported more than once: " << messages;
}

TEST_F(TraceTest, NothingIsWrittenWithoutTheVariable) {
    unsetenv("SCREENIO_TRACE");
    Trace::reset();
    EXPECT_FALSE(Trace::enabled());
    KmFind();
    EXPECT_FALSE(std::ifstream(tracePath()).good());
}

}  // namespace
}  // namespace screenio
