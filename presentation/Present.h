#pragma once

// Presenting one item in the display window, by kind: a picture with the size rules, a GIF
// loaded into the animation control, a clip opened and played (a video sized to its
// picture). Shared by the double-click, File → Open and the slide show.

#include "playlist/MediaKind.h"

#include <QSize>
#include <QString>

class QScreen;
class TDisplayWindow;

// Errors end the presentation at the failing step; what was done before stays done.
// activate: the window takes the keyboard focus (a user's command); the slide show's steps
// show the window without taking the focus from where the user is typing.
void PresentFile(TDisplayWindow& window, const QString& fileName, TMediaKind kind, bool fullScreen,
                 bool activate = true);

// Full-screen mode on (no border, maximized) or off (sizeable border, normal, at the size
// and place it had before full screen). Acts at once whether the window is
// shown or not, and does not show it.
void SetFullScreen(TDisplayWindow& window, bool on);

// The size a picture is decoded for: the screen's in full-screen mode, otherwise the
// largest window a picture is shown in, in device pixels.
QSize PictureDecodeSize(const QScreen* screen, bool fullScreen);

// A picture shown larger than it was decoded for (full screen switched on, the window
// made larger) is decoded again for the screen.
void SharpenPicture(TDisplayWindow& window);

// The size rules of a picture: an outer size above 780 x 580 becomes 780 x 580; a client
// area narrower or lower than 30 becomes 30 x 91.
inline constexpr QSize PictureWindowLimit{780, 580};
QSize PictureOuterSize(const QSize& outer);
QSize PictureClientMinimum(const QSize& client);

// The client size of the window for a video: the video's own size above the bottom strip,
// never narrower than the strip; a video larger than room (the client area the desktop
// leaves) is made smaller, keeping its proportions.
QSize VideoWindowSize(const QSize& video, const QSize& room);
