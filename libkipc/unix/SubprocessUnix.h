// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <sys/types.h>

#include "core/Subprocess.h"

namespace kipc {

// A child process made by fork and exec.
class SubprocessUnix final : public IPC_Subprocess {
public:
    explicit SubprocessUnix(Arguments arguments);

    bool exec() override;
    bool isRunning() override;
    bool kill(int signal) override;
    bool wait(int milliseconds) override;

    static pid_t parentProcessId();

private:
    pid_t m_pid = 0;  // 0 before exec and after wait
};

}  // namespace kipc
