// SPDX-License-Identifier: Apache-2.0
// The platform layer: the single-instance lock, USB hot-plug events, the vendor id, the common
// application folder and the running-application lookups.
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include <optional>

#include "platform/CommonApplicationDirectory.h"
#include "platform/LinuxRunningApplications.h"
#include "platform/SingleInstance.h"
#include "platform/UsbHotplugMonitor.h"
#include "platform/VendorId.h"

Q_DECLARE_METATYPE(std::optional<uint16_t>)

namespace {

// Restores an environment variable when the test ends, however it ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value, bool set = true)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        if (set)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// Another process tries the lock: its exit status, 0 when it got it.
int OtherProcessAcquires() {
    QProcess other;
    other.start(PANELFLASHER_TEST_HELPER, {"acquire"});
    if (!other.waitForFinished(10000) || other.exitStatus() != QProcess::NormalExit) return -1;
    return other.exitCode();
}

}  // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    void onlyOneUpdaterRunsPerUser() {
        QTemporaryDir runtime;
        const ScopedEnv env("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QCOMPARE(SingleInstance::lockPath(), runtime.filePath("PanelFlasher.lock"));

        QCOMPARE(OtherProcessAcquires(), 0);  // nobody holds it yet
        {
            SingleInstance first;
            QVERIFY(first.acquire());
            QVERIFY(first.acquire());  // holding it already is not a second copy
            QCOMPARE(OtherProcessAcquires(), 3);
            first.release();
            QVERIFY(!first.held());
            QCOMPARE(OtherProcessAcquires(), 0);
            QVERIFY(first.acquire());
        }
        // The destructor let go of it.
        QCOMPARE(OtherProcessAcquires(), 0);
    }

    void aLockFileThatCannotBeMadeDoesNotStopTheUpdater() {
        // A runtime folder that does not exist (a broken session): nothing shows another copy,
        // so the updater must start rather than quit silently for ever.
        QTemporaryDir parent;
        const ScopedEnv env("XDG_RUNTIME_DIR", QFile::encodeName(parent.filePath("missing")));
        SingleInstance instance;
        QVERIFY(instance.acquire());
        QVERIFY(!instance.held());
    }

    void withoutARuntimeFolderTheLockIsPerUserInTmp() {
        const ScopedEnv env("XDG_RUNTIME_DIR", QByteArray(), false);
        QCOMPARE(SingleInstance::lockPath(),
                 QStringLiteral("/tmp/PanelFlasher-%1.lock").arg(getuid()));
    }

    void theEnvironmentOverridesTheBuiltVendorId() {
        {
            const ScopedEnv env("SCREENIO_USB_VENDOR_ID", QByteArray(), false);
            QCOMPARE(VendorId(), uint16_t(PANELFLASHER_USB_VENDOR_ID));
        }
        {
            const ScopedEnv env("SCREENIO_USB_VENDOR_ID", "0x1a2b");
            QCOMPARE(VendorId(), uint16_t(0x1a2b));
        }
        {
            const ScopedEnv env("SCREENIO_USB_VENDOR_ID", "not-an-id");
            QCOMPARE(VendorId(), uint16_t(PANELFLASHER_USB_VENDOR_ID));
        }
    }

    void productPropertyGivesTheVendor_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<std::optional<uint16_t>>("vendor");
        QTest::newRow("maker") << "fff0/1234/100" << std::optional<uint16_t>(0xfff0);
        QTest::newRow("short vendor") << "46d/c52b/1201" << std::optional<uint16_t>(0x046d);
        QTest::newRow("upper case") << "1A2B/1/0" << std::optional<uint16_t>(0x1a2b);
        QTest::newRow("vendor only") << "fff0" << std::optional<uint16_t>();
        QTest::newRow("too wide") << "10000/1/1" << std::optional<uint16_t>();
        QTest::newRow("not hexadecimal") << "zz/1/1" << std::optional<uint16_t>();
        QTest::newRow("empty") << "" << std::optional<uint16_t>();
    }
    void productPropertyGivesTheVendor() {
        QFETCH(QString, product);
        QTEST(UsbHotplugMonitor::vendorFromProduct(product), "vendor");
    }

    void onlyTheMakersArrivalsAndRemovalsAreReported() {
        const ScopedEnv env("SCREENIO_USB_VENDOR_ID", QByteArray(), false);
        UsbHotplugMonitor monitor;
        QSignalSpy changed(&monitor, &UsbHotplugMonitor::changed);
        const uint16_t maker = PANELFLASHER_USB_VENDOR_ID;
        monitor.deliver("add", maker);
        monitor.deliver("add", uint16_t(maker ^ 0x0101));
        monitor.deliver("bind", maker);
        monitor.deliver("change", maker);
        monitor.deliver("remove", maker);
        monitor.deliver("remove", 0x046d);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("add"));
        QCOMPARE(changed.at(1).at(0).toString(), QStringLiteral("remove"));
    }

    void hotplugFollowsTheVendorOverride() {
        const ScopedEnv env("SCREENIO_USB_VENDOR_ID", "0x1a2b");
        UsbHotplugMonitor monitor;
        QSignalSpy changed(&monitor, &UsbHotplugMonitor::changed);
        monitor.deliver("add", uint16_t(PANELFLASHER_USB_VENDOR_ID));
        QCOMPARE(changed.size(), 0);
        monitor.deliver("add", 0x1a2b);
        QCOMPARE(changed.size(), 1);
    }

    void commonApplicationDirectory_data() {
        QTest::addColumn<std::optional<QByteArray>>("dirs");
        QTest::addColumn<QString>("folder");
        QTest::newRow("first of the list")
            << std::optional<QByteArray>("/opt/data:/usr/share") << "/opt/data";
        QTest::newRow("unset") << std::optional<QByteArray>() << "/usr/local/share";
        QTest::newRow("empty") << std::optional<QByteArray>("") << "/usr/local/share";
        QTest::newRow("empty first entry")
            << std::optional<QByteArray>(":/srv/share") << "/srv/share";
        QTest::newRow("home") << std::optional<QByteArray>("~/share:/usr/share")
                              << QDir::homePath() + "/share";
    }
    void commonApplicationDirectory() {
        QFETCH(std::optional<QByteArray>, dirs);
        const ScopedEnv env("XDG_DATA_DIRS", dirs.value_or(QByteArray()), dirs.has_value());
        QTEST(CommonApplicationDirectory(), "folder");
    }

    void aProcessIsKnownByItsExecutable() {
        LinuxRunningApplications applications;
        const std::optional<RunningApplication> self = applications.applicationWithPid(getpid());
        QVERIFY(self);
        QCOMPARE(self->pid, int(getpid()));
        QCOMPARE(self->executablePath, QCoreApplication::applicationFilePath());
        QVERIFY(!applications.applicationWithPid(0));
        QVERIFY(!applications.applicationWithPid(-1));
        QVERIFY(!applications.kill(0));  // never the whole process group

        const QString ownName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        const QList<RunningApplication> found =
            applications.applicationsWithIdentifier("org.example.unused", ownName);
        QVERIFY(std::any_of(found.begin(), found.end(),
                            [](const RunningApplication& a) { return a.pid == int(getpid()); }));
        QVERIFY(
            applications.applicationsWithIdentifier("org.example.unused", "no-such-program-here")
                .isEmpty());
    }

    void aProgramReplacedWhileItRunsIsRelaunchedFromItsPath() {
        // An upgrade replaces the file under a running program; the kernel then names it
        // "PATH (deleted)", and only PATH can be started again.
        QTemporaryDir folder;
        const QString path = folder.filePath("huemaster-netagent");
        QVERIFY(QFile::copy(PANELFLASHER_TEST_HELPER, path));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner));
        QProcess agent;
        agent.start(path, {});
        QVERIFY(agent.waitForStarted());
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::copy(PANELFLASHER_TEST_HELPER, path));

        LinuxRunningApplications applications;
        const std::optional<RunningApplication> found =
            applications.applicationWithPid(int(agent.processId()));
        QVERIFY(found);
        QCOMPARE(found->executablePath, path);
        agent.kill();
        agent.waitForFinished();
    }
};

QTEST_MAIN(PlatformTest)
#include "PlatformTest.moc"
