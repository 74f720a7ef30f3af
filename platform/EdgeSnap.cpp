#include "platform/EdgeSnap.h"

#include <cstdlib>

QPoint SnapToWorkArea(const QRect& proposed, const QRect& workArea)
{
    // Right and bottom are exclusive edges here, as the work area reports them.
    const int left = workArea.x(), top = workArea.y();
    const int right = left + workArea.width(), bottom = top + workArea.height();
    const int w = proposed.width(), h = proposed.height();
    int x = proposed.x(), y = proposed.y();
    if (std::abs(left - x) <= SnapDistance)
        x = left;
    if (std::abs((right - w) - x) <= SnapDistance)
        x = right - w;
    if (std::abs(top - y) <= SnapDistance)
        y = top;
    if (std::abs((bottom - h) - y) <= SnapDistance)
        y = bottom - h;
    return {x, y};
}
