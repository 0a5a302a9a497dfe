// SPDX-License-Identifier: Apache-2.0
#include "UhidDevice.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace kerneltest {
namespace {

// Copies a string into a fixed, zero-terminated field of the kernel's request.
template <size_t N> void CopyText(uint8_t (&field)[N], const std::string& text) {
    const size_t n = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), n, field);
    field[n] = 0;
}

UhidReportType TypeOf(uint8_t rtype) {
    switch (rtype) {
    case UHID_OUTPUT_REPORT: return UhidReportType::Output;
    case UHID_INPUT_REPORT: return UhidReportType::Input;
    default: return UhidReportType::Feature;
    }
}

}  // namespace

UhidDevice::UhidDevice()
    : m_fd(::open("/dev/uhid", O_RDWR | O_CLOEXEC)), m_stop(::eventfd(0, EFD_CLOEXEC)) {
    if (!m_fd.valid()) throw std::system_error(errno, std::generic_category(), "/dev/uhid");
    if (!m_stop.valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
}

UhidDevice::~UhidDevice() {
    try {
        destroy();
    } catch (const std::exception&) {
        // Closing the file removes the device as well.
    }
}

void UhidDevice::write(const void* event, size_t size) {
    const ssize_t n = ::write(m_fd.get(), event, size);
    if (n < 0) throw std::system_error(errno, std::generic_category(), "write /dev/uhid");
    if (static_cast<size_t>(n) != size) throw std::runtime_error("short write to /dev/uhid");
}

void UhidDevice::create(const UhidIdentity& identity) {
    if (m_created) throw std::logic_error("uhid device created twice");
    uhid_event event{};
    event.type = UHID_CREATE2;
    uhid_create2_req& request = event.u.create2;
    if (identity.descriptor.size() > sizeof request.rd_data)
        throw std::length_error("report descriptor of " +
                                std::to_string(identity.descriptor.size()) +
                                " bytes is larger than uhid takes");
    CopyText(request.name, identity.name);
    CopyText(request.uniq, identity.uniq);
    CopyText(request.phys, "uhid-kernel-test");
    request.rd_size = static_cast<uint16_t>(identity.descriptor.size());
    std::copy(identity.descriptor.begin(), identity.descriptor.end(), request.rd_data);
    request.bus = identity.bus;
    request.vendor = identity.vendor;
    request.product = identity.product;
    write(&event, sizeof event);
    m_created = true;
    ++m_creates;
}

void UhidDevice::destroy() {
    if (!m_created) return;
    uhid_event event{};
    event.type = UHID_DESTROY;
    m_created = false;
    write(&event, sizeof event);
    ++m_destroys;
}

void UhidDevice::stop() {
    const uint64_t one = 1;
    // An eventfd write of 8 bytes only fails on counter overflow, which one stop cannot cause.
    [[maybe_unused]] ssize_t n = ::write(m_stop.get(), &one, sizeof one);
}

void UhidDevice::serve(Handler& handler, int tickMs) {
    for (;;) {
        pollfd fds[2] = {{m_fd.get(), POLLIN, 0}, {m_stop.get(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, tickMs);
        if (ready < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "poll /dev/uhid");
        if (ready > 0 && fds[1].revents) return;
        if (ready > 0 && (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)))
            throw std::runtime_error("/dev/uhid reported an error");
        if (ready > 0 && (fds[0].revents & POLLIN)) serveOne(handler);
        handler.tick(*this);
    }
}

void UhidDevice::serveOne(Handler& handler) {
    uhid_event event{};
    const ssize_t n = ::read(m_fd.get(), &event, sizeof event);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return;
        throw std::system_error(errno, std::generic_category(), "read /dev/uhid");
    }
    if (static_cast<size_t>(n) < sizeof event.type) throw std::runtime_error("short uhid event");
    switch (event.type) {
    case UHID_START: ++m_start; break;
    case UHID_STOP: ++m_stopEvents; break;
    case UHID_OPEN: ++m_open; break;
    case UHID_CLOSE: ++m_close; break;
    case UHID_OUTPUT: ++m_output; break;
    case UHID_GET_REPORT: {
        ++m_get;
        const uhid_get_report_req request = event.u.get_report;
        std::vector<uint8_t> reply;
        int err = handler.getReport(request.rnum, TypeOf(request.rtype), reply);
        if (err == 0 && reply.size() > UHID_DATA_MAX) err = EMSGSIZE;
        uhid_event answer{};
        answer.type = UHID_GET_REPORT_REPLY;
        answer.u.get_report_reply.id = request.id;
        answer.u.get_report_reply.err = static_cast<uint16_t>(err);
        if (err == 0) {
            answer.u.get_report_reply.size = static_cast<uint16_t>(reply.size());
            std::copy(reply.begin(), reply.end(), answer.u.get_report_reply.data);
        }
        write(&answer, sizeof answer);
        break;
    }
    case UHID_SET_REPORT: {
        ++m_set;
        const uhid_set_report_req& request = event.u.set_report;
        const size_t size = std::min<size_t>(request.size, sizeof request.data);
        const std::vector<uint8_t> report(request.data, request.data + size);
        const int err = handler.setReport(request.rnum, TypeOf(request.rtype), report);
        uhid_event answer{};
        answer.type = UHID_SET_REPORT_REPLY;
        answer.u.set_report_reply.id = request.id;
        answer.u.set_report_reply.err = static_cast<uint16_t>(err);
        write(&answer, sizeof answer);
        break;
    }
    default: break;  // events of later kernels: nothing to answer
    }
}

UhidDevice::Counts UhidDevice::counts() const {
    Counts c;
    c.start = m_start;
    c.stop = m_stopEvents;
    c.open = m_open;
    c.close = m_close;
    c.getReport = m_get;
    c.setReport = m_set;
    c.output = m_output;
    c.creates = m_creates;
    c.destroys = m_destroys;
    return c;
}

}  // namespace kerneltest
