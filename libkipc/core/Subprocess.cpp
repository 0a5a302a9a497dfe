// SPDX-License-Identifier: Apache-2.0
#include "core/Subprocess.h"

#include <utility>

#include "unix/SubprocessUnix.h"

IPC_Subprocess::IPC_Subprocess(Arguments arguments) : m_arguments(std::move(arguments)) {}

IPC_Subprocess::~IPC_Subprocess() = default;

std::unique_ptr<IPC_Subprocess> IPC_Subprocess::newSubprocess(Arguments arguments) {
    return std::make_unique<kipc::SubprocessUnix>(std::move(arguments));
}

bool IPC_Subprocess::parentProcessIsRunning() {
    // An orphan is adopted by the system's first process.
    return kipc::SubprocessUnix::parentProcessId() > 1;
}
