// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the window-flow tests share: a folder that stands in for the application's own (with the
// package beside the "executable"), simulated monitors described in JSON with a call trace,
// short waits, recorded alerts instead of blocking ones, only this process's children as the
// maker's running applications, and helpers that click through the real windows.
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

#include "flow/ChildApplications.h"
#include "model/ErrorMessage.h"

class AppDelegate;
class QWidget;

namespace flowtest {

struct Alert {
    QString title;
    QString message;
    int style = -1;
    QString technical;  // behind the details button
};

// A simulated monitor of the record-file kind with device files; each device is
// {id, name, version, displayOrder} on a record file of 2 x 512 bytes named after its id.
QJsonObject FilesMonitor(const QString& product, const QString& serial,
                         const QList<QJsonObject>& devices, int restartMs = 300);
QJsonObject Device(int id, const QString& name, int version, int displayOrder);
// The record file a FilesMonitor device is updated through.
QString DeviceFile(int id);
// A fault rule (docs/simulator.md).
QJsonObject Fault(const QString& usage, const QString& access, int first, int count,
                  const QString& effect);

class FlowLab {
public:
    FlowLab();
    ~FlowLab();
    FlowLab(const FlowLab&) = delete;
    FlowLab& operator=(const FlowLab&) = delete;

    // The simulator's description is read once per process, so one lab per process describes
    // monitors. False (with problem()) when this process already chose other monitors.
    bool useMonitors(const QJsonArray& monitors);
    static bool monitorsChosenInThisProcess();
    QString problem() const { return m_problem; }

    // The folder the application takes for its own; packages go here.
    QString bundleDirectory() const;
    QString filePath(const QString& name) const;

    // Every alert shown so far, in order.
    const QList<Alert>& alerts() const { return *m_alerts; }

    // Creates the delegate and starts the flow as the platform does once the loop runs.
    AppDelegate* start();
    AppDelegate* delegate() const { return m_delegate.get(); }

    // The call trace of the monitor-control library: lines of one monitor with all the words.
    QStringList trace(const QString& serial, const QStringList& words) const;
    // Transfers started on the monitor (each begins by setting the transfer state to 1).
    int transfersStarted(const QString& serial) const;
    // Searches (KmFind) so far.
    int searches() const;
    // The last on-screen identification request: true shown, false hidden, nothing if none.
    std::optional<bool> identificationShown(const QString& serial) const;
    // The versions the monitor reports now, read by a fresh search (as the window shows them).
    QStringList versionsOnMonitor(const QString& serial) const;

private:
    QTemporaryDir m_dir;
    ChildApplications m_applications;
    QString m_problem;
    std::shared_ptr<QList<Alert>> m_alerts;
    std::unique_ptr<AppDelegate> m_delegate;
};

// Clicks a push button or check box of `window` found by its object name (fails if missing or
// disabled).
void click(QWidget* window, const char* name);
// The button's text, or a marker that it is missing.
QString textOf(QWidget* window, const char* name);

// Steps through the windows as a user does; each fails the current test when its window does
// not come. Callers go on only when QTest::currentTestFailed() is false (FLOW_STEP).
void passPreWarning(AppDelegate* delegate);
// Picks list entry `index` with the keyboard, then OK.
void chooseMonitor(AppDelegate* delegate, int index);
// The update window is shown and has accepted the package.
void waitUntilUpdateReady(AppDelegate* delegate);
void waitUntilTerminated(AppDelegate* delegate, int timeoutMs = 20000);

#define FLOW_STEP(step)                         \
    do {                                        \
        step;                                   \
        if (QTest::currentTestFailed()) return; \
    } while (false)

// What the Warning dialog saw and what the test did with it, driven from a timer while the
// dialog's own modal loop runs.
struct WarningVisit {
    bool seen = false;
    bool executeEnabledAtFirst = true;
    bool executeEnabledWithOneBox = true;
    bool executeEnabledWithBoth = false;
    QString updateTimeText;
};
// Presses the update button of the update window and answers the dialog: Execute after ticking
// both boxes, or Cancel.
WarningVisit pressUpdate(AppDelegate* delegate, bool execute);

}  // namespace flowtest
