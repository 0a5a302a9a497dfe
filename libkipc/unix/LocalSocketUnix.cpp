// SPDX-License-Identifier: Apache-2.0
#include "unix/LocalSocketUnix.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/SocketPath.h"
#include "unix/ReadableWait.h"
#include "unix/SocketAddress.h"

namespace kipc {

namespace {

constexpr uint32_t kCountUnknown = 0xFFFFFFFFu;

// These say the connection itself is gone; anything else may pass.
bool ConnectionLost(int error) { return error == ENOTCONN || error == ENOENT; }

}  // namespace

LocalSocketUnix::LocalSocketUnix(std::string name)
    : IPC_LocalSocket(name), m_path(SocketPathForName(name)) {}

bool LocalSocketUnix::connectToServer() {
    if (m_fd.valid()) return false;
    common::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) return false;
    m_fd = std::move(fd);
    return connectToSocket();
}

bool LocalSocketUnix::connectToSocket() {
    SocketAddress address(m_path);
    if (!address.valid()) {
        close();
        return false;
    }
    int result;
    do {
        result = ::connect(m_fd.get(), address.get(), address.size());
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        close();
        return false;
    }
    return true;
}

void LocalSocketUnix::close() { m_fd.close(); }

bool LocalSocketUnix::read(uint8_t* buffer, uint32_t length) {
    if (!m_fd.valid()) return false;
    uint32_t done = 0;
    while (done < length) {
        ssize_t got = ::read(m_fd.get(), buffer + done, length - done);
        if (got > 0) {
            done += static_cast<uint32_t>(got);
            continue;
        }
        if (got == 0) return false;  // the peer has closed
        if (errno == EINTR) continue;
        if (ConnectionLost(errno)) close();
        return false;
    }
    return true;
}

bool LocalSocketUnix::write(const uint8_t* buffer, uint32_t length) {
    if (!m_fd.valid()) return false;
    uint32_t done = 0;
    while (done < length) {
        // A peer that has gone must fail the write, not end the process with SIGPIPE.
        ssize_t sent = ::send(m_fd.get(), buffer + done, length - done, MSG_NOSIGNAL);
        if (sent >= 0) {
            done += static_cast<uint32_t>(sent);
            continue;
        }
        if (errno == EINTR) continue;
        if (ConnectionLost(errno)) close();
        return false;
    }
    return true;
}

bool LocalSocketUnix::waitForReadableState(int milliseconds, KmBool* timedOut) {
    if (!m_fd.valid()) return false;
    WaitOutcome outcome = WaitReadable(m_fd.get(), milliseconds);
    if (outcome == WaitOutcome::Failed) {
        close();
        return false;
    }
    if (timedOut) *timedOut = outcome == WaitOutcome::TimedOut ? 1 : 0;
    return outcome == WaitOutcome::Ready;
}

uint32_t LocalSocketUnix::bytesAvaiable() {
    if (!m_fd.valid()) return kCountUnknown;
    int count = 0;
    if (::ioctl(m_fd.get(), FIONREAD, &count) != 0) {
        close();
        return kCountUnknown;
    }
    return static_cast<uint32_t>(count);
}

void LocalSocketUnix::setSocketInfo(common::UniqueFd descriptor, IPC_LocalServer* server) {
    m_fd = std::move(descriptor);
    setServer(server);
}

}  // namespace kipc
