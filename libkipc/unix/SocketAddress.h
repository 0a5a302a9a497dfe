// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <string>

namespace kipc {

// The local-socket address of a path; invalid when the path is longer than the usable limit.
class SocketAddress {
public:
    explicit SocketAddress(const std::string& path);

    bool valid() const { return m_valid; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&m_address); }
    socklen_t size() const { return sizeof m_address; }

private:
    sockaddr_un m_address{};
    bool m_valid = false;
};

}  // namespace kipc
