// SPDX-License-Identifier: Apache-2.0
// The maker's other applications, with real processes (the test helper copied under their
// executable names) and real local sockets: detection, the background service's quit message,
// the kill after the wait, the relaunch of the hidden agent.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "model/KORUProcess.h"
#include "model/Timings.h"
#include "platform/LinuxRunningApplications.h"
#include "platform/RunningApplications.h"

namespace {

// What the background service receives, byte for byte.
const QByteArray kQuitMessage =
    R"({"id": 0,"type": "ladle","process": "PanelFlasher","dataType": "bridge-cross",)"
    R"("target": "ApplicationMain","message": {"uri": "/huemaster7.service.local/Application",)"
    R"("settings": {"method":"DELETE"}}})";

std::shared_ptr<KORUProcess> Entry(const QString& name) {
    for (const std::shared_ptr<KORUProcess>& process : KORUProcess::allKoruProcesses())
        if (process->name() == name) return process;
    return nullptr;
}

std::shared_ptr<KORUProcess> Running(const QString& name) {
    for (const std::shared_ptr<KORUProcess>& process : KORUProcess::runningKoruProcesses())
        if (process->name() == name) return process;
    return nullptr;
}

// A listening local stream socket at a path, closed with the object.
class Listener {
public:
    explicit Listener(const QString& path) : m_path(QFile::encodeName(path)) {
        m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (m_fd < 0 || size_t(m_path.size()) >= sizeof(address.sun_path)) return;
        std::memcpy(address.sun_path, m_path.constData(), size_t(m_path.size()));
        unlink(m_path.constData());
        m_ok = bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
               listen(m_fd, 8) == 0;
    }
    ~Listener() {
        if (m_fd >= 0) close(m_fd);
        unlink(m_path.constData());
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool ok() const { return m_ok; }
    int fd() const { return m_fd; }

    // Takes one pending connection and reads it to its end; nothing when none is pending.
    std::optional<QByteArray> take() const {
        const int connection = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) return std::nullopt;
        const timeval timeout{2, 0};
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        QByteArray bytes;
        char buffer[256];
        for (;;) {
            const ssize_t got = read(connection, buffer, sizeof(buffer));
            if (got <= 0) break;
            bytes.append(buffer, int(got));
        }
        close(connection);
        return bytes;
    }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_ok = false;
};

// Listens under several names on a thread of its own and records what arrives. Within one
// round the names are served in the given order, so messages sent in that order are recorded
// in it; a message to a later name that comes first is recorded first.
class Listeners {
public:
    Listeners(const QString& folder, const QStringList& names) : m_names(names) {
        for (const QString& name : names)
            m_listeners.push_back(std::make_unique<Listener>(folder + "/" + name));
    }
    ~Listeners() { stop(); }

    bool ok() const {
        for (const auto& listener : m_listeners)
            if (!listener->ok()) return false;
        return true;
    }
    void start() {
        m_thread = std::thread([this] {
            while (!m_stop) {
                std::vector<pollfd> fds;
                for (const auto& listener : m_listeners) fds.push_back({listener->fd(), POLLIN, 0});
                if (poll(fds.data(), fds.size(), 20) <= 0) continue;
                for (size_t i = 0; i < m_listeners.size(); ++i) {
                    if (!(fds[i].revents & POLLIN)) continue;
                    while (std::optional<QByteArray> bytes = m_listeners[i]->take()) {
                        const std::lock_guard<std::mutex> lock(m_mutex);
                        m_received << qMakePair(m_names[int(i)], *bytes);
                    }
                }
            }
        });
    }
    void stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    QList<QPair<QString, QByteArray>> received() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

private:
    QStringList m_names;
    std::vector<std::unique_ptr<Listener>> m_listeners;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    QList<QPair<QString, QByteArray>> m_received;
};

// The real platform, except that it knows no application for one process id.
class ForgetfulApplications : public LinuxRunningApplications {
public:
    explicit ForgetfulApplications(int forgotten) : m_forgotten(forgotten) {}
    std::optional<RunningApplication> applicationWithPid(int pid) override {
        if (pid == m_forgotten) return std::nullopt;
        return LinuxRunningApplications::applicationWithPid(pid);
    }

private:
    int m_forgotten;
};

}  // namespace

class KoruProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        QVERIFY(QDir(m_folder.path()).mkpath("bin"));
        QVERIFY(QDir(m_folder.path()).mkpath("sockets"));
        QVERIFY(QDir(m_folder.path()).mkpath("share"));
        // Local socket names without a "/" live in TMPDIR; the service's instance folder under
        // the first folder of XDG_DATA_DIRS.
        qputenv("TMPDIR", QFile::encodeName(sockets()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_folder.filePath("share")) + ":/usr/share");
        Timings::current().serviceWaitMs = 100;
        Timings::current().serviceWaitTries = 5;
        // None of them may run before the tests start them.
        for (const char* name : {"Huemaster 7", "Huemaster NetAgent", "kacore"})
            QVERIFY2(!Running(name), name);
    }
    void cleanup() {
        RunningApplications::setForTesting(nullptr);
        KORUProcess::registerProcesses({});
        for (int pid : m_launched) ::kill(pid, SIGKILL);
        m_launched.clear();
        m_processes.clear();  // QProcess kills and reaps what still runs
        QDir(m_folder.filePath("share/KORU")).removeRecursively();
    }
    void cleanupTestCase() { Timings::current() = Timings(); }

    void aRunningApplicationIsFoundWithItsExecutable() {
        QProcess* application = start("huemaster7");
        QVERIFY(application);
        const std::shared_ptr<KORUProcess> found = Running("Huemaster 7");
        QVERIFY(found);
        QCOMPARE(found, Entry("Huemaster 7"));  // the table's own object
        QCOMPARE(found->bundleURL(), program("huemaster7"));
        QVERIFY(found->isProcessRunning());
        QVERIFY(!found->hidden());

        application->kill();
        QVERIFY(application->waitForFinished(5000));
        QVERIFY(!found->isProcessRunning());
        QVERIFY(!Running("Huemaster 7"));
    }

    void theServiceIsAskedToQuitThenTheApplicationIsKilled() {
        // Two instances of the service are registered, each listening under its own name.
        const QString instances = m_folder.filePath("share/KORU/Huemaster 7/lid");
        QVERIFY(QDir().mkpath(instances));
        QVERIFY(QFile(instances + "/4711").open(QIODevice::WriteOnly));
        QVERIFY(QDir().mkpath(instances + "/second"));
        QStringList expected;
        for (const QString& entry : QDir(instances).entryList(
                 QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                 QDir::Unsorted))
            expected << "Huemaster 7_" + entry;
        expected << "Huemaster 7";
        Listeners listeners(sockets(), expected);
        QVERIFY(listeners.ok());
        listeners.start();

        QProcess* application = start("huemaster7");
        QVERIFY(application);
        const std::shared_ptr<KORUProcess> process = Running("Huemaster 7");
        QVERIFY(process);
        QElapsedTimer elapsed;
        elapsed.start();
        process->killAllRunningProcesses();
        // The helper does not listen to the message: it runs until the wait is over.
        QVERIFY(elapsed.elapsed() >= 5 * 100);
        QVERIFY(application->waitForFinished(5000));
        QCOMPARE(application->exitStatus(), QProcess::CrashExit);

        QTRY_COMPARE_WITH_TIMEOUT(listeners.received().size(), 3, 5000);
        listeners.stop();
        const QList<QPair<QString, QByteArray>> received = listeners.received();
        for (int i = 0; i < received.size(); ++i) {
            QCOMPARE(received[i].first, expected[i]);
            QCOMPARE(received[i].second, kQuitMessage);
        }
        QVERIFY(kQuitMessage.size() < 200);
    }

    void withoutAListenerNothingIsSentButTheWaitHappens() {
        // A socket file nobody listens on, as a service that crashed leaves it behind.
        const QByteArray path = QFile::encodeName(sockets() + "/Huemaster 7");
        const int stale = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(stale >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        QCOMPARE(bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);

        QProcess* application = start("huemaster7");
        QVERIFY(application);
        const std::shared_ptr<KORUProcess> process = Running("Huemaster 7");
        QVERIFY(process);
        QElapsedTimer elapsed;
        elapsed.start();
        process->killAllRunningProcesses();
        QVERIFY(elapsed.elapsed() >= 5 * 100);
        QVERIFY(application->waitForFinished(5000));
        QCOMPARE(application->exitStatus(), QProcess::CrashExit);

        // Listening now shows no connection that was queued before.
        QCOMPARE(listen(stale, 8), 0);
        pollfd pending{stale, POLLIN, 0};
        QCOMPARE(poll(&pending, 1, 0), 0);
        close(stale);
        unlink(path.constData());
    }

    void theHiddenAgentIsClosedAndStartedAgain() {
        QProcess* agent = start("huemaster-netagent");
        QVERIFY(agent);
        const qint64 firstPid = agent->processId();

        // Only the hidden agent runs: the list holds it alone, and it would not be shown.
        const QList<std::shared_ptr<KORUProcess>> running = KORUProcess::runningKoruProcesses();
        QCOMPARE(running.size(), 1);
        QCOMPARE(running.first()->name(), QStringLiteral("Huemaster NetAgent"));
        QVERIFY(running.first()->hidden());
        QCOMPARE(running.first()->bundleURL(), program("huemaster-netagent"));
        KORUProcess::registerProcesses(running);

        // The start of an update closes it...
        for (const std::shared_ptr<KORUProcess>& process : KORUProcess::runningKoruProcesses())
            process->killAllRunningProcesses();
        QVERIFY(agent->waitForFinished(5000));
        QCOMPARE(agent->exitStatus(), QProcess::CrashExit);
        QVERIFY(!Running("Huemaster NetAgent"));

        // ...and its end starts it again from where it ran, as a process of its own.
        for (const std::shared_ptr<KORUProcess>& process : KORUProcess::registeredProcesses())
            process->relaunchProcessIfNeeded();
        LinuxRunningApplications platform;
        QList<RunningApplication> again;
        QElapsedTimer waited;
        waited.start();
        while (again.isEmpty() && waited.elapsed() < 5000) {
            QTest::qWait(20);
            again = platform.applicationsWithIdentifier(QString(), "huemaster-netagent");
        }
        for (const RunningApplication& relaunched : again) m_launched << relaunched.pid;
        QCOMPARE(again.size(), 1);
        QCOMPARE(again.first().executablePath, program("huemaster-netagent"));
        QVERIFY(again.first().pid != firstPid);
    }

    void anApplicationNotMarkedForRelaunchStaysClosed() {
        QProcess* application = start("huemaster7");
        QVERIFY(application);
        KORUProcess::registerProcesses(KORUProcess::runningKoruProcesses());
        QCOMPARE(KORUProcess::registeredProcesses().size(), 1);
        Timings::current().serviceWaitTries = 1;
        Entry("Huemaster 7")->killAllRunningProcesses();
        Timings::current().serviceWaitTries = 5;
        QVERIFY(application->waitForFinished(5000));
        for (const std::shared_ptr<KORUProcess>& process : KORUProcess::registeredProcesses())
            process->relaunchProcessIfNeeded();
        // A relaunch would start at once; the agent's above was seen within milliseconds.
        QTest::qWait(500);
        QVERIFY(!Running("Huemaster 7"));
    }

    void aPlainProcessCountsOnlyWhenTheDesktopKnowsIt() {
        QProcess* core = start("kacore");
        QVERIFY(core);
        ForgetfulApplications forgetful(int(core->processId()));
        RunningApplications::setForTesting(&forgetful);
        QVERIFY(!Running("kacore"));
        RunningApplications::setForTesting(nullptr);

        const std::shared_ptr<KORUProcess> found = Running("kacore");
        QVERIFY(found);
        QVERIFY(found->bundleIdentifier().isEmpty());
        QCOMPARE(found->bundleURL(), program("kacore"));
        QVERIFY(found->isProcessRunning());
        found->killAllRunningProcesses();
        QVERIFY(core->waitForFinished(5000));
        QCOMPARE(core->exitStatus(), QProcess::CrashExit);
    }

private:
    QString sockets() const { return m_folder.filePath("sockets"); }
    QString program(const QString& name) const { return m_folder.filePath("bin/" + name); }

    // Starts the helper under the executable name `name`; null when it cannot.
    QProcess* start(const QString& name) {
        const QString path = program(name);
        if (!QFile::exists(path) && !QFile::copy(PANELFLASHER_TEST_HELPER, path)) return nullptr;
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        auto process = std::make_unique<QProcess>();
        process->start(path, {});
        if (!process->waitForStarted(5000)) return nullptr;
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
    }

    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QList<qint64> m_launched;
};

QTEST_MAIN(KoruProcessTest)
#include "KoruProcessTest.moc"
