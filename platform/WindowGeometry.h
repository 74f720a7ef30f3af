#pragma once

#include <QSize>

class QWidget;

// A dialog border that cannot be resized, around a client area of the given size.
void SetFixedDialogBorder(QWidget* window, const QSize& clientSize);

// Sets the outer size of a window: the client area shrinks by the window manager's frame
// where the frame is known; before the first showing it is not, and the client area then
// takes the whole size.
void SetOuterSize(QWidget* window, const QSize& outerSize);

// Places a window in the centre of the available desktop of its screen.
void CenterOnDesktop(QWidget* window);
