// The slide show over 24-megapixel JPEGs, in the program's own windows: how long a step
// takes from the slide tick until the picture is on screen, and the longest time the user
// interface's thread went without running its timers (a 10 ms probe) over the whole show.
// Steps come a second apart, as a show at its shortest interval steps.
//
//   build/bench/bench_slideshow [RUNS]     (RUNS steps; run it under an X server)

#include "app/Application.h"
#include "tests/ProgramWindows.h"
#include "app/MainForm.h"
#include "playlist/PlayListBox.h"
#include "presentation/DisplayWindow.h"
#include "slideshow/SlideShow.h"

#include "Bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    const int runs = std::max(4, BenchRuns(argc, argv));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        QImage photo(6000, 4000, QImage::Format_RGB32);
        photo.fill(QColor::fromHsv(i * 100, 200, 220));
        for (int y = 0; y < photo.height(); y += 97) // some detail for the decoder
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixel(x, y, qRgb(x % 256, y % 256, 128));
        files << dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
        QImageWriter(files.last(), "jpg").write(photo);
    }
    CreateApplicationWindows(dir.filePath("lumivo.INI"));
    Main()->show();
    Main()->Playlist()->SetLines(files);
    Main()->Playlist()->SetSelectedIndex(0);

    // The probe: the longest gap between two of its ticks.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    const auto idle = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };

    MainControl<QAction>("StartSlideShowItem")->trigger();
    TestWindows()->SlideShow()->Stop(); // the steps are timed here, not by the show's timer
    idle(1000);
    sinceTick.start();
    probe.start(10);
    std::vector<double> steps;
    for (int i = 0; i < runs; ++i) {
        idle(1000);
        QElapsedTimer t;
        t.start();
        TestWindows()->SlideShow()->Step();
        DisplayWin()->repaint();
        steps.push_back(t.nsecsElapsed() / 1e6);
    }
    idle(200);
    std::sort(steps.begin(), steps.end());
    std::printf("slide show of 6000 x 4000 JPEGs, %d steps a second apart: step to the picture on screen best %.1f ms, "
                "median %.1f ms; longest the interface went without its timers %lld ms\n",
                runs, steps.front(), steps[steps.size() / 2], longestGap);
    DestroyApplicationWindows();
    return 0;
}
