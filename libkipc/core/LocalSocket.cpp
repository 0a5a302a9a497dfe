// SPDX-License-Identifier: Apache-2.0
#include "core/LocalSocket.h"

#include <utility>

#include "unix/LocalSocketUnix.h"

IPC_LocalSocket::IPC_LocalSocket(std::string name) : m_serverName(std::move(name)) {}

IPC_LocalSocket::~IPC_LocalSocket() = default;

std::unique_ptr<IPC_LocalSocket> IPC_LocalSocket::newLocalSocket(const char* name) {
    return std::make_unique<kipc::LocalSocketUnix>(name);
}
