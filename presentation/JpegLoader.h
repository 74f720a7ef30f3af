#pragma once

// JPEG pictures through libjpeg. A picture much larger than it can appear is decoded at a
// reduced scale (libjpeg's DCT scaling by 1/2, 1/4 or 1/8): the smallest scale whose
// result is still no smaller than the picture fitted proportionally into fitInto, so what
// the user sees is the same and a huge photo appears quickly. Against hostile files, the
// picture's declared size and the number of progressive scans are capped, and so are the
// memory libjpeg may take (a progressive picture keeps all its coefficients) and the work
// (scans x blocks: a small file of many scans over a huge picture).

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace Jpeg {
inline constexpr qint64 MaxPixels = 250'000'000; // declared width x height
inline constexpr int MaxScans = 1000;            // progressive scans read before giving up
inline constexpr long MaxMemory = 512L * 1024 * 1024; // what libjpeg may take, coefficients among it
inline constexpr qint64 MaxBlockScans = qint64(1) << 28; // scans x 8 x 8 blocks of all components

// The denominator (1, 2, 4 or 8) for a picture of size shown within fitInto (empty: 1).
int ScaleDenominator(const QSize& size, const QSize& fitInto);
} // namespace Jpeg

// Throws ELumivoError: "JPEG error #%d" with libjpeg's message code for a damaged file,
// or a message of its own for a picture over the caps.
QImage DecodeJpeg(const QByteArray& data, const QSize& fitInto = QSize());
