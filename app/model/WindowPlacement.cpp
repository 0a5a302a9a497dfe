#include "model/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

QPoint WindowOrigin(QSize screen, QSize window) {
    const double x = (screen.width() - window.width()) * 0.5;
    // The rule counts y upwards from the bottom of the screen; Qt counts the top edge downwards.
    const double bottom = (screen.height() - window.height()) * 2.0 / 3.0;
    const double top = screen.height() - bottom - window.height();
    return QPoint(int(std::lround(x)), int(std::lround(top)));
}

void setWindowPositionToCenter(QWidget* window) {
    if (!window) return;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QSize screen = primary ? primary->geometry().size() : QSize(0, 0);
    // The screen's own origin is deliberately not added: the primary screen is at (0, 0).
    window->move(WindowOrigin(screen, window->frameGeometry().size()));
}
