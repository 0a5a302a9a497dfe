// SPDX-License-Identifier: Apache-2.0
#include "UpdateRun.h"

#include <cstdlib>
#include <string>
#include <thread>

#include "Failure.h"
#include "InterruptFlag.h"
#include "MonitorState.h"
#include "SleepInhibitor.h"
#include "screenio/screenio.h"

namespace flashkit {
namespace {

using Ms = std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr Ms kDefaultPoll{2000};
constexpr Ms kLongestWait{10 * 60 * 1000};
constexpr Ms kSleepStep{100};
// A monitor that is back may need a moment before every device reports its new version.
constexpr int kCompletionChecks = 4;
constexpr Ms kCompletionRetry{1000};

const char kCancelledWait[] =
    "Stopped waiting, but the monitor is installing the firmware: leave it switched on and "
    "connected until it has restarted, then run 'flashkit check' to see its versions.";

}  // namespace

UpdateRun::UpdateRun(FWKfwFile* package, const MonitorEntry& monitor, ProgressDisplay& display,
                     bool force)
    : m_package(package), m_monitor(monitor), m_display(display),
      m_options(force ? FWTransferOptionForce : 0) {}

Ms UpdateRun::PollInterval() {
    const char* text = std::getenv("FLASHKIT_RESTART_POLL_MS");
    if (!text || !*text) return kDefaultPoll;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value > 0 && value <= 60000 ? Ms(value) : kDefaultPoll;
}

int8_t UpdateRun::OnProgress(FWTransferProgress progress, void* self) {
    auto* run = static_cast<UpdateRun*>(self);
    run->m_display.Progress(progress);
    if (!InterruptFlag::Raised()) return 1;
    const FWFirmwareUpdateType kind = run->m_monitor.kind;
    if (!run->m_stopNoted &&
        (kind == FWFirmwareUpdateTypeMStar || kind == FWFirmwareUpdateTypeZV)) {
        run->m_stopNoted = true;
        run->m_display.Warning("stopping once the image being written is complete and verified: "
                               "stopping in the middle of it could leave the monitor unable to "
                               "start.");
    }
    return 0;
}

void UpdateRun::Run() {
    const InterruptFlag interrupt;
    const SleepInhibitor inhibitor;
    if (!inhibitor.held())
        m_display.Warning(
            "cannot keep the computer from sleeping during the update: " + inhibitor.problem() +
            ". Do not let it sleep or shut down until the end.");
    Transfer();
    WaitForReturn();
    Verify();
}

void UpdateRun::Transfer() {
    m_display.Phase("transferring", "Transferring the firmware to " + m_monitor.Title() + "...");
    KmError status = 0;
    const char* what = "Transferring the firmware to ";
    if (m_monitor.kind == FWFirmwareUpdateTypeMStar) {
        // The scaler flow writes, marks and restarts in one call.
        status = FWMonitorUpdateFirmware(m_monitor.handle, m_package, OnProgress, this, m_options);
        what = "Updating the firmware of ";
    } else {
        status = FWMonitorTransferFirmwareDataWithOptions(m_monitor.handle, m_package, OnProgress,
                                                          this, m_options);
    }
    m_display.EndTransfer();
    const FWUpdateOutcome outcome = FWMonitorGetLastUpdateOutcome();
    m_outcome = outcome;
    const std::string state = MonitorStateAfter(m_monitor.kind, outcome);
    if (status == KmErrorCancelled || (status < 0 && InterruptFlag::Raised()))
        throw Failure(ExitCancelled, "The transfer was cancelled; " + state);
    if (status < 0)
        throw TransferFailure(what + m_monitor.Title(), status, state,
                              UnchangedAfter(m_monitor.kind, outcome));
    if (InterruptFlag::Raised() && m_monitor.kind != FWFirmwareUpdateTypeMStar)
        throw Failure(ExitCancelled,
                      "The update was cancelled before the installation started; " + state);
    if (m_monitor.kind != FWFirmwareUpdateTypeMStar) {
        status = FWMonitorTriggerFirmwareUpdate(m_monitor.handle);
        // A refused trigger restarts nothing: record files stay temporary copies, while ZV
        // images stay marked for the next restart.
        if (status < 0)
            throw TransferFailure("Starting the installation on " + m_monitor.Title(), status,
                                  MonitorStateAfter(m_monitor.kind, FWUpdateOutcomeComplete),
                                  UnchangedAfter(m_monitor.kind, FWUpdateOutcomeComplete));
    }
    m_display.Phase("restarting",
                    "The monitor is restarting to install the firmware; it must not be "
                    "unplugged or switched off until it is back.");
}

bool UpdateRun::SleepWaiting(Ms duration, bool show) {
    const Clock::time_point end = Clock::now() + duration;
    while (Clock::now() < end) {
        if (InterruptFlag::Raised()) return false;
        if (show)
            m_display.Waiting(
                int(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - m_waitStart)
                        .count()));
        std::this_thread::sleep_for(std::min<Clock::duration>(kSleepStep, end - Clock::now()));
    }
    return !InterruptFlag::Raised();
}

void UpdateRun::WaitForReturn() {
    m_display.Phase("waiting", "");
    m_waitStart = Clock::now();
    const Ms poll = PollInterval();
    void* handle = nullptr;
    std::string found = m_monitor.product;
    while (!handle) {
        if (Clock::now() - m_waitStart >= kLongestWait) {
            m_display.EndWaiting();
            throw Failure(
                ExitNotBack,
                m_monitor.Title() +
                    " did not come back within 10 minutes after its "
                    "restart. Switch it off and on, check its USB cable, then run 'flashkit "
                    "check' to see whether the update was installed.");
        }
        if (!SleepWaiting(poll)) {
            m_display.EndWaiting();
            throw Failure(ExitCancelled, kCancelledWait);
        }
        handle = MonitorList::FindAgain(m_monitor.product, m_monitor.serial, &found);
    }
    m_display.EndWaiting();
    m_monitor.handle = handle;
    const std::string before = m_monitor.Title();
    m_monitor.product = found;
    m_display.Note(before == m_monitor.Title() ? before + " is back."
                                               : before + " is back as " + found + ".");
}

void UpdateRun::Verify() {
    m_display.Phase("verifying", "Checking the installed versions...");
    KmError status = KmErrorNotFinished;
    for (int attempt = 1; attempt <= kCompletionChecks; ++attempt) {
        if (m_monitor.handle) {
            status = FWMonitorCheckFirmwareUpdateFinished(m_monitor.handle, m_package);
            if (status >= 0) return;
        }
        if (attempt == kCompletionChecks) break;
        if (!SleepWaiting(kCompletionRetry, false)) throw Failure(ExitCancelled, kCancelledWait);
        // The handle may have gone if the monitor restarted once more: a scaler power-cycles by
        // itself some seconds after its update, and is then waited for as after any restart.
        m_monitor.handle =
            MonitorList::FindAgain(m_monitor.product, m_monitor.serial, &m_monitor.product);
        if (!m_monitor.handle) {
            WaitForReturn();
            m_display.Phase("verifying", "Checking the installed versions...");
        }
    }
    if (!m_monitor.handle)
        throw Failure(ExitNotBack, m_monitor.Title() +
                                       " left again after its restart. Switch it off "
                                       "and on, then run 'flashkit check' to see its versions.");
    throw MonitorFailure("Checking the installed versions of " + m_monitor.Title(), status, true);
}

}  // namespace flashkit
