// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace kipc {

enum class WaitOutcome {
    Ready,     // the descriptor can be read (or accepted) without blocking
    TimedOut,  // the time ran out with nothing ready
    NotReady,  // the descriptor cannot be watched at all, so it is never ready
    Failed,    // the wait itself failed
};

// Waits until a descriptor is readable: milliseconds < 0 waits without limit. A signal does not
// stretch the wait: after an interruption only the remaining time is waited.
WaitOutcome WaitReadable(int fd, int milliseconds);

}  // namespace kipc
