// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kipc/kipc.h"

// A connected byte stream to another local process. Declared with the struct key because the
// public header names the same type for its opaque handles.
struct IPC_LocalSocket {
public:
    virtual ~IPC_LocalSocket();
    IPC_LocalSocket(const IPC_LocalSocket&) = delete;
    IPC_LocalSocket& operator=(const IPC_LocalSocket&) = delete;

    virtual bool connectToServer() = 0;
    virtual void close() = 0;
    virtual bool read(uint8_t* buffer, uint32_t length) = 0;
    virtual bool write(const uint8_t* buffer, uint32_t length) = 0;
    virtual bool waitForReadableState(int milliseconds, KmBool* timedOut) = 0;
    virtual uint32_t bytesAvaiable() = 0;
    virtual bool isConnected() const = 0;

    const std::string& serverName() const { return m_serverName; }
    // The server that accepted this socket; null for a client's socket.
    IPC_LocalServer* referenceServer() const { return m_server; }

    static std::unique_ptr<IPC_LocalSocket> newLocalSocket(const char* name);

protected:
    explicit IPC_LocalSocket(std::string name);
    void setServer(IPC_LocalServer* server) { m_server = server; }

private:
    std::string m_serverName;
    IPC_LocalServer* m_server = nullptr;
};
