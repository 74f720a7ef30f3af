#pragma once

// The EXIF orientation of a photo: cameras and phones store the pixels as the sensor saw
// them and say in this tag how to turn them for viewing. Read with libexif; a missing or
// damaged tag means no turn.

#include <QByteArray>
#include <QImage>

namespace Exif {

// 1 (as stored) to 8, from the JPEG's EXIF block; 1 when there is none or it is damaged.
int Orientation(const QByteArray& jpeg);

// Orientations 5 to 8 turn the picture a quarter: width and height trade places.
inline bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// The picture turned and mirrored as the orientation says.
QImage Apply(const QImage& image, int orientation);

} // namespace Exif
