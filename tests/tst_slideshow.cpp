// The slide show on real media (tiny pictures, a GIF and short WAV clips) and the slide
// interval dialog. Steps are driven by calling the show's step, as the slide timer does.

#include "GifStreams.h"
#include "tests/ProgramWindows.h"
#include "MediaFiles.h"
#include "app/Application.h"
#include "app/MainForm.h"
#include "core/Dialogs.h"
#include "core/HandlerGuard.h"
#include "playlist/PlayListBox.h"
#include "presentation/DisplayWindow.h"
#include "presentation/GifImage.h"
#include "presentation/MediaPlayer.h"
#include "slideshow/SlideIntervalDialog.h"
#include "slideshow/SlideShow.h"
#include "widgets/UpDown.h"

#include <QAction>
#include <QImageWriter>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <unistd.h>

using namespace mediatest;

class TestSlideShow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void emptyPlaylist();
    void startAndWrapRound();
    void oneLine();
    void clipsOnlyDrivenByReports();
    void clipBetweenPictures();
    void stopWhileAClipPlays();
    void failuresHaltTheShow();
    void clipProcessThatDiesEndsItsClip_data();
    void clipProcessThatDiesEndsItsClip();
    void userChangesDuringTheShow();
    void timerRules();
    void intervalDialog();
    void showGoesOnBehindAModalDialog();
    void manyMissingFiles();
    void abortedClipLeavesTheShowWaiting();
    void flagSurvivesAPicture();
    void tickDuringAClipOpenWaitsForIt_data();
    void tickDuringAClipOpenWaitsForIt();

private:
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    void Lines(const QStringList& names)
    {
        QStringList lines;
        for (const QString& n : names)
            lines << (n.startsWith('/') ? n : m_dir.filePath(n));
        Main()->Playlist()->SetLines(lines);
    }
    int Selected() const { return Main()->Playlist()->SelectedIndex(); }
    // Waits for the clip now playing to report its end (and the show to act on it).
    bool ClipEnds()
    {
        QSignalSpy reports(DisplayControl<TMediaPlayer>("MediaPlayer"), &TMediaPlayer::Notify);
        if (!reports.wait(10000))
            return false;
        QTest::qWait(50);
        return true;
    }
    TSlideShow* Show() const { return TestWindows()->SlideShow(); }
    // One tick of the slide timer, handled as the timer's handler is.
    void Tick() { Guarded([this] { Show()->Step(); }); }

    QTemporaryDir m_dir;
    QStringList m_messages;
};

void TestSlideShow::initTestCase()
{
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(QImageWriter(Path("a.jpg"), "jpg").write(red));
    QVERIFY(QImageWriter(Path("b.bmp"), "bmp").write(red));
    QVERIFY(Write(Path("c.gif"), giftest::GifBuilder(2, 2).Image(0, 0, 2, 2, giftest::SolidData(4, 1)).Trailer()));
    QVERIFY(Write(Path("x.wav"), Wav(300)));
    QVERIFY(Write(Path("y.wav"), Wav(300)));
    QVERIFY(Write(Path("notes.txt"), "not media"));
    QVERIFY(Video(Path("v.avi"), false, 10));
    QVERIFY(Write(Path("broken.avi"), "RIFF\x10\x00\x00\x00AVI junkjunkjunk"));
}

void TestSlideShow::init()
{
    m_messages.clear();
    Dialogs::SetHandler([this](Dialogs::Kind, const QString& text) { m_messages << text; });
    CreateApplicationWindows(m_dir.filePath("lumivo.INI"));
    QVERIFY(Show());
    QCOMPARE(Show()->SlideInterval, 3);
}

void TestSlideShow::cleanup()
{
    DestroyApplicationWindows();
    Dialogs::SetHandler(nullptr);
}

void TestSlideShow::emptyPlaylist()
{
    MainControl<QAction>("StartSlideShowItem")->trigger();
    QCOMPARE(m_messages, QStringList{"Заполните пожалуйста плей-лист"});
    QVERIFY(!DisplayWin()->isVisible());
    QVERIFY(!Show()->TimerEnabled());
}

void TestSlideShow::startAndWrapRound()
{
    Lines({"a.jpg", "c.gif", "b.bmp"});
    MainControl<QToolButton>("StartSlideShowButton")->click(); // no selection: the first line
    QCOMPARE(Selected(), 0);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
    QVERIFY(Show()->TimerEnabled());
    QCOMPARE(TestWindows()->SlideShow()->Timer()->interval(), 3000);
    Main()->show();
    Main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Main()));
    Tick();
    QVERIFY(DisplayWin()->isVisible());
    QCOMPARE(QApplication::activeWindow(), Main()); // the steps leave the focus where it was
    QCOMPARE(Selected(), 1);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Анимированная картинка"));
    QVERIFY(Show()->TimerEnabled());
    Tick();
    Tick(); // after the last line, the first
    QCOMPARE(Selected(), 0);

    Main()->Playlist()->SetSelectedIndex(2); // a start on the third line begins there
    MainControl<QAction>("StopSlideShowItem")->trigger();
    MainControl<QAction>("StartSlideShowItem")->trigger();
    QCOMPARE(Selected(), 2);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
    // A stop that comes while a GIF decodes (its decode lets it run) holds once it returns.
    Main()->Playlist()->SetSelectedIndex(1);
    MainControl<QAction>("StopSlideShowItem")->trigger();
    QTimer::singleShot(0, this, [this] { MainControl<QAction>("StopSlideShowItem")->trigger(); });
    MainControl<QAction>("StartSlideShowItem")->trigger();
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Анимированная картинка"));
    QVERIFY(!Show()->TimerEnabled());
    QVERIFY(m_messages.isEmpty());
}

void TestSlideShow::oneLine()
{
    Lines({"a.jpg"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    Tick();
    Tick();
    QCOMPARE(Selected(), 0);
    QVERIFY(Show()->TimerEnabled());
}

void TestSlideShow::clipsOnlyDrivenByReports()
{
    Lines({"x.wav", "y.wav"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
    QVERIFY(!Show()->TimerEnabled());
    QVERIFY(Show()->ContinueAfterClip);
    QVERIFY(ClipEnds());
    QCOMPARE(Selected(), 1);
    QVERIFY(ClipEnds());
    QCOMPARE(Selected(), 0); // wrapped round
    MainControl<QAction>("StopSlideShowItem")->trigger();
}

void TestSlideShow::clipBetweenPictures()
{
    Lines({"a.jpg", "x.wav", "b.bmp"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    Tick();
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
    QVERIFY(!Show()->TimerEnabled()); // the show waits for the clip
    QVERIFY(DisplayControl<TImage>("Image")->isVisible()); // a sound clip leaves the picture in view
    QVERIFY(ClipEnds());
    QCOMPARE(Selected(), 2);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
    QVERIFY(Show()->TimerEnabled());
}

void TestSlideShow::stopWhileAClipPlays()
{
    Lines({"x.wav", "a.jpg"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    MainControl<QToolButton>("StopSlideShowButton")->click(); // stop
    QVERIFY(!Show()->ContinueAfterClip);
    QVERIFY(ClipEnds()); // the clip plays to its end, and nothing follows
    QCOMPARE(Selected(), 0);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
}

void TestSlideShow::failuresHaltTheShow()
{
    // A missing picture: its error, the show halted on that line with the timer off.
    Lines({"a.jpg", "missing.jpg", "b.bmp"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    Tick();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages[0].startsWith("Cannot open file"));
    QCOMPARE(Selected(), 1);
    QVERIFY(!Show()->TimerEnabled());

    // A line of no kind halts silently.
    Lines({"a.jpg", "notes.txt"});
    Main()->Playlist()->SetSelectedIndex(0);
    MainControl<QAction>("StartSlideShowItem")->trigger();
    Tick();
    QCOMPARE(Selected(), 1);
    QVERIFY(!Show()->TimerEnabled());
    QCOMPARE(m_messages.size(), 1);

    // The playlist emptied during the show: the list's error, and the timer off.
    Lines({"a.jpg"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    Main()->Playlist()->clear();
    Tick();
    QCOMPARE(m_messages.last(), QStringLiteral("List index out of bounds (-1)"));
    QVERIFY(!Show()->TimerEnabled());
}

// The process playing a clip killed in its middle (as a decoder's crash would): the clip ends
// with its message, the show halts as after any clip error, and the program goes on; the
// next line plays.
void TestSlideShow::clipProcessThatDiesEndsItsClip_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("crashed") << SIGSEGV;
    QTest::newRow("stuck") << SIGSTOP;
}

void TestSlideShow::clipProcessThatDiesEndsItsClip()
{
    QFETCH(int, signal);
    m_messages.clear();
    QVERIFY(Write(Path("long.wav"), Wav(20000)));
    Lines({"long.wav", "x.wav"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
    // The clip process is the child of this program that has the clip open (another may
    // wait for the next clip).
    pid_t clips = 0;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (!line.contains("(lumivo-clips)") || fields.size() < 2 || fields[1].toInt() != ::getpid())
            continue;
        const QString fds = "/proc/" + entry + "/fd/";
        for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            if (QFile::symLinkTarget(fds + fd) == Path("long.wav"))
                clips = entry.toInt();
    }
    QVERIFY(clips > 0);
    QFile status(QStringLiteral("/proc/%1/status").arg(clips)); // it plays confined
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QByteArray confinement = status.readAll();
    QVERIFY(confinement.contains("NoNewPrivs:\t1\n") && confinement.contains("Seccomp:\t2\n"));
    QVERIFY(::kill(clips, signal) == 0);
    QVERIFY(ClipEnds());
    QTRY_COMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].startsWith("Cannot play file \"" + Path("long.wav") + "\""), qPrintable(m_messages[0]));
    QCOMPARE(Selected(), 0);
    QVERIFY(!Show()->TimerEnabled());
    Main()->Playlist()->SetSelectedIndex(1);
    Main()->PlayListDblClick();
    QVERIFY(ClipEnds());
    QCOMPARE(m_messages.size(), 1);
}

void TestSlideShow::userChangesDuringTheShow()
{
    Lines({"a.jpg", "b.bmp", "a.jpg", "b.bmp"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    Main()->Playlist()->SetSelectedIndex(2); // the user picks another line
    Tick();
    QCOMPARE(Selected(), 3);

    DisplayWin()->close(); // closing the display window does not stop the show
    QVERIFY(!DisplayWin()->isVisible());
    Tick();
    QVERIFY(DisplayWin()->isVisible());

    Main()->Playlist()->SetSelectedIndex(1);
    MainControl<QAction>("DeleteFileItem")->trigger(); // deleting the selected line leaves no selection
    Tick();
    QCOMPARE(Selected(), 0);
}

void TestSlideShow::timerRules()
{
    Lines({"a.jpg", "b.bmp"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    QTest::qWait(300);
    const int left = TestWindows()->SlideShow()->Timer()->remainingTime();
    MainControl<QAction>("StartSlideShowItem")->trigger(); // Start again: the same line again, the countdown goes on
    QCOMPARE(Selected(), 0);
    QVERIFY(TestWindows()->SlideShow()->Timer()->remainingTime() <= left);

    Show()->SlideInterval = 5; // a new interval applies from the next picture
    QCOMPARE(TestWindows()->SlideShow()->Timer()->interval(), 3000);
    Tick();
    QCOMPARE(TestWindows()->SlideShow()->Timer()->interval(), 5000);

    Show()->SlideInterval = 0; // holds the picture until stopped
    Tick();
    QVERIFY(Show()->TimerEnabled());
    QVERIFY(!TestWindows()->SlideShow()->Timer()->isActive());
    MainControl<QAction>("StopSlideShowItem")->trigger();
    QVERIFY(!Show()->TimerEnabled());
}

void TestSlideShow::intervalDialog()
{
    QCOMPARE(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit")->text(), QStringLiteral("3"));
    QVERIFY(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit")->isReadOnly());
    for (int i = 0; i < 7; ++i)
        ChildOf<TUpDown>(SlideInterval().Get(), "SecondsUpDown")->UpButton->click();
    QCOMPARE(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit")->text(), QStringLiteral("10"));
    SlideInterval()->show();
    ChildOf<QPushButton>(SlideInterval().Get(), "CancelButton")->click(); // Cancel: the interval stays
    QCOMPARE(Show()->SlideInterval, 3);
    QCOMPARE(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit")->text(), QStringLiteral("10")); // the box keeps its own value
    SlideInterval()->show();
    ChildOf<QPushButton>(SlideInterval().Get(), "OkButton")->click();
    QCOMPARE(Show()->SlideInterval, 10);

    ChildOf<TUpDown>(SlideInterval().Get(), "SecondsUpDown")->SetPosition(1);
    ChildOf<TUpDown>(SlideInterval().Get(), "SecondsUpDown")->DownButton->click();
    ChildOf<TUpDown>(SlideInterval().Get(), "SecondsUpDown")->DownButton->click(); // stops at 0
    QCOMPARE(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit")->text(), QStringLiteral("0"));
    ChildOf<TUpDown>(SlideInterval().Get(), "SecondsUpDown")->SetPosition(9999);
    QTest::keyClick(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit"), Qt::Key_Up);
    QTest::keyClick(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit"), Qt::Key_Up); // stops at 10000, by key as by mouse
    QCOMPARE(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit")->text(), QStringLiteral("10000"));
    QTest::keyClick(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit"), Qt::Key_5); // typing does nothing
    QCOMPARE(ChildOf<QLineEdit>(SlideInterval().Get(), "SecondsEdit")->text(), QStringLiteral("10000"));
    SlideInterval()->show();
    ChildOf<QPushButton>(SlideInterval().Get(), "OkButton")->click();
    QCOMPARE(Show()->SlideInterval, 10000);
}

void TestSlideShow::showGoesOnBehindAModalDialog()
{
    Lines({"a.jpg", "b.bmp"});
    Show()->SlideInterval = 1;
    MainControl<QAction>("StartSlideShowItem")->trigger();
    int selectedWhileOpen = -1;
    QTimer::singleShot(1500, [&] {
        selectedWhileOpen = Selected();
        SlideInterval()->reject();
    });
    DisplayControl<QToolButton>("SlideIntervalButton")->click(); // the interval dialog, modal, from the display window
    QCOMPARE(selectedWhileOpen, 1); // the show stepped behind it
    MainControl<QAction>("StopSlideShowItem")->trigger();
}

void TestSlideShow::manyMissingFiles()
{
    QStringList missing;
    for (int i = 0; i < 10000; ++i)
        missing << QStringLiteral("/nonexistent/%1.jpg").arg(i);
    Main()->Playlist()->SetLines(missing);
    MainControl<QAction>("StartSlideShowItem")->trigger();
    QCOMPARE(m_messages.size(), 1); // one error, and the show halts there
    Tick();
    QCOMPARE(m_messages.size(), 2); // one more per step, never more
    MainControl<QAction>("StopSlideShowItem")->trigger();
    QVERIFY(!Show()->TimerEnabled());
}

// A clip stopped with the player's own Stop reports "aborted": the show, still on, waits;
// playing that clip again to its end moves it on.
void TestSlideShow::abortedClipLeavesTheShowWaiting()
{
    Lines({"x.wav", "a.jpg"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    QSignalSpy reports(DisplayControl<TMediaPlayer>("MediaPlayer"), &TMediaPlayer::Notify);
    DisplayControl<TMediaPlayer>("MediaPlayer")->Buttons[TMediaPlayer::btStop]->click();
    QVERIFY(reports.wait(2000));
    QCOMPARE(reports.takeFirst().at(0).toInt(), int(TMediaPlayer::nvAborted));
    QTest::qWait(100);
    QVERIFY(Show()->ContinueAfterClip);
    QCOMPARE(Selected(), 0);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
    DisplayControl<TMediaPlayer>("MediaPlayer")->Buttons[TMediaPlayer::btPlay]->click(); // on from where it stopped
    QVERIFY(ClipEnds());
    QCOMPARE(Selected(), 1);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
    MainControl<QAction>("StopSlideShowItem")->trigger();
}

// The flag stays set while the show holds a picture, so a clip the user double-clicks
// meanwhile continues the show when it ends.
void TestSlideShow::flagSurvivesAPicture()
{
    Lines({"x.wav", "a.jpg", "y.wav"});
    MainControl<QAction>("StartSlideShowItem")->trigger();
    QVERIFY(ClipEnds()); // on to the picture
    QCOMPARE(Selected(), 1);
    QVERIFY(Show()->ContinueAfterClip);
    Main()->Playlist()->SetSelectedIndex(2);
    Main()->PlayListDblClick();
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
    QVERIFY(ClipEnds()); // its end continues the show: the first line, wrapped round
    QCOMPARE(Selected(), 0);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
    MainControl<QAction>("StopSlideShowItem")->trigger();
}

// A slide tick that falls inside a clip's open (the player waits for its backend with the
// event loop running) is handled once that presentation has returned: the show then steps
// on from the clip. It never runs in the middle, where it once left a video playing under
// "Картинка", or left the open using a player that the nested step had closed.
void TestSlideShow::tickDuringAClipOpenWaitsForIt_data()
{
    QTest::addColumn<QString>("next");
    QTest::addColumn<bool>("withSurface"); // the tick comes once the clip's video surface is made
    QTest::newRow("tick in the open, a picture next") << "b.bmp" << false;
    QTest::newRow("tick as the surface is made, a picture next") << "b.bmp" << true;
    QTest::newRow("tick in the open, a damaged clip next") << "broken.avi" << false;
    QTest::newRow("tick as the surface is made, a damaged clip next") << "broken.avi" << true;
}

void TestSlideShow::tickDuringAClipOpenWaitsForIt()
{
    QFETCH(QString, next);
    QFETCH(bool, withSurface);
    Lines({"a.jpg", "v.avi", next});
    Main()->Playlist()->SetSelectedIndex(0);
    MainControl<QAction>("StartSlideShowItem")->trigger(); // the show holds the picture, its timer running
    QVERIFY(Show()->TimerEnabled());
    Main()->Playlist()->SetSelectedIndex(1);
    // The slide timer is made to fire at once, either as soon as the loop runs (inside the
    // open) or once the surface for this clip is made (inside the engine's load).
    struct TSurfaceMade : QObject {
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::ChildAdded && static_cast<QChildEvent*>(event)->child()->isWidgetType())
                TestWindows()->SlideShow()->Timer()->start(0);
            return false;
        }
    } surfaceMade;
    if (withSurface)
        DisplayControl<QFrame>("ViewPanel")->installEventFilter(&surfaceMade);
    else
        TestWindows()->SlideShow()->Timer()->start(0);
    Main()->PlayListDblClick(); // the user's double-click on the video
    DisplayControl<QFrame>("ViewPanel")->removeEventFilter(&surfaceMade);
    QTRY_COMPARE_WITH_TIMEOUT(Selected(), 2, 10000); // the deferred tick stepped on from the clip
    QTest::qWait(200);
    if (next == "b.bmp") {
        QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
        for (const QWidget* surface : DisplayWin()->findChildren<QWidget*>("VideoSurface"))
            QVERIFY(!surface->isVisible()); // no video under the picture
        QVERIFY(m_messages.isEmpty());
    } else {
        QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
        QCOMPARE(m_messages.size(), 1); // the damaged clip's error, once
        QVERIFY(!DisplayControl<TMediaPlayer>("MediaPlayer")->IsOpen());
    }
    MainControl<QAction>("StopSlideShowItem")->trigger();
}

QTEST_MAIN(TestSlideShow)
#include "tst_slideshow.moc"
