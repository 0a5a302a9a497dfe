// SPDX-License-Identifier: Apache-2.0
#include "core/LocalServer.h"

#include <algorithm>
#include <utility>

#include "core/LocalSocket.h"
#include "unix/LocalServerUnix.h"

IPC_LocalServer::IPC_LocalServer(std::string name, uint32_t options)
    : m_serverName(std::move(name)), m_options(options) {}

IPC_LocalServer::~IPC_LocalServer() = default;

std::unique_ptr<IPC_LocalSocket> IPC_LocalServer::removeConnectedSocket(IPC_LocalSocket* socket) {
    auto found = std::find_if(m_connectedSockets.begin(), m_connectedSockets.end(),
                              [socket](const auto& listed) { return listed.get() == socket; });
    if (found == m_connectedSockets.end()) return nullptr;
    std::unique_ptr<IPC_LocalSocket> owned = std::move(*found);
    m_connectedSockets.erase(found);
    return owned;
}

IPC_LocalSocket* IPC_LocalServer::addConnectedSocket(std::unique_ptr<IPC_LocalSocket> socket) {
    m_connectedSockets.push_back(std::move(socket));
    return m_connectedSockets.back().get();
}

void IPC_LocalServer::destroyConnectedSockets() {
    // Emptied before the sockets go, so nothing can reach a half-destroyed list.
    std::vector<std::unique_ptr<IPC_LocalSocket>> sockets = std::move(m_connectedSockets);
    m_connectedSockets.clear();
}

std::unique_ptr<IPC_LocalServer> IPC_LocalServer::newLocalServer(const char* name,
                                                                 uint32_t options) {
    return std::make_unique<kipc::LocalServerUnix>(name, options);
}
