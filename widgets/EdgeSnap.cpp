#include "widgets/EdgeSnap.h"

#include <algorithm>
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

QPoint PlaceOnScreens(const QRect& frame, const QList<QRect>& workAreas)
{
    const int usableWidth = std::min(UsableWidth, frame.width()), usableHeight = std::min(UsableHeight, frame.height());
    const QRect* nearest = nullptr;
    long long nearestDistance = 0;
    for (const QRect& area : workAreas) {
        const QRect seen = area.intersected(frame);
        if (seen.width() >= usableWidth && seen.height() >= usableHeight)
            return frame.topLeft();
        const QPoint d = area.center() - frame.center();
        const long long distance = (long long)d.x() * d.x() + (long long)d.y() * d.y();
        if (!nearest || distance < nearestDistance) {
            nearest = &area;
            nearestDistance = distance;
        }
    }
    if (!nearest)
        return frame.topLeft();
    const int x = std::max(nearest->left(), std::min(frame.left(), nearest->right() + 1 - frame.width()));
    const int y = std::max(nearest->top(), std::min(frame.top(), nearest->bottom() + 1 - frame.height()));
    return {x, y};
}
