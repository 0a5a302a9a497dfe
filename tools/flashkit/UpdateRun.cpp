#include "UpdateRun.h"

#include <cstdlib>
#include <string>
#include <thread>

#include "Failure.h"
#include "InterruptFlag.h"
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

const char kCancelledTransfer[] =
    "The transfer was cancelled; nothing was installed and the monitor works as before.";
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
    static_cast<UpdateRun*>(self)->m_display.Progress(progress);
    return InterruptFlag::Raised() ? 0 : 1;
}

void UpdateRun::Run() {
    const InterruptFlag interrupt;
    const SleepInhibitor inhibitor;
    if (!inhibitor.held())
        m_display.Warning("cannot keep the computer from sleeping during the update: " +
                          inhibitor.problem() + ". Do not let it sleep or shut down until the end.");
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
    if (status == KmErrorCancelled || (status < 0 && InterruptFlag::Raised()))
        throw Failure(ExitCancelled, kCancelledTransfer);
    if (status < 0) throw MonitorFailure(what + m_monitor.Title(), status);
    if (InterruptFlag::Raised() && m_monitor.kind != FWFirmwareUpdateTypeMStar)
        throw Failure(ExitCancelled, "The update was cancelled before the installation started; "
                                     "nothing was installed and the monitor works as before.");
    if (m_monitor.kind != FWFirmwareUpdateTypeMStar) {
        status = FWMonitorTriggerFirmwareUpdate(m_monitor.handle);
        if (status < 0)
            throw MonitorFailure("Starting the installation on " + m_monitor.Title(), status);
    }
    m_display.Phase("restarting", "The monitor is restarting to install the firmware; it must not be "
                                  "unplugged or switched off until it is back.");
}

bool UpdateRun::SleepWaiting(Ms duration, bool show) {
    const Clock::time_point end = Clock::now() + duration;
    while (Clock::now() < end) {
        if (InterruptFlag::Raised()) return false;
        if (show)
            m_display.Waiting(int(std::chrono::duration_cast<std::chrono::seconds>(
                                  Clock::now() - m_waitStart).count()));
        std::this_thread::sleep_for(std::min<Clock::duration>(kSleepStep, end - Clock::now()));
    }
    return !InterruptFlag::Raised();
}

void UpdateRun::WaitForReturn() {
    m_display.Phase("waiting", "");
    m_waitStart = Clock::now();
    const Ms poll = PollInterval();
    void* handle = nullptr;
    while (!handle) {
        if (Clock::now() - m_waitStart >= kLongestWait) {
            m_display.EndWaiting();
            throw Failure(ExitNotBack,
                          m_monitor.Title() + " did not come back within 10 minutes after its "
                          "restart. Switch it off and on, check its USB cable, then run 'flashkit "
                          "check' to see whether the update was installed.");
        }
        if (!SleepWaiting(poll)) {
            m_display.EndWaiting();
            throw Failure(ExitCancelled, kCancelledWait);
        }
        handle = MonitorList::FindAgain(m_monitor.product, m_monitor.serial);
    }
    m_display.EndWaiting();
    m_monitor.handle = handle;
    m_display.Note(m_monitor.Title() + " is back.");
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
        // The handle may have gone if the monitor restarted once more (the scaler's power cycle).
        m_monitor.handle = MonitorList::FindAgain(m_monitor.product, m_monitor.serial);
    }
    if (!m_monitor.handle)
        throw Failure(ExitNotBack, m_monitor.Title() + " left again after its restart. Switch it off "
                                   "and on, then run 'flashkit check' to see its versions.");
    throw MonitorFailure("Checking the installed versions of " + m_monitor.Title(), status, true);
}

}  // namespace flashkit
