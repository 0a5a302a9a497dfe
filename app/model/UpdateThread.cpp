// SPDX-License-Identifier: Apache-2.0
#include "model/UpdateThread.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
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
    UpdateThread::Progress progress;
    std::atomic<bool> running{false};
    std::atomic<bool> finished{false};
};

namespace {

void SetPhase(UpdateThread::State& state, UpdateThread::Phase phase) {
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.progress.phase = phase;
}

void SetSearches(UpdateThread::State& state, int searches, int maxSearches) {
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.progress.searches = searches;
    state.progress.maxSearches = maxSearches;
}

void SetImageBytes(UpdateThread::State& state, std::vector<uint64_t> bytes) {
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.progress.imageBytes = std::move(bytes);
}

// The sizes of the images the transfer is about to send, in its order, from the library's
// plan of the same update (made with reads only). Empty when there is no usable plan: the
// progress record itself counts bytes over all images only.
std::vector<uint64_t> PlannedImageBytes(void* monitor, FWKfwFile* package) {
    KmError status = 0;
    FWUtf8String* text = FWUtf8StringCreateUpdatePlanJsonString(monitor, package, 0, &status);
    if (!text) return {};
    const QJsonDocument plan = QJsonDocument::fromJson(FWUtf8StringGetCString(text));
    FWUtf8StringRelease(text);
    if (status < 0 || !plan.isObject()) return {};
    std::vector<uint64_t> bytes;
    for (const QJsonValue image : plan.object().value(QStringLiteral("images")).toArray()) {
        const QJsonValue size = image.toObject().value(QStringLiteral("bytes"));
        if (!size.isDouble() || size.toDouble() < 0) return {};
        bytes.push_back(uint64_t(size.toDouble()));
    }
    return bytes;
}

// Runs on the worker during the transfer; never stops it.
int8_t OnTransferProgress(FWTransferProgress progress, void* userData) {
    auto* state = static_cast<UpdateThread::State*>(userData);
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->progress.imagesDone = progress.completedCount;
    state->progress.images = progress.totalCount;
    state->progress.bytesDone = progress.transferredBytes;
    state->progress.bytes = progress.totalBytes;
    return 1;
}

// The status in hex and the library's own account of its last failure on this thread.
QString TechnicalDetail(int32_t status) {
    const char* text = nullptr;
    const uint32_t code = FWGetLastError(&text);
    QString detail = QStringLiteral("Status 0x%1").arg(uint32_t(status), 8, 16, QLatin1Char('0'));
    if (code != 0)
        detail += QStringLiteral("\nLast library error 0x%1: %2")
                      .arg(code, 8, 16, QLatin1Char('0'))
                      .arg(QString::fromUtf8(text ? text : ""));
    return detail;
}

// Transfer, installation, the wait for the monitor and the completion check; the error to
// report, if any.
std::optional<ErrorMessage> Update(UpdateThread::State& state, TargetMonitor& monitor,
                                   FWKfwFile* package, int32_t& status) {
    const FWFirmwareUpdateType kind = FWMonitorGetSupportedFirmwareUpdateType(monitor.handle());
    SetImageBytes(state, PlannedImageBytes(monitor.handle(), package));
    SetPhase(state, UpdateThread::Phase::Transferring);
    KmError result = FWMonitorTransferFirmwareDataWithOptions(monitor.handle(), package,
                                                              OnTransferProgress, &state, 0);
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
    SetPhase(state, UpdateThread::Phase::Restarting);
    int attempt = 0;
    bool back = false;
    for (; attempt < timings.restartTries && !back; ++attempt) {
        SetSearches(state, attempt + 1, timings.restartTries);
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
    SetPhase(state, UpdateThread::Phase::Checking);
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
        SetPhase(*state, UpdateThread::Phase::ClosingApplications);
        for (const std::shared_ptr<KORUProcess>& process : KORUProcess::runningKoruProcesses())
            process->killAllRunningProcesses();
        if (monitor && file)
            error = Update(*state, *monitor, file->handle(), status);
        else
            error = ErrorMessage::communicationError();
        if (error) error = error->withTechnical(TechnicalDetail(status));
        SetPhase(*state, UpdateThread::Phase::Relaunching);
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
        m_state->progress = Progress();
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

UpdateThread::Progress UpdateThread::progress() const {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->progress;
}

UpdateThread::Progress::ImageStep UpdateThread::Progress::currentImage() const {
    ImageStep step;
    const uint64_t planned = imageBytes.size();
    step.count = uint32_t(std::max<uint64_t>(planned != 0 ? planned : images, 1));
    step.index = std::min(imagesDone + 1, step.count);
    if (planned == 0) return step;
    if (imagesDone >= planned) {
        step.percent = 100;
        return step;
    }
    // The record counts bytes over the whole run; what the images before this one took is
    // not part of this one's bar.
    uint64_t before = 0;
    for (uint32_t i = 0; i < imagesDone; ++i) before += imageBytes[i];
    const uint64_t size = imageBytes[imagesDone];
    const uint64_t inImage = std::min(bytesDone > before ? bytesDone - before : 0, size);
    step.percent = size == 0 ? 0 : int(inImage * 100 / size);
    return step;
}
