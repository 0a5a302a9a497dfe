// SPDX-License-Identifier: Apache-2.0
#include "platform/SingleInstance.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance() { release(); }

QString SingleInstance::lockPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) return runtime + QStringLiteral("/PanelFlasher.lock");
    return QStringLiteral("/tmp/PanelFlasher-%1.lock").arg(getuid());
}

bool SingleInstance::acquire() {
    if (m_fd >= 0) return true;
    const QByteArray path = QFile::encodeName(lockPath());
    // Only a lock that another process holds means another copy runs. A lock file that cannot
    // be made (a read-only or foreign folder) proves nothing, and must not keep the updater
    // from starting at all.
    const int fd = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return true;
    // The kernel drops the lock when the process ends, however it ends: no stale lock files.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        close(fd);
        return !held;
    }
    m_fd = fd;
    return true;
}

void SingleInstance::release() {
    if (m_fd < 0) return;
    close(m_fd);
    m_fd = -1;
}
