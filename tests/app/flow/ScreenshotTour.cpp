// SPDX-License-Identifier: Apache-2.0
// Walks the real application through its happy path on a real display (run it under Xvfb with
// the xcb platform) and saves a PNG of every window as the X server shows it, grabbed by window
// id: the first window, the conflicting-application window, the monitor selection, the update
// window before and during the update, the confirmation dialog and the completion alert.
//
//   panelflasher_screenshots OUTPUT_FOLDER
//   panelflasher_screenshots --unavailable OUTPUT_FOLDER
//
// The second form shows only the monitor selection with a monitor this user may not open beside
// one that can be chosen.
//
// The monitors are the simulator's demo set; the package is examples/demo packed by the
// command-line tool; a stand-in of another application of the maker runs, so that the
// conflicting-application window appears. Exit status 0 when every picture was saved.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <cstdio>
#include <functional>

#include "AppDelegate.h"
#include "flow/ChildApplications.h"
#include "model/LocalizedStrings.h"
#include "model/PathUtils.h"
#include "model/Timings.h"
#include "windows/PreWarningWindowController.h"
#include "windows/ProcessWindowController.h"
#include "windows/SelectMonitorWindowController.h"
#include "windows/UpdateWindowController.h"
#include "windows/WarningWindowController.h"

namespace {

class Tour {
public:
    explicit Tour(QString output) : m_output(std::move(output)) {}

    bool failed() const { return !m_problem.isEmpty(); }
    const QString& problem() const { return m_problem; }

    // Waits, with the event loop running, until `condition` holds.
    bool waitFor(const std::function<bool()>& condition, const QString& what,
                 int timeoutMs = 30000) {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() > timeoutMs) {
                fail("timed out waiting for " + what);
                return false;
            }
            QTest::qWait(5);
        }
        return true;
    }

    // Saves what the X server shows of the window.
    // `settleMs`: time for a newly mapped window to paint itself; 0 for a window already shown
    // whose passing state is the point of the picture.
    bool shoot(QWidget* window, const QString& name, int settleMs = 300) {
        if (!window || !QTest::qWaitForWindowExposed(window, 10000)) {
            fail(name + ": the window is not shown");
            return false;
        }
        // Let the window manager-less server map it and the window paint itself.
        if (settleMs > 0) QTest::qWait(settleMs);
        window->repaint();
        QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        const QPixmap picture = screen->grabWindow(window->winId());
        const QString path = QDir(m_output).filePath(name + ".png");
        if (picture.isNull() || !picture.save(path, "PNG")) {
            fail(name + ": cannot save " + path);
            return false;
        }
        std::printf("saved %s (%dx%d)\n", qPrintable(path), picture.width(), picture.height());
        return true;
    }

    void fail(const QString& problem) {
        if (m_problem.isEmpty()) m_problem = problem;
    }

private:
    QString m_output;
    QString m_problem;
};

bool Click(QWidget* window, const char* name) {
    auto* button =
        window ? window->findChild<QAbstractButton*>(QString::fromLatin1(name)) : nullptr;
    if (!button || !button->isEnabled()) return false;
    button->click();
    return true;
}

bool Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

}  // namespace

// The selection with one monitor that the system does not let this user open.
int UnavailableTour(const QString& output) {
    QTemporaryDir work;
    QDir(work.path()).mkpath("bundle");
    QDir(work.path()).mkpath("runtime");
    QFile::setPermissions(work.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(work.filePath("runtime")));
    const QByteArray monitors = R"({"monitors": [
        {"product": "Demo V27Q", "serial": "V27Q0001", "kind": "files", "claim": "denied"},
        {"product": "Demo V24F", "serial": "V24F0002", "kind": "files"}]})";
    QFile description(work.filePath("monitors.json"));
    if (!description.open(QIODevice::WriteOnly) || description.write(monitors) < 0) return 1;
    description.close();
    qputenv("SCREENIO_SIM", QFile::encodeName(description.fileName()));
    QFile package(work.filePath("bundle/demo.kfw2"));
    if (!package.open(QIODevice::WriteOnly)) return 1;
    package.close();
    PathUtils::setBundleDirectoryForTesting(work.filePath("bundle"));
    LocalizedStrings::load(QLocale(QLocale::English));

    Tour tour(output);
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    auto* first = delegate.preWarningController();
    if (tour.waitFor([&] { return first && first->isVisible(); }, "the first window") &&
        !Click(first, "okButton"))
        tour.fail("no OK in the first window");
    SelectMonitorWindowController* selection = nullptr;
    if (!tour.failed() &&
        tour.waitFor([&] { return (selection = delegate.selectMonitorController()) != nullptr; },
                     "the monitor selection"))
        tour.shoot(selection, "3b-monitor-unavailable");
    if (selection) Click(selection, "cancelButton");
    if (tour.failed()) {
        std::fprintf(stderr, "screenshot tour: %s\n", qPrintable(tour.problem()));
        return 1;
    }
    return 0;
}

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PanelFlasher"));
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // progress lines reach a log at once
    if (argc == 3 && QByteArray(argv[1]) == "--unavailable") {
        QDir().mkpath(QString::fromLocal8Bit(argv[2]));
        return UnavailableTour(QString::fromLocal8Bit(argv[2]));
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s [--unavailable] OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);

    // The application's folder with the demo package beside the "executable", the simulated
    // monitor's folder, and a stand-in of the maker's photo tool.
    QTemporaryDir work;
    QDir(work.path()).mkpath("bundle");
    QDir(work.path()).mkpath("runtime");
    QFile::setPermissions(work.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(work.filePath("runtime")));
    // The first demo monitor as the demo set describes it, with the round trip of a USB link
    // added: without it the demo's images go out between two polls of the window, and no
    // picture could show one partway.
    const QByteArray monitors = R"({"monitors": [
        {"product": "Demo V27Q", "serial": "V27Q0001", "kind": "files", "restartMs": 3000,
         "latencyUs": 8000, "devices": [
         {"id": 0, "name": "Scaler", "fileName": "SCL000", "recordSize": 4096, "recordCount": 4,
          "version": 105, "displayOrder": 1},
         {"id": 1, "name": "USB Hub", "fileName": "HUB000", "recordSize": 1024,
          "recordCount": 4, "version": 212, "displayOrder": 3},
         {"id": 2, "name": "Power Delivery", "fileName": "PDC000", "recordSize": 2048,
          "recordCount": 2, "version": 30, "displayOrder": 2},
         {"id": 3, "name": "Light Sensor", "fileName": "ALS000", "recordSize": 512,
          "recordCount": 4, "version": 7},
         {"id": 4, "name": "Bootloader", "fileName": "BLD000", "recordSize": 512,
          "recordCount": 2, "version": 101}]}]})";
    QFile description(work.filePath("monitors.json"));
    if (!description.open(QIODevice::WriteOnly) || description.write(monitors) < 0) return 1;
    description.close();
    qputenv("SCREENIO_SIM", QFile::encodeName(description.fileName()));
    PathUtils::setBundleDirectoryForTesting(work.filePath("bundle"));
    LocalizedStrings::load(QLocale(QLocale::English));
    // The demo monitor is back 3 s after its restart; look for it every second.
    Timings::current().restartWaitMs = 1000;
    // The window follows the transfer closely enough to be caught halfway through an image.
    Timings::current().pollMs = 20;

    if (!Run(FLASHKIT_TOOL, {"pack", FLASHKIT_SOURCE_DIR "/examples/demo/manifest.json", "-o",
                             work.filePath("bundle/demo.kfw2")})) {
        std::fprintf(stderr, "cannot pack the demo package\n");
        return 1;
    }
    const QString standIn = work.filePath("huemaster6");
    QProcess otherApplication;
    if (!QFile::copy(PANELFLASHER_TEST_HELPER, standIn)) return 1;
    otherApplication.start(standIn, {});
    if (!otherApplication.waitForStarted()) return 1;

    // Only the stand-in counts: tests running beside the tour have their own.
    ChildApplications applications;
    Tour tour(output);
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();

    auto* first = delegate.preWarningController();
    if (tour.waitFor([&] { return first && first->isVisible(); }, "the first window") &&
        tour.shoot(first, "1-first-window") && !Click(first, "okButton"))
        tour.fail("no OK in the first window");

    ProcessWindowController* conflict = nullptr;
    if (!tour.failed() &&
        tour.waitFor([&] { return (conflict = delegate.processController()) != nullptr; },
                     "the conflicting-application window") &&
        tour.shoot(conflict, "2-conflicting-applications") && !Click(conflict, "okButton"))
        tour.fail("no OK in the conflicting-application window");

    SelectMonitorWindowController* selection = nullptr;
    if (!tour.failed() &&
        tour.waitFor([&] { return (selection = delegate.selectMonitorController()) != nullptr; },
                     "the monitor selection") &&
        tour.shoot(selection, "3-monitor-selection") && !Click(selection, "okButton"))
        tour.fail("no OK in the monitor selection");

    UpdateWindowController* update = nullptr;
    QAbstractButton* updateButton = nullptr;
    if (!tour.failed() && tour.waitFor(
                              [&] {
                                  update = delegate.updateController();
                                  updateButton =
                                      update ? update->findChild<QAbstractButton*>("updateButton")
                                             : nullptr;
                                  return updateButton && updateButton->isEnabled();
                              },
                              "the package to be accepted"))
        tour.shoot(update, "4-update-ready");

    // The dialogs run their own modal loops; a timer answers them from inside.
    bool warningShot = false;
    bool alertShot = false;
    QTimer answer;
    answer.setInterval(50);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* warning = qobject_cast<WarningWindowController*>(modal)) {
            answer.stop();
            Click(warning, "powerCheckBox");
            Click(warning, "usbCheckBox");
            warningShot = tour.shoot(warning, "5-confirmation");
            if (!Click(warning, "executeButton")) warning->reject();
            answer.start();
        } else if (auto* alert = qobject_cast<QMessageBox*>(modal)) {
            answer.stop();
            alertShot = tour.shoot(alert, "7-update-complete");
            if (!alert->buttons().isEmpty()) alert->buttons().first()->click();
        }
    });
    answer.start();

    if (!tour.failed()) {
        updateButton->click();  // returns when the confirmation has been answered
        if (!warningShot) tour.fail("no confirmation dialog");
    }
    if (!tour.failed() &&
        tour.waitFor([&] { return update->isUpdateWorkerRunning(); }, "the update to start")) {
        // Part of the first image sent: the bar is determinate.
        auto* bar = update->findChild<QProgressBar*>("progressBar");
        if (tour.waitFor(
                [&] {
                    return bar && bar->maximum() == 100 && bar->value() > 0 && bar->value() < 100;
                },
                "the transfer to show its progress"))
            tour.shoot(update, "6-updating", 0);
        // A later image partway: its own bar, started again from none.
        auto* phase = update->findChild<QLabel*>("phaseLabel");
        const auto laterImage = [](const QString& text) {
            for (int n = 2; n <= 16; ++n)
                for (int k = 2; k <= n; ++k)
                    if (text == LocalizedStrings::text("PhaseTransferring").arg(k).arg(n))
                        return true;
            return false;
        };
        if (!tour.failed() && tour.waitFor(
                                  [&] {
                                      return phase && laterImage(phase->text()) &&
                                             bar->maximum() == 100 && bar->value() > 0 &&
                                             bar->value() < 100;
                                  },
                                  "a later image to go out"))
            tour.shoot(update, "6a-transferring", 0);
    }
    // The monitor restarts and is searched for again.
    auto* phase = update ? update->findChild<QLabel*>("phaseLabel") : nullptr;
    const QString restarting = LocalizedStrings::text("PhaseRestarting").section('(', 0, 0);
    if (!tour.failed() && tour.waitFor(
                              [&] {
                                  return phase && phase->text().startsWith(restarting) &&
                                         !phase->text().contains("(attempt 1 ");
                              },
                              "the monitor to restart", 60000))
        tour.shoot(update, "6b-restarting");
    if (!tour.failed() &&
        tour.waitFor([&] { return delegate.isTerminating(); }, "the end of the update", 120000) &&
        !alertShot)
        tour.fail("no completion alert");

    otherApplication.kill();
    otherApplication.waitForFinished();
    if (tour.failed()) {
        std::fprintf(stderr, "screenshot tour: %s\n", qPrintable(tour.problem()));
        return 1;
    }
    return 0;
}
