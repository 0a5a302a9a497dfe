// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

#include "UniqueFd.h"
#include "core/LocalServer.h"

namespace kipc {

// A listening local stream socket; its socket file exists from listen to close.
class LocalServerUnix final : public IPC_LocalServer {
public:
    LocalServerUnix(std::string name, uint32_t options);
    ~LocalServerUnix() override;

    bool listen() override;
    void close() override;
    bool waitForNewConnection(int milliseconds, KmBool* timedOut) override;
    IPC_LocalSocket* accept() override;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    common::UniqueFd m_sock;
};

}  // namespace kipc
