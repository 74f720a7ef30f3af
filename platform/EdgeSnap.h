#pragma once

#include <QPoint>
#include <QRect>

// Snaps a window's proposed position to the edges of the work area: an edge within
// SnapDistance pixels (inclusive) of the work area's edge is moved onto it. Left and top are
// tested first, then right and bottom, so a window near both opposite edges ends aligned
// with the right (bottom) one. The size never changes.
inline constexpr int SnapDistance = 10;

QPoint SnapToWorkArea(const QRect& proposed, const QRect& workArea);
