#include "presentation/ExifOrientation.h"

#include <QTransform>

#include <libexif/exif-data.h>

namespace Exif {

int Orientation(const QByteArray& jpeg)
{
    ExifData* data = exif_data_new_from_data(reinterpret_cast<const unsigned char*>(jpeg.constData()),
                                              unsigned(qMin<qsizetype>(jpeg.size(), UINT_MAX)));
    if (!data)
        return 1;
    int orientation = 1;
    if (ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION)) {
        if (entry->format == EXIF_FORMAT_SHORT && entry->components == 1 && entry->size >= 2 && entry->data) {
            const int value = exif_get_short(entry->data, exif_data_get_byte_order(data));
            if (value >= 1 && value <= 8)
                orientation = value;
        }
    }
    exif_data_unref(data);
    return orientation;
}

QImage Apply(const QImage& image, int orientation)
{
    auto rotated = [](const QImage& i, int degrees) { return i.transformed(QTransform().rotate(degrees)); };
    switch (orientation) {
    case 2: return image.mirrored(true, false);                 // mirrored left to right
    case 3: return rotated(image, 180);
    case 4: return image.mirrored(false, true);                 // mirrored top to bottom
    case 5: return rotated(image.mirrored(false, true), 90);    // transposed
    case 6: return rotated(image, 90);                          // a quarter clockwise
    case 7: return rotated(image.mirrored(true, false), 90);    // transversed
    case 8: return rotated(image, 270);                         // a quarter anticlockwise
    default: return image;
    }
}

} // namespace Exif
