// SPDX-License-Identifier: Apache-2.0
#include "unix/LocalServerUnix.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <utility>

#include "core/SocketPath.h"
#include "unix/LocalSocketUnix.h"
#include "unix/ReadableWait.h"
#include "unix/SocketAddress.h"

namespace kipc {

namespace {

constexpr int kBacklog = 32;
// File modes from this value up are folders, regular files, links and sockets: FIFOs and
// character devices below it are never removed.
constexpr mode_t kFirstRemovableMode = 0x4000;

}  // namespace

LocalServerUnix::LocalServerUnix(std::string name, uint32_t options)
    : IPC_LocalServer(name, options), m_path(SocketPathForName(name)) {}

LocalServerUnix::~LocalServerUnix() { LocalServerUnix::close(); }

bool LocalServerUnix::listen() {
    if (m_sock.valid()) return false;
    common::UniqueFd sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!sock.valid()) return false;
    m_sock = std::move(sock);
    // A socket file left by an earlier server must not block the name.
    ::unlink(m_path.c_str());
    SocketAddress address(m_path);
    if (!address.valid() || ::bind(m_sock.get(), address.get(), address.size()) != 0) {
        close();
        return false;
    }
    if (options() & kOptionAccessibleToAll) ::chmod(m_path.c_str(), 0777);
    if (::listen(m_sock.get(), kBacklog) != 0) {
        close();
        return false;
    }
    return true;
}

void LocalServerUnix::close() {
    destroyConnectedSockets();
    m_sock.close();
    struct stat status {};
    // unlink, not remove: a folder at the path is never deleted.
    if (::lstat(m_path.c_str(), &status) == 0 && status.st_mode >= kFirstRemovableMode)
        ::unlink(m_path.c_str());
}

bool LocalServerUnix::waitForNewConnection(int milliseconds, KmBool* timedOut) {
    if (!m_sock.valid()) return false;
    WaitOutcome outcome = WaitReadable(m_sock.get(), milliseconds);
    if (outcome == WaitOutcome::Failed) {
        close();
        return false;
    }
    if (timedOut) *timedOut = outcome == WaitOutcome::TimedOut ? 1 : 0;
    return outcome == WaitOutcome::Ready;
}

IPC_LocalSocket* LocalServerUnix::accept() {
    if (!m_sock.valid()) return nullptr;
    if (!waitForNewConnection(-1, nullptr)) return nullptr;
    // Accepted sockets stay blocking, so reads on them wait for the peer.
    common::UniqueFd accepted(::accept4(m_sock.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!accepted.valid()) {
        close();
        return nullptr;
    }
    auto socket = std::make_unique<LocalSocketUnix>(serverName());
    socket->setSocketInfo(std::move(accepted), this);
    return addConnectedSocket(std::move(socket));
}

}  // namespace kipc
