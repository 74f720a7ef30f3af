#pragma once

#include <QSize>

class QScreen;
class QWidget;

// A dialog border that cannot be resized, around a client area of the given size.
void SetFixedDialogBorder(QWidget* window, const QSize& clientSize);

// Sets the outer size of a window: the client area shrinks by the window manager's frame
// where the frame is known; before the first showing it is not, and the client area then
// takes the whole size.
void SetOuterSize(QWidget* window, const QSize& outerSize);

// Places a window in the centre of the available desktop of its screen.
void CenterOnDesktop(QWidget* window);

// The screen a window is on, or the primary screen before it has one; null without screens.
QScreen* ScreenOf(const QWidget* window);

// Places a dialog over the centre of its parent's window, within that screen's available
// desktop; with no visible parent, in the centre of the desktop.
void CenterOverParent(QWidget* dialog, const QWidget* parent);

// Whether the window system reports where windows are. A Wayland client can neither place
// its windows nor learn their positions: there, a position read back is no position.
bool WindowPositionsReported();

// Chooses the platform before the application object exists: in a Wayland session where
// the user chose no platform (QT_QPA_PLATFORM unset) and an X display is there (XWayland),
// the program runs on X11, where windows have positions.
void PreferX11WhereWindowsHavePositions();
