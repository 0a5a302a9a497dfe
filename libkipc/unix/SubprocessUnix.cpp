// SPDX-License-Identifier: Apache-2.0
#include "unix/SubprocessUnix.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace kipc {

namespace {

constexpr int kPollStepMilliseconds = 100;

}  // namespace

SubprocessUnix::SubprocessUnix(Arguments arguments) : IPC_Subprocess(std::move(arguments)) {}

bool SubprocessUnix::exec() {
    const Arguments& args = arguments();
    if (isRunning() || args.empty() || args.size() > kMaxArguments) return false;
    // Built before fork: the child of a threaded process may only make async-signal-safe calls.
    std::array<char*, kMaxArguments + 1> argv{};
    for (std::size_t i = 0; i < args.size(); ++i) argv[i] = const_cast<char*>(args[i].c_str());
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(1);
    }
    m_pid = pid;
    return true;
}

bool SubprocessUnix::isRunning() {
    if (m_pid <= 0) return false;
    int status = 0;
    return ::waitpid(m_pid, &status, WNOHANG) == 0;
}

bool SubprocessUnix::kill(int signal) {
    if (!isRunning()) return true;
    return ::kill(m_pid, signal) == 0;
}

bool SubprocessUnix::wait(int milliseconds) {
    if (milliseconds != 0 && m_pid > 0) {
        if (milliseconds > 0) {
            long long elapsed = 0;
            while (isRunning()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMilliseconds));
                elapsed += kPollStepMilliseconds;
                if (elapsed >= milliseconds) {
                    kill(SIGKILL);
                    break;
                }
            }
        }
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {}
    }
    m_pid = 0;
    return true;
}

pid_t SubprocessUnix::parentProcessId() { return ::getppid(); }

}  // namespace kipc
