// Files an attacker or a broken program could make, generated here: huge declared sizes
// with no data, LZW bombs, floods of images, frames without delays, many HD frames, and
// FIFOs under every name the program opens. Each is refused at once with its message or
// loaded within the memory budget; none blocks, none takes memory past the budget.

#include "GifStreams.h"
#include "core/Errors.h"
#include "gif/GifFile.h"
#include "playlist/PlaylistFile.h"
#include "presentation/GifImage.h"
#include "presentation/MediaPlayer.h"
#include "presentation/PictureLoader.h"
#include "system/IniFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace giftest;

namespace {

// The process's peak resident memory so far, in MB.
qint64 PeakMb()
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

class Recorder : public gif::IGifHost {
public:
    void SetBusyCursor(bool) override {}
    void ShowNotice(const std::string& text) override { notices << QString::fromStdString(text); }
    void ProcessMessages() override { ++pumps; }
    bool StopRequested() override { return stopAfterPumps >= 0 && pumps >= stopAfterPumps; }
    QStringList notices;
    int pumps = 0;
    int stopAfterPumps = -1;
};

// n images of w x h, each from data, with an optional delay.
QByteArray Frames(int w, int h, int n, const QByteArray& data, int delay = -1)
{
    GifBuilder b(w, h, 0x81);
    for (int i = 0; i < n; ++i) {
        if (delay >= 0)
            b.GraphicControl(delay);
        b.Image(0, 0, w, h, data);
    }
    return b.Trailer();
}

} // namespace

class TestHostile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void refusedAtOnce_data();
    void refusedAtOnce();
    void loadedWithinTheBudget_data();
    void loadedWithinTheBudget();
    void aStopRequestEndsTheLoad();
    void fifosAreNeverWaitedOn();

private:
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? path : QString();
    }
    QTemporaryDir m_dir;
};

void TestHostile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // A load that blocks fails the test instead of hanging it.
    ::alarm(240);
}

void TestHostile::refusedAtOnce_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    const QByteArray none = CodeStream(2).End().Bytes();
    QTest::newRow("28000 x 28000 declared in 40 bytes")
        << GifBuilder(28000, 28000, 0).Image(0, 0, 28000, 28000, none).Trailer()
        << "The GIF's images need 3 739 MB, more than the 768 MB this program allows.";
    QTest::newRow("65535 x 65535 declared")
        << GifBuilder(65535, 65535, 0).Image(0, 0, 65535, 65535, none).Trailer()
        << "The GIF's images need 20 480 MB, more than the 768 MB this program allows.";
    QTest::newRow("16384 x 16384 declared")
        << GifBuilder(16384, 16384, 0).Image(0, 0, 16384, 16384, none).Trailer()
        << "The GIF's images need 1 281 MB, more than the 768 MB this program allows.";
    QTest::newRow("a small first frame, a huge second one")
        << GifBuilder(100, 100, 0x81).Image(0, 0, 100, 100, none).Image(0, 0, 30000, 30000, none).Trailer()
        << "The GIF's images need 859 MB, more than the 768 MB this program allows.";
}

// Refused before any image is decoded, whatever the file declares, without taking memory.
void TestHostile::refusedAtOnce()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    const QString path = Write(QStringLiteral("refused.gif"), file);
    const qint64 before = PeakMb();
    Recorder host;
    TGifImage control(host);
    try {
        control.LoadFromFile(path);
        QFAIL("the file was loaded");
    } catch (const gif::ENotEnoughMemory& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
    QVERIFY(!control.GifFile()); // nothing of the refused file is kept
    QVERIFY2(PeakMb() - before < 64, qPrintable(QString::number(PeakMb() - before) + " MB taken"));
}

void TestHostile::loadedWithinTheBudget_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("images");
    QTest::addColumn<int>("notices");
    QTest::newRow("200 000 one-pixel images without delays")
        << Frames(1, 1, 200000, SolidData(1)) << 200000 << 0;
    QTest::newRow("5 000 frames with differing and missing delays") << [] {
        GifBuilder b(10, 10, 0x81);
        for (int i = 0; i < 5000; ++i) {
            if (i % 3)
                b.GraphicControl(i % 7);
            b.Image(0, 0, 10, 10, SolidData(100, i % 2));
        }
        return b.Trailer();
    }() << 5000 << 0;
    QTest::newRow("1-pixel-wide frames of 65 535 rows")
        << Frames(1, 65535, 40, BombData(65535), 5) << 40 << 0;
    QTest::newRow("300 HD frames") << Frames(1920, 1080, 300, CodeStream(2).End().Bytes(), 4) << 300 << 0;
    // Its images kept compressed and decoded when drawn: once refused, as needing 800 MB.
    QTest::newRow("400 HD frames") << Frames(1920, 1080, 400, CodeStream(2).End().Bytes(), 4) << 400 << 0;
    // Last: the peak it sets would hide what the rows after it take.
    QTest::newRow("LZW bomb: 8192 x 16384 from 47 KB")
        << GifBuilder(8192, 16384, 0x81).Image(0, 0, 8192, 16384, BombData(8192 * 16384)).Trailer() << 1 << 0;
}

// Loaded whole, composed for showing, with no notice (missing or differing delays are no
// matter for one), and the memory taken stays within the budget.
void TestHostile::loadedWithinTheBudget()
{
    QFETCH(QByteArray, file);
    QFETCH(int, images);
    QFETCH(int, notices);
    const QString path = Write(QStringLiteral("loaded.gif"), file);
    file.clear();
    const qint64 before = PeakMb();
    QElapsedTimer clock;
    clock.start();
    {
        Recorder host;
        TGifImage control(host);
        control.LoadFromFile(path);
        QCOMPARE(control.GifFile()->SubImageCount(), images);
        QVERIFY(control.GifFile()->NeededBytes() <= gif::MaxDecodedBytes);
        QCOMPARE(host.notices.size(), notices);
        control.SetAnimated(true);
        for (int i = 0; i < 3; ++i)
            control.NextFrame();
        QVERIFY(!control.Picture().isNull());
    }
    const qint64 taken = PeakMb() - before;
    qInfo("%lld MB of peak memory taken, %lld ms", taken, clock.elapsed());
    QVERIFY2(taken < gif::MaxDecodedBytes / (1024 * 1024) + 64, qPrintable(QString::number(taken) + " MB taken"));
}

// The program ending stops a decode between rows, with EGifCancelled.
void TestHostile::aStopRequestEndsTheLoad()
{
    const QString path = Write(QStringLiteral("bomb.gif"),
                               GifBuilder(8192, 16384, 0x81).Image(0, 0, 8192, 16384, BombData(8192 * 16384)).Trailer());
    Recorder host;
    host.stopAfterPumps = 1;
    gif::TGifFile file(host);
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(gif::EGifCancelled, file.LoadFromFile(QFile::encodeName(path).toStdString()));
    QCOMPARE(host.pumps, 1); // stopped at the first chance, one pump interval into the decode
}

// A FIFO with no writer, under every name the program opens, is refused at once.
void TestHostile::fifosAreNeverWaitedOn()
{
    auto fifo = [this](const char* name) {
        const QString path = m_dir.filePath(QLatin1String(name));
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
        return path;
    };
    QVERIFY_THROWS_EXCEPTION(gif::EInOutError, gif::TGifFile().LoadFromFile(QFile::encodeName(fifo("x.gif")).toStdString()));
    for (const char* name : {"x.jpg", "x.bmp", "x.ico", "x.wmf", "x.emf"}) {
        try {
            LoadPicture(fifo(name), QSize(800, 600));
            QFAIL(name);
        } catch (const EFOpenError& e) {
            QVERIFY2(e.Message.endsWith("It is not a regular file"), qPrintable(e.Message));
        }
    }
    TMediaPlayer player;
    for (const char* name : {"x.avi", "x.wav", "x.mid"}) {
        player.FileName = fifo(name);
        QVERIFY_THROWS_EXCEPTION(EFOpenError, player.Open());
        QVERIFY(!player.IsOpen());
    }
    QVERIFY_THROWS_EXCEPTION(EFOpenError, LoadPlaylistFile(fifo("x.txt")));
    TIniFile settings(fifo("lumivo.INI"));
    QCOMPARE(settings.ReadString("Form", "Caption", "default"), QStringLiteral("default"));
    QVERIFY_THROWS_EXCEPTION(EIniFileException, settings.WriteString("Form", "Caption", "x"));
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
