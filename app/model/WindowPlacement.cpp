// SPDX-License-Identifier: Apache-2.0
#include "model/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

QPoint WindowOrigin(const QRect& screen, QSize window) {
    const double x = (screen.width() - window.width()) * 0.5;
    // The rule counts y upwards from the bottom of the screen; Qt counts the top edge downwards.
    const double bottom = (screen.height() - window.height()) * 2.0 / 3.0;
    const double top = screen.height() - bottom - window.height();
    // A primary screen need not sit at (0, 0): beside or above another one it starts elsewhere.
    return screen.topLeft() + QPoint(int(std::lround(x)), int(std::lround(top)));
}

void setWindowPositionToCenter(QWidget* window) {
    if (!window) return;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect screen = primary ? primary->geometry() : QRect();
    window->move(WindowOrigin(screen, window->frameGeometry().size()));
}
