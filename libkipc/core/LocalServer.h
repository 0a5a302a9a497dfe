// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kipc/kipc.h"

struct IPC_LocalSocket;

// A listening socket under a name; it owns the sockets it accepted until they are released.
// Declared with the struct key because the public header names the same type for its handles.
struct IPC_LocalServer {
public:
    // Bit 0 of the options: the socket file is readable and writable by every user.
    static constexpr uint32_t kOptionAccessibleToAll = 1u;

    virtual ~IPC_LocalServer();
    IPC_LocalServer(const IPC_LocalServer&) = delete;
    IPC_LocalServer& operator=(const IPC_LocalServer&) = delete;

    virtual bool listen() = 0;
    virtual void close() = 0;
    virtual bool waitForNewConnection(int milliseconds, KmBool* timedOut) = 0;
    virtual IPC_LocalSocket* accept() = 0;

    const std::string& serverName() const { return m_serverName; }
    uint32_t options() const { return m_options; }
    // Takes the socket out of the list and hands back its ownership; null when it is not listed.
    std::unique_ptr<IPC_LocalSocket> removeConnectedSocket(IPC_LocalSocket* socket);

    static std::unique_ptr<IPC_LocalServer> newLocalServer(const char* name, uint32_t options);

protected:
    IPC_LocalServer(std::string name, uint32_t options);
    IPC_LocalSocket* addConnectedSocket(std::unique_ptr<IPC_LocalSocket> socket);
    void destroyConnectedSockets();

private:
    std::string m_serverName;
    std::vector<std::unique_ptr<IPC_LocalSocket>> m_connectedSockets;
    uint32_t m_options;
};
