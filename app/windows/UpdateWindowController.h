// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QElapsedTimer>
#include <QPointer>

#include <cstdint>
#include <memory>

#include "model/UpdateAttemptRecord.h"
#include "windows/WindowController.h"

class FileThread;
class QTimer;
class UpdateThread;

namespace Ui {
class UpdateWindow;
}

// The update itself: the chosen monitor with its versions now and after the update, the
// package read and checked on a worker, the confirmation, up to four update runs on a worker,
// and the completion or failure alert. The window cannot be closed while a worker runs.
class UpdateWindowController : public WindowController {
    Q_OBJECT
public:
    // A failed run is repeated while the count of repeats is at most this (four runs in all).
    static constexpr int64_t kMaxRepeatCount = 2;

    explicit UpdateWindowController(QWidget* parent = nullptr);
    ~UpdateWindowController() override;

    // Starts reading the package beside the application against the target monitor.
    void readKfwFileOnThread();

    bool isFileWorkerRunning() const;
    bool isUpdateWorkerRunning() const;
    // From the confirmation until the final alert, the gaps between the runs included.
    bool isUpdateInProgress() const { return m_updateInProgress; }
    // Tells the user why a quit was refused.
    void showQuitRefusedNote();
    // Repeats of the update after a failed run so far.
    int64_t updateCount() const { return m_updateCount; }

protected:
    void windowDidLoad() override;
    bool windowShouldClose() override;
    void windowWillClose() override;

private:
    // A repeating poll of a worker, stored in `slot` before its first, immediate, call.
    void startPoll(QPointer<QTimer>& slot, void (UpdateWindowController::*event)());
    void fileTimerEvent();
    void updateTimerEvent();
    void updateButtonClicked();
    void startUpdateRun();
    void showCompletionAlert();
    void showNotFoundAgainAlert();
    // The phase in words, the bar, the elapsed time.
    void showProgress();
    // Taller when the content needs it, so that wrapped lines squeeze nothing.
    void growToFit();
    // The window asks for attention and the desktop shows a notification.
    void announceEnd(const QString& summary);
    void showFailureAndClose();

    std::unique_ptr<Ui::UpdateWindow> m_ui;
    std::shared_ptr<FileThread> m_fileThread;
    std::shared_ptr<UpdateThread> m_updateThread;
    QPointer<QTimer> m_fileTimer;
    QPointer<QTimer> m_updateTimer;
    int64_t m_updateCount = 0;
    bool m_updateInProgress = false;
    QString m_packagePath;
    QElapsedTimer m_elapsed;
    UpdateAttemptRecord m_history;
};
