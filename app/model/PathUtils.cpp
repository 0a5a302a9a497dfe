#include "model/PathUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>

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

}  // namespace

QString PathUtils::bundleDirectory() {
    {
        Override& test = BundleOverride();
        const std::lock_guard<std::mutex> lock(test.mutex);
        if (!test.path.isEmpty()) return test.path;
    }
    return QCoreApplication::applicationDirPath();
}

QString PathUtils::bundleFilePathWithName(const QString& name) {
    return QDir(bundleDirectory()).filePath(name);
}

QStringList PathUtils::kfw2FilePaths() {
    QStringList paths;
    // The file system's own order, no sorting: the first one is what the update uses.
    QDirIterator entries(bundleDirectory(),
                         QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        const QString name = entries.fileName();
        if (name.toLower().endsWith(QLatin1String(".kfw2"))) paths.append(bundleFilePathWithName(name));
    }
    return paths;
}

std::optional<QString> PathUtils::kfw2FilePath() {
    const QStringList paths = kfw2FilePaths();
    if (paths.isEmpty()) return std::nullopt;
    return paths.first();
}

void PathUtils::setBundleDirectoryForTesting(const QString& path) {
    Override& test = BundleOverride();
    const std::lock_guard<std::mutex> lock(test.mutex);
    test.path = path;
}
