#pragma once

// Windows bitmaps and icons, decoded as browsers show them: every header Windows and OS/2
// wrote (12 to 124 bytes), 1 to 32 bits a pixel, RLE4, RLE8 and RLE24, bit fields of any
// width scaled to 8 bits, palettes shorter or longer than the pixel depth, and icons with
// their transparency mask or PNG images. Every read is length-checked; a picture cut short
// shows as far as it goes, the rest transparent.

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace bmp {

// The most pixels a bitmap or an icon image may declare (256 MB decoded).
inline constexpr qint64 MaxPixels = 64 * 1024 * 1024;

// A .bmp or .dib file. A null picture on failure, with the reason.
QImage DecodeBmp(QByteArrayView file, QString& reason);

// A .ico or .cur file: its largest image, of those the deepest in colour.
QImage DecodeIco(QByteArrayView file, QString& reason);

} // namespace bmp
