#pragma once

// Tray icon clicks that act when the button is released over the icon, as a button does.
// Qt's X11 tray icon reports a click when the button goes down: a press that is dragged
// away and released elsewhere would still act. Where the icon is Qt's own X11 window, its
// presses are taken here and a release over the icon reports the click instead (left:
// Trigger, right: Context). Other tray hosts report clicks themselves, unchanged.

#include <QSystemTrayIcon>

#include <functional>

// Call after each show() of the icon (the X11 window is made anew each time).
void ActOnReleaseOnly(QSystemTrayIcon* icon, std::function<void(QSystemTrayIcon::ActivationReason)> onClick);
