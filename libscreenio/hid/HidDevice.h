// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/Device.h"
#include "hid/HidDescriptor.h"
#include "hid/HidTransport.h"

namespace screenio::hid {

// How long stalled reads are retried, and the clock and sleep that measure it (replaceable by
// tests).
struct HidStallRetry {
    std::chrono::milliseconds budget{100};
    std::chrono::milliseconds pause{5};
    std::function<std::chrono::steady_clock::time_point()> now;  // null: steady_clock
    std::function<void(std::chrono::milliseconds)> sleep;        // null: sleep_for
};

// One HID interface of a monitor as a search found it, with its parsed report descriptor.
struct HidInterface {
    HidNodeInfo node;
    HidDescriptor descriptor;
};

// One monitor as a search found it: its HID interfaces (usually one; a monitor may spread its
// vendor collections over several). Where each usage lives comes from the report descriptors
// alone, the first interface declaring a usage serving it; requests move whole feature reports
// through the transport. Claiming the monitor opens every interface, and only the first takes
// the monitor's lock, as they are one monitor.
//
// Value requests (getValue, setValue) need a single-element field of at most 64 bits; any
// other field gives SCREENIO_ERROR_LENGTH, as a value is a one-element access to it. Array
// requests take exactly the field's byte length. Writes keep every other data bit of the
// report, named by a usage or not, by reading it first; a value outside the field's logical
// range (or its width) is refused with SCREENIO_ERROR_INVALID_ARGUMENT, never truncated. Fixed data
// needs no I/O: the count is the byte length of a field of several elements, 0 for a single one (a
// one-byte buffer thus looks like a value, though array requests of one byte still work on it). A
// report read shorter than the descriptor declares is SCREENIO_ERROR_IO; none of it is used.
//
// A stalled read (EPIPE) is retried for a short while, as a monitor stalls while busy; a
// stalled write is not, since it may have been acted on. Once the transport says the device
// has gone (ENODEV, ENOENT, ESHUTDOWN), every later call fails with SCREENIO_ERROR_GONE
// without reaching it. Requests are serialised by one lock per device.
class HidDevice : public Device {
public:
    // `interfaces` must not be empty.
    HidDevice(std::shared_ptr<HidTransport> transport, std::vector<HidInterface> interfaces,
              HidStallRetry retry = {});
    ~HidDevice() override;

    // Opens the nodes: this claims them (the kernel transport locks them against other
    // programs). Nothing stays open when one of them cannot be opened.
    KmError acquire() override;
    KmError getFixedData(uint16_t page, uint16_t usage, bool* offered, uint32_t* count) override;
    KmError getValue(uint16_t page, uint16_t usage, int64_t* value) override;
    KmError setValue(uint16_t page, uint16_t usage, int64_t value) override;
    KmError getArray(uint16_t page, uint16_t usage, uint8_t* buffer, uint32_t length) override;
    KmError setArray(uint16_t page, uint16_t usage, const uint8_t* buffer,
                     uint32_t length) override;
    // The serial number, else the node's name.
    std::string describe() const override;

    // The status for a transport's errno value; sets `*gone` for the ones meaning the device
    // has left.
    static KmError statusForErrno(int error, bool* gone);
    // The status for an errno value of the transport's open.
    static KmError statusForOpenErrno(int error);

private:
    struct Interface {
        HidNodeInfo node;
        HidDescriptor descriptor;
        std::unique_ptr<HidConnection> connection;
    };
    // A usage's field and the interface that serves it.
    struct Target {
        Interface* interface = nullptr;
        const HidField* field = nullptr;
    };

    KmError acquireLocked();
    Target find(uint16_t page, uint16_t usage);
    // The target of a usage, with the checks every request makes first.
    KmError targetFor(uint16_t page, uint16_t usage, Target* target);
    // The same for an array request, whose `length` must be the field's whole size and whose
    // buffer (`hasBuffer`) may only be missing when that size is 0.
    KmError arrayTargetFor(uint16_t page, uint16_t usage, bool hasBuffer, uint32_t length,
                           Target* target);
    // Both open the nodes first when no claim was made yet (a caller of the class itself;
    // handles come from KmRetrieve, which claims).
    KmError readReport(const Target& target, std::vector<uint8_t>* report);
    KmError writeReport(const Target& target, const std::vector<uint8_t>& report);
    // The report to patch: read from the device when other data shares it, else zeros.
    KmError reportForWrite(const Target& target, std::vector<uint8_t>* report);
    KmError fail(int error);

    mutable std::mutex m_mutex;
    std::shared_ptr<HidTransport> m_transport;
    std::vector<Interface> m_interfaces;
    HidStallRetry m_retry;
    bool m_claimed = false;
    bool m_gone = false;
};

}  // namespace screenio::hid
