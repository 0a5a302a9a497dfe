// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <string>

#include "flashkit/flashkit.h"

namespace flashkit {

// Shows an update's phases, its transfer progress and the restart wait in the form that suits
// standard output: a bar redrawn in place on a terminal, plain throttled lines in a pipe or
// file, and one JSON object per event in JSON mode.
class ProgressDisplay {
public:
    enum class Style { Terminal, Lines, Json };
    using Clock = std::chrono::steady_clock;

    // The style from JsonMode() and whether standard output is a terminal.
    ProgressDisplay();
    explicit ProgressDisplay(Style style) : m_style(style) {}

    Style style() const { return m_style; }
    // A phase starts: "checking", "transferring", "restarting", "waiting" or "verifying". The
    // text is the line shown to a person (nothing when empty).
    void Phase(const char* phase, const std::string& text);
    // A line for a person; nothing in JSON mode.
    void Note(const std::string& text);
    // A warning: a line on standard error for a person, a "warning" event in JSON mode.
    void Warning(const std::string& text);

    // From the transfer's progress callback. Throttled; the first call always shows.
    void Progress(const FWTransferProgress& progress);
    // The transfer ended (done, failed or cancelled): the last progress is shown if it was not,
    // and the terminal line is closed.
    void EndTransfer();

    // The restart wait: shows the seconds since it began.
    void Waiting(int elapsedSeconds);
    void EndWaiting();

private:
    void ShowProgress(const FWTransferProgress& progress, Clock::time_point now);
    double Percent(const FWTransferProgress& progress) const;

    Style m_style;
    bool m_started = false;
    bool m_lastShown = true;
    FWTransferProgress m_last{};
    Clock::time_point m_transferStart{};
    Clock::time_point m_lastShownAt{};
    double m_lastShownPercent = 0;
    uint32_t m_lastShownBytes = 0;
    bool m_lineOpen = false;
    int m_lastWaitShown = -1;
};

}  // namespace flashkit
