// SPDX-License-Identifier: Apache-2.0
#include "model/FileThread.h"

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "flashkit/flashkit.h"
#include "model/KfwFile.h"
#include "model/TargetMonitor.h"

struct FileThread::State {
    std::mutex mutex;
    QString filePath;
    std::shared_ptr<TargetMonitor> targetMonitor;
    std::shared_ptr<KfwFile> kfwFile;
    std::optional<ErrorMessage> lastError;
    std::atomic<bool> running{false};
    std::atomic<bool> finished{false};
};

namespace {

constexpr size_t kPathBufferSize = 4096;

// The package if it opens, has the current format and fits the monitor; else why not.
std::shared_ptr<KfwFile> OpenAndCheck(const QString& path, TargetMonitor* monitor,
                                      std::optional<ErrorMessage>& error) {
    // A path that does not fit the buffer stays empty, and so fails to open.
    std::array<char, kPathBufferSize> buffer{};
    const QByteArray utf8 = path.toUtf8();
    if (size_t(utf8.size()) < buffer.size())
        std::memcpy(buffer.data(), utf8.constData(), size_t(utf8.size()));

    auto file = std::make_shared<KfwFile>(FWKfwFileCreateWithUtf8Path(buffer.data()));
    if (!file->handle()) {
        error = ErrorMessage::kfwFileOpenError();
        return nullptr;
    }
    int format = FWKfwFileVersionUnknown;
    FWKfwFileGetFileVersion(file->handle(), &format);
    // Legacy packages belong to older monitors and older updaters.
    if (format == FWKfwFileVersionUnknown || format == FWKfwFileVersion1) {
        error = ErrorMessage::kfwFileOpenError();
        return nullptr;
    }
    if (!monitor || !monitor->getUpdatedVersionFromMonitor(file->handle())) {
        error = ErrorMessage::communicationError();
        return nullptr;
    }
    const unsigned int result = FWKfwFileCheckMonitor(file->handle(), monitor->handle());
    if (result != 0) {
        error = ErrorMessage::kfwFileCheckError(int(result));
        return nullptr;
    }
    return file;
}

void Run(const std::shared_ptr<FileThread::State>& state) {
    QString path;
    std::shared_ptr<TargetMonitor> monitor;
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        path = state->filePath;
        monitor = state->targetMonitor;
    }
    std::optional<ErrorMessage> error;
    std::shared_ptr<KfwFile> file = OpenAndCheck(path, monitor.get(), error);
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->kfwFile = std::move(file);
        state->lastError = std::move(error);
    }
    // The main thread reads the results once it sees the flags, so they come last.
    state->running = false;
    state->finished = true;
}

}  // namespace

FileThread::FileThread() : m_state(std::make_shared<State>()) {}

FileThread::~FileThread() = default;

void FileThread::setFilePath(const QString& path) {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->filePath = path;
}

void FileThread::setTargetMonitor(std::shared_ptr<TargetMonitor> monitor) {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->targetMonitor = std::move(monitor);
}

void FileThread::start() {
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->lastError.reset();
        m_state->kfwFile.reset();
    }
    m_state->finished = false;
    m_state->running = true;
    // The thread holds the state itself, so this object may go before the thread ends.
    std::thread([state = m_state] { Run(state); }).detach();
}

bool FileThread::isRunning() const { return m_state->running; }

bool FileThread::isFinished() const { return m_state->finished; }

std::optional<ErrorMessage> FileThread::lastError() const {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->lastError;
}

std::shared_ptr<KfwFile> FileThread::kfwFile() const {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->kfwFile;
}
