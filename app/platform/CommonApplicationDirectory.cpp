// SPDX-License-Identifier: Apache-2.0
#include "platform/CommonApplicationDirectory.h"

#include <QDir>
#include <QStringList>

QString CommonApplicationDirectory() {
    const QStringList folders =
        qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (folders.isEmpty()) return QStringLiteral("/usr/local/share");
    QString folder = folders.first();
    if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/")))
        folder.replace(0, 1, QDir::homePath());
    return folder;
}
