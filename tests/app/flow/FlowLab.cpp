// SPDX-License-Identifier: Apache-2.0
#include "flow/FlowLab.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "AppDelegate.h"
#include "model/Monitor.h"
#include "model/PathUtils.h"
#include "model/TargetMonitor.h"
#include "model/Timings.h"
#include "windows/PreWarningWindowController.h"
#include "windows/SelectMonitorWindowController.h"
#include "windows/UpdateWindowController.h"
#include "windows/WarningWindowController.h"

namespace flowtest {
namespace {

bool g_monitorsChosen = false;

}  // namespace

QJsonObject Device(int id, const QString& name, int version, int displayOrder) {
    return QJsonObject{{"id", id},
                       {"name", name},
                       {"fileName", DeviceFile(id)},
                       {"recordSize", 512},
                       {"recordCount", 2},
                       {"version", version},
                       {"displayOrder", displayOrder}};
}

QString DeviceFile(int id) { return QStringLiteral("DEV%1").arg(id, 3, 10, QLatin1Char('0')); }

QJsonObject FilesMonitor(const QString& product, const QString& serial,
                         const QList<QJsonObject>& devices, int restartMs) {
    QJsonArray list;
    for (const QJsonObject& device : devices) list.append(device);
    return QJsonObject{{"product", product},     {"serial", serial}, {"kind", "files"},
                       {"restartMs", restartMs}, {"crcBusyMs", 5},   {"requestTimeUs", 50},
                       {"devices", list}};
}

QJsonObject Fault(const QString& usage, const QString& access, int first, int count,
                  const QString& effect) {
    QJsonObject fault{{"usage", usage}, {"first", first}, {"count", count}, {"effect", effect}};
    if (!access.isEmpty()) fault["access"] = access;
    return fault;
}

FlowLab::FlowLab() : m_alerts(std::make_shared<QList<Alert>>()) {
    if (!m_dir.isValid()) m_problem = "no temporary folder";
    QDir(m_dir.path()).mkpath("bundle");
    QDir(m_dir.path()).mkpath("runtime");
    QFile::setPermissions(m_dir.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // The single-instance lock lives here: parallel tests must not see each other's copy.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.filePath("runtime")));
    PathUtils::setBundleDirectoryForTesting(bundleDirectory());
    // The update history goes here, not into the home folder of whoever runs the tests.
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_dir.filePath("state")));

    Timings& timings = Timings::current();
    timings = Timings();
    timings.restartWaitMs = 100;
    timings.restartTries = 40;
    timings.pollMs = 50;
    timings.rescanAfterArrivalMs = 600;
    timings.rescanAfterRemovalMs = 40;
    timings.serviceWaitMs = 50;
    timings.serviceWaitTries = 2;

    std::shared_ptr<QList<Alert>> alerts = m_alerts;
    ErrorMessage::setPresenterForTesting([alerts](const ErrorMessage& message) {
        alerts->append(
            Alert{message.title(), message.message(), message.style(), message.technical()});
        return 0;
    });
}

FlowLab::~FlowLab() {
    m_delegate.reset();
    ErrorMessage::setPresenterForTesting({});
    PathUtils::setBundleDirectoryForTesting(QString());
    Timings::current() = Timings();
}

bool FlowLab::useMonitors(const QJsonArray& monitors) {
    if (g_monitorsChosen) {
        m_problem = "the simulated monitors are chosen once per process; run one test function "
                    "per process, as ctest does";
        return false;
    }
    // No state file: the monitors live in this process only and start fresh.
    const QJsonObject description{{"monitors", monitors}};
    QFile file(m_dir.filePath("monitors.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(description).toJson()) < 0) {
        m_problem = "cannot write the monitor description";
        return false;
    }
    file.close();
    qputenv("SCREENIO_SIM", QFile::encodeName(file.fileName()));
    qputenv("SCREENIO_TRACE", QFile::encodeName(m_dir.filePath("trace.log")));
    g_monitorsChosen = true;
    return true;
}

bool FlowLab::monitorsChosenInThisProcess() { return g_monitorsChosen; }

QString FlowLab::bundleDirectory() const { return m_dir.filePath("bundle"); }

QString FlowLab::filePath(const QString& name) const { return m_dir.filePath(name); }

AppDelegate* FlowLab::start() {
    m_delegate = std::make_unique<AppDelegate>();
    m_delegate->applicationDidFinishLaunching();
    return m_delegate.get();
}

QStringList FlowLab::trace(const QString& serial, const QStringList& words) const {
    QFile file(m_dir.filePath("trace.log"));
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly)) return lines;
    const QStringList all = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : all) {
        const QStringList fields = line.split(' ', Qt::SkipEmptyParts);
        if (fields.size() < 2 || fields[1] != serial) continue;
        bool hasAll = true;
        for (const QString& word : words) hasAll = hasAll && fields.contains(word);
        if (hasAll) lines.append(line);
    }
    return lines;
}

int FlowLab::transfersStarted(const QString& serial) const {
    return int(trace(serial, {"set-value", "FF02/00FB", "value=0x1"}).size());
}

int FlowLab::searches() const { return int(trace("-", {"KmFind"}).size()); }

std::optional<bool> FlowLab::identificationShown(const QString& serial) const {
    // Showing is "leave" (0x8000) then "enter" (0x4000); hiding is "leave" alone.
    const QStringList requests = trace(serial, {"set-value", "FF00/000F"});
    if (requests.isEmpty()) return std::nullopt;
    return requests.last().endsWith("value=0x4000");
}

QStringList FlowLab::versionsOnMonitor(const QString& serial) const {
    for (const std::shared_ptr<Monitor>& monitor : Monitor::find()) {
        if (monitor->serial() != serial) continue;
        const std::shared_ptr<TargetMonitor> target =
            TargetMonitor::initWithHandle(monitor->handle());
        if (!target || !target->getVersionFromMonitor() || !target->version()) return {};
        return target->version()->versions();
    }
    return {};
}

void click(QWidget* window, const char* name) {
    QVERIFY2(window, name);
    auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(name));
    QVERIFY2(button, name);
    QVERIFY2(button->isEnabled(), name);
    QTest::mouseClick(button, Qt::LeftButton);
}

QString textOf(QWidget* window, const char* name) {
    if (!window) return "<no window>";
    if (auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(name)))
        return button->text();
    if (auto* label = window->findChild<QLabel*>(QString::fromLatin1(name))) return label->text();
    return QStringLiteral("<no %1>").arg(QString::fromLatin1(name));
}

void passPreWarning(AppDelegate* delegate) {
    QTRY_VERIFY(delegate->preWarningController() && delegate->preWarningController()->isVisible());
    click(delegate->preWarningController(), "okButton");
}

void chooseMonitor(AppDelegate* delegate, int index) {
    QTRY_VERIFY(delegate->selectMonitorController() &&
                delegate->selectMonitorController()->isVisible());
    auto* list = delegate->selectMonitorController()->findChild<QComboBox*>("monitorComboBox");
    QVERIFY(list);
    QVERIFY2(index < list->count(), qPrintable(QStringLiteral("%1 entries").arg(list->count())));
    // As a user picks with the keyboard: each step is a choice of its own.
    for (int i = list->currentIndex(); i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentIndex(), index);
    click(delegate->selectMonitorController(), "okButton");
}

void waitUntilUpdateReady(AppDelegate* delegate) {
    QTRY_VERIFY(delegate->updateController() && delegate->updateController()->isVisible());
    auto* button = delegate->updateController()->findChild<QPushButton*>("updateButton");
    QVERIFY(button);
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled() || delegate->isTerminating(), 20000);
    QVERIFY2(button->isEnabled(), "the package was refused");
}

void waitUntilTerminated(AppDelegate* delegate, int timeoutMs) {
    QTRY_VERIFY_WITH_TIMEOUT(delegate->isTerminating(), timeoutMs);
}

WarningVisit pressUpdate(AppDelegate* delegate, bool execute) {
    WarningVisit visit;
    QWidget* window = delegate ? delegate->updateController() : nullptr;
    auto* updateButton = window ? window->findChild<QPushButton*>("updateButton") : nullptr;
    if (!updateButton || !updateButton->isEnabled()) return visit;

    QTimer driver;
    driver.setInterval(10);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<WarningWindowController*>(QApplication::activeModalWidget());
        if (!dialog) return;
        driver.stop();
        visit.seen = true;
        auto* executeButton = dialog->findChild<QPushButton*>("executeButton");
        auto* power = dialog->findChild<QAbstractButton*>("powerCheckBox");
        auto* usb = dialog->findChild<QAbstractButton*>("usbCheckBox");
        auto* cancel = dialog->findChild<QPushButton*>("cancelButton");
        if (auto* label = dialog->findChild<QLabel*>("updateTimeLabel"))
            visit.updateTimeText = label->text();
        if (!executeButton || !power || !usb || !cancel) {
            dialog->reject();
            return;
        }
        visit.executeEnabledAtFirst = executeButton->isEnabled();
        if (!execute) {
            QTest::mouseClick(cancel, Qt::LeftButton);
            return;
        }
        QTest::mouseClick(power, Qt::LeftButton);
        visit.executeEnabledWithOneBox = executeButton->isEnabled();
        QTest::mouseClick(usb, Qt::LeftButton);
        visit.executeEnabledWithBoth = executeButton->isEnabled();
        QTest::mouseClick(executeButton, Qt::LeftButton);
        // Should the click not end the loop, the test must fail rather than hang.
        if (QApplication::activeModalWidget() == dialog) dialog->reject();
    });
    driver.start();
    // Returns when the dialog's modal loop has ended.
    QTest::mouseClick(updateButton, Qt::LeftButton);
    return visit;
}

}  // namespace flowtest
