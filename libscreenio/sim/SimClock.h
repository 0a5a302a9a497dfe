// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace screenio::sim {

// Simulated time: the real clocks plus an offset that tests advance, so busy periods and
// restarts can pass without waiting. Every timed behaviour of the simulator reads this clock.
class SimClock {
public:
    // Monotonic microseconds, for busy periods within one process.
    static int64_t nowUs();
    // Milliseconds since the epoch, for deadlines kept in a state file between processes.
    static int64_t wallMs();
    // Moves both clocks forward.
    static void advance(int64_t microseconds);
    // Time the link took for a request: moves only the monotonic clock, so busy periods see
    // it while deadlines shared with other processes through a state file do not drift.
    static void addLinkTime(int64_t microseconds);
};

}  // namespace screenio::sim
