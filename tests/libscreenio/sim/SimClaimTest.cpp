// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/BackendRegistry.h"
#include "core/VendorId.h"
#include "hid/HidBackend.h"
#include "screenio/screenio.h"
#include "sim/SimBackend.h"
#include "sim/SimConfig.h"
#include "support/SimHidTransport.h"

namespace screenio::sim {
namespace {

MonitorDescription Monitor(const std::string& serial, MonitorClaim claim) {
    MonitorDescription description;
    description.product = "Claim " + serial;
    description.serial = serial;
    description.claim = claim;
    DeviceDescription device;
    device.name = "Scaler";
    device.fileName = "SCL000";
    description.devices = {device};
    return description;
}

std::shared_ptr<SimBackend> ThreeMonitors() {
    SimConfig config;
    config.monitors = {Monitor("FREE0001", MonitorClaim::Free),
                       Monitor("BUSY0002", MonitorClaim::Busy),
                       Monitor("DENY0003", MonitorClaim::Denied)};
    return std::make_shared<SimBackend>(std::move(config));
}

class SimClaimTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        auto sim = ThreeMonitors();
        // The same claims must reach a caller whether the simulator answers directly or
        // through the HID backend, where they travel as the errno values of opening a node.
        if (GetParam())
            BackendRegistry::instance().set(std::make_shared<hid::HidBackend>(
                std::make_shared<SimHidTransport>(sim, UsbVendorId())));
        else
            BackendRegistry::instance().set(sim);
    }
    void TearDown() override {
        KmRelease();
        BackendRegistry::instance().set(nullptr);
    }
};

TEST_P(SimClaimTest, AHeldOrDeniedMonitorIsFoundButGivesNoHandle) {
    ASSERT_EQ(KmFind(), 3);
    void* handle = nullptr;
    EXPECT_EQ(KmRetrieve(0, &handle), 0);
    EXPECT_NE(handle, nullptr);

    void* untouched = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(KmRetrieve(1, &untouched), SCREENIO_ERROR_BUSY);
    EXPECT_EQ(KmRetrieve(2, &untouched), SCREENIO_ERROR_ACCESS);
    EXPECT_EQ(untouched, reinterpret_cast<void*>(0x1));

    // The free monitor still works beside them.
    int64_t state = -1;
    EXPECT_EQ(KmGetFeatureValue(handle, 0xFF02, 0xFB, &state), 0);
    EXPECT_EQ(state, 0);
}

INSTANTIATE_TEST_SUITE_P(DirectAndOverHid, SimClaimTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "OverHid" : "Direct");
                         });

TEST(SimClaimConfig, TheDescriptionNamesTheClaim) {
    const std::string text = R"({"monitors": [
        {"product": "A", "serial": "A1", "claim": "busy"},
        {"product": "B", "serial": "B1", "claim": "denied"},
        {"product": "C", "serial": "C1"}]})";
    const SimConfig config = SimConfig::parse(text, ".");
    ASSERT_EQ(config.monitors.size(), 3u);
    EXPECT_EQ(config.monitors[0].claim, MonitorClaim::Busy);
    EXPECT_EQ(config.monitors[1].claim, MonitorClaim::Denied);
    EXPECT_EQ(config.monitors[2].claim, MonitorClaim::Free);
    try {
        SimConfig::parse(R"({"monitors": [{"product": "A", "serial": "A1", "claim": "held"}]})",
                         ".");
        FAIL() << "an unknown claim was accepted";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("monitors[0].claim"), std::string::npos)
            << error.what();
    }
}

}  // namespace
}  // namespace screenio::sim
