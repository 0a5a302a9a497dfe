// SPDX-License-Identifier: Apache-2.0
// The window sequence around the update: cancelling each window, the selection following USB
// arrivals and removals, the window of conflicting applications, and a second copy of the
// updater. Each function (each row) runs in a process of its own.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <csignal>

#include "AppDelegate.h"
#include "flow/FlowLab.h"
#include "model/KORUProcess.h"
#include "model/LocalizedStrings.h"
#include "model/TargetMonitor.h"
#include "model/Timings.h"
#include "platform/SingleInstance.h"
#include "platform/UsbHotplugMonitor.h"
#include "platform/VendorId.h"
#include "support/TestPackage.h"
#include "windows/PreWarningWindowController.h"
#include "windows/ProcessWindowController.h"
#include "windows/SelectMonitorWindowController.h"
#include "windows/UpdateWindowController.h"

using namespace flowtest;

namespace {

const QString kProduct = QStringLiteral("Flow 27");

QList<QJsonObject> Devices() { return {Device(0, "Scaler", 105, 1), Device(1, "USB Hub", 212, 2)}; }

bool WritePackage(const QString& folder) {
    apptest::TestPackage package;
    package.products({kProduct}).target(0, 106).transfer(DeviceFile(0), 106, 1024).bundle();
    return package.save(folder + "/firmware.kfw2");
}

// Another application of the maker, running for real under its executable name (a copy of the
// tests' stand-in program) until the object goes.
class StandIn {
public:
    StandIn(const QString& folder, const QString& executableName)
        : m_path(folder + "/" + executableName) {
        QFile::remove(m_path);
        if (!QFile::copy(PANELFLASHER_TEST_HELPER, m_path)) return;
        m_process.start(m_path, {});
        m_process.waitForStarted();
    }
    ~StandIn() {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool running() const { return m_process.state() == QProcess::Running; }

private:
    QString m_path;
    QProcess m_process;
};

QComboBox* MonitorList(AppDelegate* delegate) {
    return delegate->selectMonitorController()->findChild<QComboBox*>("monitorComboBox");
}

}  // namespace

enum class CancelIn {
    FirstWindowCancel,
    FirstWindowClosed,
    ConflictWindowCancel,
    ConflictWindowClosed,
    SelectionCancel,
    SelectionClosed,
    WarningCancel,
    UpdateWindowClosed,
};
Q_DECLARE_METATYPE(CancelIn)

class FlowWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cancelInEveryWindowQuits_data();
    void cancelInEveryWindowQuits();
    void selectionFollowsUsbArrivalsAndRemovals();
    void emptySelectionWaitsForAMonitor();
    void conflictWindowOnlyForVisibleApplications_data();
    void conflictWindowOnlyForVisibleApplications();
    void secondCopyQuitsSilentlyInProcess();
    void secondCopyOfTheProgramQuitsAndLeavesTheFirst();
};

void FlowWindowsTest::init() {
    if (FlowLab::monitorsChosenInThisProcess())
        QSKIP("the simulated monitors are chosen once per process: run one function per "
              "process, as ctest does");
}

void FlowWindowsTest::cancelInEveryWindowQuits_data() {
    QTest::addColumn<CancelIn>("where");
    QTest::newRow("first-window-cancel") << CancelIn::FirstWindowCancel;
    QTest::newRow("first-window-closed") << CancelIn::FirstWindowClosed;
    QTest::newRow("conflict-window-cancel") << CancelIn::ConflictWindowCancel;
    QTest::newRow("conflict-window-closed") << CancelIn::ConflictWindowClosed;
    QTest::newRow("selection-cancel") << CancelIn::SelectionCancel;
    QTest::newRow("selection-closed") << CancelIn::SelectionClosed;
    QTest::newRow("warning-cancel") << CancelIn::WarningCancel;
    QTest::newRow("update-window-closed") << CancelIn::UpdateWindowClosed;
}

void FlowWindowsTest::cancelInEveryWindowQuits() {
    QFETCH(CancelIn, where);
    FlowLab lab;
    QVERIFY2(lab.useMonitors({FilesMonitor(kProduct, "FL270001", Devices())}),
             qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory()));
    std::unique_ptr<StandIn> other;
    if (where == CancelIn::ConflictWindowCancel || where == CancelIn::ConflictWindowClosed) {
        other = std::make_unique<StandIn>(lab.filePath(""), "huemaster6");
        QVERIFY(other->running());
    }

    AppDelegate* delegate = lab.start();
    QSignalSpy terminated(delegate, &AppDelegate::terminated);
    auto* first = delegate->preWarningController();
    QVERIFY(first && first->isVisible());
    if (where == CancelIn::FirstWindowCancel) {
        click(first, "cancelButton");
    } else if (where == CancelIn::FirstWindowClosed) {
        first->close();
    } else {
        click(first, "okButton");
    }
    if (where == CancelIn::FirstWindowCancel || where == CancelIn::FirstWindowClosed) {
        QCOMPARE(first->returnValue(), 0);
        QVERIFY(!delegate->processController());
        QVERIFY(!delegate->selectMonitorController());
    }

    if (where == CancelIn::ConflictWindowCancel || where == CancelIn::ConflictWindowClosed) {
        ProcessWindowController* conflict = delegate->processController();
        QVERIFY(conflict && conflict->isVisible());
        if (where == CancelIn::ConflictWindowCancel)
            click(conflict, "cancelButton");
        else
            conflict->close();
        QCOMPARE(conflict->returnValue(), 0);
        QVERIFY(!delegate->selectMonitorController());
    }

    if (where == CancelIn::SelectionCancel || where == CancelIn::SelectionClosed) {
        SelectMonitorWindowController* selection = delegate->selectMonitorController();
        QVERIFY(selection && selection->isVisible());
        QCOMPARE(lab.identificationShown("FL270001"), std::optional<bool>(true));
        if (where == CancelIn::SelectionCancel)
            click(selection, "cancelButton");
        else
            selection->close();
        QCOMPARE(selection->returnValue(), 0);
        QCOMPARE(lab.identificationShown("FL270001"), std::optional<bool>(false));
        QVERIFY(!delegate->updateController());
        QVERIFY(!delegate->targetMonitor());
    }

    if (where == CancelIn::WarningCancel || where == CancelIn::UpdateWindowClosed) {
        FLOW_STEP(chooseMonitor(delegate, 0));
        FLOW_STEP(waitUntilUpdateReady(delegate));
        UpdateWindowController* update = delegate->updateController();
        if (where == CancelIn::WarningCancel) {
            const WarningVisit visit = pressUpdate(delegate, false);
            QVERIFY(visit.seen);
            // Back to ready: the button works again and nothing runs.
            QVERIFY(update->findChild<QPushButton*>("updateButton")->isEnabled());
            QVERIFY(!update->isUpdateWorkerRunning());
            QVERIFY(update->isVisible());
            QCOMPARE(terminated.count(), 0);
        }
        update->close();
        QCOMPARE(update->returnValue(), 0);
    }

    QTRY_COMPARE(terminated.count(), 1);
    QVERIFY(lab.alerts().isEmpty());
    QCOMPARE(lab.transfersStarted("FL270001"), 0);
}

void FlowWindowsTest::selectionFollowsUsbArrivalsAndRemovals() {
    FlowLab lab;
    // The second monitor leaves the bus at its second identification request (the one that
    // switches its identification on) and comes back 1.5 s later.
    QJsonObject leaving = FilesMonitor(kProduct, "FL270002", Devices());
    QJsonObject dropOff = Fault("FF00/0F", "set-value", 2, 1, "drop-off");
    dropOff["absentMs"] = 1500;
    leaving["faults"] = QJsonArray{dropOff};
    QVERIFY2(lab.useMonitors({FilesMonitor(kProduct, "FL270001", Devices()), leaving}),
             qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory()));
    const Timings& timings = Timings::current();
    QVERIFY(timings.rescanAfterArrivalMs >= 400);

    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    SelectMonitorWindowController* selection = delegate->selectMonitorController();
    QVERIFY(selection && selection->isVisible());
    UsbHotplugMonitor* usb = selection->hotplugMonitor();
    QVERIFY(usb);
    QComboBox* list = MonitorList(delegate);
    QCOMPARE(list->count(), 2);

    // The user picks the second monitor, which then leaves; its removal is reported.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentIndex(), 1);
    QElapsedTimer sinceDrop;
    sinceDrop.start();
    int searches = lab.searches();
    usb->deliver("remove", VendorId());
    QTRY_COMPARE(list->count(), 1);
    QCOMPARE(lab.searches(), searches + 1);
    QCOMPARE(list->itemText(0), QString("Flow 27 (S/N: FL270001)"));
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(lab.identificationShown("FL270001"), std::optional<bool>(true));

    // A device of another vendor is no reason to search.
    searches = lab.searches();
    usb->deliver("add", uint16_t(VendorId() ^ 0x0101));
    usb->deliver("remove", uint16_t(VendorId() ^ 0x0101));
    QTest::qWait(timings.rescanAfterArrivalMs + 200);
    QCOMPARE(lab.searches(), searches);

    // Back on the bus and reported: listed again once the arrival delay has passed, and the
    // selection returns to the first entry.
    while (sinceDrop.elapsed() < 1700) QTest::qWait(50);
    QElapsedTimer sinceArrival;
    sinceArrival.start();
    usb->deliver("add", VendorId());
    QTest::qWait(timings.rescanAfterArrivalMs / 2);
    if (sinceArrival.elapsed() < timings.rescanAfterArrivalMs) QCOMPARE(list->count(), 1);
    QTRY_COMPARE(list->count(), 2);
    QVERIFY(sinceArrival.elapsed() >= timings.rescanAfterArrivalMs);
    QCOMPARE(lab.searches(), searches + 1);
    QCOMPARE(list->itemText(1), QString("Flow 27 (S/N: FL270002)"));
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(lab.identificationShown("FL270001"), std::optional<bool>(true));
    QCOMPARE(lab.identificationShown("FL270002"), std::optional<bool>(false));

    // A report just before OK: its re-scan must not run once the window has closed, as a
    // search invalidates the handles, the chosen monitor's included.
    usb->deliver("add", VendorId());
    searches = lab.searches();
    FLOW_STEP(chooseMonitor(delegate, 1));
    QCOMPARE(delegate->targetMonitor()->serial(), QString("FL270002"));
    QVERIFY(!selection->hotplugMonitor());
    QTest::qWait(timings.rescanAfterArrivalMs + 200);
    QCOMPARE(lab.searches(), searches);
    // The monitor found by the last search is the one the update works with.
    FLOW_STEP(waitUntilUpdateReady(delegate));
    QVERIFY(pressUpdate(delegate, true).seen);
    FLOW_STEP(waitUntilTerminated(delegate, 30000));
    QCOMPARE(lab.alerts().size(), 1);
    QCOMPARE(lab.alerts().first().title, LocalizedStrings::text("UpdateCompleteTitle"));
    QCOMPARE(lab.transfersStarted("FL270001"), 0);
    QCOMPARE(lab.transfersStarted("FL270002"), 1);
}

void FlowWindowsTest::emptySelectionWaitsForAMonitor() {
    FlowLab lab;
    // The first reading of its product and serial fails: the first search leaves it out.
    QJsonObject monitor = FilesMonitor(kProduct, "FL270001", Devices());
    monitor["faults"] = QJsonArray{Fault("FF00/35", "get-array", 1, 1, "fail")};
    QVERIFY2(lab.useMonitors({monitor}), qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory()));

    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    SelectMonitorWindowController* selection = delegate->selectMonitorController();
    QVERIFY(selection && selection->isVisible());
    QComboBox* list = MonitorList(delegate);
    QCOMPARE(list->count(), 0);
    QCOMPARE(textOf(selection, "messageLabel"), LocalizedStrings::text("MonitorConnectMessage"));
    QVERIFY(!selection->findChild<QPushButton*>("okButton")->isEnabled());
    QVERIFY(!lab.identificationShown("FL270001"));

    selection->hotplugMonitor()->deliver("add", VendorId());
    QTRY_COMPARE(list->count(), 1);
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(textOf(selection, "messageLabel"), LocalizedStrings::text("MonitorSelectMessage"));
    QVERIFY(selection->findChild<QPushButton*>("okButton")->isEnabled());
    QCOMPARE(lab.identificationShown("FL270001"), std::optional<bool>(true));
    FLOW_STEP(chooseMonitor(delegate, 0));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    delegate->updateController()->close();
    QTRY_VERIFY(delegate->isTerminating());
    QVERIFY(lab.alerts().isEmpty());
}

void FlowWindowsTest::conflictWindowOnlyForVisibleApplications_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("listed");  // empty: no window
    QTest::newRow("visible-application") << "huemaster6"
                                         << "Huemaster 6";
    QTest::newRow("hidden-agent-only") << "huemaster-netagent"
                                       << "";
}

void FlowWindowsTest::conflictWindowOnlyForVisibleApplications() {
    QFETCH(QString, executable);
    QFETCH(QString, listed);
    FlowLab lab;
    QVERIFY2(lab.useMonitors({FilesMonitor(kProduct, "FL270001", Devices())}),
             qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory()));
    StandIn other(lab.filePath(""), executable);
    QVERIFY(other.running());

    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    // Found running in either case: the update closes it (and relaunches the agent).
    bool registered = false;
    for (const std::shared_ptr<KORUProcess>& process : KORUProcess::registeredProcesses())
        registered = registered || process->executableName() == executable;
    QVERIFY(registered);

    if (listed.isEmpty()) {
        QVERIFY(!delegate->processController());
    } else {
        ProcessWindowController* conflict = delegate->processController();
        QVERIFY(conflict && conflict->isVisible());
        QVERIFY(!delegate->selectMonitorController());
        QCOMPARE(textOf(conflict, "descriptionLabel"),
                 LocalizedStrings::text("ProcessDescription"));
        QCOMPARE(textOf(conflict, "okButton"), LocalizedStrings::text("OK"));
        QCOMPARE(textOf(conflict, "cancelButton"), LocalizedStrings::text("Cancel"));
        auto* rows = conflict->findChild<QListWidget*>("listView");
        QCOMPARE(rows->count(), 1);
        QCOMPARE(rows->item(0)->text(), listed);
        click(conflict, "okButton");
        QCOMPARE(conflict->returnValue(), 1);
        QVERIFY(!conflict->isVisible());
    }
    // The window only informs: nothing is closed before the update.
    QVERIFY(other.running());
    SelectMonitorWindowController* selection = delegate->selectMonitorController();
    QVERIFY(selection && selection->isVisible());
    click(selection, "cancelButton");
    QTRY_VERIFY(delegate->isTerminating());
    QVERIFY(other.running());
}

void FlowWindowsTest::secondCopyQuitsSilentlyInProcess() {
    FlowLab lab;
    QVERIFY2(lab.useMonitors({FilesMonitor(kProduct, "FL270001", Devices())}),
             qPrintable(lab.problem()));
    SingleInstance firstCopy;
    QVERIFY(firstCopy.acquire());

    AppDelegate* delegate = lab.start();
    QVERIFY(delegate->isTerminating());
    QVERIFY(!delegate->preWarningController());
    QVERIFY(lab.alerts().isEmpty());
    QVERIFY(firstCopy.held());
    // Nothing was searched for.
    QCOMPARE(lab.searches(), 0);
}

void FlowWindowsTest::secondCopyOfTheProgramQuitsAndLeavesTheFirst() {
    FlowLab lab;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", lab.filePath("runtime"));
    environment.insert("SCREENIO_SIM", "demo");

    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(PANELFLASHER_PATH, {});
    QVERIFY(first.waitForStarted());
    // Running once it holds the lock that a second copy finds taken.
    const auto lockTaken = [&] {
        QProcess probe;
        probe.setProcessEnvironment(environment);
        probe.start(PANELFLASHER_TEST_HELPER, {"acquire"});
        return probe.waitForFinished() && probe.exitCode() == 3;
    };
    QTRY_VERIFY_WITH_TIMEOUT(lockTaken(), 20000);

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(PANELFLASHER_PATH, {});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    // The first copy shows its first window; no worker runs, so SIGTERM ends it cleanly.
    ::kill(pid_t(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(20000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
}

QTEST_MAIN(FlowWindowsTest)
#include "FlowWindowsTest.moc"
