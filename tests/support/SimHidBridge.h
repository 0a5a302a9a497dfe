// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "screenio/screenio.h"

namespace screenio::sim {

class SimMonitor;

// Presents one simulated monitor as a USB HID interface would: a report descriptor generated
// from the usages the monitor offers (one top-level application collection per vendor page,
// one feature report per usage), and feature reports served by the monitor. Used by the fake
// transport of the tests and by the kernel test's uhid device, so both see the same device.
//
// Array usages are byte buffers at the start of their report. A value usage follows one
// constant byte, so a host must honour bit offsets: FF00/0F is signed 24 bits, FF02/FB
// unsigned 32 bits, the others unsigned 16 bits. A value wider than its field is sent cut to
// the field's width, as a device register would hold it.
class SimHidBridge {
public:
    // Throws std::length_error when the monitor offers more usages than there are report IDs.
    explicit SimHidBridge(std::shared_ptr<SimMonitor> monitor);

    SimMonitor& monitor() const { return *m_monitor; }
    const std::vector<uint8_t>& descriptor() const { return m_descriptor; }

    // A GET_FEATURE of report `reportId` on the monitor's connection `connection`: fills
    // `length` data bytes (without the ID byte) and returns how many, or a negative errno value
    // (ENODEV once the monitor has left the bus since that connection). As a USB device
    // answers a shorter request, a `length` below the report's gives the report cut short;
    // a longer one gives the whole report and returns its length.
    int getFeature(uint64_t connection, uint8_t reportId, uint8_t* data, size_t length);
    // A SET_FEATURE of report `reportId` with `length` data bytes; same results. A length
    // other than the report's is refused with EINVAL before the monitor sees the request.
    // An unknown report ID gives EINVAL for both.
    int setFeature(uint64_t connection, uint8_t reportId, const uint8_t* data, size_t length);

    // How a monitor's failure status travels as a USB/hidraw error (a positive errno value).
    static int ErrnoFor(KmError status);

    // Most reports one descriptor can address: report IDs are one byte and 0 means none.
    static constexpr size_t kMaxReports = 255;

private:
    struct Report;
    std::shared_ptr<SimMonitor> m_monitor;
    std::vector<uint8_t> m_descriptor;
    std::vector<std::shared_ptr<const Report>> m_reports;  // index = report ID - 1
};

}  // namespace screenio::sim
