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
    std::function<std::chrono::steady_clock::time_point()> now; // null: steady_clock
    std::function<void(std::chrono::milliseconds)> sleep;       // null: sleep_for
};

// One monitor's HID interface as a search found it. Where each usage lives comes from the
// report descriptor alone; requests move whole feature reports through the transport.
//
// Value requests (getValue, setValue) need a single-element field of at most 64 bits; any
// other field gives SCREENIO_ERROR_LENGTH, as a value is a one-element access to it. Array
// requests take exactly the field's byte length. Writes keep the other fields of a shared
// report by reading it first; a value outside the field's logical range (or its width) is
// refused with SCREENIO_ERROR_INVALID_ARGUMENT, never truncated. Fixed data needs no I/O: the
// count is the byte length of a field of several elements, 0 for a single one (a one-byte
// buffer thus looks like a value, though array requests of one byte still work on it). A
// report read shorter than the descriptor declares is SCREENIO_ERROR_IO; none of it is used.
//
// A stalled read (EPIPE) is retried for a short while, as a monitor stalls while busy; a
// stalled write is not, since it may have been acted on. Once the transport says the device
// has gone (ENODEV, ENOENT, ESHUTDOWN), every later call fails with SCREENIO_ERROR_GONE
// without reaching it. Requests are serialised by one lock per device.
class HidDevice : public Device {
public:
    HidDevice(std::shared_ptr<HidTransport> transport, HidNodeInfo node, HidDescriptor descriptor,
              HidStallRetry retry = {});
    ~HidDevice() override;

    // Opens the node: this claims it (the kernel transport locks it against other programs).
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
    static KmError StatusForErrno(int error, bool* gone);

private:
    KmError acquireLocked();
    // The field of a usage, with the checks every request makes first.
    KmError fieldFor(uint16_t page, uint16_t usage, const HidField** field);
    // Both open the node first when no claim was made yet (a caller of the class itself;
    // handles come from KmRetrieve, which claims).
    KmError readReport(const HidField& field, std::vector<uint8_t>* report);
    KmError writeReport(const HidField& field, const std::vector<uint8_t>& report);
    // The report to patch: read from the device when other fields share it, else zeros.
    KmError reportForWrite(const HidField& field, std::vector<uint8_t>* report);
    KmError fail(int error);

    mutable std::mutex m_mutex;
    std::shared_ptr<HidTransport> m_transport;
    HidNodeInfo m_node;
    HidDescriptor m_descriptor;
    HidStallRetry m_retry;
    std::map<uint8_t, size_t> m_fieldsPerReport; // distinct data fields in each feature report
    std::unique_ptr<HidConnection> m_connection;
    bool m_gone = false;
};

}  // namespace screenio::hid
