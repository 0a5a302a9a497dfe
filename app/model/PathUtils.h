#pragma once
#include <QString>
#include <QStringList>

#include <optional>

// Where the application looks for its package: the folder that holds its executable.
class PathUtils {
public:
    static QString bundleDirectory();
    static QString bundleFilePathWithName(const QString& name);
    // Every entry of bundleDirectory() whose name ends in ".kfw2" in any letter case, in the
    // order the file system lists them; empty when the folder cannot be read.
    static QStringList kfw2FilePaths();
    // The first of kfw2FilePaths(), or nothing.
    static std::optional<QString> kfw2FilePath();

    // Tests put the application's folder elsewhere; an empty path restores the real one.
    static void setBundleDirectoryForTesting(const QString& path);
};
