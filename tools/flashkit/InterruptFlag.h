// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <csignal>

namespace flashkit {

// While an object lives, Ctrl-C (SIGINT) only raises a flag that the long-running steps poll,
// so that a transfer stops at a safe point instead of killing the tool mid-request. The previous
// handler comes back when the object goes.
class InterruptFlag {
public:
    InterruptFlag();
    ~InterruptFlag();
    InterruptFlag(const InterruptFlag&) = delete;
    InterruptFlag& operator=(const InterruptFlag&) = delete;

    static bool Raised();

private:
    struct sigaction m_previous {};
};

}  // namespace flashkit
