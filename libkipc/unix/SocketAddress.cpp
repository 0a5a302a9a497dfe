// SPDX-License-Identifier: Apache-2.0
#include "unix/SocketAddress.h"

#include <cstring>

#include "core/SocketPath.h"

namespace kipc {

static_assert(sizeof(sockaddr_un{}.sun_path) > kMaxSocketPathBytes,
              "the path and its terminating zero must fit the address");

SocketAddress::SocketAddress(const std::string& path) {
    m_address.sun_family = AF_UNIX;
    if (path.size() > kMaxSocketPathBytes) return;
    // The rest of the zero-initialised path field terminates the path.
    std::memcpy(m_address.sun_path, path.data(), path.size());
    m_valid = true;
}

}  // namespace kipc
