// SPDX-License-Identifier: Apache-2.0
// Every failure the user can meet, each through the real windows up to its one alert, which
// ends the application. Each row runs in a process of its own (the simulated monitors are
// chosen once per process).
#include <QFile>
#include <QPushButton>
#include <QtTest>

#include "AppDelegate.h"
#include "flashkit/flashkit.h"
#include "flow/FlowLab.h"
#include "model/LocalizedStrings.h"
#include "model/Monitor.h"
#include "model/PathUtils.h"
#include "model/Timings.h"
#include "support/TestPackage.h"
#include "windows/SelectMonitorWindowController.h"
#include "windows/UpdateWindowController.h"

using namespace flowtest;

namespace {

const QString kProduct = QStringLiteral("Flow 27");
const QString kSerial = QStringLiteral("FL270001");

enum class Package {
    None,
    Two,              // one with a lower-case, one with an upper-case extension
    Fits,             // scaler 105 -> 106
    OtherProduct,     // check result 1
    NoBundleApplies,  // check result 2: only for scaler versions below 100
    AlreadyThere,     // check result 3: the scaler has 105 already
    Legacy,           // the legacy package format
    NotAPackage,
    WrongImage,  // the image installs 105 where the package promises 106
};

// How far the flow gets before its alert.
enum class Reach {
    FirstWindow,  // the package count is checked before the selection
    Selection,    // the chosen monitor is refused before the update window
    PackageRead,  // the update window refuses the package
    Update,       // the update runs and fails
};

}  // namespace

Q_DECLARE_METATYPE(Package)
Q_DECLARE_METATYPE(Reach)

namespace {

QList<QJsonObject> Devices() { return {Device(0, "Scaler", 105, 1), Device(1, "USB Hub", 212, 2)}; }

QJsonObject FlowMonitor(const QJsonArray& faults = {}, int restartMs = 300) {
    QJsonObject monitor = FilesMonitor(kProduct, kSerial, Devices(), restartMs);
    if (!faults.isEmpty()) monitor["faults"] = faults;
    return monitor;
}

// Empty when the packages are written, else what went wrong.
QByteArray WritePackages(Package kind, const QString& folder) {
    apptest::TestPackage package(kind == Package::Legacy);
    package.margin(0);
    switch (kind) {
    case Package::None: return {};
    case Package::NotAPackage: {
        QFile file(folder + "/firmware.kfw2");
        if (file.open(QIODevice::WriteOnly) && file.write("not a firmware package\n") > 0)
            return {};
        return "cannot write the file";
    }
    case Package::Two:
        package.products({kProduct}).target(0, 106).transfer(DeviceFile(0), 106, 1024).bundle();
        package.save(folder + "/first.kfw2");
        package.save(folder + "/SECOND.KFW2");
        return package.errors();
    case Package::OtherProduct:
        package.products({"Other 24"}).target(0, 106).transfer(DeviceFile(0), 106, 1024).bundle();
        break;
    case Package::NoBundleApplies:
        package.products({kProduct})
            .target(0, 106)
            .transfer(DeviceFile(0), 106, 1024)
            .bundle(R"({"device":0,"version":100,"comparison":"lt"})");
        break;
    case Package::AlreadyThere:
        package.products({kProduct}).target(0, 105).transfer(DeviceFile(0), 105, 1024).bundle();
        break;
    case Package::WrongImage:
        package.products({kProduct}).target(0, 106).transfer(DeviceFile(0), 105, 1024).bundle();
        break;
    case Package::Legacy:
        // The legacy format knows products and target versions only.
        package.products({kProduct}).target(0, 106);
        package.save(folder + "/firmware.kfw2", FWSerializeOptionLegacy);
        return package.errors();
    case Package::Fits:
        package.products({kProduct}).target(0, 106).transfer(DeviceFile(0), 106, 1024).bundle();
        break;
    }
    package.save(folder + "/firmware.kfw2");
    return package.errors();
}

// What the library itself says of the package and the monitor, so that a row is known to
// produce the check result it is about.
int CheckResult(const QString& packagePath, const QString& serial) {
    FWKfwFile* file = FWKfwFileCreateWithUtf8Path(QFile::encodeName(packagePath).constData());
    if (!file) return -1;
    int result = -2;
    for (const std::shared_ptr<::Monitor>& monitor : ::Monitor::find())
        if (monitor->serial() == serial)
            result = int(FWKfwFileCheckMonitor(file, monitor->handle()));
    FWKfwFileRelease(file);
    return result;
}

QString CodeMessage(const char* code) {
    return LocalizedStrings::text("ErrorCode").arg(QString::fromLatin1(code));
}

}  // namespace

class FlowFailureTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void eachFailureEndsWithItsAlert_data();
    void eachFailureEndsWithItsAlert();
};

void FlowFailureTest::init() {
    if (FlowLab::monitorsChosenInThisProcess())
        QSKIP("the simulated monitors are chosen once per process: run one function per "
              "process, as ctest does");
}

void FlowFailureTest::eachFailureEndsWithItsAlert_data() {
    QTest::addColumn<QJsonArray>("monitors");
    QTest::addColumn<Package>("package");
    QTest::addColumn<int>("checkResult");  // of the library for the package, -1 not looked at
    QTest::addColumn<int>("restartTries");
    QTest::addColumn<Reach>("reach");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("transfers");

    const auto text = [](const char* key) { return LocalizedStrings::text(key); };
    const QString fileError = text("FileError");
    const QString communication = text("CommunicationError");
    const QString communicationText = text("CommunicationErrorMessage");
    const QString codeTitle = text("ErrorCodeTitle");
    const int tries = Timings().restartTries;

    QTest::newRow("no-package") << QJsonArray{FlowMonitor()} << Package::None << -1 << tries
                                << Reach::FirstWindow << fileError
                                << text("KfwFileNotFoundErrorMessage") << 0;
    QTest::newRow("two-packages") << QJsonArray{FlowMonitor()} << Package::Two << -1 << tries
                                  << Reach::FirstWindow << fileError
                                  << text("KfwFileMultipleFoundErrorMessage") << 0;
    // The scaler-flash kind has no update system of the kind the updater drives.
    const QJsonObject scaler{{"product", kProduct},
                             {"serial", kSerial},
                             {"kind", "mstar"},
                             {"devices", QJsonArray{QJsonObject{{"id", 256},
                                                                {"name", "Scaler"},
                                                                {"version", 118},
                                                                {"address", 0},
                                                                {"flagAddress", 1040384}}}}};
    QTest::newRow("monitor-without-update-system")
        << QJsonArray{scaler} << Package::Fits << -1 << tries << Reach::Selection << fileError
        << text("FileDiffrentModelErrorMessage") << 0;
    QTest::newRow("versions-unreadable")
        << QJsonArray{FlowMonitor({Fault("FF02/FD", "get-array", 1, 0, "fail")})} << Package::Fits
        << -1 << tries << Reach::Selection << communication << communicationText << 0;
    QTest::newRow("legacy-package")
        << QJsonArray{FlowMonitor()} << Package::Legacy << -1 << tries << Reach::PackageRead
        << fileError << text("FileOpenErrorMessage") << 0;
    QTest::newRow("not-a-package")
        << QJsonArray{FlowMonitor()} << Package::NotAPackage << -1 << tries << Reach::PackageRead
        << fileError << text("FileOpenErrorMessage") << 0;
    QTest::newRow("check-1-other-model")
        << QJsonArray{FlowMonitor()} << Package::OtherProduct << 1 << tries << Reach::PackageRead
        << fileError << text("FileDiffrentModelErrorMessage") << 0;
    QTest::newRow("check-2-no-update-path")
        << QJsonArray{FlowMonitor()} << Package::NoBundleApplies << 2 << tries << Reach::PackageRead
        << fileError << text("UnsupportVersionErrorMessage") << 0;
    // The only alert without a title.
    QTest::newRow("check-3-already-updated")
        << QJsonArray{FlowMonitor()} << Package::AlreadyThere << 3 << tries << Reach::PackageRead
        << QString() << text("AlreadyUpdatedMessage") << 0;
    // A package of the record-file format for a monitor of the ZV protocol, which takes only its
    // own format: shown as the communication error.
    const QJsonObject zv{{"product", kProduct},
                         {"serial", kSerial},
                         {"kind", "zv"},
                         {"flashSize", 2097152},
                         {"devices", QJsonArray{QJsonObject{{"id", 256},
                                                            {"name", "Scaler"},
                                                            {"version", 120},
                                                            {"address", 0},
                                                            {"displayOrder", 1}}}}};
    QTest::newRow("check-4-format-of-another-protocol")
        << QJsonArray{zv} << Package::Fits << 4 << tries << Reach::PackageRead << communication
        << communicationText << 0;
    // Update failures are repeated three times before they are shown.
    QTest::newRow("checksum-mismatch")
        << QJsonArray{FlowMonitor({Fault("FF02/FC", "get-array", 1, 0, "corrupt-crc")})}
        << Package::Fits << 0 << tries << Reach::Update << codeTitle << CodeMessage("0001010100")
        << 4;
    QTest::newRow("transfer-fails-every-time")
        << QJsonArray{FlowMonitor({Fault("FF02/FE", "set-array", 1, 0, "fail")})} << Package::Fits
        << 0 << tries << Reach::Update << communication << communicationText << 4;
    QTest::newRow("completion-check-fails")
        << QJsonArray{FlowMonitor()} << Package::WrongImage << 0 << tries << Reach::Update
        << codeTitle << CodeMessage("0002020000") << 4;
    // Not back within 3 searches: one run only, as the window cannot find the monitor either.
    QTest::newRow("monitor-not-back")
        << QJsonArray{FlowMonitor({}, 600000)} << Package::Fits << 0 << 3 << Reach::Update
        << communication << communicationText << 1;
}

void FlowFailureTest::eachFailureEndsWithItsAlert() {
    QFETCH(QJsonArray, monitors);
    QFETCH(Package, package);
    QFETCH(int, checkResult);
    QFETCH(int, restartTries);
    QFETCH(Reach, reach);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QFETCH(int, transfers);

    FlowLab lab;
    QVERIFY2(lab.useMonitors(monitors), qPrintable(lab.problem()));
    const QByteArray problem = WritePackages(package, lab.bundleDirectory());
    QVERIFY2(problem.isEmpty(), problem.constData());
    Timings::current().restartTries = restartTries;
    if (checkResult >= 0)
        QCOMPARE(CheckResult(lab.bundleDirectory() + "/firmware.kfw2", kSerial), checkResult);

    AppDelegate* delegate = lab.start();
    FLOW_STEP(passPreWarning(delegate));
    switch (reach) {
    case Reach::FirstWindow:
        // The alerts about the package count name the folder that was searched.
        message += "\n\n" + LocalizedStrings::text("SearchedFolder").arg(lab.bundleDirectory());
        FLOW_STEP(waitUntilTerminated(delegate));
        QVERIFY(!delegate->selectMonitorController());
        break;
    case Reach::Selection:
        FLOW_STEP(chooseMonitor(delegate, 0));
        FLOW_STEP(waitUntilTerminated(delegate));
        QVERIFY(!delegate->updateController());
        break;
    case Reach::PackageRead: {
        FLOW_STEP(chooseMonitor(delegate, 0));
        FLOW_STEP(waitUntilTerminated(delegate));
        UpdateWindowController* update = delegate->updateController();
        QVERIFY(update);
        QVERIFY(update->isClosed());
        QVERIFY(!update->findChild<QPushButton*>("updateButton")->isEnabled());
        QVERIFY(!delegate->kfwFile());
        break;
    }
    case Reach::Update:
        FLOW_STEP(chooseMonitor(delegate, 0));
        FLOW_STEP(waitUntilUpdateReady(delegate));
        QVERIFY(pressUpdate(delegate, true).seen);
        FLOW_STEP(waitUntilTerminated(delegate, 90000));
        QCOMPARE(delegate->updateController()->returnValue(), 0);
        QCOMPARE(delegate->updateController()->updateCount(), int64_t(transfers - 1));
        break;
    }

    QCOMPARE(lab.alerts().size(), 1);
    const Alert& alert = lab.alerts().first();
    QCOMPARE(alert.title, title);
    QCOMPARE(alert.message, message);
    QCOMPARE(alert.style, int(ErrorMessage::Critical));
    QCOMPARE(lab.transfersStarted(kSerial), transfers);
    // A failed update tells support its status; the alerts before it have none to tell.
    if (reach == Reach::Update)
        QVERIFY2(alert.technical.startsWith("Status 0x8") ||
                     alert.technical.startsWith("Status 0xf"),
                 qPrintable(alert.technical));
    else
        QVERIFY(alert.technical.isEmpty());
}

QTEST_MAIN(FlowFailureTest)
#include "FlowFailureTest.moc"
