// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QString>
#include <QStringList>

#include <optional>

// Where the application looks for its package: the file named on the command line, else the
// folder that holds its executable.
class PathUtils {
public:
    static QString bundleDirectory();
    static QString bundleFilePathWithName(const QString& name);
    // The package named on the command line, when there was one; otherwise every entry of
    // bundleDirectory() whose name ends in ".kfw2" in any letter case, in the order the file
    // system lists them; empty when the folder cannot be read or the named file does not exist.
    static QStringList kfw2FilePaths();
    // The first of kfw2FilePaths(), or nothing.
    static std::optional<QString> kfw2FilePath();

    // The package the user opened (`PanelFlasher PACKAGE`, or a file manager's "open with"),
    // made absolute; an empty path returns to the folder rule.
    static void setPackageArgument(const QString& path);
    // Where kfw2FilePaths() looked: the named package's folder, or bundleDirectory().
    static QString searchedDirectory();

    // Tests put the application's folder elsewhere; an empty path restores the real one.
    static void setBundleDirectoryForTesting(const QString& path);
};
