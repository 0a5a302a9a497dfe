// SPDX-License-Identifier: Apache-2.0
// The update through the real windows, from the first window to the completion alert, against
// simulated monitors: what the windows show, what reaches the monitor, and when the
// application may quit. Each function runs in a process of its own (the simulated monitors are
// chosen once per process).
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QtTest>

#include <csignal>

#include "AppDelegate.h"
#include "flow/FlowLab.h"
#include "model/LocalizedStrings.h"
#include "model/TargetMonitor.h"
#include "model/WindowPlacement.h"
#include "support/TestPackage.h"
#include "windows/PreWarningWindowController.h"
#include "windows/SelectMonitorWindowController.h"
#include "windows/UpdateWindowController.h"

using namespace flowtest;

namespace {

const QString kProduct = QStringLiteral("Flow 27");

// Five shown devices (three on the upper line, two on the lower one) and a hidden one.
QList<QJsonObject> FiveDevices() {
    return {Device(0, "Scaler", 105, 1),  Device(1, "Power Delivery", 30, 2),
            Device(2, "USB Hub", 212, 3), Device(3, "Light Sensor", 7, 4),
            Device(4, "Audio", 12, 5),    Device(5, "Bootloader", 101, 0)};
}

// Scaler to 106 and light sensor to 8; 45 s + 16 s = 61 s, which shows as 2 minutes.
bool WritePackage(const QString& path, const QString& product = kProduct) {
    apptest::TestPackage package;
    package.products({product})
        .margin(0)
        .target(0, 106)
        .target(3, 8)
        .transfer(DeviceFile(0), 106, 1024, 45)
        .transfer(DeviceFile(3), 8, 512, 16)
        .bundle();
    return package.save(path);
}

QString Text(const char* key) { return LocalizedStrings::text(key); }

bool PlacedByTheRule(QWidget* window) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return window->pos() == WindowOrigin(screen, window->size());
}

}  // namespace

class FlowUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void happyPathFromFirstWindowToCompletionAlert();
    void secondOfTwoMonitorsOfOneProductIsTheOneUpdated();
    void quitIsRefusedWhileAWorkerRunsAndAcceptedAfter();
    void theEstimateReadsInWords_data();
    void theEstimateReadsInWords();
    void theWindowShowsWhereTheUpdateIs();
    void theBarRunsOverEachImageInTurn();
    void theUpdateIsRecordedInTheHistory_data();
    void theUpdateIsRecordedInTheHistory();
    void quitRequestsAreAcceptedWhenNoWorkerRuns_data();
    void quitRequestsAreAcceptedWhenNoWorkerRuns();
};

void FlowUpdateTest::init() {
    if (FlowLab::monitorsChosenInThisProcess())
        QSKIP("the simulated monitors are chosen once per process: run one function per "
              "process, as ctest does");
}

void FlowUpdateTest::happyPathFromFirstWindowToCompletionAlert() {
    FlowLab lab;
    QVERIFY2(lab.useMonitors({FilesMonitor(kProduct, "FL270001", FiveDevices())}),
             qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory() + "/firmware.kfw2"));
    const QStringList before{"00105", "00030", "00212", "00007", "00012"};
    QCOMPARE(lab.versionsOnMonitor("FL270001"), before);

    AppDelegate* delegate = lab.start();
    auto* first = delegate->preWarningController();
    QVERIFY(first && first->isVisible());
    QCOMPARE(textOf(first, "messageLabel"), Text("PreWarningDescription"));
    QCOMPARE(first->findChild<QTextBrowser*>("messageText")->toPlainText(),
             Text("PreWarningMessage"));
    QCOMPARE(textOf(first, "okButton"), Text("OK"));
    QCOMPARE(textOf(first, "cancelButton"), Text("Cancel"));
    QVERIFY(PlacedByTheRule(first));
    click(first, "okButton");
    QCOMPARE(first->returnValue(), 1);
    QVERIFY(!first->isVisible());

    // No application of the maker runs: straight to the selection.
    QVERIFY(!delegate->processController());
    auto* selection = delegate->selectMonitorController();
    QVERIFY(selection && selection->isVisible());
    auto* list = selection->findChild<QComboBox*>("monitorComboBox");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->itemText(0), QString("Flow 27 (S/N: FL270001)"));
    QCOMPARE(textOf(selection, "messageLabel"), Text("MonitorSelectMessage"));
    QVERIFY(PlacedByTheRule(selection));
    QCOMPARE(lab.identificationShown("FL270001"), std::optional<bool>(true));
    FLOW_STEP(chooseMonitor(delegate, 0));
    // Closing the selection hides the identification again.
    QCOMPARE(lab.identificationShown("FL270001"), std::optional<bool>(false));

    auto* update = delegate->updateController();
    QVERIFY(update && update->isVisible());
    QCOMPARE(textOf(update, "monitorLabel"), QString("Flow 27 (S/N:FL270001)"));
    QCOMPARE(textOf(update, "currentLabel"), Text("CurrentVersion"));
    QCOMPARE(textOf(update, "updatedLabel"), Text("UpdatedVersion"));
    QCOMPARE(textOf(update, "updateButton"), Text("DoUpdate"));
    // The devices by the names the monitor gives them.
    QCOMPARE(textOf(update, "currentVersionLabel"),
             QString("Scaler: 00105\nPower Delivery: 00030\nUSB Hub: 00212"));
    QCOMPARE(textOf(update, "currentVersionAddLabel"),
             QString("Light Sensor: 00007\nAudio: 00012"));
    QVERIFY(PlacedByTheRule(update));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    QCOMPARE(textOf(update, "updatedVersionLabel"),
             QString("Scaler: 00106\nPower Delivery: 00030\nUSB Hub: 00212"));
    QCOMPARE(textOf(update, "updatedVersionAddLabel"),
             QString("Light Sensor: 00008\nAudio: 00012"));
    QVERIFY(lab.alerts().isEmpty());

    const WarningVisit visit = pressUpdate(delegate, true);
    QVERIFY(visit.seen);
    QVERIFY(!visit.executeEnabledAtFirst);
    QVERIFY(!visit.executeEnabledWithOneBox);
    QVERIFY(visit.executeEnabledWithBoth);
    QCOMPARE(visit.updateTimeText, LocalizedStrings::plural("WarningUpdateTime", 2));
    QVERIFY(visit.updateTimeText.contains("2 minutes"));
    QVERIFY(!update->findChild<QPushButton*>("updateButton")->isEnabled());
    QVERIFY(!update->findChild<QPushButton*>("updateButton")->isVisible());

    FLOW_STEP(waitUntilTerminated(delegate, 30000));
    QCOMPARE(lab.alerts().size(), 1);
    const Alert& done = lab.alerts().first();
    QCOMPARE(done.style, int(ErrorMessage::Informational));
    QCOMPARE(done.title, Text("UpdateCompleteTitle"));
    QCOMPARE(done.message, Text("UpdateCompleteMessage")
                                   .arg("Scaler: 00106, Power Delivery: 00030, USB Hub: 00212",
                                        ", Light Sensor: 00008, Audio: 00012") +
                               "\n\n" + Text("UpdateCompleteUsable").arg("Flow 27 (S/N:FL270001)"));
    QCOMPARE(update->returnValue(), 1);
    QVERIFY(update->isClosed());
    QCOMPARE(update->updateCount(), 0);
    QCOMPARE(lab.transfersStarted("FL270001"), 1);
    QCOMPARE(lab.versionsOnMonitor("FL270001"),
             QStringList({"00106", "00030", "00212", "00008", "00012"}));
}

void FlowUpdateTest::secondOfTwoMonitorsOfOneProductIsTheOneUpdated() {
    FlowLab lab;
    QList<QJsonObject> devices = FiveDevices();
    devices.removeLast();  // the hidden bootloader
    devices.removeLast();  // audio
    QVERIFY2(lab.useMonitors({FilesMonitor(kProduct, "FL270001", devices),
                              FilesMonitor(kProduct, "FL270002", devices)}),
             qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory() + "/firmware.kfw2"));

    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    auto* list = delegate->selectMonitorController()->findChild<QComboBox*>("monitorComboBox");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->itemText(0), QString("Flow 27 (S/N: FL270001)"));
    QCOMPARE(list->itemText(1), QString("Flow 27 (S/N: FL270002)"));
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(lab.identificationShown("FL270001"), std::optional<bool>(true));
    QCOMPARE(lab.identificationShown("FL270002"), std::optional<bool>(false));
    // Choosing the second moves the identification to it.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(lab.identificationShown("FL270001"), std::optional<bool>(false));
    QCOMPARE(lab.identificationShown("FL270002"), std::optional<bool>(true));
    FLOW_STEP(chooseMonitor(delegate, 1));

    QCOMPARE(delegate->targetMonitor()->serial(), QString("FL270002"));
    QCOMPARE(textOf(delegate->updateController(), "monitorLabel"),
             QString("Flow 27 (S/N:FL270002)"));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    QVERIFY(pressUpdate(delegate, true).seen);
    FLOW_STEP(waitUntilTerminated(delegate, 30000));
    QCOMPARE(lab.alerts().size(), 1);
    QCOMPARE(lab.alerts().first().title, Text("UpdateCompleteTitle"));
    QCOMPARE(lab.transfersStarted("FL270001"), 0);
    QCOMPARE(lab.transfersStarted("FL270002"), 1);
    QCOMPARE(lab.versionsOnMonitor("FL270001"), QStringList({"00105", "00030", "00212", "00007"}));
    QCOMPARE(lab.versionsOnMonitor("FL270002"), QStringList({"00106", "00030", "00212", "00008"}));
}

void FlowUpdateTest::quitIsRefusedWhileAWorkerRunsAndAcceptedAfter() {
    FlowLab lab;
    // Every request takes 4 ms for real, so reading the package takes a while; the restart takes
    // 2.5 s, so the update worker runs at least that long.
    QJsonObject monitor = FilesMonitor(kProduct, "FL270001", FiveDevices(), 2500);
    monitor["latencyUs"] = 4000;
    QVERIFY2(lab.useMonitors({monitor}), qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory() + "/firmware.kfw2"));

    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    FLOW_STEP(chooseMonitor(delegate, 0));
    UpdateWindowController* update = delegate->updateController();
    QVERIFY(update);
    // The package is being read: every way of quitting is refused.
    QVERIFY(update->isFileWorkerRunning());
    QVERIFY(!delegate->terminate());
    update->close();
    QVERIFY(update->isVisible());
    QVERIFY(!delegate->isTerminating());
    FLOW_STEP(waitUntilUpdateReady(delegate));

    QVERIFY(pressUpdate(delegate, true).seen);
    QVERIFY(update->isUpdateWorkerRunning());
    QVERIFY(!delegate->applicationShouldTerminate());
    update->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(update));
    QTest::keyClick(update, Qt::Key_Q, Qt::ControlModifier);
    update->close();
    std::raise(SIGTERM);
    std::raise(SIGINT);
    std::raise(SIGHUP);
    QTest::qWait(300);
    QVERIFY2(update->isUpdateWorkerRunning(), "the transfer ended too soon for this test");
    QVERIFY(!delegate->isTerminating());
    QVERIFY(update->isVisible());

    // Once the worker is done the flow ends by itself, through the same rule.
    FLOW_STEP(waitUntilTerminated(delegate, 60000));
    QVERIFY(!update->isUpdateWorkerRunning());
    QCOMPARE(lab.alerts().size(), 1);
    QCOMPARE(lab.alerts().first().title, Text("UpdateCompleteTitle"));
    QCOMPARE(lab.versionsOnMonitor("FL270001"),
             QStringList({"00106", "00030", "00212", "00008", "00012"}));
}

void FlowUpdateTest::theEstimateReadsInWords_data() {
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("words");
    QTest::newRow("zero") << 0 << "less than a minute";
    QTest::newRow("one-minute") << 60 << "about 1 minute.";
    QTest::newRow("just-over") << 61 << "about 2 minutes.";
}

void FlowUpdateTest::theEstimateReadsInWords() {
    QFETCH(int, seconds);
    QFETCH(QString, words);
    LocalizedStrings::load(QLocale(QLocale::English));
    FlowLab lab;
    QVERIFY2(lab.useMonitors({FilesMonitor(kProduct, "FL270001", FiveDevices())}),
             qPrintable(lab.problem()));
    apptest::TestPackage package;
    package.products({kProduct})
        .margin(0)
        .target(0, 106)
        .transfer(DeviceFile(0), 106, 1024, uint32_t(seconds))
        .bundle();
    QVERIFY(package.save(lab.bundleDirectory() + "/firmware.kfw2"));
    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    FLOW_STEP(chooseMonitor(delegate, 0));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    const WarningVisit visit = pressUpdate(delegate, false);
    QVERIFY(visit.seen);
    QVERIFY2(visit.updateTimeText.contains(words), qPrintable(visit.updateTimeText));
}

void FlowUpdateTest::theWindowShowsWhereTheUpdateIs() {
    FlowLab lab;
    // Slow requests and a long restart, so that every phase lasts a few polls.
    QJsonObject monitor = FilesMonitor(kProduct, "FL270001", FiveDevices(), 1500);
    monitor["latencyUs"] = 1500;
    QVERIFY2(lab.useMonitors({monitor}), qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory() + "/firmware.kfw2"));
    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    FLOW_STEP(chooseMonitor(delegate, 0));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    UpdateWindowController* update = delegate->updateController();
    auto* caution = update->findChild<QLabel*>("cautionLabel");
    auto* phase = update->findChild<QLabel*>("phaseLabel");
    auto* elapsed = update->findChild<QLabel*>("elapsedLabel");
    auto* bar = update->findChild<QProgressBar*>("progressBar");
    auto* updated = update->findChild<QLabel*>("updatedVersionLabel");
    QVERIFY(caution && phase && elapsed && bar && updated);
    QVERIFY(!caution->isVisible() && !phase->isVisible());
    QVERIFY(pressUpdate(delegate, true).seen);

    QVERIFY(!update->findChild<QPushButton*>("updateButton")->isVisible());
    QVERIFY(caution->isVisible());
    QCOMPARE(caution->text(), Text("UpdateCaution"));
    QStringList phases;
    bool determinateMidway = false;
    QElapsedTimer waited;
    waited.start();
    while (!delegate->isTerminating() && waited.elapsed() < 60000) {
        if (phases.isEmpty() || phases.last() != phase->text()) phases << phase->text();
        determinateMidway = determinateMidway || (bar->maximum() == 100 && bar->value() > 0);
        QVERIFY(elapsed->text().startsWith(Text("ElapsedTime").arg("0:")));
        // A phase text on two lines makes the window taller instead of cutting the versions.
        QVERIFY2(updated->height() >= updated->sizeHint().height(), qPrintable(phase->text()));
        QTest::qWait(5);
    }
    QVERIFY(delegate->isTerminating());
    const auto seen = [&](const QString& text) { return phases.contains(text); };
    QVERIFY2(seen(Text("PhaseTransferring").arg(1).arg(2)), qPrintable(phases.join('|')));
    QVERIFY2(seen(Text("PhaseTransferring").arg(2).arg(2)), qPrintable(phases.join('|')));
    QVERIFY2(seen(Text("PhaseRestarting").arg(2).arg(40)), qPrintable(phases.join('|')));
    QVERIFY2(determinateMidway, "the bar never showed a part of the transfer");
    // The end: the caution goes, the alert comes.
    QVERIFY(!caution->isVisible());
    QCOMPARE(lab.alerts().size(), 1);
    QCOMPARE(lab.alerts().first().title, Text("UpdateCompleteTitle"));
}

// Two images of different sizes: the bar starts again from none for the second one and reads
// whole-image fractions only, never a share of all bytes.
void FlowUpdateTest::theBarRunsOverEachImageInTurn() {
    FlowLab lab;
    // Slow requests, and page writes that the monitor turns down a few times (the writer tries
    // again), so that the middle of image 1 (write 2 to 7) and the start of image 2 (write 8 to
    // 12) each last several polls of the window.
    QJsonObject monitor = FilesMonitor(
        kProduct, "FL270001", {Device(0, "Scaler", 105, 1), Device(1, "Light Sensor", 7, 2)});
    monitor["latencyUs"] = 30000;
    monitor["faults"] = QJsonArray{Fault("FF02/FE", "set-array", 2, 5, "fail"),
                                   Fault("FF02/FE", "set-array", 8, 4, "fail")};
    QVERIFY2(lab.useMonitors({monitor}), qPrintable(lab.problem()));
    apptest::TestPackage package;
    // Image 1: two records of 512 bytes; image 2: one.
    package.products({kProduct})
        .target(0, 106)
        .target(1, 8)
        .transfer(DeviceFile(0), 106, 1024, 10)
        .transfer(DeviceFile(1), 8, 512, 10)
        .bundle();
    QVERIFY(package.save(lab.bundleDirectory() + "/firmware.kfw2"));
    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    FLOW_STEP(chooseMonitor(delegate, 0));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    UpdateWindowController* update = delegate->updateController();
    auto* phase = update->findChild<QLabel*>("phaseLabel");
    auto* bar = update->findChild<QProgressBar*>("progressBar");
    QVERIFY(phase && bar);
    QVERIFY(pressUpdate(delegate, true).seen);

    // (image, percent) as the window shows them while images go out, in order; -1 for a busy
    // bar.
    using Point = QPair<int, int>;
    QList<Point> seen;
    QElapsedTimer waited;
    waited.start();
    while (!delegate->isTerminating() && waited.elapsed() < 120000) {
        for (int image : {1, 2}) {
            if (phase->text() != Text("PhaseTransferring").arg(image).arg(2)) continue;
            const Point point(image, bar->maximum() == 100 ? bar->value() : -1);
            if (seen.isEmpty() || seen.last() != point) seen << point;
        }
        QTest::qWait(5);
    }
    QVERIFY(delegate->isTerminating());
    QString shown;
    for (const Point& point : seen)
        shown += QStringLiteral(" %1:%2").arg(point.first).arg(point.second);
    // Only the points a record boundary gives: half and all of image 1, none and all of
    // image 2 (a share of all bytes would read 33 % or 66 % here).
    const QList<Point> allowed{{1, 0}, {1, 50}, {1, 100}, {2, 0}, {2, 100}};
    for (const Point& point : seen) QVERIFY2(allowed.contains(point), qPrintable(shown));
    // Halfway through the first image, and the second one starting from none.
    QVERIFY2(seen.contains(Point(1, 50)), qPrintable(shown));
    QVERIFY2(seen.contains(Point(2, 0)), qPrintable(shown));
    // Never back: image by image, each bar rising.
    for (int i = 1; i < seen.size(); ++i) QVERIFY2(seen[i - 1] < seen[i], qPrintable(shown));
    QCOMPARE(lab.alerts().size(), 1);
    QCOMPARE(lab.alerts().first().title, Text("UpdateCompleteTitle"));
}

void FlowUpdateTest::theUpdateIsRecordedInTheHistory_data() {
    QTest::addColumn<bool>("pagesFail");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("errorCode");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("success") << false << "success"
                             << "" << QStringList{"00106", "00030", "00212", "00008", "00012"};
    // Four runs, one attempt: one line.
    QTest::newRow("transfer-fails") << true << "failure"
                                    << "0xffffffff" << QStringList{};
}

void FlowUpdateTest::theUpdateIsRecordedInTheHistory() {
    QFETCH(bool, pagesFail);
    QFETCH(QString, status);
    QFETCH(QString, errorCode);
    QFETCH(QStringList, after);
    FlowLab lab;
    QJsonObject monitor = FilesMonitor(kProduct, "FL270001", FiveDevices());
    if (pagesFail) monitor["faults"] = QJsonArray{Fault("FF02/FE", "set-array", 1, 0, "fail")};
    QVERIFY2(lab.useMonitors({monitor}), qPrintable(lab.problem()));
    const QString package = lab.bundleDirectory() + "/firmware.kfw2";
    QVERIFY(WritePackage(package));
    // A line another tool wrote before stays where it is.
    QVERIFY(QDir().mkpath(lab.filePath("state/flashkit")));
    QFile history(lab.filePath("state/flashkit/history.jsonl"));
    QVERIFY(history.open(QIODevice::WriteOnly));
    const QByteArray earlier = R"({"tool":"flashkit","note":"not a record"})"
                               "\n";
    history.write(earlier);
    history.close();

    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    FLOW_STEP(chooseMonitor(delegate, 0));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    QVERIFY(pressUpdate(delegate, true).seen);
    FLOW_STEP(waitUntilTerminated(delegate, 60000));
    QCOMPARE(lab.alerts().size(), 1);

    QVERIFY(history.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = history.readAll().split('\n');
    QCOMPARE(lines.size(), 3);  // the earlier line, ours, and nothing after the last newline
    QCOMPARE(lines[0] + '\n', earlier);
    QVERIFY(lines[2].isEmpty());
    const QJsonObject line = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(line["tool"].toString(), QString("PanelFlasher"));
    QCOMPARE(line["product"].toString(), kProduct);
    QCOMPARE(line["serial"].toString(), QString("FL270001"));
    QCOMPARE(line["package"].toString(), QFileInfo(package).absoluteFilePath());
    QFile file(package);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(line["packageSha256"].toString(),
             QString::fromLatin1(
                 QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()));
    QCOMPARE(line["versionsBefore"].toVariant().toStringList(),
             QStringList({"00105", "00030", "00212", "00007", "00012"}));
    QCOMPARE(line["versionsAfter"].toVariant().toStringList(), after);
    QCOMPARE(line["status"].toString(), status);
    QCOMPARE(line["errorCode"].toString(), errorCode);
    QVERIFY(line["outcome"].toString().contains(lab.alerts().first().message.simplified()));
    QVERIFY(!line["start"].toString().isEmpty());
    QVERIFY(line["start"].toString() <= line["end"].toString());
}

enum class QuitBy { Shortcut, Sigterm, Sigint, Sighup, ClosingTheWindow };
Q_DECLARE_METATYPE(QuitBy)

void FlowUpdateTest::quitRequestsAreAcceptedWhenNoWorkerRuns_data() {
    QTest::addColumn<QuitBy>("request");
    QTest::newRow("ctrl-q") << QuitBy::Shortcut;
    QTest::newRow("sigterm") << QuitBy::Sigterm;
    QTest::newRow("sigint") << QuitBy::Sigint;
    // The terminal that started the updater closes.
    QTest::newRow("sighup") << QuitBy::Sighup;
    QTest::newRow("window-close") << QuitBy::ClosingTheWindow;
}

void FlowUpdateTest::quitRequestsAreAcceptedWhenNoWorkerRuns() {
    QFETCH(QuitBy, request);
    FlowLab lab;
    QVERIFY2(lab.useMonitors({FilesMonitor(kProduct, "FL270001", FiveDevices())}),
             qPrintable(lab.problem()));
    QVERIFY(WritePackage(lab.bundleDirectory() + "/firmware.kfw2"));
    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    FLOW_STEP(chooseMonitor(delegate, 0));
    FLOW_STEP(waitUntilUpdateReady(delegate));
    UpdateWindowController* update = delegate->updateController();

    QSignalSpy terminated(delegate, &AppDelegate::terminated);
    const auto releases = [&] { return lab.trace("-", {"KmRelease"}).size(); };
    const qsizetype releasedBefore = releases();
    switch (request) {
    case QuitBy::Shortcut:
        // The shortcut works in the active window only.
        update->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(update));
        QTest::keyClick(update, Qt::Key_Q, Qt::ControlModifier);
        break;
    case QuitBy::Sigterm: std::raise(SIGTERM); break;
    case QuitBy::Sigint: std::raise(SIGINT); break;
    case QuitBy::Sighup: std::raise(SIGHUP); break;
    case QuitBy::ClosingTheWindow: update->close(); break;
    }
    QTRY_COMPARE(terminated.count(), 1);
    QVERIFY(delegate->isTerminating());
    // A quit is not a failure: no alert, and nothing was sent to the monitor.
    QVERIFY(lab.alerts().isEmpty());
    QCOMPARE(lab.transfersStarted("FL270001"), 0);
    // Every monitor handle is released on the way out, once; later requests change nothing.
    QCOMPARE(releases(), releasedBefore + 1);
    QVERIFY(delegate->terminate());
    QCOMPARE(terminated.count(), 1);
    QCOMPARE(releases(), releasedBefore + 1);
}

QTEST_MAIN(FlowUpdateTest)
#include "FlowUpdateTest.moc"
