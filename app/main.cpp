// SPDX-License-Identifier: Apache-2.0
#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>

#include "AppDelegate.h"
#include "model/LocalizedStrings.h"
#include "model/PathUtils.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PanelFlasher"));
    QApplication::setApplicationVersion(QStringLiteral(PANELFLASHER_VERSION));
    // Wayland compositors and docks match the windows to the installed desktop file by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.flashkit.PanelFlasher"));

    QCommandLineParser arguments;
    arguments.setApplicationDescription(
        QStringLiteral("Updates the firmware of a monitor with a package: the one named, else "
                       "the one .kfw2 file in the program's folder."));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(QStringLiteral("PACKAGE"),
                                    QStringLiteral("The firmware package to update with."),
                                    QStringLiteral("[PACKAGE]"));
    arguments.process(application);
    if (!arguments.positionalArguments().isEmpty())
        PathUtils::setPackageArgument(arguments.positionalArguments().constFirst());
    LocalizedStrings::load(QLocale::system());
    AppDelegate delegate;
    return delegate.run();
}
