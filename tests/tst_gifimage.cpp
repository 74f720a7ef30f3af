// The animated GIF control: loading, the frame sequence, the timer, slow-down, once-runs,
// drawing later frames over frame 1, failed loads, and loads and deletion during a load.

#include "GifStreams.h"
#include "presentation/GifImage.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QPaintEvent>
#include <QTest>
#include <QTimer>

using namespace giftest;

namespace {

class Host : public gif::IGifHost {
public:
    void SetBusyCursor(bool) override {}
    void ShowNotice(const std::string& text) override { notices << QString::fromStdString(text); }
    void ProcessMessages() override
    {
        auto call = onMessages; // the handler may replace itself
        if (call)
            call();
    }
    QStringList notices;
    std::function<void()> onMessages;
};

// A frame of w x h pixels all in colour index c, code size 2 (colours from the builder's
// 4-entry global table: i -> (i, 255 - i, i / 2)).
QByteArray Solid(int w, int h, int c) { return SolidData(w * h, c); }

QRgb Colour(int i) { return qRgb(i, 255 - i, i / 2); }

} // namespace

class TestGifImage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void framesAndTimer();
    void slowDownAndReload();
    void playOnce();
    void playOnceInterrupted();
    void hiddenControlComposesWhenShown();
    void singleImage();
    void laterFramesDrawnOverFrameOne();
    void noDelays();
    void failedLoadKeepsThePicture();
    void composedAsBrowsersDo_data();
    void composedAsBrowsersDo();
    void eachFrameKeepsItsDelay();
    void fileWithoutImages();
    void loadDuringLoadIsRefused();
    void deleteWhileLoading();
    void ticksBeforeAnyLoadDoNothing();
    void placement_data();
    void placement();

private:
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
    // Three 4 x 3 frames in colours 1, 2, 3 with the given delays.
    QString ThreeFrames(int delay = 10)
    {
        GifBuilder b(4, 3, 0x81);
        for (int c = 1; c <= 3; ++c)
            b.GraphicControl(delay).Image(0, 0, 4, 3, Solid(4, 3, c));
        return Write("three.gif", b.Trailer());
    }
    QTemporaryDir m_dir;
};

void TestGifImage::framesAndTimer()
{
    TGifImage control;
    control.LoadFromFile(ThreeFrames());
    QCOMPARE(control.TimerInterval(), 100);
    QVERIFY(!control.TimerEnabled());
    QCOMPARE(control.CurrentFrame(), 1);
    QCOMPARE(control.Picture().pixel(0, 0), Colour(1));
    QVERIFY(!control.Loading());

    control.SetAnimated(true);
    QVERIFY(control.TimerEnabled());
    QList<int> frames;
    for (int i = 0; i < 4; ++i) {
        control.NextFrame();
        frames << control.CurrentFrame();
    }
    QCOMPARE(frames, (QList<int>{2, 3, 1, 2}));
    QCOMPARE(control.Picture().pixel(3, 2), Colour(2));
    // The real timer drives it too.
    const int before = control.CurrentFrame();
    QTRY_VERIFY_WITH_TIMEOUT(control.CurrentFrame() != before, 2000);
    control.SetAnimated(false);

    // A frame is held its whole delay (a coarse timer fires up to 5 % early, 475 ms for 500;
    // the two changes are seen a few milliseconds apart from when they happened).
    TGifImage slow;
    slow.LoadFromFile(ThreeFrames(50));
    slow.SetAnimated(true);
    QElapsedTimer clock;
    clock.start();
    QList<qint64> changes;
    for (int frame = slow.CurrentFrame(); changes.size() < 2 && clock.elapsed() < 5000;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (slow.CurrentFrame() != frame) {
            frame = slow.CurrentFrame();
            changes << clock.elapsed();
        }
    }
    QCOMPARE(changes.size(), 2);
    QVERIFY2(changes[1] - changes[0] >= 490, qPrintable(QString::number(changes[1] - changes[0])));
}

void TestGifImage::slowDownAndReload()
{
    TGifImage control;
    const QString file = ThreeFrames();
    control.LoadFromFile(file);
    control.SlowDown();
    control.SlowDown();
    QCOMPARE(control.TimerInterval(), 400);
    control.LoadFromFile(file);
    QCOMPARE(control.TimerInterval(), 100);
    for (int i = 0; i < 40; ++i)
        control.SlowDown();
    QCOMPARE(control.TimerInterval(), INT_MAX); // doubling stops at the largest interval
}

void TestGifImage::playOnce()
{
    TGifImage control;
    control.LoadFromFile(ThreeFrames());
    control.PlayOnce();
    QVERIFY(control.TimerEnabled() && control.PlayingOnce());
    control.NextFrame();
    control.PlayOnce(); // a second request during the run changes nothing
    control.NextFrame();
    QCOMPARE(control.CurrentFrame(), 3);
    control.NextFrame();
    QCOMPARE(control.CurrentFrame(), 1);
    QVERIFY(!control.TimerEnabled());
    QVERIFY(!control.PlayingOnce());
    QCOMPARE(control.Picture().pixel(0, 0), Colour(1));
}

// "Выкл." and a new load end a run-through, so that "Раз" works again at once (it once
// stayed pending: "Раз" did nothing, and "Вкл." stopped after one cycle).
void TestGifImage::playOnceInterrupted()
{
    TGifImage control;
    const QString file = ThreeFrames();
    control.LoadFromFile(file);
    control.PlayOnce();
    control.NextFrame();
    control.SetAnimated(false);
    QVERIFY(!control.PlayingOnce());
    control.SetAnimated(true); // plays on: no run-through to stop it
    control.NextFrame();
    control.NextFrame();
    QCOMPARE(control.CurrentFrame(), 1);
    QVERIFY(control.TimerEnabled());
    control.SetAnimated(false);
    control.PlayOnce(); // a new run-through starts
    QVERIFY(control.TimerEnabled() && control.PlayingOnce());

    control.LoadFromFile(file); // the load stops the timer and ends the run
    QVERIFY(!control.TimerEnabled());
    QVERIFY(!control.PlayingOnce());
    control.PlayOnce();
    QVERIFY(control.TimerEnabled());
    for (int i = 0; i < 3; ++i)
        control.NextFrame();
    QCOMPARE(control.CurrentFrame(), 1);
    QVERIFY(!control.TimerEnabled());
}

// Out of sight, ticks only count frames; the picture is composed when it is looked at.
void TestGifImage::hiddenControlComposesWhenShown()
{
    QWidget window;
    auto* control = new TGifImage(gif::NullGifHost(), &window);
    control->LoadFromFile(Write("placed.gif", GifBuilder(16, 8, 0x81)
                                                  .GraphicControl(5)
                                                  .Image(0, 0, 16, 8, Solid(16, 8, 1))
                                                  .GraphicControl(5)
                                                  .Image(10, 5, 6, 3, Solid(6, 3, 3))
                                                  .GraphicControl(5)
                                                  .Image(0, 0, 2, 2, Solid(2, 2, 2))
                                                  .Trailer()));
    const TImage& shown = *control; // what the control would paint, without composing
    control->NextFrame();
    control->NextFrame();
    QCOMPARE(control->CurrentFrame(), 3);
    QCOMPARE(shown.Picture().pixel(15, 7), Colour(1)); // nothing was drawn while hidden
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(shown.Picture().pixel(15, 7), Colour(3)); // frames 1 to 3, composed on showing
    QCOMPARE(shown.Picture().pixel(0, 0), Colour(2));
    QCOMPARE(shown.Picture().pixel(5, 5), Colour(1));
    control->NextFrame(); // shown: drawn at once
    QCOMPARE(shown.Picture().pixel(15, 7), Colour(1));
    window.hide();
    control->NextFrame();
    QCOMPARE(shown.Picture().pixel(15, 7), Colour(1));
    QCOMPARE(control->Picture().pixel(15, 7), Colour(3)); // asked for: composed
}

void TestGifImage::singleImage()
{
    TGifImage control;
    control.LoadFromFile(Write("one.gif", GifBuilder(4, 3, 0x81).GraphicControl(30).Image(0, 0, 4, 3, Solid(4, 3, 2)).Trailer()));
    QCOMPARE(control.TimerInterval(), 300); // the frame's own delay
    QVERIFY(!control.TimerEnabled());
    control.SetAnimated(true);
    control.NextFrame();
    QCOMPARE(control.CurrentFrame(), 1); // redraws frame 1
    QCOMPARE(control.Picture().pixel(1, 1), Colour(2));
}

void TestGifImage::laterFramesDrawnOverFrameOne()
{
    TGifImage control;
    control.LoadFromFile(Write("placed.gif", GifBuilder(16, 8, 0x81)
                                                 .GraphicControl(5)
                                                 .Image(0, 0, 16, 8, Solid(16, 8, 1))
                                                 .GraphicControl(5)
                                                 .Image(10, 5, 8, 4, Solid(8, 4, 3))
                                                 .Trailer()));
    QCOMPARE(control.Picture().size(), QSize(16, 8));
    control.NextFrame();
    QCOMPARE(control.Picture().size(), QSize(16, 8)); // the part outside is clipped
    QCOMPARE(control.Picture().pixel(9, 5), Colour(1));
    QCOMPARE(control.Picture().pixel(10, 5), Colour(3));
    QCOMPARE(control.Picture().pixel(15, 7), Colour(3));
    QCOMPARE(control.Picture().pixel(10, 4), Colour(1));
    control.NextFrame(); // back to frame 1: the build-up is discarded
    QCOMPARE(control.Picture().pixel(15, 7), Colour(1));

    // In sight, a frame paints again only what it changed (here drawn ten times larger).
    struct TPaints : QObject {
        QRegion region;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                region += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } paints;
    control.SetStretch(true);
    control.resize(160, 80);
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    QCoreApplication::processEvents();
    control.installEventFilter(&paints);
    control.NextFrame();
    QTRY_VERIFY(!paints.region.isEmpty());
    QCOMPARE(paints.region.boundingRect(), QRect(99, 49, 61, 31));
}

void TestGifImage::noDelays()
{
    Host host;
    TGifImage control(host);
    GifBuilder b(2, 2, 0x81);
    for (int i = 0; i < 3; ++i)
        b.Image(0, 0, 2, 2, Solid(2, 2, 1));
    control.LoadFromFile(Write("nodelay.gif", b.Trailer()));
    QVERIFY(host.notices.isEmpty());
    QCOMPARE(control.TimerInterval(), 100); // no delay is taken as a tenth of a second
    control.SetAnimated(true);
    QTRY_COMPARE_WITH_TIMEOUT(control.CurrentFrame(), 2, 2000);
}

void TestGifImage::failedLoadKeepsThePicture()
{
    TGifImage control;
    control.LoadFromFile(ThreeFrames());
    control.SetAnimated(true);
    control.NextFrame();
    const QImage before = control.Picture();
    const QString bad = Write("bad.gif", "GIF89b" + GifBuilder(1, 1, 0x81).Trailer().mid(6));
    const gif::TGifFile* good = control.GifFile();
    QVERIFY_THROWS_EXCEPTION(gif::EGifException, control.LoadFromFile(bad));
    QCOMPARE(control.Picture(), before);
    QVERIFY(!control.Loading());
    QCOMPARE(control.GifFile(), good); // the good animation goes on
    QCOMPARE(control.CurrentFrame(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(control.CurrentFrame() != 2, 2000);
    control.LoadFromFile(ThreeFrames());
    QVERIFY(!control.Loading());
    QCOMPARE(control.CurrentFrame(), 1);
}

// A 4 x 1 picture of colour 1; a 2 x 1 frame of colour 2 at (1, 0) with the disposal of
// the row; a frame over it whose left pixel is transparent and whose right one has colour
// 3: the row of the third frame as it is composed.
void TestGifImage::composedAsBrowsersDo_data()
{
    QTest::addColumn<int>("disposal");
    QTest::addColumn<QList<QRgb>>("row");
    const QRgb clear = 0, one = Colour(1), two = Colour(2), three = Colour(3);
    QTest::newRow("kept") << 1 << QList<QRgb>{one, two, three, one};
    QTest::newRow("restored to the background") << 2 << QList<QRgb>{one, clear, three, one};
    QTest::newRow("restored to what was under it") << 3 << QList<QRgb>{one, one, three, one};
}

void TestGifImage::composedAsBrowsersDo()
{
    QFETCH(int, disposal);
    QFETCH(QList<QRgb>, row);
    TGifImage control;
    control.LoadFromFile(Write("composed.gif", GifBuilder(4, 1, 0x81)
                                                   .GraphicControl(5)
                                                   .Image(0, 0, 4, 1, Solid(4, 1, 1))
                                                   .GraphicControl(5, disposal)
                                                   .Image(1, 0, 2, 1, Solid(2, 1, 2))
                                                   .GraphicControl(5, 0, 0) // index 0 is transparent
                                                   .Image(1, 0, 2, 1, IndexData({0, 3}))
                                                   .Trailer()));
    control.NextFrame();
    control.NextFrame();
    QList<QRgb> composed;
    for (int x = 0; x < 4; ++x)
        composed << control.Picture().pixel(x, 0);
    QCOMPARE(composed, row);
}

// Every frame stays for its own delay; 0 and 1 are a tenth of a second; slowing doubles all.
void TestGifImage::eachFrameKeepsItsDelay()
{
    GifBuilder b(2, 2, 0x81);
    for (int delay : {20, 0, 1, 7})
        b.GraphicControl(delay).Image(0, 0, 2, 2, Solid(2, 2, 1));
    Host host;
    TGifImage control(host);
    control.LoadFromFile(Write("delays.gif", b.Trailer()));
    QList<int> intervals{control.TimerInterval()};
    for (int i = 0; i < 3; ++i) {
        control.NextFrame();
        intervals << control.TimerInterval();
    }
    QCOMPARE(intervals, (QList<int>{200, 100, 100, 70}));
    control.SlowDown();
    QCOMPARE(control.TimerInterval(), 140);
    control.NextFrame();
    QCOMPARE(control.TimerInterval(), 400);
    QVERIFY(host.notices.isEmpty()); // different delays are no matter for a notice
}

void TestGifImage::fileWithoutImages()
{
    TGifImage control;
    try {
        control.LoadFromFile(Write("empty.gif", GifBuilder(1, 1, 0x81).Trailer()));
        QFAIL("a file without images cannot be shown");
    } catch (const gif::EListError& e) {
        QCOMPARE(QString(e.what()), QStringLiteral("List index out of bounds (0)"));
    }
    QVERIFY(!control.Loading() && !control.GifFile());
}

void TestGifImage::loadDuringLoadIsRefused()
{
    Host host;
    TGifImage control(host);
    const QString big = Write("big.gif", GifBuilder(50, 50, 0x81).Image(0, 0, 50, 50, Solid(50, 50, 2)).Trailer());
    const QString other = ThreeFrames();
    QString nestedError;
    host.onMessages = [&] {
        host.onMessages = nullptr; // once
        try {
            control.LoadFromFile(other);
        } catch (const gif::EGifException& e) {
            nestedError = e.what();
        }
    };
    control.LoadFromFile(big);
    QVERIFY(nestedError.contains(QStringLiteral("while another GIF file is being loaded")));
    QCOMPARE(control.Picture().size(), QSize(50, 50)); // the first load completed
    QCOMPARE(control.GifFile()->SubImage(1).Width, 50);
}

void TestGifImage::deleteWhileLoading()
{
    Host host;
    QPointer<TGifImage> control = new TGifImage(host);
    const QString big = Write("big2.gif", GifBuilder(40, 40, 0x81).Image(0, 0, 40, 40, Solid(40, 40, 2)).Trailer());
    int rows = 0;
    host.onMessages = [&] {
        if (++rows == 2)
            delete control.data(); // the control goes away while the file is being loaded
    };
    control->LoadFromFile(big);
    QVERIFY(control.isNull());
    QCOMPARE(rows, 2); // once before reading, once after decoding: the reader finished on its own copy
}

void TestGifImage::ticksBeforeAnyLoadDoNothing()
{
    TGifImage control;
    control.SetAnimated(true);
    control.NextFrame();
    QCOMPARE(control.CurrentFrame(), 0);
    QVERIFY(control.Picture().isNull());
}

void TestGifImage::placement_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<bool>("stretch");
    QTest::addColumn<bool>("proportional");
    QTest::addColumn<bool>("center");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("small, centred") << QSize(100, 50) << QSize(300, 200) << false << true << true << QRect(100, 75, 100, 50);
    QTest::newRow("small, top-left") << QSize(100, 50) << QSize(300, 200) << false << true << false << QRect(0, 0, 100, 50);
    QTest::newRow("wide, scaled down") << QSize(600, 200) << QSize(300, 200) << false << true << true << QRect(0, 50, 300, 100);
    QTest::newRow("tall, scaled down") << QSize(100, 400) << QSize(300, 200) << false << true << true << QRect(125, 0, 50, 200);
    QTest::newRow("large, not proportional") << QSize(600, 400) << QSize(300, 200) << false << false << false << QRect(0, 0, 600, 400);
    QTest::newRow("stretched") << QSize(10, 10) << QSize(300, 200) << true << false << false << QRect(0, 0, 300, 200);
    QTest::newRow("stretched, proportional") << QSize(10, 10) << QSize(300, 200) << true << true << true << QRect(50, 0, 200, 200);
}

void TestGifImage::placement()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, area);
    QFETCH(bool, stretch);
    QFETCH(bool, proportional);
    QFETCH(bool, center);
    QTEST(ImagePlacement(picture, area, stretch, proportional, center), "expected");
}

QTEST_MAIN(TestGifImage)
#include "tst_gifimage.moc"
