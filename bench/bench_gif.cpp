// Decoding speed of Lumivo's GIF reader against giflib's DGifSlurp, side by side in one
// run, on four generated files: a 4000 x 3000 256-colour picture, a 100-frame 640 x 480
// animation, a 2000 x 2000 interlaced picture and an 8000 x 8000 1-bit line drawing. Our reader runs as the program runs it,
// with pending messages processed after every row. Prints megapixels per second and the
// ratio ours / giflib (best of several runs each).
//
//   build/bench/bench_gif [RUNS]
//   build/bench/bench_gif --write DIR     writes the four files into DIR and ends

#include "gif/GifFile.h"
#include "presentation/QtGifHost.h"

#include "Bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gif_lib.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

struct Sample {
    const char* name;
    int width, height, frames;
    bool interlaced;
    bool lineDrawing = false; // two colours: thin lines on white
};

// Photo-like content: smooth gradients with some noise, which LZW compresses moderately.
void WriteGif(const QString& path, const Sample& s)
{
    int error = 0;
    GifFileType* g = EGifOpenFileName(path.toLocal8Bit().constData(), false, &error);
    const int colours = s.lineDrawing ? 2 : 256;
    ColorMapObject* map = GifMakeMapObject(colours, nullptr);
    for (int i = 0; i < colours; ++i)
        map->Colors[i] = {GifByteType(i), GifByteType(255 - i), GifByteType((i * 7) & 255)};
    EGifSetGifVersion(g, true);
    EGifPutScreenDesc(g, s.width, s.height, s.lineDrawing ? 1 : 8, 0, map);
    std::mt19937 random(42);
    std::vector<GifPixelType> line(size_t(s.width));
    for (int f = 0; f < s.frames; ++f) {
        const GifByteType gce[4] = {0, 4, 0, 0};
        if (s.frames > 1)
            EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, 4, gce);
        EGifPutImageDesc(g, 0, 0, s.width, s.height, s.interlaced, nullptr);
        // Rows in the order the stream stores them (interlaced or not): content is the same.
        for (int y = 0; y < s.height; ++y) {
            for (int x = 0; x < s.width; ++x)
                line[size_t(x)] = s.lineDrawing
                                      ? GifPixelType((x % 97 == 0 || y % 89 == 0 || (x + y) % 211 == 0) ? 1 : 0)
                                      : GifPixelType(((x + f * 3) / 7 + (y * y) / 4000 + (random() % 5)) & 255);
            EGifPutLine(g, line.data(), s.width);
        }
    }
    GifFreeMapObject(map);
    EGifCloseFile(g, &error);
}

constexpr Sample Samples[] = {
    {"4000x3000, 256 colours", 4000, 3000, 1, false},
    {"640x480, 100 frames", 640, 480, 100, false},
    {"2000x2000, interlaced", 2000, 2000, 1, true},
    {"8000x8000, 1-bit lines", 8000, 8000, 1, false, true},
};

QString FileName(const Sample& s) { return QString::fromLatin1(s.name).remove(',').replace(' ', '_') + ".gif"; }

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
        for (const Sample& s : Samples) {
            const QString path = QString::fromLocal8Bit(argv[2]) + '/' + FileName(s);
            WriteGif(path, s);
            std::printf("%s\n", path.toLocal8Bit().constData());
        }
        return 0;
    }
    const int runs = BenchRuns(argc, argv);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    TQtGifHost host;
    std::printf("megapixels per second, best / median of %d rounds; each round runs ours (as the program runs it,\n"
                "pending messages processed), giflib's DGifSlurp and ours without message processing, one after the\n"
                "other; the ratio is of the medians (load %s)\n",
                runs, LoadAverage().c_str());
    std::printf("%-24s %16s %16s %7s %18s\n", "file", "ours", "giflib", "ratio", "ours, no pumping");
    for (const Sample& s : Samples) {
        const QString path = dir.filePath(FileName(s));
        WriteGif(path, s);
        const std::string file = path.toStdString();
        const double megapixels = double(s.width) * s.height * s.frames / 1e6;
        const std::vector<BenchTimes> times = TimeRounds(runs, {
            [&] {
                gif::TGifFile gif(host);
                gif.LoadFromFile(file);
            },
            [&] {
                int error = 0;
                GifFileType* g = DGifOpenFileName(file.c_str(), &error);
                DGifSlurp(g);
                DGifCloseFile(g, &error);
            },
            [&] {
                gif::TGifFile gif;
                gif.LoadFromFile(file);
            },
        });
        const auto rate = [&](const BenchTimes& t) {
            return QString::asprintf("%6.1f / %6.1f", megapixels / t.best, megapixels / t.median).toStdString();
        };
        std::printf("%-24s %16s %16s %7.2f %18s\n", s.name, rate(times[0]).c_str(), rate(times[1]).c_str(),
                    times[1].median / times[0].median, rate(times[2]).c_str());
    }
    return 0;
}
