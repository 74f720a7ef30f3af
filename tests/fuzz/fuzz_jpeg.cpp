// libFuzzer target: the EXIF orientation reader, and the JPEG loader at full size and
// scaled for a screen, on arbitrary bytes. Any exception is a refusal; a crash, a hang,
// a sanitizer report or unbounded memory is a finding.

#include "presentation/ExifOrientation.h"
#include "presentation/JpegLoader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const int orientation = Exif::Orientation(bytes); // the EXIF block goes through libexif
    if (orientation < 1 || orientation > 8)
        __builtin_trap();
    for (const QSize& screen : {QSize(), QSize(320, 240)}) {
        try {
            DecodeJpeg(bytes, screen);
        } catch (const std::exception&) {
        }
    }
    return 0;
}
