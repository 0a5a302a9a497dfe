// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "UniqueFd.h"

namespace kerneltest {

// What the kernel is told about a device when it is created.
struct UhidIdentity {
    std::string name;
    std::string uniq;     // the serial number; sysfs shows it as HID_UNIQ
    uint16_t bus = 0x03;  // BUS_USB
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::vector<uint8_t> descriptor;
};

// The kind of report a GET_REPORT or SET_REPORT asks for.
enum class UhidReportType { Feature, Output, Input };

// A HID device in the kernel whose reports this process serves, through /dev/uhid. One device
// per open file; it can be destroyed and created again, as a USB device leaves and comes back.
// Events are served by serve() on one thread; stop() ends it from any thread.
class UhidDevice {
public:
    // Answers the kernel's report requests. Reports carry the report ID as their first byte,
    // as the kernel passes and expects them (hidraw's convention).
    class Handler {
    public:
        virtual ~Handler() = default;
        // Fills `reply` with the whole report; returns 0, or an errno value to fail the request.
        virtual int getReport(uint8_t reportId, UhidReportType type,
                              std::vector<uint8_t>& reply) = 0;
        virtual int setReport(uint8_t reportId, UhidReportType type,
                              const std::vector<uint8_t>& report) = 0;
        // Called after every event and at least every tick of serve(): where the device may be
        // destroyed or created again.
        virtual void tick(UhidDevice& device) { (void)device; }
    };

    // Counts of the kernel's events, for checks of what the kernel did.
    struct Counts {
        unsigned start = 0;
        unsigned stop = 0;
        unsigned open = 0;  // a hidraw node (or another HID user) was opened
        unsigned close = 0;
        unsigned getReport = 0;
        unsigned setReport = 0;
        unsigned output = 0;
        unsigned creates = 0;
        unsigned destroys = 0;
    };

    // Opens /dev/uhid; throws std::system_error when it cannot.
    UhidDevice();
    ~UhidDevice();
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;

    // UHID_CREATE2; throws when the kernel refuses it. create() and destroy() may run beside
    // serve(), but not beside each other: one thread (the handler's tick, or another) owns them.
    void create(const UhidIdentity& identity);
    // UHID_DESTROY: the kernel removes the device and its hidraw node. Nothing when not
    // created.
    void destroy();
    bool created() const { return m_created; }

    // Serves the kernel's events until stop(); throws std::system_error on a failed read or
    // write of /dev/uhid.
    void serve(Handler& handler, int tickMs);
    void stop();

    Counts counts() const;

private:
    void serveOne(Handler& handler);
    void write(const void* event, size_t size);

    common::UniqueFd m_fd;
    common::UniqueFd m_stop;  // an eventfd: readable once stop() was called
    bool m_created = false;
    std::atomic<unsigned> m_start{0}, m_stopEvents{0}, m_open{0}, m_close{0}, m_get{0}, m_set{0},
        m_output{0}, m_creates{0}, m_destroys{0};
};

}  // namespace kerneltest
