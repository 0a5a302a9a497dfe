// SPDX-License-Identifier: Apache-2.0
#include "unix/ReadableWait.h"

#include <sys/select.h>

#include <cerrno>
#include <chrono>

namespace kipc {

WaitOutcome WaitReadable(int fd, int milliseconds) {
    using Clock = std::chrono::steady_clock;
    if (fd >= FD_SETSIZE) {
        // Outside the wait set: never ready. A bounded wait still lasts its time; an endless
        // one on an empty set could only hang, so it ends at once.
        if (milliseconds < 0) return WaitOutcome::NotReady;
        timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
        ::select(0, nullptr, nullptr, nullptr, &timeout);
        return WaitOutcome::TimedOut;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    long long remaining = milliseconds;
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval timeout{static_cast<time_t>(remaining / 1000),
                        static_cast<suseconds_t>((remaining % 1000) * 1000)};
        int ready =
            ::select(fd + 1, &readable, nullptr, nullptr, milliseconds < 0 ? nullptr : &timeout);
        if (ready > 0) return FD_ISSET(fd, &readable) ? WaitOutcome::Ready : WaitOutcome::NotReady;
        if (ready == 0) return WaitOutcome::TimedOut;
        if (errno != EINTR) return WaitOutcome::Failed;
        if (milliseconds >= 0) {
            remaining =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (remaining < 0) return WaitOutcome::TimedOut;
        }
    }
}

}  // namespace kipc
