// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// The top-left corner (Qt coordinates) of a window placed on a screen with the given geometry
// (in desktop coordinates): centred horizontally, with twice as much free space below it as
// above it.
QPoint WindowOrigin(const QRect& screen, QSize window);
// Moves the window to WindowOrigin on the primary screen, keeping its size.
void setWindowPositionToCenter(QWidget* window);
