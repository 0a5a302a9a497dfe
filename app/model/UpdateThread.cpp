#include "model/UpdateThread.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

#include "SleepInhibitor.h"
#include "flashkit/flashkit.h"
#include "model/KORUProcess.h"
#include "model/KfwFile.h"
#include "model/TargetMonitor.h"
#include "model/Timings.h"

struct UpdateThread::State {
    std::mutex mutex;
    std::shared_ptr<TargetMonitor> targetMonitor;
    std::shared_ptr<KfwFile> kfwFile;
    std::optional<ErrorMessage> lastError;
    int32_t lastStatus = 0;
    std::atomic<bool> running{false};
    std::atomic<bool> finished{false};
};

namespace {

// Transfer, installation, the wait for the monitor and the completion check; the error to
// report, if any.
std::optional<ErrorMessage> Update(TargetMonitor& monitor, FWKfwFile* package, int32_t& status) {
    const FWFirmwareUpdateType kind = FWMonitorGetSupportedFirmwareUpdateType(monitor.handle());
    KmError result = FWMonitorTransferFirmwareDataWithOptions(monitor.handle(), package, nullptr,
                                                              nullptr, 0);
    // The outcome belongs to this thread's latest transfer: read it before any other call.
    FWUpdateOutcome outcome = FWMonitorGetLastUpdateOutcome();
    if (result >= 0) {
        result = FWMonitorTriggerFirmwareUpdate(monitor.handle());
        outcome = FWUpdateOutcomeComplete;
    }
    status = result;
    if (result < 0)
        return ErrorMessage::monitorError(result)->withDetail(
            ErrorMessage::updateStateDetail(kind, outcome));

    // The monitor leaves the bus to install the firmware and comes back with a new handle.
    const Timings timings = Timings::current();
    int attempt = 0;
    bool back = false;
    for (; attempt < timings.restartTries && !back; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timings.restartWaitMs));
        back = monitor.updateMonitorHandle();
    }
    if (!back) status = ErrorMessage::kMonitorNotBack;
    if (!back)
        return ErrorMessage::monitorError(ErrorMessage::kMonitorNotBack)
            ->withDetail(ErrorMessage::notBackDetail());

    // A device may still be installing when the monitor answers again: the check is asked
    // again with what is left of the restart budget before the run counts as failed (a new
    // run would transfer everything once more).
    KmError finished = FWMonitorCheckFirmwareUpdateFinished(monitor.handle(), package);
    for (; finished == KmErrorNotFinished && attempt < timings.restartTries; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timings.restartWaitMs));
        // The monitor may restart once more while it installs; its handle then changes.
        if (monitor.updateMonitorHandle())
            finished = FWMonitorCheckFirmwareUpdateFinished(monitor.handle(), package);
    }
    status = finished < 0 ? finished : 0;
    if (finished < 0)
        return ErrorMessage::updateVersionError()->withDetail(
            ErrorMessage::versionsNotReachedDetail());
    return std::nullopt;
}

void Run(const std::shared_ptr<UpdateThread::State>& state) {
    std::shared_ptr<TargetMonitor> monitor;
    std::shared_ptr<KfwFile> file;
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        monitor = state->targetMonitor;
        file = state->kfwFile;
    }
    std::optional<ErrorMessage> error;
    int32_t status = 0;
    {
        // Without logind the update still runs; the warning window told the user not to let
        // the computer sleep.
        const flashkit::SleepInhibitor inhibitor;
        // Taken anew on every run: an application may have been started since the last one.
        for (const std::shared_ptr<KORUProcess>& process : KORUProcess::runningKoruProcesses())
            process->killAllRunningProcesses();
        if (monitor && file)
            error = Update(*monitor, file->handle(), status);
        else
            error = ErrorMessage::communicationError();
        for (const std::shared_ptr<KORUProcess>& process : KORUProcess::registeredProcesses())
            process->relaunchProcessIfNeeded();
    }
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->lastError = std::move(error);
        state->lastStatus = status;
    }
    state->running = false;
    state->finished = true;
}

}  // namespace

UpdateThread::UpdateThread() : m_state(std::make_shared<State>()) {}

UpdateThread::~UpdateThread() = default;

void UpdateThread::setTargetMonitor(std::shared_ptr<TargetMonitor> monitor) {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->targetMonitor = std::move(monitor);
}

void UpdateThread::setKfwFile(std::shared_ptr<KfwFile> file) {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->kfwFile = std::move(file);
}

void UpdateThread::start() {
    {
        // A repeated run starts clean, so that its own success counts.
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->lastError.reset();
        m_state->lastStatus = 0;
    }
    m_state->finished = false;
    m_state->running = true;
    std::thread([state = m_state] { Run(state); }).detach();
}

bool UpdateThread::isRunning() const { return m_state->running; }

bool UpdateThread::isFinished() const { return m_state->finished; }

std::optional<ErrorMessage> UpdateThread::lastError() const {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->lastError;
}

int32_t UpdateThread::lastStatus() const {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->lastStatus;
}
