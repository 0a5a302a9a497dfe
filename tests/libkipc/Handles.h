// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

#include "kipc/kipc.h"

namespace kipctest {

struct ServerRelease {
    void operator()(IPC_LocalServer* server) const { IPC_LocalServerRelease(server); }
};
struct SocketRelease {
    void operator()(IPC_LocalSocket* socket) const { IPC_LocalSocketRelease(socket); }
};
using Server = std::unique_ptr<IPC_LocalServer, ServerRelease>;
using Socket = std::unique_ptr<IPC_LocalSocket, SocketRelease>;

// An accepted socket belongs to its server; releasing it early is allowed, but not after the
// server, so it is only borrowed here unless handed to Socket on purpose.
inline Server MakeServer(const char* name, unsigned options = 0) {
    return Server(IPC_LocalServerCreateWithNameAndOptions(name, options));
}

inline Socket ConnectedClient(const char* name) {
    Socket client(IPC_LocalSocketCreateWithName(name));
    if (client && !IPC_LocalSocketConnectToServer(client.get())) client.reset();
    return client;
}

}  // namespace kipctest
