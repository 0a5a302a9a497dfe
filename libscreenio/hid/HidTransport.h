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
    std::string name;           // a short name for traces, such as "hidraw3"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;         // empty when the device reports none
    int interfaceNumber = -1;   // the USB interface, -1 when there is no USB ancestor
    std::vector<uint8_t> descriptor; // the report descriptor as the device declared it
    // The node's device number (dev_t) when discovery knows it, so `open` can tell that the node
    // now belongs to another device; 0 when unknown.
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
    // Opens one found node for feature requests; null with `*error` set to an errno value.
    virtual std::unique_ptr<HidConnection> open(const HidNodeInfo& node, int* error) = 0;
};

}  // namespace screenio::hid
