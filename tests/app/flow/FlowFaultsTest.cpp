// SPDX-License-Identifier: Apache-2.0
// Moments a user meets on a real desktop that the plain flow got wrong: monitors that are there
// but cannot be opened, a quit between two update runs, a success whose monitor is not found
// again, and a monitor that is still installing when it answers again. Each row runs in a
// process of its own (the simulated monitors are chosen once per process).
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QtTest>

#include <csignal>

#include "AppDelegate.h"
#include "flow/FlowLab.h"
#include "model/LocalizedStrings.h"
#include "model/Monitor.h"
#include "model/TargetMonitor.h"
#include "model/Timings.h"
#include "screenio/screenio.h"
#include "support/TestPackage.h"
#include "windows/SelectMonitorWindowController.h"
#include "windows/UpdateWindowController.h"

using namespace flowtest;

namespace {

const QString kProduct = QStringLiteral("Flow 27");
// Reads of a monitor's product and serial number (FF00/35) in the flow of
// aSuccessWhoseMonitorIsNotFoundAgainIsReported up to and including the update run's completion
// check, as its trace shows them: the selection's search, the chosen target, the package check,
// the estimate, the plan of the transfer (for the sizes of its images), the transfer, the run's
// search after the restart and its completion check.
constexpr int kSerialReadsUntilChecked = 9;

QString Text(const char* key) { return LocalizedStrings::text(key); }

QJsonObject Claimed(const QString& serial, const QString& claim) {
    QJsonObject monitor = FilesMonitor(kProduct, serial, {Device(0, "Scaler", 105, 1)});
    if (!claim.isEmpty()) monitor["claim"] = claim;
    return monitor;
}

// Scaler 105 -> 106; `installs` is the version the image really installs.
bool WritePackage(const QString& path, int installs = 106) {
    apptest::TestPackage package;
    package.products({kProduct})
        .margin(0)
        .target(0, 106)
        .transfer(DeviceFile(0), installs, 1024)
        .bundle();
    return package.save(path);
}

bool EntryEnabled(QComboBox* list, int index) {
    auto* model = qobject_cast<QStandardItemModel*>(list->model());
    return model && model->item(index) && model->item(index)->isEnabled();
}

enum class QuitBy { Shortcut, Sigterm, Sighup, ClosingTheWindow };

void RequestQuit(UpdateWindowController* update, QuitBy request) {
    switch (request) {
    case QuitBy::Shortcut:
        update->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(update));
        QTest::keyClick(update, Qt::Key_Q, Qt::ControlModifier);
        break;
    case QuitBy::Sigterm: std::raise(SIGTERM); break;
    case QuitBy::Sighup: std::raise(SIGHUP); break;
    case QuitBy::ClosingTheWindow: update->close(); break;
    }
    // The signals arrive through the event loop.
    QTest::qWait(100);
}

}  // namespace

Q_DECLARE_METATYPE(QuitBy)

class FlowFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void monitorsThatCannotBeOpenedAreListedWithReasonAndFix_data();
    void monitorsThatCannotBeOpenedAreListedWithReasonAndFix();
    void quitIsRefusedBetweenTwoRuns_data();
    void quitIsRefusedBetweenTwoRuns();
    void aSuccessWhoseMonitorIsNotFoundAgainIsReported();
    void aCheckThatIsNotFinishedIsAskedAgainBeforeANewTransfer();
};

void FlowFaultsTest::init() {
    if (FlowLab::monitorsChosenInThisProcess())
        QSKIP("the simulated monitors are chosen once per process: run one function per "
              "process, as ctest does");
}

void FlowFaultsTest::monitorsThatCannotBeOpenedAreListedWithReasonAndFix_data() {
    QTest::addColumn<QJsonArray>("monitors");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<bool>>("choosable");
    QTest::addColumn<QString>("message");

    const QString busy =
        Text("MonitorUnavailableLine").arg(1).arg(Monitor::unavailableReason(SCREENIO_ERROR_BUSY));
    const QString denied = Text("MonitorUnavailableLine")
                               .arg(1)
                               .arg(Monitor::unavailableReason(SCREENIO_ERROR_ACCESS));
    const QString entry = Text("MonitorUnavailableEntry").arg(1);
    QTest::newRow("held-by-another-program")
        << QJsonArray{Claimed("FL270001", "busy")} << QStringList{entry} << QList<bool>{false}
        << Text("MonitorUnavailableMessage") + '\n' + busy;
    QTest::newRow("no-permission")
        << QJsonArray{Claimed("FL270001", "denied")} << QStringList{entry} << QList<bool>{false}
        << Text("MonitorUnavailableMessage") + '\n' + denied;
    // The usable monitor comes first and is the one chosen; the other one is still explained.
    QTest::newRow("one-usable-one-without-permission")
        << QJsonArray{Claimed("FL270001", "denied"), Claimed("FL270002", "")}
        << QStringList{"Flow 27 (S/N: FL270002)", entry} << QList<bool>{true, false}
        << Text("MonitorSelectMessage") + '\n' + denied;
}

void FlowFaultsTest::monitorsThatCannotBeOpenedAreListedWithReasonAndFix() {
    QFETCH(QJsonArray, monitors);
    QFETCH(QStringList, entries);
    QFETCH(QList<bool>, choosable);
    QFETCH(QString, message);

    FlowLab lab;
    QVERIFY2(lab.useMonitors(monitors), qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory() + "/firmware.kfw2"));
    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    SelectMonitorWindowController* selection = delegate->selectMonitorController();
    QTRY_VERIFY(selection && selection->isVisible());

    auto* list = selection->findChild<QComboBox*>("monitorComboBox");
    QStringList shown;
    QList<bool> enabled;
    for (int i = 0; i < list->count(); ++i) {
        shown << list->itemText(i);
        enabled << EntryEnabled(list, i);
    }
    QCOMPARE(shown, entries);
    QCOMPARE(enabled, choosable);
    QCOMPARE(textOf(selection, "messageLabel"), message);
    const bool anyUsable = choosable.contains(true);
    QCOMPARE(selection->findChild<QPushButton*>("okButton")->isEnabled(), anyUsable);
    // The keyboard cannot reach an entry that cannot be chosen.
    QTest::keyClick(list, Qt::Key_Down);
    QVERIFY(list->currentIndex() < 0 || EntryEnabled(list, list->currentIndex()));
    if (anyUsable) {
        click(selection, "okButton");
        QTRY_VERIFY(delegate->updateController() && delegate->updateController()->isVisible());
        QCOMPARE(delegate->targetMonitor()->serial(), QString("FL270002"));
        // The package is read on a worker: let it finish before the application is torn down.
        auto* start = delegate->updateController()->findChild<QPushButton*>("updateButton");
        QVERIFY(start);
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
    }
    QVERIFY(lab.alerts().isEmpty());
}

void FlowFaultsTest::quitIsRefusedBetweenTwoRuns_data() {
    QTest::addColumn<QuitBy>("request");
    QTest::newRow("ctrl-q") << QuitBy::Shortcut;
    QTest::newRow("sigterm") << QuitBy::Sigterm;
    QTest::newRow("sighup") << QuitBy::Sighup;
    QTest::newRow("window-close") << QuitBy::ClosingTheWindow;
}

void FlowFaultsTest::quitIsRefusedBetweenTwoRuns() {
    QFETCH(QuitBy, request);
    FlowLab lab;
    // Every page write fails: four short runs, each followed by a gap until the next poll.
    QJsonObject monitor = Claimed("FL270001", "");
    monitor["faults"] = QJsonArray{Fault("FF02/FE", "set-array", 1, 0, "fail")};
    QVERIFY2(lab.useMonitors({monitor}), qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory() + "/firmware.kfw2"));
    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    FLOW_STEP(chooseMonitor(delegate, 0));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    UpdateWindowController* update = delegate->updateController();
    // A long poll keeps the gap after a run open long enough to quit into it.
    Timings::current().pollMs = 1500;
    QVERIFY(pressUpdate(delegate, true).seen);

    QElapsedTimer waited;
    waited.start();
    while (update->isUpdateWorkerRunning() && waited.elapsed() < 20000) QTest::qWait(5);
    QVERIFY2(!update->isUpdateWorkerRunning(), "the first run did not end");
    QCOMPARE(update->updateCount(), int64_t(0));

    RequestQuit(update, request);
    if (QTest::currentTestFailed()) return;
    QVERIFY(!delegate->isTerminating());
    QVERIFY(update->isVisible());
    auto* note = update->findChild<QLabel*>("noteLabel");
    QVERIFY(note && note->isVisible());
    QCOMPARE(note->text(), Text("QuitRefusedMessage"));

    // The update goes on to its final alert, then the application ends by itself.
    FLOW_STEP(waitUntilTerminated(delegate, 60000));
    QCOMPARE(lab.transfersStarted("FL270001"), 4);
    QCOMPARE(lab.alerts().size(), 1);
    QCOMPARE(lab.alerts().first().title, Text("CommunicationError"));
}

void FlowFaultsTest::aSuccessWhoseMonitorIsNotFoundAgainIsReported() {
    FlowLab lab;
    // The product and serial number cannot be read any more from the search that follows the
    // update run: that run found the monitor and checked its versions, the window's own search
    // does not find it. The reads before are counted from the trace of the same flow.
    QJsonObject monitor = Claimed("FL270001", "");
    monitor["faults"] =
        QJsonArray{Fault("FF00/35", "get-array", kSerialReadsUntilChecked + 1, 0, "fail")};
    QVERIFY2(lab.useMonitors({monitor}), qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory() + "/firmware.kfw2"));
    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    FLOW_STEP(chooseMonitor(delegate, 0));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    QVERIFY(pressUpdate(delegate, true).seen);
    FLOW_STEP(waitUntilTerminated(delegate, 30000));

    QCOMPARE(lab.transfersStarted("FL270001"), 1);
    QCOMPARE(delegate->updateController()->returnValue(), 1);
    QCOMPARE(lab.alerts().size(), 1);
    const Alert& alert = lab.alerts().first();
    QCOMPARE(alert.title, Text("UpdateCompleteTitle"));
    QCOMPARE(alert.message, Text("UpdateCompleteNotFoundMessage").arg("Scaler: 00106", ""));
    QCOMPARE(alert.style, int(ErrorMessage::Informational));
}

void FlowFaultsTest::aCheckThatIsNotFinishedIsAskedAgainBeforeANewTransfer() {
    FlowLab lab;
    QVERIFY2(lab.useMonitors({Claimed("FL270001", "")}), qPrintable(lab.problem()));
    // The image installs 105 where the package promises 106: the check never finishes.
    QVERIFY(WritePackage(lab.bundleDirectory() + "/firmware.kfw2", 105));
    const int tries = 10;
    Timings::current().restartTries = tries;
    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    FLOW_STEP(chooseMonitor(delegate, 0));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    const int searchesBefore = lab.searches();
    QVERIFY(pressUpdate(delegate, true).seen);
    FLOW_STEP(waitUntilTerminated(delegate, 90000));

    QCOMPARE(lab.transfersStarted("FL270001"), 4);
    // Every run spends its whole restart budget on searches and checks before the next
    // transfer; a run that gives up at the first unfinished check searches only until the
    // monitor is back (300 ms, three or four searches).
    QVERIFY2(lab.searches() - searchesBefore >= 4 * tries,
             qPrintable(QString::number(lab.searches() - searchesBefore)));
    QCOMPARE(lab.alerts().size(), 1);
    QCOMPARE(lab.alerts().first().message, Text("ErrorCode").arg("0002020000"));
}

QTEST_MAIN(FlowFaultsTest)
#include "FlowFaultsTest.moc"
