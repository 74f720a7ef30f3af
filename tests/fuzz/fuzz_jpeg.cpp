// libFuzzer target: the JPEG loader on arbitrary bytes, at full size and scaled for a
// screen. Any exception is a refusal; a crash, a hang, a sanitizer report or unbounded
// memory is a finding.

#include "presentation/JpegLoader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QSize& screen : {QSize(), QSize(320, 240)}) {
        try {
            DecodeJpeg(bytes, screen);
        } catch (const std::exception&) {
        }
    }
    return 0;
}
