// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QObject>
#include <QPointer>

#include <memory>
#include <mutex>

class KfwFile;
class PreWarningWindowController;
class ProcessWindowController;
class QAction;
class QWidget;
class SelectMonitorWindowController;
class SingleInstance;
class TargetMonitor;
class TerminationSignals;
class UpdateWindowController;
class WindowController;

// The application's one controller: the order of the windows, the decisions between them and
// the single rule that decides whether the application may quit. Every window, every failure,
// the quit shortcut, the window manager and SIGTERM/SIGINT/SIGHUP
// end here.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The running application's delegate (null before one exists or after it is gone).
    static AppDelegate* delegate();

    // Starts the flow once the event loop runs and runs the loop; the process's exit status.
    int run();

    // Single-instance check, then the first window. A second copy terminates at once, silently.
    void applicationDidFinishLaunching();
    // After the first window: the conflicting-application window or the monitor selection.
    void showProcessWindowIfNeeded();
    // Exactly one package beside the application, else an alert and quit; then the selection.
    void showSelectMonitorWindow();
    // The chosen monitor must support the update and tell its versions; then the update window.
    void showUpdateWindow();
    // Every window's cancel or close and every failure: a termination request.
    void closeWindowWithCancel();

    // A termination request through the quitting rule; true when the application quits.
    bool terminate();
    // The quitting rule: refused while the update window's update or package worker runs.
    bool applicationShouldTerminate() const;
    // Releases every monitor handle of the monitor-control library, once.
    void applicationWillTerminate();
    // True once a termination request was accepted.
    bool isTerminating() const { return m_terminating; }

    // Read and written from the workers as well as from the main thread.
    std::shared_ptr<TargetMonitor> targetMonitor() const;
    void setTargetMonitor(std::shared_ptr<TargetMonitor> monitor);
    std::shared_ptr<KfwFile> kfwFile() const;
    void setKfwFile(std::shared_ptr<KfwFile> file);

    // The current windows, for the windows' tests (null when not created).
    PreWarningWindowController* preWarningController() const { return m_preWarning.get(); }
    ProcessWindowController* processController() const { return m_process.get(); }
    SelectMonitorWindowController* selectMonitorController() const { return m_select.get(); }
    UpdateWindowController* updateController() const { return m_update.get(); }

    // Gives a window the application-wide quit shortcut.
    void addQuitShortcut(QWidget* window) const;

signals:
    // Emitted once, when a termination request has been accepted and the loop is told to end.
    void terminated();

private:
    void showWindow(WindowController* window);

    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<TerminationSignals> m_signals;
    QPointer<QAction> m_quitAction;
    // Kept until the application ends: a closed window may still be on the call stack.
    std::unique_ptr<PreWarningWindowController> m_preWarning;
    std::unique_ptr<ProcessWindowController> m_process;
    std::unique_ptr<SelectMonitorWindowController> m_select;
    std::unique_ptr<UpdateWindowController> m_update;

    mutable std::mutex m_sharedMutex;
    std::shared_ptr<TargetMonitor> m_targetMonitor;
    std::shared_ptr<KfwFile> m_kfwFile;

    bool m_terminating = false;
    bool m_released = false;
};
