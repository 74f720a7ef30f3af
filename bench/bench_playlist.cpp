// Loading a large playlist: a file of 200 000 lines (17 MB of UTF-8), read and parsed, then
// put into the playlist list box (and, to compare, the same lines into a plain list widget);
// and the playlist wizard opened on a folder of 100 000 files, until
// it is on screen with the files listed (the first opening of the folder, and the openings
// after it), and the memory it keeps once closed. Prints the best and median times of
// several runs.
//
//   build/bench/bench_playlist [RUNS]

#include "playlist/PlayListBox.h"
#include "playlist/PlaylistFile.h"
#include "playlist/PlaylistWizard.h"

#include "Bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <malloc.h>

int main(int argc, char* argv[])
{
    const int runs = BenchRuns(argc, argv);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString path = dir.filePath("big.txt");
    QStringList lines;
    for (int i = 0; i < 200000; ++i)
        lines << QStringLiteral("/home/user/Медиа/Фотографии/2024/отпуск/снимок_%1.jpg").arg(i, 6, 10, QLatin1Char('0'));
    SavePlaylistFile(path, lines);
    const double megabytes = QFile(path).size() / 1e6;

    double bestRead = 1e9, bestShow = 1e9, bestPlain = 1e9;
    TPlayListBox box;
    QListWidget plain;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        const QStringList loaded = LoadPlaylistFile(path);
        bestRead = std::min(bestRead, t.nsecsElapsed() / 1e9);
        t.restart();
        box.SetLines(loaded);
        bestShow = std::min(bestShow, t.nsecsElapsed() / 1e9);
        t.restart();
        plain.clear();
        plain.addItems(loaded);
        bestPlain = std::min(bestPlain, t.nsecsElapsed() / 1e9);
    }
    std::printf("playlist of %d lines, %.1f MB: read and parsed in %.3f s, into the list box in %.3f s "
                "(a plain list widget: %.3f s), best of %d\n",
                int(lines.size()), megabytes, bestRead, bestShow, bestPlain, runs);
    // Handed to the running program (a second start, the command line): read on a worker,
    // then its lines added to the playlist on the interface thread.
    double bestBytes = 1e9, bestAppend = 1e9;
    for (int r = 0; r < runs; ++r) {
        TPlayListBox handed;
        QElapsedTimer t;
        t.start();
        const TPlayListBox::TPreparedLines prepared = TPlayListBox::PrepareLineBytes(LoadPlaylistLines(path));
        bestBytes = std::min(bestBytes, t.nsecsElapsed() / 1e9);
        t.restart();
        handed.AppendPrepared(prepared);
        bestAppend = std::min(bestAppend, t.nsecsElapsed() / 1e9);
    }
    std::printf("the same handed to the running program: read on a worker in %.3f s, added on the interface "
                "thread in %.3f s, best of %d\n",
                bestBytes, bestAppend, runs);

    // The wizard in a folder of 100 000 files of its mask.
    QDir folder(dir.filePath("many"));
    folder.mkpath(".");
    for (int i = 0; i < 100000; ++i)
        QFile(folder.filePath(QStringLiteral("picture_%1.jpg").arg(i, 6, 10, QLatin1Char('0')))).open(QIODevice::WriteOnly);
    QThread::sleep(3); // a folder just changed is read again at every opening
    // Opened as the user opens it: shown, its folder listed, laid out and painted; and the
    // longest the interface went without its timers meanwhile (a 1 ms timer's longest gap).
    double blockedMs = 0;
    const auto open = [&blockedMs](TPlaylistWizard& wizard) {
        QElapsedTimer since;
        since.start();
        QTimer probe;
        probe.setInterval(1);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            blockedMs = std::max(blockedMs, since.nsecsElapsed() / 1e6);
            since.restart();
        });
        probe.start();
        wizard.show();
        if (!QTest::qWaitForWindowExposed(&wizard))
            std::printf("the wizard was not shown\n");
        while (wizard.Listing())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
        wizard.repaint();
    };
    // Resident memory, what the allocator has freed given back first (else memory freed by
    // an earlier step would show as a negative amount kept).
    const auto rssMb = [] {
        malloc_trim(0);
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        return 0.0;
    };
    int files = 0;
    const BenchTimes first = TimeRuns(runs, [&] {
        TPlaylistWizard wizard(folder.path());
        open(wizard);
        files = wizard.findChild<QListWidget*>("FileList")->count();
    });
    const double before = rssMb();
    TPlaylistWizard wizard(folder.path());
    open(wizard);
    const double opened = rssMb();
    wizard.hide();
    const BenchTimes again = TimeRuns(runs, [&] {
        open(wizard);
        wizard.hide();
    });
    std::printf("wizard opened on a folder of %d files: first time best %.3f s, median %.3f s; again best %.3f s, "
                "median %.3f s (%d runs); memory while open %.1f MB, kept once closed %.1f MB; longest the "
                "interface was held %.0f ms\n",
                files, first.best, first.median, again.best, again.median, runs, opened - before, rssMb() - before,
                blockedMs);
    return 0;
}
