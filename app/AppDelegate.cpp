// SPDX-License-Identifier: Apache-2.0
#include "AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QTimer>

#include "model/ErrorMessage.h"
#include "model/KORUProcess.h"
#include "model/KfwFile.h"
#include "model/PathUtils.h"
#include "model/TargetMonitor.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "screenio/screenio.h"
#include "windows/PreWarningWindowController.h"
#include "windows/ProcessWindowController.h"
#include "windows/SelectMonitorWindowController.h"
#include "windows/UpdateWindowController.h"

namespace {

AppDelegate* g_delegate = nullptr;

}  // namespace

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent), m_instance(std::make_unique<SingleInstance>()) {
    g_delegate = this;
    // Quitting is decided here alone: a window that closes hands over to the next step or asks
    // for termination itself.
    QApplication::setQuitOnLastWindowClosed(false);

    m_quitAction = new QAction(this);
    // Ctrl+Q everywhere, also where the platform's theme binds no quit key (offscreen, VNC).
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    const QKeySequence ctrlQ(Qt::CTRL | Qt::Key_Q);
    if (!quitKeys.contains(ctrlQ)) quitKeys.prepend(ctrlQ);
    m_quitAction->setShortcuts(quitKeys);
    m_quitAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(m_quitAction, &QAction::triggered, this, [this] { terminate(); });

    m_signals = std::make_unique<TerminationSignals>();
    connect(m_signals.get(), &TerminationSignals::requested, this, [this] { terminate(); });
}

AppDelegate::~AppDelegate() {
    // The windows go first: they may still call the delegate while they are destroyed.
    m_update.reset();
    m_select.reset();
    m_process.reset();
    m_preWarning.reset();
    if (g_delegate == this) g_delegate = nullptr;
}

AppDelegate* AppDelegate::delegate() { return g_delegate; }

int AppDelegate::run() {
    QTimer::singleShot(0, this, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}

void AppDelegate::addQuitShortcut(QWidget* window) const {
    if (window && m_quitAction) window->addAction(m_quitAction);
}

void AppDelegate::showWindow(WindowController* window) { window->showWindow(); }

void AppDelegate::applicationDidFinishLaunching() {
    // Another copy for this user runs: leave it alone and go without a word.
    if (!m_instance->acquire()) {
        terminate();
        return;
    }
    m_process.reset();
    m_update.reset();
    m_select.reset();
    m_preWarning = std::make_unique<PreWarningWindowController>();
    showWindow(m_preWarning.get());
}

void AppDelegate::showProcessWindowIfNeeded() {
    const QList<std::shared_ptr<KORUProcess>> running = KORUProcess::runningKoruProcesses();
    // The update relaunches from this list, so it is kept whatever the user sees now.
    KORUProcess::registerProcesses(running);
    bool anyVisible = false;
    for (const std::shared_ptr<KORUProcess>& process : running)
        if (process && !process->hidden()) anyVisible = true;
    if (!anyVisible) {
        showSelectMonitorWindow();
        return;
    }
    m_process = std::make_unique<ProcessWindowController>();
    showWindow(m_process.get());
}

void AppDelegate::showSelectMonitorWindow() {
    const QStringList packages = PathUtils::kfw2FilePaths();
    if (packages.size() != 1) {
        if (const std::optional<ErrorMessage> error = ErrorMessage::kfwFileExistsError(
                unsigned(packages.size()), PathUtils::searchedDirectory()))
            error->showModal();
        closeWindowWithCancel();
        return;
    }
    m_select = std::make_unique<SelectMonitorWindowController>();
    if (m_select->initialSearchMonitor() == SelectMonitorWindowController::kSearchDone)
        showWindow(m_select.get());
}

void AppDelegate::showUpdateWindow() {
    const std::shared_ptr<TargetMonitor> target = targetMonitor();
    if (!target || !target->supportsV3UpdateSystem()) {
        if (const std::optional<ErrorMessage> error = ErrorMessage::kfwFileCheckError(1))
            error->showModal();
        closeWindowWithCancel();
        return;
    }
    if (!target->getVersionFromMonitor()) {
        if (const std::optional<ErrorMessage> error = ErrorMessage::communicationError())
            error->showModal();
        closeWindowWithCancel();
        return;
    }
    m_update = std::make_unique<UpdateWindowController>();
    showWindow(m_update.get());
    m_update->readKfwFileOnThread();
}

void AppDelegate::closeWindowWithCancel() { terminate(); }

bool AppDelegate::terminate() {
    if (m_terminating) return true;
    if (!applicationShouldTerminate()) {
        if (m_update && m_update->isUpdateInProgress()) m_update->showQuitRefusedNote();
        return false;
    }
    m_terminating = true;
    applicationWillTerminate();
    emit terminated();
    QCoreApplication::exit(0);
    return true;
}

bool AppDelegate::applicationShouldTerminate() const {
    if (!m_update) return true;
    // Quitting now could leave a monitor with half its firmware written; between two runs the
    // monitor may be restarting or half written just as well.
    if (m_update->isUpdateInProgress()) return false;
    if (m_update->isUpdateWorkerRunning()) return false;
    if (m_update->isFileWorkerRunning()) return false;
    return true;
}

void AppDelegate::applicationWillTerminate() {
    if (m_released) return;
    m_released = true;
    KmRelease();
}

std::shared_ptr<TargetMonitor> AppDelegate::targetMonitor() const {
    const std::lock_guard<std::mutex> lock(m_sharedMutex);
    return m_targetMonitor;
}

void AppDelegate::setTargetMonitor(std::shared_ptr<TargetMonitor> monitor) {
    const std::lock_guard<std::mutex> lock(m_sharedMutex);
    m_targetMonitor = std::move(monitor);
}

std::shared_ptr<KfwFile> AppDelegate::kfwFile() const {
    const std::lock_guard<std::mutex> lock(m_sharedMutex);
    return m_kfwFile;
}

void AppDelegate::setKfwFile(std::shared_ptr<KfwFile> file) {
    const std::lock_guard<std::mutex> lock(m_sharedMutex);
    m_kfwFile = std::move(file);
}
