// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

#include "UniqueFd.h"
#include "core/LocalSocket.h"

namespace kipc {

// A local stream socket. A client's socket is non-blocking; one handed out by a server's accept
// blocks.
class LocalSocketUnix final : public IPC_LocalSocket {
public:
    explicit LocalSocketUnix(std::string name);

    bool connectToServer() override;
    void close() override;
    bool read(uint8_t* buffer, uint32_t length) override;
    bool write(const uint8_t* buffer, uint32_t length) override;
    bool waitForReadableState(int milliseconds, KmBool* timedOut) override;
    uint32_t bytesAvaiable() override;
    bool isConnected() const override { return m_fd.valid(); }

    // Gives an accepted descriptor and the server that accepted it to this socket.
    void setSocketInfo(common::UniqueFd descriptor, IPC_LocalServer* server);
    const std::string& path() const { return m_path; }

private:
    bool connectToSocket();

    std::string m_path;
    common::UniqueFd m_fd;
};

}  // namespace kipc
