// SPDX-License-Identifier: Apache-2.0
#include "flow/ChildApplications.h"

#include <QFile>

#include <unistd.h>

ChildApplications::ChildApplications() { RunningApplications::setForTesting(this); }

ChildApplications::~ChildApplications() { RunningApplications::setForTesting(nullptr); }

bool ChildApplications::isChild(int pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    // "PID (COMMAND) STATE PPID ...": the command may hold blanks and parentheses.
    const QByteArray text = stat.readAll();
    const int end = text.lastIndexOf(')');
    if (end < 0) return false;
    const QList<QByteArray> fields = text.mid(end + 2).split(' ');
    return fields.size() > 1 && fields[1].toInt() == int(getpid());
}

QList<RunningApplication>
ChildApplications::applicationsWithIdentifier(const QString& appId, const QString& executableName) {
    QList<RunningApplication> children;
    for (const RunningApplication& application :
         m_platform.applicationsWithIdentifier(appId, executableName))
        if (isChild(application.pid)) children.append(application);
    return children;
}

std::optional<RunningApplication> ChildApplications::applicationWithPid(int pid) {
    if (!isChild(pid)) return std::nullopt;
    return m_platform.applicationWithPid(pid);
}

bool ChildApplications::launch(const QString& executablePath) {
    return m_platform.launch(executablePath);
}

bool ChildApplications::kill(int pid) { return isChild(pid) && m_platform.kill(pid); }
