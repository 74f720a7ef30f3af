#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

// Snaps a window's proposed position to the edges of the work area: an edge within
// SnapDistance pixels (inclusive) of the work area's edge is moved onto it. Left and top are
// tested first, then right and bottom, so a window near both opposite edges ends aligned
// with the right (bottom) one. The size never changes.
inline constexpr int SnapDistance = 10;

QPoint SnapToWorkArea(const QRect& proposed, const QRect& workArea);

// Where a window stored at frame is put among the screens' work areas: where it stands when
// a usable part of it (UsableWidth x UsableHeight, or all of a smaller window) lies on one
// of them; otherwise wholly on the nearest one (a window larger than it at its top left).
// A position saved on another screen, or at another scale, never leaves the window out of
// reach.
inline constexpr int UsableWidth = 100, UsableHeight = 50;
QPoint PlaceOnScreens(const QRect& frame, const QList<QRect>& workAreas);
