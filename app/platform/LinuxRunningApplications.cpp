// SPDX-License-Identifier: Apache-2.0
#include "platform/LinuxRunningApplications.h"

#include <QFileInfo>
#include <QProcess>

#include <signal.h>
#include <sys/types.h>

#include <memory>

#include "ksys/ksys.h"

namespace {

struct SnapshotRelease {
    void operator()(KSysSnapshot* snapshot) const { KSysReleaseSnapshot(snapshot); }
};

// The program a process runs; empty when it cannot be read (another user's process, or one
// that has ended and is only waiting to be reaped). A program replaced on disk while it runs
// (an upgrade) shows as "PATH (deleted)"; the path itself is where it is started again.
QString ExecutablePath(int pid) {
    QString path = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    const QLatin1String deleted(" (deleted)");
    if (path.endsWith(deleted)) path.chop(deleted.size());
    return path;
}

}  // namespace

QList<RunningApplication>
LinuxRunningApplications::applicationsWithIdentifier(const QString& /*appId*/,
                                                     const QString& executableName) {
    // Linux has no registry of applications by identifier; the executable name stands for it.
    QList<RunningApplication> found;
    const std::unique_ptr<KSysSnapshot, SnapshotRelease> snapshot(
        KSysCreateRunningProcessSnapshotSimplified());
    if (!snapshot) return found;
    const QByteArray wanted = executableName.toUtf8();
    for (int i = 0;; ++i) {
        KSysProcess* process = KSysEnumRunningProcess(snapshot.get(), i);
        if (!process) break;
        if (wanted != KSysGetProcessName(process)) continue;
        const int pid = KSysGetProcessPID(process);
        const QString path = ExecutablePath(pid);
        if (!path.isEmpty()) found.append(RunningApplication{pid, path});
    }
    return found;
}

std::optional<RunningApplication> LinuxRunningApplications::applicationWithPid(int pid) {
    const QString path = ExecutablePath(pid);
    if (pid <= 0 || path.isEmpty()) return std::nullopt;
    return RunningApplication{pid, path};
}

bool LinuxRunningApplications::launch(const QString& executablePath) {
    return QProcess::startDetached(executablePath, {});
}

bool LinuxRunningApplications::kill(int pid) { return pid > 0 && ::kill(pid, SIGKILL) == 0; }
