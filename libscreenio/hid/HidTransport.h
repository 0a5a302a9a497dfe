// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace screenio::hid {

// One HID interface that discovery found, described from what the system tells without opening
// it. `node` is what `open` takes (a /dev/hidrawN path for the kernel transport).
struct HidNodeInfo {
    std::string node;
    std::string name;  // a short name for traces, such as "hidraw3"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;  // empty when the device reports none
    // What the monitor's lock, which keeps our programs apart across nodes and users, is named
    // after: the serial, with the device's place on the bus added when another device found
    // reports the same serial. Empty: only the node is locked.
    std::string lockName;
    // The USB device (its sysfs name, such as "1-2.3") the interface belongs to; empty when
    // there is no USB ancestor. Interfaces with the same one are one monitor.
    std::string usbDevice;
    // The HID device's sysfs name, BBBB:VVVV:PPPP.NNNN: its instance number is not reused
    // before a reboot, so it tells this device from a later one on the same node. Empty when
    // unknown.
    std::string hidDevice;
    int interfaceNumber = -1;         // the USB interface, -1 when there is no USB ancestor
    std::vector<uint8_t> descriptor;  // the report descriptor as the device declared it
    // The node's device number (dev_t) when discovery knows it; with the descriptor, the ids
    // and `hidDevice`, it lets `open` tell that the node now belongs to another device. 0 when
    // unknown.
    uint64_t deviceNumber = 0;
};

// An opened HID interface. Feature reports are addressed by report ID (0 when the descriptor
// uses none) and carry the report's data without the ID byte; how the ID travels is the
// transport's business. Results: bytes moved (>= 0) or a negative errno value.
class HidConnection {
public:
    virtual ~HidConnection() = default;
    // Reads feature report `reportId` into `data`; returns the data bytes the device gave.
    virtual int getFeature(uint8_t reportId, uint8_t* data, size_t length) = 0;
    // Sends feature report `reportId` with `length` data bytes.
    virtual int setFeature(uint8_t reportId, const uint8_t* data, size_t length) = 0;
};

// The layer below the backend: the kernel's hidraw nodes, or a fake serving simulated monitors.
class HidTransport {
public:
    virtual ~HidTransport() = default;
    // HID interfaces on the USB bus (bus type 0003) with this vendor id, in a stable order.
    // Nothing of any other device is opened or read beyond its system description.
    virtual std::vector<HidNodeInfo> enumerate(uint16_t vendorId) = 0;
    // Opens one found node for feature requests and takes the lock named by `lockName`; null
    // with `*error` set to an errno value (ENODEV: the node is no longer the device found,
    // EBUSY: the node or lock is held, ENOLCK: the lock cannot be taken at all).
    virtual std::unique_ptr<HidConnection> open(const HidNodeInfo& node, int* error) = 0;
};

}  // namespace screenio::hid
