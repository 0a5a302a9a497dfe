// SPDX-License-Identifier: Apache-2.0
// The two workers against simulated monitors: the package thread's verdicts and the update
// thread's runs, successful and failing, with the waits shortened.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <mutex>

#include "flashkit/flashkit.h"
#include "model/FileThread.h"
#include "model/KORUProcess.h"
#include "model/KfwFile.h"
#include "model/LocalizedStrings.h"
#include "model/Monitor.h"
#include "model/TargetMonitor.h"
#include "model/Timings.h"
#include "model/UpdateThread.h"
#include "platform/RunningApplications.h"
#include "screenio/screenio.h"
#include "support/TestPackage.h"

namespace {

// One product in several copies, each with its own trouble. Devices: Scaler 105, USB Hub 212.
QByteArray Monitor(const char* serial, const char* extra = "") {
    return QByteArray(R"({"product": "Work Panel", "serial": ")") + serial + R"(",
        "kind": "files", "restartMs": 300, "devices": [
        {"id": 0, "name": "Scaler", "fileName": "SCL000", "recordSize": 512, "recordCount": 8,
         "version": 105, "displayOrder": 1},
        {"id": 1, "name": "USB Hub", "fileName": "HUB000", "recordSize": 512, "recordCount": 4,
         "version": 212, "displayOrder": 2}])" +
           extra + "}";
}

QByteArray Description() {
    return "{\"monitors\": [" + Monitor("FILE0001") + ",\n" + Monitor("GOOD0001") + ",\n" +
           // Every page write fails on the link.
           Monitor("XFER0001", R"(, "faults": [{"usage": "FF02/FE", "access": "set-array",
               "count": 0, "effect": "fail", "status": -1}])") +
           ",\n" +
           // Every checksum the monitor reports is off by one bit.
           Monitor("CRC00001", R"(, "faults": [{"usage": "FF02/FC", "access": "get-array",
               "count": 0, "effect": "corrupt-crc"}])") +
           ",\n" + Monitor("CHK00001") + ",\n" +
           // Gone for ten minutes after its restart.
           Monitor("SLOW0001").replace("\"restartMs\": 300", "\"restartMs\": 600000") + ",\n" +
           // Waiting in ISP mode: a flash monitor whose scaler image does not boot (so only its
           // boot loader answers, under MCU ISP MODE), and one described so for good.
           R"({"product": "Work Panel", "serial": "ISPZV001", "kind": "zv", "restartMs": 300,
               "devices": [
               {"id": 256, "name": "Scaler", "version": 120, "address": 0, "updateFlagIndex": 0,
                "displayOrder": 1, "boots": false},
               {"id": 512, "name": "Type-C", "version": 45, "address": 524288,
                "updateFlagIndex": 1, "displayOrder": 2}]},)"
           "\n"
           R"({"product": "MCU ISP MODE", "serial": "ISP00002", "kind": "legacy",
               "restartMs": 300, "withoutUsages": ["FF00/D8"]}]})";
}

std::shared_ptr<TargetMonitor> Target(const QString& serial) {
    for (const std::shared_ptr<::Monitor>& monitor : ::Monitor::find())
        if (monitor->serial() == serial) return TargetMonitor::initWithHandle(monitor->handle());
    return nullptr;
}

template <typename Worker> bool WaitUntilFinished(const Worker& worker, int ms = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!worker.isFinished() && timer.elapsed() < ms) QTest::qWait(10);
    return worker.isFinished();
}

void CompareMessages(const std::optional<ErrorMessage>& actual,
                     const std::optional<ErrorMessage>& expected) {
    QVERIFY(actual.has_value() == expected.has_value());
    if (!expected) return;
    QCOMPARE(actual->title(), expected->title());
    QCOMPARE(actual->message(), expected->message());
    QCOMPARE(actual->style(), expected->style());
    QCOMPARE(actual->wideWidth(), expected->wideWidth());
}

// Stands in for the desktop: the maker's hidden agent "runs"; kills and launches are recorded.
class RecordingApplications : public RunningApplications {
public:
    QList<RunningApplication> applicationsWithIdentifier(const QString&,
                                                         const QString& executableName) override {
        const std::lock_guard<std::mutex> lock(mutex);
        if (executableName == "huemaster-netagent")
            return {{4242, "/opt/agent/huemaster-netagent"}};
        return {};
    }
    std::optional<RunningApplication> applicationWithPid(int) override { return std::nullopt; }
    bool launch(const QString& path) override {
        const std::lock_guard<std::mutex> lock(mutex);
        launched << path;
        return true;
    }
    bool kill(int pid) override {
        const std::lock_guard<std::mutex> lock(mutex);
        killed << pid;
        return true;
    }
    std::mutex mutex;
    QStringList launched;
    QList<int> killed;
};

}  // namespace

class WorkersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        QVERIFY(apptest::UseSimulatedMonitors(m_folder, Description()));
        LocalizedStrings::load(QLocale(QLocale::English));
        RunningApplications::setForTesting(&m_applications);
        Timings::current().restartWaitMs = 100;
        Timings::current().restartTries = 40;

        // The package for every monitor here: Scaler to 110, USB Hub to 215.
        apptest::TestPackage good;
        good.products({"Work Panel"}).target(0, 110).target(1, 215);
        good.transfer("SCL000", 110, 4096, 40).transfer("HUB000", 215, 2048, 20).bundle();
        QVERIFY2(good.save(m_folder.filePath("good.kfw2")), good.errors().constData());
    }
    void cleanupTestCase() {
        RunningApplications::setForTesting(nullptr);
        KORUProcess::registerProcesses({});
        Timings::current() = Timings();
        KmRelease();
    }

    void thePackageThreadJudgesThePackage_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("verdict");  // -2 open error, -3 communication error, else check
        QTest::newRow("no file") << "missing.kfw2" << -2;
        QTest::newRow("not a package") << "junk.kfw2" << -2;
        QTest::newRow("legacy format") << "legacy.kfw2" << -2;
        QTest::newRow("another model") << "other-model.kfw2" << 1;
        QTest::newRow("no update path") << "no-path.kfw2" << 2;
        QTest::newRow("already updated") << "updated.kfw2" << 3;
        QTest::newRow("fits") << "good.kfw2" << 0;
    }
    void thePackageThreadJudgesThePackage() {
        QFETCH(QString, file);
        QFETCH(int, verdict);
        {
            QFile junk(m_folder.filePath("junk.kfw2"));
            QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a package at all") > 0);
        }
        {
            apptest::TestPackage legacy(true);
            legacy.products({"Work Panel"}).target(0x100, 110);
            QVERIFY2(legacy.save(m_folder.filePath("legacy.kfw2"), FWSerializeOptionLegacy),
                     legacy.errors().constData());
            int format = -1;
            const KfwFile reopened(FWKfwFileCreateWithUtf8Path(
                QFile::encodeName(m_folder.filePath("legacy.kfw2")).constData()));
            QVERIFY(reopened.handle());  // it opens: only its format turns it away
            QVERIFY(FWKfwFileGetFileVersion(reopened.handle(), &format));
            QCOMPARE(format, int(FWKfwFileVersion1));
        }
        {
            apptest::TestPackage other;
            other.products({"Other Panel"}).target(0, 110).transfer("SCL000", 110, 4096).bundle();
            QVERIFY(other.save(m_folder.filePath("other-model.kfw2")));
            apptest::TestPackage noPath;
            noPath.products({"Work Panel"})
                .target(0, 110)
                .transfer("SCL000", 110, 4096)
                .bundle(R"({"device":0,"version":100,"comparison":"eq"})");
            QVERIFY(noPath.save(m_folder.filePath("no-path.kfw2")));
            apptest::TestPackage updated;
            updated.products({"Work Panel"})
                .target(0, 105)
                .target(1, 212)
                .transfer("SCL000", 105, 4096)
                .bundle();
            QVERIFY(updated.save(m_folder.filePath("updated.kfw2")));
        }

        const std::shared_ptr<TargetMonitor> target = Target("FILE0001");
        QVERIFY(target);
        FileThread thread;
        thread.setFilePath(m_folder.filePath(file));
        thread.setTargetMonitor(target);
        QVERIFY(!thread.isRunning() && !thread.isFinished());
        thread.start();
        QVERIFY(WaitUntilFinished(thread));
        QVERIFY(!thread.isRunning());

        const std::optional<ErrorMessage> expected =
            verdict == -2   ? ErrorMessage::kfwFileOpenError()
            : verdict == -3 ? ErrorMessage::communicationError()
                            : ErrorMessage::kfwFileCheckError(verdict);
        CompareMessages(thread.lastError(), expected);
        QCOMPARE(bool(thread.kfwFile()), verdict == 0);
        if (verdict == 0) {
            QVERIFY(thread.kfwFile()->handle());
            QCOMPARE(target->updatedVersion()->toString(), QStringLiteral("00110-00215"));
        }
    }

    void thePackageThreadNeedsAReadableMonitor() {
        const std::shared_ptr<TargetMonitor> target = Target("FILE0001");
        QVERIFY(target);
        ::Monitor::find();  // the target's handle is invalid now
        FileThread thread;
        thread.setFilePath(m_folder.filePath("good.kfw2"));
        thread.setTargetMonitor(target);
        thread.start();
        QVERIFY(WaitUntilFinished(thread));
        CompareMessages(thread.lastError(), ErrorMessage::communicationError());
        QVERIFY(!thread.kfwFile());
    }

    void anUpdateRunsToTheEnd() {
        KORUProcess::registerProcesses(KORUProcess::runningKoruProcesses());
        m_applications.killed.clear();
        m_applications.launched.clear();

        const std::shared_ptr<TargetMonitor> target = Target("GOOD0001");
        QVERIFY(target);
        void* before = target->handle();
        UpdateThread thread;
        thread.setTargetMonitor(target);
        thread.setKfwFile(OpenPackage("good.kfw2"));
        thread.start();
        QVERIFY(thread.isRunning());
        QVERIFY(WaitUntilFinished(thread));
        QVERIFY(!thread.isRunning());
        QVERIFY2(!thread.lastError(),
                 qPrintable(thread.lastError().value_or(ErrorMessage()).message()));

        // The target now holds the handle of the restarted monitor, which reports the package's
        // versions.
        QVERIFY(target->handle() != before);
        QVERIFY(target->getVersionFromMonitor());
        QCOMPARE(target->version()->toString(), QStringLiteral("00110-00215"));
        // The hidden agent was closed for the transfer and started again after it.
        QCOMPARE(m_applications.killed, QList<int>{4242});
        QCOMPARE(m_applications.launched, QStringList{"/opt/agent/huemaster-netagent"});
    }

    void aFailedUpdateReportsItsError_data() {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("package");
        QTest::addColumn<int>("error");  // 0 communication, 1 checksum code, 2 version code
        QTest::newRow("transfer fails") << "XFER0001"
                                        << "good.kfw2" << 0;
        QTest::newRow("checksum differs") << "CRC00001"
                                          << "good.kfw2" << 1;
        QTest::newRow("new versions missing") << "CHK00001"
                                              << "wrong-image.kfw2" << 2;
        QTest::newRow("monitor not back") << "SLOW0001"
                                          << "good.kfw2" << 0;
    }
    void aFailedUpdateReportsItsError() {
        QFETCH(QString, serial);
        QFETCH(QString, package);
        QFETCH(int, error);
        {
            // Images that install 111 where the package promises 110.
            apptest::TestPackage wrong;
            wrong.products({"Work Panel"}).target(0, 110).transfer("SCL000", 111, 4096).bundle();
            QVERIFY(wrong.save(m_folder.filePath("wrong-image.kfw2")));
        }
        KORUProcess::registerProcesses(KORUProcess::runningKoruProcesses());
        m_applications.launched.clear();
        // Searches 50 ms apart; for the slow monitor only four, so that its ten minutes are far
        // out of reach.
        Timings::current().restartWaitMs = 50;
        Timings::current().restartTries = serial == "SLOW0001" ? 4 : 40;

        const std::shared_ptr<TargetMonitor> target = Target(serial);
        QVERIFY(target);
        UpdateThread thread;
        thread.setTargetMonitor(target);
        thread.setKfwFile(OpenPackage(package));
        QElapsedTimer elapsed;
        elapsed.start();
        thread.start();
        QVERIFY(WaitUntilFinished(thread));
        Timings::current().restartWaitMs = 100;
        Timings::current().restartTries = 40;

        const std::optional<ErrorMessage> expected =
            error == 1   ? ErrorMessage::monitorError(ErrorMessage::kChecksumMismatch)
            : error == 2 ? ErrorMessage::updateVersionError()
                         : ErrorMessage::communicationError();
        CompareMessages(thread.lastError(), expected);
        // Below the message: what the monitor was left with.
        const QString detail = serial == "SLOW0001" ? ErrorMessage::notBackDetail()
                               : error == 2         ? ErrorMessage::versionsNotReachedDetail()
                                            : LocalizedStrings::text("UpdateStateUnchanged");
        QCOMPARE(thread.lastError()->detail(), detail);
        if (error == 1) QVERIFY(thread.lastError()->message().contains("0001010100"));
        if (error == 2) QVERIFY(thread.lastError()->message().contains("0002020000"));
        if (serial == "SLOW0001") QVERIFY(elapsed.elapsed() >= 4 * 50);
        // The agent is started again whatever happened.
        QCOMPARE(m_applications.launched, QStringList{"/opt/agent/huemaster-netagent"});
    }

    // A monitor whose firmware does not start reports "MCU ISP MODE"; a package that lists that
    // product fits it (check result 0), with or without devices to read.
    void aMonitorInIspModeIsRecovered() {
        apptest::TestPackage recovery;
        recovery.products({"Work Panel", "MCU ISP MODE"}).target(0, 110).target(1, 215);
        recovery.transfer("SCL000", 110, 4096, 40).transfer("HUB000", 215, 2048, 20).bundle();
        QVERIFY2(recovery.save(m_folder.filePath("recovery.kfw2")), recovery.errors().constData());
        apptest::TestPackage flash;
        flash.products({"Work Panel", "MCU ISP MODE"}).target(256, 121).target(512, 46);
        flash.zvTransfer(0, 121, 4096, 40).zvTransfer(524288, 46, 2048, 20).bundle();
        QVERIFY2(flash.save(m_folder.filePath("recovery-zv.kfw2")), flash.errors().constData());

        const struct {
            const char* serial;
            const char* package;
        } checks[] = {{"ISP00002", "recovery.kfw2"}, {"ISPZV001", "recovery-zv.kfw2"}};
        for (const auto& c : checks) {
            const std::shared_ptr<TargetMonitor> target = Target(c.serial);
            QVERIFY(target);
            QCOMPARE(target->product(), QStringLiteral("MCU ISP MODE"));
            QVERIFY(target->getVersionFromMonitor());
            FileThread check;
            check.setFilePath(m_folder.filePath(c.package));
            check.setTargetMonitor(target);
            check.start();
            QVERIFY(WaitUntilFinished(check));
            QVERIFY2(!check.lastError(), c.serial);
            QVERIFY(check.kfwFile());
        }

        const std::shared_ptr<TargetMonitor> target = Target("ISPZV001");
        UpdateThread update;
        update.setTargetMonitor(target);
        update.setKfwFile(OpenPackage("recovery-zv.kfw2"));
        update.start();
        QVERIFY(WaitUntilFinished(update));
        // The images went in and were installed at the restart; the monitor boots again, comes
        // back under its own product with the new versions, and the run ends in success.
        QVERIFY2(!update.lastError(),
                 update.lastError() ? qPrintable(update.lastError()->message()) : "");
        QCOMPARE(update.lastStatus(), 0);
        const std::shared_ptr<TargetMonitor> back = Target("ISPZV001");
        QVERIFY(back);
        QCOMPARE(back->product(), QStringLiteral("Work Panel"));
        QVERIFY(back->getVersionFromMonitor());
        QCOMPARE(back->version()->toString(), QStringLiteral("00121-00046"));
    }

    void aRepeatedRunStartsClean() {
        const std::shared_ptr<TargetMonitor> target = Target("XFER0001");
        QVERIFY(target);
        UpdateThread thread;
        thread.setTargetMonitor(target);
        thread.setKfwFile(OpenPackage("good.kfw2"));
        thread.start();
        QVERIFY(WaitUntilFinished(thread));
        QVERIFY(thread.lastError());
        // The same object runs again, as the update window repeats a failed update.
        thread.start();
        QVERIFY(!thread.isFinished());
        QVERIFY(!thread.lastError());
        QVERIFY(WaitUntilFinished(thread));
        QVERIFY(thread.lastError());
    }

private:
    std::shared_ptr<KfwFile> OpenPackage(const QString& name) {
        return std::make_shared<KfwFile>(
            FWKfwFileCreateWithUtf8Path(QFile::encodeName(m_folder.filePath(name)).constData()));
    }

    QTemporaryDir m_folder;
    RecordingApplications m_applications;
};

QTEST_MAIN(WorkersTest)
#include "WorkersTest.moc"
