// lumivo-gifinfo FILE...: reads each GIF file with Lumivo's GIF library and prints one line:
//   <file> ok <screen_w>x<screen_h> images=<n> [<left>,<top> <w>x<h> i=<0|1> l=<0|1> d=<delay or -1> h=<hash>]...
// or
//   <file> error <message>
// where <hash> is the FNV-1a 64-bit hash of the image's decoded colour indices, row 1 to
// row Height, Width bytes each. Notices go to standard error. Exit status 1 when any file
// failed.

#include "gif/GifFile.h"

#include <cinttypes>
#include <cstdio>
#include <string>

namespace {

class StderrHost : public gif::IGifHost {
public:
    void SetBusyCursor(bool) override {}
    void ShowNotice(const std::string& text) override { std::fprintf(stderr, "notice: %s\n", text.c_str()); }
    void ProcessMessages() override {}
};

uint64_t PixelHash(gif::TGifSubImage& image)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    const bool decoded = image.DecodeIfCompressed();
    const gif::TByteArray2D& pixels = *image.Pixels;
    for (int32_t r = 1; r <= pixels.Rows(); ++r) {
        const uint8_t* row = pixels.RowData(r);
        for (int32_t c = 0; c < pixels.Columns(); ++c) {
            hash ^= row[c];
            hash *= 0x100000001b3ull;
        }
    }
    if (decoded)
        image.Pixels.reset();
    return hash;
}

// A message on one line: its CR LF line breaks become blanks.
std::string OneLine(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += ' ';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: lumivo-gifinfo FILE...\n");
        return 2;
    }
    StderrHost host;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        gif::TGifFile file(host);
        try {
            file.LoadFromFile(argv[i]);
            file.AnimationInterval(); // its notices, if any
        } catch (const std::exception& e) {
            std::printf("%s error %s\n", argv[i], OneLine(e.what()).c_str());
            status = 1;
            continue;
        }
        std::printf("%s ok %ux%u images=%d", argv[i], file.ScreenWidth, file.ScreenHeight, file.SubImageCount());
        for (int32_t n = 1; n <= file.SubImageCount(); ++n) {
            gif::TGifSubImage& image = file.SubImage(n);
            std::printf(" [%u,%u %ux%u i=%d l=%d d=%d h=%016" PRIx64 "]", image.Left, image.Top, image.Width,
                        image.Height, image.Interlaced ? 1 : 0, image.LocalColorTableFlag ? 1 : 0,
                        image.HasGraphicControl() ? int(image.Delay()) : -1, PixelHash(image));
        }
        std::printf("\n");
    }
    return status;
}
