// A 6000 x 4000 JPEG: the picture loader decoding it for a 1920 x 1080 screen (scaled
// decoding) against a plain full-size QImageReader load, in one run (best of several).
//
//   build/bench/bench_picture [RUNS]

#include "presentation/PictureLoader.h"

#include "Bench.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

int main(int argc, char* argv[])
{
    const int runs = BenchRuns(argc, argv);
    QGuiApplication app(argc, argv);

    // Photo-like content: gradients and detail, so the JPEG has realistic entropy.
    QImage photo(6000, 4000, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb((x / 24 + y / 40) & 255, (x * y / 5000) & 255, ((x ^ y) & 63) + y / 24);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("photo.jpg");
    QImageWriter writer(path, "jpg");
    writer.setQuality(88);
    writer.write(photo);

    QSize shown;
    const double ours = BestSeconds(runs, [&] { shown = LoadPicture(path, QSize(1920, 1080)).size(); });
    const double plain = BestSeconds(runs, [&] { QImageReader(path).read(); });
    std::printf("6000x4000 JPEG for a 1920x1080 screen: loader %.3f s (decoded at %dx%d), "
                "full-size QImageReader %.3f s, %.1fx faster\n",
                ours, shown.width(), shown.height(), plain, plain / ours);
    return 0;
}
