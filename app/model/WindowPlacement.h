#pragma once
#include <QPoint>
#include <QSize>

class QWidget;

// The top-left corner (Qt coordinates) of a window placed on a screen of the given size:
// centred horizontally, with twice as much free space below it as above it.
QPoint WindowOrigin(QSize screen, QSize window);
// Moves the window to WindowOrigin on the primary screen, keeping its size.
void setWindowPositionToCenter(QWidget* window);
