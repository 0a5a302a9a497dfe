// SPDX-License-Identifier: Apache-2.0
#include "model/KORUProcess.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <array>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "kipc/kipc.h"
#include "ksys/ksys.h"
#include "model/Timings.h"
#include "platform/CommonApplicationDirectory.h"
#include "platform/RunningApplications.h"

namespace {

struct SnapshotRelease {
    void operator()(KSysSnapshot* snapshot) const { KSysReleaseSnapshot(snapshot); }
};
using Snapshot = std::unique_ptr<KSysSnapshot, SnapshotRelease>;

struct SocketRelease {
    void operator()(IPC_LocalSocket* socket) const { IPC_LocalSocketRelease(socket); }
};
using Socket = std::unique_ptr<IPC_LocalSocket, SocketRelease>;

// The message is built in a buffer of this size, terminator included.
constexpr size_t kMessageBufferSize = 200;

struct Registered {
    std::mutex mutex;
    QList<std::shared_ptr<KORUProcess>> processes;
};

Registered& RegisteredList() {
    static Registered registered;
    return registered;
}

// Process ids of the running processes whose executable name is `name`.
QList<int> ProcessIdsNamed(const QString& name) {
    QList<int> ids;
    const Snapshot snapshot(KSysCreateRunningProcessSnapshot());
    if (!snapshot) return ids;
    const QByteArray wanted = name.toUtf8();
    for (int i = 0;; ++i) {
        KSysProcess* process = KSysEnumRunningProcess(snapshot.get(), i);
        if (!process) break;
        if (wanted == KSysGetProcessName(process)) ids.append(KSysGetProcessPID(process));
    }
    return ids;
}

}  // namespace

KORUProcess::KORUProcess(QString name, QString bundleIdentifier, QString executableName,
                         bool hidden, bool relaunch, QString wicketProcess)
    : m_name(std::move(name)), m_bundleIdentifier(std::move(bundleIdentifier)),
      m_executableName(std::move(executableName)), m_hidden(hidden), m_relaunch(relaunch),
      m_wicketProcess(std::move(wicketProcess)) {}

std::shared_ptr<KORUProcess> KORUProcess::processWithName(const QString& name,
                                                          const QString& bundleIdentifier,
                                                          const QString& executableName,
                                                          bool hidden, bool relaunch,
                                                          const QString& wicketProcess) {
    return std::make_shared<KORUProcess>(name, bundleIdentifier, executableName, hidden, relaunch,
                                         wicketProcess);
}

const QList<std::shared_ptr<KORUProcess>>& KORUProcess::allKoruProcesses() {
    static const QList<std::shared_ptr<KORUProcess>> table = {
        processWithName("Huemaster 6", "com.huemaster.Huemaster6", "huemaster6", false, false, ""),
        processWithName("Huemaster Studio", "com.huemaster.HuemasterStudio", "huemaster-studio",
                        false, false, ""),
        processWithName("Huemaster Lite", "com.huemaster.HuemasterLite", "huemaster-lite", false,
                        false, ""),
        // The network agent runs unseen; it is closed for the update and started again after.
        processWithName("Huemaster NetAgent", "com.huemaster.NetAgent", "huemaster-netagent", true,
                        true, ""),
        processWithName("Monotone", "com.huemaster.Monotone", "monotone", false, false, ""),
        processWithName("kacore", "", "kacore", true, false, ""),
        processWithName("Huemaster 7", "com.huemaster.Huemaster7", "huemaster7", false, false,
                        "Huemaster 7"),
    };
    return table;
}

QList<std::shared_ptr<KORUProcess>> KORUProcess::runningKoruProcesses() {
    RunningApplications& applications = RunningApplications::current();
    QList<std::shared_ptr<KORUProcess>> running;
    for (const std::shared_ptr<KORUProcess>& process : allKoruProcesses()) {
        if (!process->bundleIdentifier().isEmpty()) {
            const QList<RunningApplication> found = applications.applicationsWithIdentifier(
                process->bundleIdentifier(), process->executableName());
            if (found.isEmpty()) continue;
            process->setBundleURL(found.first().executablePath);
            running.append(process);
            continue;
        }
        // A plain process counts only when the desktop knows an application for it.
        for (int pid : ProcessIdsNamed(process->name())) {
            const std::optional<RunningApplication> application =
                applications.applicationWithPid(pid);
            if (!application) continue;
            process->setBundleURL(application->executablePath);
            running.append(process);
            break;
        }
    }
    return running;
}

void KORUProcess::registerProcesses(const QList<std::shared_ptr<KORUProcess>>& processes) {
    Registered& registered = RegisteredList();
    const std::lock_guard<std::mutex> lock(registered.mutex);
    registered.processes = processes;
}

QList<std::shared_ptr<KORUProcess>> KORUProcess::registeredProcesses() {
    Registered& registered = RegisteredList();
    const std::lock_guard<std::mutex> lock(registered.mutex);
    return registered.processes;
}

QString KORUProcess::name() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_name;
}

QString KORUProcess::bundleIdentifier() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bundleIdentifier;
}

QString KORUProcess::executableName() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_executableName;
}

QString KORUProcess::bundleURL() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bundleURL;
}

void KORUProcess::setBundleURL(const QString& path) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_bundleURL = path;
}

QString KORUProcess::wicketProcess() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_wicketProcess;
}

bool KORUProcess::isProcessRunning() const {
    if (bundleIdentifier().isEmpty())
        return KSysIsProcessRunning(name().toUtf8().constData(), 0) != 0;
    return !RunningApplications::current()
                .applicationsWithIdentifier(bundleIdentifier(), executableName())
                .isEmpty();
}

void KORUProcess::killAllRunningProcesses() {
    RunningApplications& applications = RunningApplications::current();
    if (bundleIdentifier().isEmpty()) {
        for (int pid : ProcessIdsNamed(name())) applications.kill(pid);
        return;
    }
    const QList<RunningApplication> running =
        applications.applicationsWithIdentifier(bundleIdentifier(), executableName());
    for (const RunningApplication& application : running) {
        // The background service is the only one asked politely; everything else is killed.
        if (!wicketProcess().isEmpty()) quitWicketProcess();
        if (isProcessRunning()) applications.kill(application.pid);
    }
}

void KORUProcess::relaunchProcessIfNeeded() {
    const QString path = bundleURL();
    if (!m_relaunch || path.isEmpty()) return;
    RunningApplications::current().launch(path);
}

void KORUProcess::quitWicketProcess() {
    const QString service = wicketProcess();
    // Every instance of the service listens under its own name, listed in its "lid" folder.
    const QString instances = CommonApplicationDirectory() + "/KORU/" + service + "/lid";
    if (QFileInfo(instances).isDir()) {
        QDirIterator entries(instances,
                             QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        while (entries.hasNext()) {
            entries.next();
            quitWicketProcessWithName(QStringLiteral("%1_%2").arg(service, entries.fileName()));
        }
    }
    quitWicketProcessWithName(service);

    const Timings timings = Timings::current();
    for (int i = 0; i < timings.serviceWaitTries; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timings.serviceWaitMs));
        if (!isProcessRunning()) break;
    }
}

void KORUProcess::quitWicketProcessWithName(const QString& socketName) {
    const Socket socket(IPC_LocalSocketCreateWithName(socketName.toUtf8().constData()));
    if (!socket || !IPC_LocalSocketConnectToServer(socket.get())) return;
    const QByteArray message = quitMessage();
    // The service answers nothing; whether it took the message shows in whether it quits.
    IPC_LocalSocketWrite(socket.get(), reinterpret_cast<const uint8_t*>(message.constData()),
                         unsigned(message.size()));
}

QByteArray KORUProcess::quitMessage() {
    std::array<char, kMessageBufferSize> buffer{};
    const int length = std::snprintf(
        buffer.data(), buffer.size(),
        "{\"id\": %d,\"type\": \"%s\",\"process\": \"%s\",\"dataType\": \"%s\",\"target\": \"%s\","
        "\"message\": {\"uri\": \"/%s/Application\",\"settings\": {\"method\":\"DELETE\"}}}",
        0, "ladle", "PanelFlasher", "bridge-cross", "ApplicationMain", kServiceEndpoint);
    if (length < 0 || size_t(length) >= buffer.size()) return QByteArray();
    return QByteArray(buffer.data(), length);
}
