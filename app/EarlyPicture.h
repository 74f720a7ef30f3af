#pragma once

// The first picture of a start that is to show one (--show, --slideshow) reaches the screen
// before the main window is built: the display window is made and shows it first, and the
// main window follows once the picture has been painted. The playlist then presents the
// same file as always; the picture is not decoded again.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
class TProgramWindows;

// Whether ShowFirstPictureEarly may show files' first item: it is to be shown and is a still
// picture. Such a start leaves loading the fonts until the picture is on the screen.
bool FirstPictureMayShowEarly(const QStringList& files, bool show, bool slideShow);

// Shows files' first item in the display window (made for it) when it is a still picture
// decoded ahead (PreloadPicture) that is ready within a moment; true when the window is up.
// The window's strip buttons come up after its first paint (CompleteStrip). Anything that
// goes wrong is left to the regular presentation to report.
bool ShowFirstPictureEarly(TProgramWindows& windows, const QStringList& files, bool show, bool slideShow);

// Runs then() once, after window has first been painted, or after a short while if it is
// not painted (an obscured or minimised window).
void WhenFirstPainted(QWidget* window, std::function<void()> then);
