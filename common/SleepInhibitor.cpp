// SPDX-License-Identifier: Apache-2.0
#include "SleepInhibitor.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include <systemd/sd-bus.h>

namespace flashkit {
namespace {

struct BusRelease {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Bus = std::unique_ptr<sd_bus, BusRelease>;
using Message = std::unique_ptr<sd_bus_message, BusRelease>;

struct BusError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~BusError() { sd_bus_error_free(&error); }
};

// A missing logind must not hold the update up for the bus's default 25 s.
constexpr uint64_t kCallTimeoutUs = 5 * 1000 * 1000;

}  // namespace

SleepInhibitor::SleepInhibitor() {
    sd_bus* raw = nullptr;
    int r = sd_bus_open_system(&raw);
    const Bus bus(raw);
    if (r < 0) {
        m_problem = std::string("the system bus is not reachable (") + std::strerror(-r) + ")";
        return;
    }
    sd_bus_message* rawCall = nullptr;
    r = sd_bus_message_new_method_call(bus.get(), &rawCall, "org.freedesktop.login1",
                                       "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                       "Inhibit");
    const Message call(rawCall);
    if (r >= 0)
        r = sd_bus_message_append(call.get(), "ssss", "sleep:shutdown", "flashkit",
                                  "Updating monitor firmware", "block");
    if (r < 0) {
        m_problem = std::string("the inhibit request cannot be built (") + std::strerror(-r) + ")";
        return;
    }
    BusError error;
    sd_bus_message* rawReply = nullptr;
    r = sd_bus_call(bus.get(), call.get(), kCallTimeoutUs, &error.error, &rawReply);
    const Message reply(rawReply);
    if (r < 0) {
        m_problem = std::string("logind refused or is not running (") +
                    (error.error.message ? error.error.message : std::strerror(-r)) + ")";
        return;
    }
    int fd = -1;
    r = sd_bus_message_read(reply.get(), "h", &fd);
    if (r < 0 || fd < 0) {
        m_problem = "logind's reply carries no lock";
        return;
    }
    // The descriptor belongs to the reply, which is freed here; keep a copy of our own.
    const int lock = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (lock < 0) {
        m_problem = std::string("the lock cannot be kept (") + std::strerror(errno) + ")";
        return;
    }
    m_lock = common::UniqueFd(lock);
}

}  // namespace flashkit
