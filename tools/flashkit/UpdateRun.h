// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <string>

#include "MonitorList.h"
#include "ProgressDisplay.h"
#include "flashkit/flashkit.h"

namespace flashkit {

// One update of a checked and confirmed monitor: the transfer with progress, the restart, the
// wait for the monitor to come back and the completion check. Every step that fails throws
// Failure with its class's exit status; Ctrl-C ends it with ExitCancelled.
class UpdateRun {
public:
    UpdateRun(FWKfwFile* package, const MonitorEntry& monitor, ProgressDisplay& display,
              bool force);

    // Runs every step; on return the monitor reports the package's versions and `monitor()` is
    // its handle in the latest search.
    void Run();
    const MonitorEntry& monitor() const { return m_monitor; }
    // What the transfer left on the monitor (complete after a successful one).
    FWUpdateOutcome outcome() const { return m_outcome; }

    // Poll interval of the restart wait: 2 s, or FLASHKIT_RESTART_POLL_MS (for tests).
    static std::chrono::milliseconds PollInterval();

private:
    static int8_t OnProgress(FWTransferProgress progress, void* self);
    void Transfer();
    void WaitForReturn();
    void Verify();
    // Sleeps up to `duration` in short steps, updating the wait display; false on Ctrl-C.
    bool SleepWaiting(std::chrono::milliseconds duration, bool show = true);

    FWKfwFile* m_package;
    MonitorEntry m_monitor;
    ProgressDisplay& m_display;
    unsigned int m_options;
    std::chrono::steady_clock::time_point m_waitStart{};
    FWUpdateOutcome m_outcome = FWUpdateOutcomeUntouched;
    bool m_stopNoted = false;
};

}  // namespace flashkit
