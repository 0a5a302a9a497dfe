// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/BackendRegistry.h"
#include "core/VendorId.h"
#include "device/Sleep.h"
#include "hid/HidBackend.h"
#include "screenio/screenio.h"
#include "sim/SimBackend.h"
#include "sim/SimClock.h"
#include "sim/SimMonitor.h"
#include "support/SimHidTransport.h"

namespace fwu::test {

// Simulated monitors reached through the monitor-control library's exported functions, as
// the library reaches real ones. Waits of the library let simulated time pass instead of
// sleeping, and are recorded. With FLASHKIT_TEST_TRANSPORT=hid the monitors are reached through
// the HID backend instead: generated report descriptors, parsed, and every request packed into
// and out of feature reports.
class SimulatedMonitors : public ::testing::Test {
protected:
    void TearDown() override {
        KmRelease();
        screenio::BackendRegistry::instance().set(nullptr);
        internal::SetSleepFunction(nullptr);
    }

    void install(std::vector<screenio::sim::MonitorDescription> descriptions) {
        screenio::sim::SimConfig config;
        config.monitors = std::move(descriptions);
        m_backend = std::make_shared<screenio::sim::SimBackend>(std::move(config));
        if (OverHid())
            screenio::BackendRegistry::instance().set(std::make_shared<screenio::hid::HidBackend>(
                std::make_shared<screenio::sim::SimHidTransport>(m_backend,
                                                                 screenio::UsbVendorId())));
        else
            screenio::BackendRegistry::instance().set(m_backend);
        internal::SetSleepFunction(&FastSleep);
        Sleeps().clear();
        search();
    }

    // A new search; earlier handles become invalid.
    void search() {
        KmRelease();
        const KmError count = KmFind();
        m_handles.assign(count > 0 ? size_t(count) : 0, nullptr);
        for (size_t i = 0; i < m_handles.size(); ++i)
            ASSERT_EQ(KmRetrieve(int32_t(i), &m_handles[i]), 0);
    }

    void* handle(size_t index = 0) { return m_handles.at(index); }
    screenio::sim::SimMonitor& sim(size_t index = 0) { return *m_backend->monitors().at(index); }

    // Every request the monitor receives from now on is kept.
    std::vector<screenio::sim::SimRequest> recorded(size_t index = 0) {
        return sim(index).history();
    }
    void record(size_t index = 0) {
        sim(index).clearHistory();
        sim(index).setRecording(true);
    }

    static bool OverHid() {
        const char* transport = std::getenv("FLASHKIT_TEST_TRANSPORT");
        return transport && std::strcmp(transport, "hid") == 0;
    }

    static std::vector<uint32_t>& Sleeps() {
        static std::vector<uint32_t> sleeps;
        return sleeps;
    }

private:
    static void FastSleep(uint32_t milliseconds) {
        Sleeps().push_back(milliseconds);
        screenio::sim::SimClock::advance(int64_t(milliseconds) * 1000);
    }

    std::shared_ptr<screenio::sim::SimBackend> m_backend;
    std::vector<void*> m_handles;
};

// Requests of one usage and access among those recorded.
inline std::vector<screenio::sim::SimRequest>
Requests(const std::vector<screenio::sim::SimRequest>& all, uint16_t page, uint16_t usage,
         screenio::Access access) {
    std::vector<screenio::sim::SimRequest> selected;
    for (const auto& request : all)
        if (request.page == page && request.usage == usage && request.access == access)
            selected.push_back(request);
    return selected;
}

// Whether the scaler's closing status write carried the protection byte (0x01) to the flash.
// On a standard serial flash that byte sets only the read-only busy bit and so protects
// nothing; what can be checked is that the host sent it.
inline bool ProtectionByteWritten(const std::vector<screenio::sim::SimRequest>& all) {
    for (const auto& r : all)
        if (r.page == 0xFF30 && r.usage == 0x11 && r.access == screenio::Access::SetArray &&
            r.status >= 0 && r.data.size() > 3 && r.data[2] == 0x01 && r.data[3] == 0x01)
            return true;
    return false;
}

}  // namespace fwu::test
