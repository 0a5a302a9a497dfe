// SPDX-License-Identifier: Apache-2.0
#include "windows/UpdateWindowController.h"

#include <QApplication>
#include <QLayout>
#include <QTimer>

#include <utility>

#include "AppDelegate.h"
#include "model/ErrorMessage.h"
#include "model/FileThread.h"
#include "model/LocalizedStrings.h"
#include "model/PathUtils.h"
#include "model/TargetMonitor.h"
#include "model/Timings.h"
#include "model/UpdateThread.h"
#include "platform/DesktopNotification.h"
#include "ui_UpdateWindow.h"
#include "windows/WarningWindowController.h"

namespace {

void StopPoll(QPointer<QTimer>& timer) {
    if (!timer) return;
    timer->stop();
    timer->deleteLater();
    timer.clear();
}

// The versions after the update as the two parts of a sentence; empty when unknown.
std::pair<QString, QString> UpdatedVersionsInline() {
    const std::shared_ptr<TargetMonitor> target = AppDelegate::delegate()->targetMonitor();
    const std::optional<Version> updated = target ? target->updatedVersion() : std::nullopt;
    if (!updated) return {};
    return {updated->upperInlineString(), updated->lowerInlineString()};
}

}  // namespace

UpdateWindowController::UpdateWindowController(QWidget* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::UpdateWindow>()) {
    m_ui->setupUi(this);
    connect(m_ui->updateButton, &QPushButton::clicked, this,
            &UpdateWindowController::updateButtonClicked);
}

UpdateWindowController::~UpdateWindowController() = default;

void UpdateWindowController::windowDidLoad() {
    m_ui->currentLabel->setText(LocalizedStrings::text("CurrentVersion"));
    m_ui->updatedLabel->setText(LocalizedStrings::text("UpdatedVersion"));
    m_ui->updateButton->setText(LocalizedStrings::text("DoUpdate"));
    m_ui->updateButton->setEnabled(false);
    m_ui->progressBar->setRange(0, 10);
    m_ui->progressBar->setValue(0);
    m_updateCount = 0;

    const std::shared_ptr<TargetMonitor> target =
        AppDelegate::delegate() ? AppDelegate::delegate()->targetMonitor() : nullptr;
    if (target) {
        m_ui->monitorLabel->setText(
            QStringLiteral("%1 (S/N:%2)").arg(target->product(), target->serial()));
        if (const std::optional<Version> version = target->version()) {
            m_ui->currentVersionLabel->setText(version->upperLabelString());
            m_ui->currentVersionAddLabel->setText(version->lowerLabelString());
        }
    }
    m_ui->updatedVersionLabel->clear();
    m_ui->updatedVersionAddLabel->clear();
    m_ui->phaseLabel->hide();
    m_ui->elapsedLabel->hide();
    m_ui->cautionLabel->hide();
    m_ui->noteLabel->hide();
    placeWindow(this);
}

void UpdateWindowController::readKfwFileOnThread() {
    m_fileThread = std::make_shared<FileThread>();
    m_updateThread = std::make_shared<UpdateThread>();
    m_returnValue = 0;
    const std::optional<QString> path = PathUtils::kfw2FilePath();
    // The package went away since the count was checked: the update button stays disabled.
    if (!path) return;
    m_packagePath = *path;
    m_fileThread->setFilePath(*path);
    m_fileThread->setTargetMonitor(AppDelegate::delegate()->targetMonitor());
    m_fileThread->start();
    startPoll(m_fileTimer, &UpdateWindowController::fileTimerEvent);
}

void UpdateWindowController::startPoll(QPointer<QTimer>& slot,
                                       void (UpdateWindowController::*event)()) {
    auto* timer = new QTimer(this);
    timer->setInterval(Timings::current().pollMs);
    connect(timer, &QTimer::timeout, this, event);
    slot = timer;
    timer->start();
    // Fired once at once, so that a worker that has already finished is noticed at once.
    (this->*event)();
}

bool UpdateWindowController::isFileWorkerRunning() const {
    return m_fileThread && m_fileThread->isRunning();
}

bool UpdateWindowController::isUpdateWorkerRunning() const {
    return m_updateThread && m_updateThread->isRunning();
}

void UpdateWindowController::fileTimerEvent() {
    if (!m_fileThread || !m_fileThread->isFinished()) return;
    StopPoll(m_fileTimer);
    const std::shared_ptr<TargetMonitor> target = AppDelegate::delegate()->targetMonitor();
    if (target) {
        if (const std::optional<Version> updated = target->updatedVersion()) {
            m_ui->updatedVersionLabel->setText(updated->upperLabelString());
            m_ui->updatedVersionAddLabel->setText(updated->lowerLabelString());
        }
    }
    if (const std::optional<ErrorMessage> error = m_fileThread->lastError()) {
        error->showModal();
        close();
        return;
    }
    AppDelegate::delegate()->setKfwFile(m_fileThread->kfwFile());
    m_ui->updateButton->setEnabled(true);
}

void UpdateWindowController::updateButtonClicked() {
    m_ui->updateButton->setEnabled(false);
    WarningWindowController warning(this);
    const int result = warning.runModal();
    if (result != 1) {
        m_ui->updateButton->setEnabled(true);
        return;
    }
    if (!m_updateThread || m_updateThread->isRunning()) return;
    // From here on the button stays disabled: the update runs until the window closes, and
    // nothing quits the application before the final alert.
    m_updateInProgress = true;
    if (const std::shared_ptr<TargetMonitor> target = AppDelegate::delegate()->targetMonitor())
        m_history.begin(*target, m_packagePath);
    // Nothing is left to press: the update runs until its final alert.
    m_ui->updateButton->hide();
    m_ui->cautionLabel->setText(LocalizedStrings::text("UpdateCaution"));
    m_ui->cautionLabel->show();
    m_ui->phaseLabel->show();
    m_ui->elapsedLabel->show();
    growToFit();
    m_elapsed.start();
    m_ui->progressBar->setValue(0);
    m_ui->progressBar->setRange(0, 0);
    startUpdateRun();
}

void UpdateWindowController::startUpdateRun() {
    AppDelegate* delegate = AppDelegate::delegate();
    m_updateThread->setTargetMonitor(delegate->targetMonitor());
    m_updateThread->setKfwFile(delegate->kfwFile());
    m_updateThread->start();
    startPoll(m_updateTimer, &UpdateWindowController::updateTimerEvent);
}

void UpdateWindowController::showProgress() {
    const UpdateThread::Progress progress = m_updateThread->progress();
    const UpdateThread::Progress::ImageStep image = progress.currentImage();
    QString phase;
    switch (progress.phase) {
    case UpdateThread::Phase::Starting:
    case UpdateThread::Phase::ClosingApplications:
        phase = LocalizedStrings::text("PhaseClosingApplications");
        break;
    case UpdateThread::Phase::Transferring:
        phase = LocalizedStrings::text("PhaseTransferring").arg(image.index).arg(image.count);
        break;
    case UpdateThread::Phase::Restarting:
        phase = LocalizedStrings::text("PhaseRestarting")
                    .arg(progress.searches)
                    .arg(progress.maxSearches);
        break;
    case UpdateThread::Phase::Checking: phase = LocalizedStrings::text("PhaseChecking"); break;
    case UpdateThread::Phase::Relaunching:
        phase = LocalizedStrings::text("PhaseRelaunching");
        break;
    }
    if (m_updateCount > 0)
        phase += QStringLiteral(" (") +
                 LocalizedStrings::text("UpdateRunCount")
                     .arg(m_updateCount + 1)
                     .arg(kMaxRepeatCount + 2) +
                 QLatin1Char(')');
    m_ui->phaseLabel->setText(phase);
    // A phase text that wraps onto a second line must not squeeze the versions.
    growToFit();

    // Image by image from none to all while bytes go out; a busy bar while the monitor
    // restarts or is checked, or when the sizes of the images are not known.
    if (progress.phase == UpdateThread::Phase::Transferring && image.percent >= 0) {
        m_ui->progressBar->setRange(0, 100);
        m_ui->progressBar->setValue(image.percent);
    } else {
        m_ui->progressBar->setRange(0, 0);
    }
    const qint64 seconds = m_elapsed.isValid() ? m_elapsed.elapsed() / 1000 : 0;
    m_ui->elapsedLabel->setText(LocalizedStrings::text("ElapsedTime")
                                    .arg(QStringLiteral("%1:%2")
                                             .arg(seconds / 60)
                                             .arg(seconds % 60, 2, 10, QLatin1Char('0'))));
}

void UpdateWindowController::growToFit() {
    // The window grows by the lines just shown, never shrinks, and keeps its place.
    if (layout()) layout()->activate();
    const int needed = hasHeightForWidth() ? heightForWidth(width()) : sizeHint().height();
    if (needed > height()) resize(width(), needed);
}

void UpdateWindowController::announceEnd(const QString& summary) {
    m_ui->phaseLabel->hide();
    m_ui->cautionLabel->hide();
    QApplication::alert(this);
    const std::shared_ptr<TargetMonitor> target = AppDelegate::delegate()->targetMonitor();
    const QString monitor =
        target ? QStringLiteral("%1 (S/N:%2)").arg(target->product(), target->serial()) : QString();
    DesktopNotification::send(summary,
                              LocalizedStrings::text("UpdateFinishedNotification").arg(monitor));
}

void UpdateWindowController::updateTimerEvent() {
    if (!m_updateThread) return;
    showProgress();
    if (!m_updateThread->isFinished()) return;
    StopPoll(m_updateTimer);

    const std::shared_ptr<TargetMonitor> target = AppDelegate::delegate()->targetMonitor();
    const bool found = target && target->updateMonitorHandle();
    const std::optional<ErrorMessage> error = m_updateThread->lastError();
    if (!error) {
        m_ui->progressBar->setRange(0, 10);
        m_ui->progressBar->setValue(10);
        m_returnValue = 1;
        // The monitor was updated even when it cannot be found again now; say so.
        QTimer::singleShot(0, this,
                           found ? &UpdateWindowController::showCompletionAlert
                                 : &UpdateWindowController::showNotFoundAgainAlert);
        return;
    }
    if (found && m_updateCount <= kMaxRepeatCount) {
        ++m_updateCount;
        startUpdateRun();
        return;
    }
    m_returnValue = 0;
    QTimer::singleShot(0, this, &UpdateWindowController::showFailureAndClose);
}

void UpdateWindowController::showCompletionAlert() {
    m_updateInProgress = false;
    // The monitor by name, and that it is free to use again.
    const auto [upper, lower] = UpdatedVersionsInline();
    const QString message =
        LocalizedStrings::text("UpdateCompleteMessage").arg(upper, lower) + QStringLiteral("\n\n") +
        LocalizedStrings::text("UpdateCompleteUsable").arg(m_ui->monitorLabel->text());
    // The versions the monitor reports now, not the ones the package promised.
    QStringList versionsNow;
    const std::shared_ptr<TargetMonitor> target = AppDelegate::delegate()->targetMonitor();
    if (target && target->getVersionFromMonitor() && target->version())
        versionsNow = target->version()->versions();
    m_history.finish("success", 0, message, versionsNow);
    announceEnd(LocalizedStrings::text("UpdateCompleteTitle"));
    ErrorMessage(LocalizedStrings::text("UpdateCompleteTitle"), message,
                 ErrorMessage::Informational, ErrorMessage().wideWidth())
        .showModal();
    close();
}

void UpdateWindowController::showNotFoundAgainAlert() {
    m_updateInProgress = false;
    const auto [upper, lower] = UpdatedVersionsInline();
    const QString message =
        LocalizedStrings::text("UpdateCompleteNotFoundMessage").arg(upper, lower);
    m_history.finish("success", 0, message, {});
    announceEnd(LocalizedStrings::text("UpdateCompleteTitle"));
    ErrorMessage(LocalizedStrings::text("UpdateCompleteTitle"), message,
                 ErrorMessage::Informational, ErrorMessage().wideWidth())
        .showModal();
    close();
}

void UpdateWindowController::showFailureAndClose() {
    m_updateInProgress = false;
    if (m_updateThread) {
        if (const std::optional<ErrorMessage> error = m_updateThread->lastError()) {
            const QString outcome = error->title().isEmpty()
                                        ? error->message()
                                        : error->title() + QStringLiteral(": ") + error->message();
            m_history.finish("failure", m_updateThread->lastStatus(), outcome, {});
            announceEnd(error->title().isEmpty() ? error->message() : error->title());
            error->showModal();
        }
    }
    close();
}

void UpdateWindowController::showQuitRefusedNote() {
    m_ui->noteLabel->setText(LocalizedStrings::text("QuitRefusedMessage"));
    m_ui->noteLabel->show();
}

bool UpdateWindowController::windowShouldClose() {
    if (!isFileWorkerRunning() && !isUpdateWorkerRunning() && !m_updateInProgress) return true;
    if (m_updateInProgress) showQuitRefusedNote();
    return false;
}

void UpdateWindowController::windowWillClose() {
    StopPoll(m_fileTimer);
    StopPoll(m_updateTimer);
    if (AppDelegate* delegate = AppDelegate::delegate()) delegate->closeWindowWithCancel();
}
