#include <QApplication>
#include <QLocale>

#include "AppDelegate.h"
#include "model/LocalizedStrings.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PanelFlasher"));
    LocalizedStrings::load(QLocale::system());
    AppDelegate delegate;
    return delegate.run();
}
