// SPDX-License-Identifier: Apache-2.0
#include "model/PathUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <mutex>

namespace {

struct Override {
    std::mutex mutex;
    QString path;
};

Override& BundleOverride() {
    static Override value;
    return value;
}

Override& PackageArgument() {
    static Override value;
    return value;
}

QString Read(Override& value) {
    const std::lock_guard<std::mutex> lock(value.mutex);
    return value.path;
}

void Write(Override& value, const QString& path) {
    const std::lock_guard<std::mutex> lock(value.mutex);
    value.path = path;
}

}  // namespace

QString PathUtils::bundleDirectory() {
    const QString test = Read(BundleOverride());
    if (!test.isEmpty()) return test;
    return QCoreApplication::applicationDirPath();
}

QString PathUtils::bundleFilePathWithName(const QString& name) {
    return QDir(bundleDirectory()).filePath(name);
}

QStringList PathUtils::kfw2FilePaths() {
    // A package the user named is the one to use, whatever its name or its folder holds.
    const QString named = Read(PackageArgument());
    if (!named.isEmpty()) return QFileInfo(named).isFile() ? QStringList{named} : QStringList{};
    QStringList paths;
    // The file system's own order, no sorting: the first one is what the update uses.
    QDirIterator entries(bundleDirectory(),
                         QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        const QString name = entries.fileName();
        if (name.toLower().endsWith(QLatin1String(".kfw2")))
            paths.append(bundleFilePathWithName(name));
    }
    return paths;
}

std::optional<QString> PathUtils::kfw2FilePath() {
    const QStringList paths = kfw2FilePaths();
    if (paths.isEmpty()) return std::nullopt;
    return paths.first();
}

void PathUtils::setPackageArgument(const QString& path) {
    Write(PackageArgument(), path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath());
}

QString PathUtils::searchedDirectory() {
    const QString named = Read(PackageArgument());
    return named.isEmpty() ? bundleDirectory() : QFileInfo(named).absolutePath();
}

void PathUtils::setBundleDirectoryForTesting(const QString& path) { Write(BundleOverride(), path); }
