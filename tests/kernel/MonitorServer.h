// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "ServingThread.h"
#include "UhidDevice.h"
#include "support/SimHidBridge.h"

namespace screenio::sim {
class SimMonitor;
}

namespace kerneltest {

// A simulated monitor on the kernel's HID bus: the descriptor and feature reports of its
// SimHidBridge through a uhid device, served on a thread of its own. When the monitor leaves
// the bus (a restart) the device is destroyed, and it is created again once the monitor is back,
// as a USB device disappears and enumerates anew.
class MonitorServer : public UhidDevice::Handler {
public:
    MonitorServer(std::shared_ptr<screenio::sim::SimMonitor> monitor, uint16_t vendor,
                  uint16_t product, uint16_t bus = 0x03 /* BUS_USB */);
    ~MonitorServer() override;
    MonitorServer(const MonitorServer&) = delete;
    MonitorServer& operator=(const MonitorServer&) = delete;

    screenio::sim::SimMonitor& monitor() const;
    const UhidIdentity& identity() const { return m_identity; }
    UhidDevice::Counts counts() const { return m_device.counts(); }
    // False once serving stopped on an error.
    bool healthy() const { return m_serving && m_serving->healthy(); }

    int getReport(uint8_t reportId, UhidReportType type, std::vector<uint8_t>& reply) override;
    int setReport(uint8_t reportId, UhidReportType type,
                  const std::vector<uint8_t>& report) override;
    void tick(UhidDevice& device) override;

private:
    std::shared_ptr<screenio::sim::SimMonitor> m_monitor;
    screenio::sim::SimHidBridge m_bridge;
    UhidIdentity m_identity;
    uint64_t m_connection = 0;  // the monitor's connection the device stands for; serving thread
    UhidDevice m_device;
    std::unique_ptr<ServingThread> m_serving;  // started last, stopped first
};

}  // namespace kerneltest
