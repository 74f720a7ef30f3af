// libFuzzer target: the GIF reader, decoder and bitmap builder on arbitrary bytes. Any
// exception is a refusal, as the program shows it; a crash, a hang, a sanitizer report or
// unbounded memory is a finding.

#include "gif/GifFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    gif::TGifFile file;
    try {
        file.LoadFromBuffer(data, size);
        file.AnimationInterval();
    } catch (const std::exception&) {
    }
    // Whatever was read before a failure is shown too: build every bitmap.
    for (int32_t n = 1; n <= file.SubImageCount(); ++n) {
        try {
            file.SubImage(n).AsBitmap();
        } catch (const std::exception&) {
        }
    }
    return 0;
}
