// SPDX-License-Identifier: Apache-2.0
#include "windows/WindowController.h"

#include <QCloseEvent>
#include <QLayout>

#include <algorithm>

#include "AppDelegate.h"
#include "model/WindowPlacement.h"

WindowController::WindowController(QWidget* parent) : QWidget(parent) {}

void WindowController::showWindow() {
    if (!m_loaded) {
        m_loaded = true;
        windowDidLoad();
        if (AppDelegate* delegate = AppDelegate::delegate()) delegate->addQuitShortcut(this);
    }
    show();
    raise();
    activateWindow();
}

void WindowController::closeEvent(QCloseEvent* event) {
    // A window hands over once; later close requests (Qt sends one even to a hidden window)
    // change nothing.
    if (m_closed) {
        event->accept();
        return;
    }
    if (!windowShouldClose()) {
        event->ignore();
        return;
    }
    m_closed = true;
    event->accept();
    // The window leaves the screen before the next step shows its window or alert.
    hide();
    windowWillClose();
}

void WindowController::placeWindow(QWidget* window) {
    // The texts are only known now; placing a window that the layout grows later would put it
    // off its place.
    if (QLayout* layout = window->layout()) layout->activate();
    // At least the designed size; wrapped texts decide the height at the chosen width.
    const int width = std::max(window->width(), window->minimumSizeHint().width());
    const int needed =
        window->hasHeightForWidth() ? window->heightForWidth(width) : window->sizeHint().height();
    window->resize(width, std::max(window->height(), needed));
    setWindowPositionToCenter(window);
}
