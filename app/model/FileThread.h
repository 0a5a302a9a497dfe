// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>

#include <memory>
#include <optional>

#include "model/ErrorMessage.h"

class KfwFile;
class TargetMonitor;

// Opens the package and checks it against the target monitor on a detached thread of its own.
// The main thread polls isFinished(); the results are read after that.
class FileThread {
public:
    FileThread();
    ~FileThread();
    FileThread(const FileThread&) = delete;
    FileThread& operator=(const FileThread&) = delete;

    void setFilePath(const QString& path);
    void setTargetMonitor(std::shared_ptr<TargetMonitor> monitor);
    // Starts a new detached thread; the inputs set so far are its inputs.
    void start();

    bool isRunning() const;
    bool isFinished() const;
    std::optional<ErrorMessage> lastError() const;
    // The accepted package; null until a run accepted one.
    std::shared_ptr<KfwFile> kfwFile() const;

    // The worker's state, shared with the detached thread so that it outlives this object.
    struct State;

private:
    std::shared_ptr<State> m_state;
};
