// Presenting one item, with the real clip engine (its sound written to a file, or timed
// without a device where the machine has none): the player's reports, positions and video size; the display
// window's layouts, size rules, full-screen mode, volume chain and failures.

#include "GifStreams.h"
#include "tests/ProgramWindows.h"
#include "MediaFiles.h"
#include "app/Application.h"
#include "app/MainForm.h"
#include "clips/MidiFile.h"
#include "clips/ProgressWatch.h"
#include "core/Dialogs.h"
#include "core/HandlerGuard.h"
#include "playlist/PlayListBox.h"
#include "presentation/DisplayWindow.h"
#include "presentation/GifImage.h"
#include "presentation/MediaPlayer.h"
#include "presentation/PictureLoader.h"
#include "presentation/Present.h"
#include "presentation/PresentationGate.h"
#include "slideshow/SlideShow.h"
#include "widgets/ApplicationCursor.h"
#include "widgets/FileDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QColor>
#include <QtEndian>
#include <QFrame>
#include <QDir>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QTimer>
#include <QToolTip>
#include <QHelpEvent>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>

using namespace mediatest;

class TestPresent : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void playerReports();
    void playerErrors();
    void stuckClipsEnd();
    void clipEndsWithItsSound();
    void playerPositionAndVideoSize_data();
    void playerPositionAndVideoSize();
    void clipsPlayWhole_data();
    void clipsPlayWhole();

    void pictureLayoutAndSizeRules();
    void pictureMinimumAndFullScreen();
    void animationFromLineAndFromDialog();
    void videoClipSizesTheWindow();
    void audioClipKeepsThePicture();
    void closeDuringAClipStopsIt();
    void volumeChain();
    void volumeIsLinear();
    void failures();
    void playerGoneDuringAWait();
    void quittingDuringAnOpenReturnsAtOnce();
    void lateGifDoesNotCoverANewerPresentation_data();
    void lateGifDoesNotCoverANewerPresentation();
    void failedPictureHidesTheVideo();
    void stripButtonsFollowTheFirstPaint();
    void playerShowsItsHintOverEveryButton();
    void keysAndFullScreen();
    void filesFromTheDesktopAreShown();
    void highDensityScreen();
    void windowAnswersWhileAPictureLoads();
    void clipAfterClipLeavesNothingBehind();

private:
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    void Present(const QString& file)
    {
        PresentFile(*DisplayWin(), file, ClassifyMediaFile(file), false);
    }
    static int WaitForReport(QSignalSpy& spy, int timeoutMs = 10000)
    {
        if (spy.isEmpty() && !spy.wait(timeoutMs))
            return -1;
        return spy.takeFirst().at(0).toInt();
    }
    QTemporaryDir m_dir;
    QStringList m_errors;
};

void TestPresent::initTestCase()
{
    QVERIFY(Write(Path("tone.wav"), Wav(300)));
    QVERIFY(Write(Path("second.wav"), Wav(1000)));
    QVERIFY(Write(Path("note.mid"), Midi()));
    QVERIFY(Mp3(Path("tone.mp3")));
    QVERIFY(Write(Path("broken.wav"), "RIFF\x10\x00\x00\x00WAVEjunkjunkjunk"));
    QVERIFY(Video(Path("clip.avi"), false, 10));
    QVERIFY(Video(Path("clip.mpeg"), true, 10));
    QImage big(1600, 1200, QImage::Format_RGB32);
    big.fill(Qt::darkGreen);
    QVERIFY(QImageWriter(Path("big.jpg"), "jpg").write(big));
    QImage small(40, 20, QImage::Format_RGB32);
    small.fill(Qt::yellow);
    QVERIFY(QImageWriter(Path("small.bmp"), "bmp").write(small));
    QVERIFY(Write(Path("damaged.jpg"), "\xFF\xD8\xFF\xE0 not really a JPEG"));
    QVERIFY(Write(Path("anim.gif"), giftest::GifBuilder(4, 2, 0x81)
                                       .GraphicControl(10)
                                       .Image(0, 0, 4, 2, giftest::SolidData(8, 1))
                                       .GraphicControl(10)
                                       .Image(0, 0, 4, 2, giftest::SolidData(8, 2))
                                       .Trailer()));
    QVERIFY(Write(Path("bad.gif"), "GIF89b"));
}

void TestPresent::init()
{
    m_errors.clear();
    Dialogs::SetHandler([this](Dialogs::Kind, const QString& text) { m_errors << text; });
    CreateApplicationWindows(Path("lumivo.INI"));
}

void TestPresent::cleanup()
{
    DestroyApplicationWindows();
    Dialogs::SetHandler(nullptr);
    SetFileDialogHandler(nullptr);
}

void TestPresent::playerReports()
{
    TMediaPlayer player;
    QSignalSpy reports(&player, &TMediaPlayer::Notify);
    player.FileName = Path("tone.wav");
    player.Open();
    QVERIFY(player.IsOpen());
    player.Play();
    QCOMPARE(WaitForReport(reports), int(TMediaPlayer::nvSuccessful)); // played to its end
    player.Play(); // again from the start
    QTest::qWait(100);
    player.Previous(); // back to the start while it plays: it plays on to the end
    QCOMPARE(WaitForReport(reports), int(TMediaPlayer::nvSuccessful));

    player.Open(); // the same clip again
    player.Play();
    player.Stop();
    QCOMPARE(WaitForReport(reports, 2000), int(TMediaPlayer::nvAborted));
    // A clip of a second, so that it is still playing however slowly the next one opens.
    player.FileName = Path("second.wav");
    player.Open();
    player.Play();
    player.Play(); // a second Play supersedes the first's report
    QCOMPARE(WaitForReport(reports, 2000), int(TMediaPlayer::nvSuperseded));
    player.FileName = Path("tone.wav");
    player.Open(); // another clip: the running report is aborted
    QCOMPARE(WaitForReport(reports, 2000), int(TMediaPlayer::nvAborted));
    player.Play();
    player.Close();
    QCOMPARE(WaitForReport(reports, 2000), int(TMediaPlayer::nvAborted));
    QVERIFY(!player.IsOpen());
}

void TestPresent::playerErrors()
{
    TMediaPlayer player;
    try {
        player.Stop();
        QFAIL("Stop with nothing open fails");
    } catch (const EMCIDeviceError& e) {
        QCOMPARE(e.Message, QStringLiteral("No MCI device open"));
    }
    QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, player.Length());
    player.FileName = Path("missing.wav");
    try {
        player.Open();
        QFAIL("a missing clip cannot be opened");
    } catch (const EMCIDeviceError& e) {
        QVERIFY(!e.Message.isEmpty());
    }
    QVERIFY(!player.IsOpen());
    // Nothing in it can be played: a damaged header, a video of a codec nobody knows. It is
    // refused at once, never "played" in silence, and the message names the file.
    QVERIFY(Ffmpeg(Path("known.avi"), {"-f", "lavfi", "-i", "color=size=64x48:duration=1", "-c:v", "mjpeg"}));
    QFile known(Path("known.avi"));
    QVERIFY(known.open(QIODevice::ReadOnly));
    QVERIFY(Write(Path("unknown.avi"), known.readAll().replace("MJPG", "QQQQ")));
    // A list of other files named as a clip: refused, and what it names never opened (a
    // FIFO would block the player for good).
    QVERIFY(Write(Path("list.avi"), "ffconcat version 1.0\nfile 'known.avi'\nfile 'fifo'\n"));
    QVERIFY(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600) == 0);
    // MIDI the synthesizer would play as silence: SMPTE time, running status after a meta event.
    QByteArray smpte = Midi();
    smpte[12] = char(0xE7);
    smpte[13] = 40;
    QVERIFY(Write(Path("smpte.mid"), smpte));
    QVERIFY(Write(Path("running.mid"), Midi(QByteArray("\x00\x90\x3C\x64\x00\xFF\x01\x00\x83\x60\x3C\x00", 12))));
    for (const char* file : {"broken.wav", "unknown.avi", "list.avi", "smpte.mid", "running.mid"}) {
        player.FileName = Path(file);
        try {
            player.Open();
            QFAIL(file);
        } catch (const EMCIDeviceError& e) {
            QVERIFY2(e.Message.contains(player.FileName), qPrintable(e.Message));
        }
        QVERIFY(!player.IsOpen());
    }
    // A clip process that cannot start, or speaks another version: the clip says so. (Options
    // of their own, so that no process started ahead with others is taken for them.)
    const QList<QPair<QString, QString>> players = {
        {"exit 127", "could not be started"},
        {"exec python3 -c \"import socket, struct, time; s = socket.socket(fileno=3); s.send(struct.pack('<II', 100, 1 << 24)); "
         "time.sleep(9)\"",
         "another version"}};
    for (const auto& [script, expected] : players) {
        QVERIFY(Write(Path("clips.sh"), "#!/bin/sh\n" + script.toUtf8() + "\n"));
        QVERIFY(QFile::setPermissions(Path("clips.sh"), QFile::ReadOwner | QFile::ExeOwner));
        const QByteArray helper = qgetenv("LUMIVO_CLIP_HELPER");
        qputenv("LUMIVO_CLIP_HELPER", QFile::encodeName(Path("clips.sh")));
        TMediaPlayer::EngineOptions = {{"volume", "99"}};
        player.FileName = Path("tone.wav");
        QString message;
        try {
            player.Open();
        } catch (const EMCIDeviceError& e) {
            message = e.Message;
        }
        TMediaPlayer::EngineOptions.clear();
        qputenv("LUMIVO_CLIP_HELPER", helper);
        QVERIFY2(message.contains(expected), qPrintable(message));
    }
}

// A clip that stops advancing while it plays (a damaged stream can leave the player waiting
// for good), or runs past its length, is ended; one that advances, however slowly, is not.
void TestPresent::stuckClipsEnd()
{
    TProgressWatch watch;
    watch.Restart(0, 0);
    QVERIFY(!watch.Stuck(9000, 0, 60000));
    QVERIFY(!watch.Stuck(15000, 1, 60000)); // moved
    QVERIFY(!watch.Stuck(24000, 1, 60000));
    QVERIFY(watch.Stuck(25000, 1, 60000)); // still for 10 s
    watch.Restart(0, 59000);
    QVERIFY(!watch.Stuck(500, 61000, 60000));
    QVERIFY(watch.Stuck(1000, 61001, 60000)); // a second past its length
}

// An MP3 whose length is estimated far longer than its sound (three seconds of padding after
// one of sound) reports its end when its sound has played, not at the estimate.
void TestPresent::clipEndsWithItsSound()
{
    const QString path = m_dir.filePath("padded.mp3");
    QVERIFY(Ffmpeg(path, {"-f", "lavfi", "-i", "sine=duration=1", "-c:a", "libmp3lame", "-b:a", "64k", "-write_xing", "0"}));
    QFile padded(path);
    QVERIFY(padded.open(QIODevice::Append) && padded.write(QByteArray(3 * 8000, '\0')) == 3 * 8000);
    padded.close();
    TMediaPlayer::EngineOptions = {{"ao", "null"}};
    TMediaPlayer player;
    QSignalSpy reports(&player, &TMediaPlayer::Notify);
    player.FileName = path;
    player.Open();
    TMediaPlayer::EngineOptions.clear();
    QVERIFY2(player.Length() > 3500, qPrintable(QString::number(player.Length()))); // the estimate
    QElapsedTimer clock;
    clock.start();
    player.Play();
    QCOMPARE(WaitForReport(reports), int(TMediaPlayer::nvSuccessful));
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
}

void TestPresent::playerPositionAndVideoSize_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("AVI") << "clip.avi";
    QTest::newRow("MPEG") << "clip.mpeg";
}

void TestPresent::playerPositionAndVideoSize()
{
    QFETCH(QString, file);
    TMediaPlayer player;
    player.FileName = m_dir.filePath(file);
    player.Open();
    QVERIFY(player.HasVideo());
    QCOMPARE(player.DisplayRect(), QRect(0, 0, 320, 240));

    TMediaPlayer audio;
    audio.FileName = Path("second.wav");
    audio.Open();
    QVERIFY(qAbs(audio.Length() - 1000) < 100);
    QCOMPARE(audio.Position(), 0);
    audio.Next();
    QTRY_VERIFY(audio.Position() > 900);
}

// Clips in the codecs Windows-era programs wrote, and MIDI: each opens with the size and
// colours of its video, plays all its sound from the very start, and reports its end when
// its sound has ended. The sound goes to a file, in real time.
void TestPresent::clipsPlayWhole_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("make"); // FFmpeg's inputs and codecs; none: made already
    QTest::addColumn<double>("seconds");   // of sound
    QTest::addColumn<QSize>("video");
    QTest::addColumn<QColor>("colour"); // of the first picture
    const QStringList tone = {"-f", "lavfi", "-i", "sine=frequency=440:duration=1:sample_rate=22050"};
    const QStringList yellow = {"-f", "lavfi", "-i", "color=c=yellow:size=160x120:rate=25:duration=1"};
    const QStringList red = {"-f", "lavfi", "-i", "color=c=red:size=640x480:rate=25:duration=1"};
    const QSize none, picture(160, 120), large(640, 480);
    QTest::newRow("MIDI") << "note.mid" << QStringList() << 0.5 << none << QColor();
    QTest::newRow("MIDI, drums after a GM reset") << "drums.mid" << QStringList() << 0.5 << none << QColor();
    QTest::newRow("MIDI, a million notes at one instant") << "burst.mid" << QStringList() << 0.5 << none << QColor();
    QTest::newRow("MP3 with a tag") << "tone.mp3" << QStringList() << 0.5 << none << QColor();
    QTest::newRow("MP3 of a twentieth of a second")
        << "short.mp3" << QStringList{"-f", "lavfi", "-i", "sine=frequency=440:duration=0.05", "-c:a", "libmp3lame"}
        << 0.05 << none << QColor();
    QTest::newRow("WAV, MS ADPCM") << "ms.wav" << tone + QStringList{"-c:a", "adpcm_ms"} << 1.0 << none << QColor();
    QTest::newRow("WAV, IMA ADPCM") << "ima.wav" << tone + QStringList{"-c:a", "adpcm_ima_wav"} << 1.0 << none << QColor();
    QTest::newRow("WAV, GSM 6.10") << "gsm.wav"
                                   << QStringList{"-f", "lavfi", "-i", "sine=duration=1:sample_rate=8000", "-c:a", "gsm_ms"}
                                   << 1.0 << none << QColor();
    QTest::newRow("WAV holding MP3") << "mp3.wav" << tone + QStringList{"-c:a", "libmp3lame", "-f", "wav"} << 1.0 << none << QColor();
    QTest::newRow("AVI, Motion JPEG") << "mjpeg.avi" << yellow + tone + QStringList{"-c:v", "mjpeg", "-c:a", "pcm_s16le"}
                                      << 1.0 << picture << QColor(Qt::yellow);
    QTest::newRow("AVI, 8-bit palette, ADPCM")
        << "pal8.avi"
        << QStringList{"-f", "lavfi", "-i", "color=c=0x00fc00:size=160x120:rate=25:duration=1"} + tone +
               QStringList{"-c:v", "rawvideo", "-pix_fmt", "pal8", "-c:a", "adpcm_ms"}
        << 1.0 << picture << QColor(0x00, 0xfc, 0x00);
    QTest::newRow("AVI, H.264") << "h264.avi" << red + tone + QStringList{"-c:v", "libx264", "-c:a", "libmp3lame"}
                                << 1.0 << large << QColor(Qt::red);
    QTest::newRow("MP4, H.264 turned as phones write it")
        << "portrait.mp4" << red + tone + QStringList{"-c:v", "libx264", "-c:a", "aac", "-f", "mp4"} << 1.0
        << large.transposed() << QColor(Qt::red);
    QTest::newRow("MPEG-1 programme stream")
        << "mpeg1.mpg" << red + tone + QStringList{"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"} << 1.0 << large
        << QColor(Qt::red);
}

void TestPresent::clipsPlayWhole()
{
    QFETCH(QString, file);
    QFETCH(QStringList, make);
    QFETCH(double, seconds);
    QFETCH(QSize, video);
    QFETCH(QColor, colour);
    const QString path = m_dir.filePath(file);
    if (file == QLatin1String("drums.mid")) // a GM reset, then a bass drum on channel 10 at once
        QVERIFY(Write(path, Midi(QByteArray("\x00\xF0\x05\x7E\x7F\x09\x01\xF7\x00\x99\x24\x7F\x83\x60\x89\x24\x00", 17))));
    if (file == QLatin1String("burst.mid")) { // the synthesizer is given a share of them
        const QByteArray burst = Midi(QByteArray("\x00\x90\x3C\x64", 4) + QByteArray("\x00\x3C\x64", 3).repeated(1000000) +
                                    QByteArray("\x83\x60\x80\x3C\x00", 5));
        QVERIFY(Write(path, burst));
        QVERIFY(midi::ReadTiming(burst)->Music.size() < 20000);
    }
    if (!make.isEmpty())
        QVERIFY(Ffmpeg(path, make));
    if (file == QLatin1String("portrait.mp4")) { // FFmpeg writes the turn only when it copies
        QVERIFY(QFile::rename(path, path + ".unturned"));
        QVERIFY(Ffmpeg(path, {"-i", path + ".unturned", "-c", "copy", "-metadata:s:v:0", "rotate=90"}));
    }

    QWidget display;
    display.resize(200, 150); // the picture is scaled, as in a window of another size
    display.show();
    TMediaPlayer player;
    player.Display = &display;
    const QString sound = m_dir.filePath(file + ".sound.wav");
    TMediaPlayer::EngineOptions = {{"ao", "pcm"}, {"ao-pcm-file", QFile::encodeName(sound)}};
    QSignalSpy reports(&player, &TMediaPlayer::Notify);
    player.FileName = path;
    player.Open();
    TMediaPlayer::EngineOptions.clear();
    QCOMPARE(player.DisplayRect().size(), video);
    const qint64 length = player.Length(); // encoders pad the sound a little
    QVERIFY2(qAbs(length - seconds * 1000) < 250, qPrintable(QString::number(length)));
    if (!video.isEmpty()) { // the first picture, in its colours, before anything plays
        auto* surface = display.findChild<QWidget*>("VideoSurface");
        QVERIFY(surface && surface->isVisible());
        QRgb centre = 0;
        QTRY_VERIFY((centre = surface->grab().toImage().pixel(100, 75)) != qRgb(0, 0, 0));
        QVERIFY2(qAbs(qRed(centre) - colour.red()) < 24 && qAbs(qGreen(centre) - colour.green()) < 24 &&
                     qAbs(qBlue(centre) - colour.blue()) < 24,
                 qPrintable(QColor(centre).name()));
    }
    player.Play();
    QCOMPARE(WaitForReport(reports), int(TMediaPlayer::nvSuccessful));
    player.Close(); // the sound file is complete

    QFile written(sound);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray wav = written.readAll();
    const int data = wav.indexOf("data");
    QVERIFY(wav.startsWith("RIFF") && data > 0);
    const int bytesPerSecond = qFromLittleEndian<qint32>(wav.constData() + 28);
    const QByteArray samples = wav.mid(data + 8);
    // As long as the clip, MIDI's last notes ringing out a little longer (the piano's note
    // released at the end is heard fading).
    const double over = double(samples.size()) / bytesPerSecond - length / 1000.0;
    const double least = file == QLatin1String("note.mid") ? 0.1 : -0.15;
    QVERIFY2(over > least && over < (file.endsWith(".mid") ? 1.05 : 0.15), qPrintable(QString::number(over)));
    // Sound from the start: the first 50 milliseconds are not silent.
    int loudest = 0;
    for (int i = 0; i + 1 < bytesPerSecond / 20; i += 2)
        loudest = qMax(loudest, qAbs(int(qFromLittleEndian<qint16>(samples.constData() + i))));
    QVERIFY2(loudest > 300, qPrintable(QString::number(loudest)));
}

void TestPresent::pictureLayoutAndSizeRules()
{
    QCOMPARE(PictureOuterSize({692, 471}), QSize(692, 471));
    QCOMPARE(PictureOuterSize({800, 600}), QSize(780, 580));
    QCOMPARE(PictureOuterSize({781, 400}), QSize(780, 580));
    QCOMPARE(PictureOuterSize({780, 580}), QSize(780, 580));
    QCOMPARE(PictureClientMinimum({20, 300}), QSize(30, 91));
    QCOMPARE(PictureClientMinimum({30, 30}), QSize(30, 30));

    Present(Path("big.jpg"));
    QVERIFY(DisplayWin()->isVisible());
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
    QVERIFY(DisplayControl<QFrame>("ViewPanel")->isVisible() && DisplayControl<TImage>("Image")->isVisible());
    QVERIFY(!DisplayControl<QFrame>("AnimationPanel")->isVisible() && !DisplayControl<TMediaPlayer>("MediaPlayer")->isVisible() &&
            !DisplayControl<QSlider>("VolumeBar")->isVisible());
    QVERIFY(!DisplayControl<QProgressBar>("ClipProgress")->isVisible() && !DisplayControl<QProgressBar>("VolumeLevel")->isVisible() &&
            !DisplayControl<TGifImage>("GifImage")->isVisible());
    QCOMPARE(DisplayWin()->size(), QSize(692, 471)); // within the limits: kept
    // The picture is scaled down into the image area, proportions kept, centred.
    const QRect shown = ImagePlacement(DisplayControl<TImage>("Image")->Picture().size(), DisplayControl<TImage>("Image")->size(), false, true, true);
    QVERIFY(shown.width() <= DisplayControl<TImage>("Image")->width() && shown.height() <= DisplayControl<TImage>("Image")->height());
    QVERIFY(qAbs(shown.width() * 3 - shown.height() * 4) <= 4);

    DisplayWin()->resize(800, 600);
    Present(Path("small.bmp"));
    QCOMPARE(DisplayWin()->frameGeometry().size(), QSize(780, 580)); // the outer size
    QCOMPARE(DisplayWin()->PlacementOnShow(), TDisplayWindow::TPlacement::ScreenCenter);
    QCOMPARE(DisplayControl<TImage>("Image")->Picture().size(), QSize(40, 20)); // a small picture at its own size
}

void TestPresent::pictureMinimumAndFullScreen()
{
    // The window is never narrower than its bottom strip needs.
    DisplayWin()->resize(20, 20);
    Present(Path("small.bmp"));
    QCOMPARE(DisplayWin()->size(), QSize(TDisplayWindow::StripMinimumWidth, 91));

    MainControl<QCheckBox>("FullScreenBox")->setChecked(true); // full screen, also for a hidden window
    QVERIFY(DisplayWin()->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(DisplayWin()->windowState() & Qt::WindowMaximized);
    PresentFile(*DisplayWin(), Path("big.jpg"), mkPicture, true);
    QVERIFY(DisplayWin()->windowState() & Qt::WindowMaximized); // the size rule does not apply
    MainControl<QCheckBox>("FullScreenBox")->setChecked(false);
    QVERIFY(!(DisplayWin()->windowFlags() & Qt::FramelessWindowHint));
    QVERIFY(!(DisplayWin()->windowState() & Qt::WindowMaximized));
    QCOMPARE(DisplayWin()->PlacementOnShow(), TDisplayWindow::TPlacement::DesktopCenter);
}

void TestPresent::animationFromLineAndFromDialog()
{
    Main()->Playlist()->SetLines({Path("anim.gif"), Path("big.jpg")});
    Main()->Playlist()->SetSelectedIndex(0);
    Q_EMIT Main()->Playlist()->DblClick();
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Анимированная картинка"));
    QVERIFY(!DisplayControl<QFrame>("ViewPanel")->isVisible() && DisplayControl<QFrame>("AnimationPanel")->isVisible());
    QVERIFY(DisplayControl<TGifImage>("GifImage")->isVisible());
    QCOMPARE(DisplayControl<TGifImage>("GifImage")->geometry(), DisplayWin()->DisplayArea());
    QVERIFY(!DisplayControl<TGifImage>("GifImage")->TimerEnabled()); // stands still until "Вкл."
    DisplayControl<QPushButton>("AnimationOnButton")->click();
    QVERIFY(DisplayControl<TGifImage>("GifImage")->TimerEnabled() && !DisplayControl<QPushButton>("AnimationOnButton")->isEnabled() &&
            DisplayControl<QPushButton>("AnimationOffButton")->isEnabled());
    DisplayControl<QPushButton>("Slower")->click();
    QCOMPARE(DisplayControl<TGifImage>("GifImage")->TimerInterval(), 200);

    // File → Open of a GIF loads the chosen file, not the selected line.
    Main()->Playlist()->SetSelectedIndex(1);
    SetFileDialogHandler([this](const TFileDialog&) { return std::optional<QString>(Path("anim.gif")); });
    MainControl<QAction>("Open")->trigger();
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Анимированная картинка"));
    QCOMPARE(DisplayControl<TGifImage>("GifImage")->Picture().size(), QSize(4, 2));
    // Loaded while animation is on, it animates; the buttons follow a run-through's end.
    QVERIFY(DisplayControl<TGifImage>("GifImage")->TimerEnabled() && !DisplayControl<QPushButton>("AnimationOnButton")->isEnabled());
    DisplayControl<QPushButton>("AnimationOffButton")->click();
    DisplayControl<QPushButton>("Once")->click();
    QVERIFY(!DisplayControl<QPushButton>("AnimationOnButton")->isEnabled() && DisplayControl<QPushButton>("AnimationOffButton")->isEnabled());
    DisplayControl<TGifImage>("GifImage")->NextFrame();
    DisplayControl<TGifImage>("GifImage")->NextFrame();
    QVERIFY(!DisplayControl<TGifImage>("GifImage")->TimerEnabled());
    QVERIFY(DisplayControl<QPushButton>("AnimationOnButton")->isEnabled() && !DisplayControl<QPushButton>("AnimationOffButton")->isEnabled());
    QVERIFY(m_errors.isEmpty());
}

void TestPresent::videoClipSizesTheWindow()
{
    Present(Path("clip.avi"));
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
    QVERIFY(DisplayControl<TMediaPlayer>("MediaPlayer")->isVisible() && DisplayControl<QSlider>("VolumeBar")->isVisible() &&
            DisplayControl<QProgressBar>("ClipProgress")->isVisible());
    QVERIFY(!DisplayControl<TImage>("Image")->isVisible());
    // The video at its own size above the bottom strip; the width keeps room for the strip's
    // controls.
    QCOMPARE(DisplayWin()->size(), QSize(TDisplayWindow::StripMinimumWidth, 240 + TDisplayWindow::StripHeight));
    QCOMPARE(DisplayControl<QFrame>("ViewPanel")->size(), QSize(TDisplayWindow::StripMinimumWidth, 240));
    // A video larger than the desktop is made smaller to fit it, keeping its proportions.
    QCOMPARE(VideoWindowSize({1920, 1080}, {1598, 960}), QSize(1598, 899 + TDisplayWindow::StripHeight));
    QCOMPARE(VideoWindowSize({96, 64}, {1598, 960}), QSize(TDisplayWindow::StripMinimumWidth, 64 + TDisplayWindow::StripHeight));
    QSignalSpy reports(DisplayControl<TMediaPlayer>("MediaPlayer"), &TMediaPlayer::Notify);
    QCOMPARE(WaitForReport(reports), int(TMediaPlayer::nvSuccessful));
    DisplayWin()->ProgressTimerTick(); // the progress follows the clip
    DisplayWin()->ProgressTimerTick();
    QVERIFY(DisplayControl<QProgressBar>("ClipProgress")->maximum() >= 900);
    QCOMPARE(DisplayControl<QProgressBar>("ClipProgress")->value(), DisplayControl<QProgressBar>("ClipProgress")->maximum());
}

void TestPresent::audioClipKeepsThePicture()
{
    Present(Path("big.jpg"));
    Present(Path("tone.wav"));
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
    QVERIFY(DisplayControl<TImage>("Image")->isVisible()); // the picture stays in view
    QVERIFY(DisplayControl<TMediaPlayer>("MediaPlayer")->isVisible());
    QSignalSpy reports(DisplayControl<TMediaPlayer>("MediaPlayer"), &TMediaPlayer::Notify);
    QCOMPARE(WaitForReport(reports), int(TMediaPlayer::nvSuccessful));
}

void TestPresent::closeDuringAClipStopsIt()
{
    Present(Path("second.wav"));
    QSignalSpy reports(DisplayControl<TMediaPlayer>("MediaPlayer"), &TMediaPlayer::Notify);
    DisplayControl<QToolButton>("CloseButton")->click(); // "X"
    QVERIFY(!DisplayWin()->isVisible());
    QCOMPARE(WaitForReport(reports, 2000), int(TMediaPlayer::nvAborted));
    QVERIFY(DisplayControl<TMediaPlayer>("MediaPlayer")->IsOpen()); // stopped, not closed
    Present(Path("big.jpg")); // the next item shows the window again
    QVERIFY(DisplayWin()->isVisible());
}

void TestPresent::volumeChain()
{
    QCOMPARE(DisplayControl<QSlider>("VolumeBar")->value(), 50);
    QCOMPARE(DisplayControl<QProgressBar>("VolumeLevel")->value(), 0); // nothing set until the bar is moved
    for (int v : {0, 100, 50}) {
        DisplayControl<QSlider>("VolumeBar")->setValue(v);
        QCOMPARE(DisplayControl<QProgressBar>("VolumeLevel")->value(), v);
        QCOMPARE(int(TMediaPlayer::RequestedLeft), v * 655);
        QCOMPARE(int(TMediaPlayer::RequestedRight), v * 655);
    }
}

// The volume is linear in amplitude, as a wave output's level is: half the level is half
// the amplitude (-6 dB), not mpv's cubic curve (-18 dB).
void TestPresent::volumeIsLinear()
{
    QList<int> peaks;
    for (quint16 level : {quint16(65535), quint16(32767)}) {
        TMediaPlayer::SetWaveVolume(level, level);
        const QString sound = m_dir.filePath(QStringLiteral("level%1.wav").arg(level));
        TMediaPlayer::EngineOptions = {{"ao", "pcm"}, {"ao-pcm-file", QFile::encodeName(sound)}};
        TMediaPlayer player;
        QSignalSpy reports(&player, &TMediaPlayer::Notify);
        player.FileName = Path("tone.wav");
        player.Open();
        TMediaPlayer::EngineOptions.clear();
        player.Play();
        QCOMPARE(WaitForReport(reports), int(TMediaPlayer::nvSuccessful));
        player.Close();
        QFile written(sound);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray wav = written.readAll();
        int peak = 0;
        for (qsizetype i = wav.indexOf("data") + 8; i + 1 < wav.size(); i += 2)
            peak = qMax(peak, qAbs(int(qFromLittleEndian<qint16>(wav.constData() + i))));
        peaks << peak;
    }
    TMediaPlayer::SetWaveVolume(50 * 655, 50 * 655);
    QVERIFY2(qAbs(double(peaks[1]) / peaks[0] - 0.5) < 0.05, qPrintable(QStringLiteral("%1 %2").arg(peaks[0]).arg(peaks[1])));
}

void TestPresent::failures()
{
    // A double-click on an empty playlist does nothing; with no line selected: the list's
    // error, nothing presented.
    Main()->Playlist()->SetLines({});
    Q_EMIT Main()->Playlist()->DblClick();
    QVERIFY(m_errors.isEmpty());
    Main()->Playlist()->SetLines({Path("big.jpg")});
    Q_EMIT Main()->Playlist()->DblClick();
    QCOMPARE(m_errors, QStringList{"List index out of bounds (-1)"});
    QVERIFY(!DisplayWin()->isVisible());

    // A line whose file is missing, or that names a folder: nothing, without a word.
    QDir(m_dir.path()).mkdir("folder.jpg");
    for (const char* name : {"gone.jpg", "folder.jpg"}) {
        Main()->Playlist()->SetLines({Path(name)});
        Main()->Playlist()->SetSelectedIndex(0);
        Q_EMIT Main()->Playlist()->DblClick();
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(!DisplayWin()->isVisible());
    }

    // A damaged JPEG: the layout is set, the window not shown.
    Main()->Playlist()->SetLines({Path("damaged.jpg")});
    Main()->Playlist()->SetSelectedIndex(0);
    Q_EMIT Main()->Playlist()->DblClick();
    QCOMPARE(m_errors.size(), 2);
    QVERIFY(m_errors[1].startsWith("JPEG error #"));
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
    QVERIFY(!DisplayWin()->isVisible());

    // A clip that cannot be opened after one that played: the window is shown in the clip
    // layout, nothing plays, the gauge starts afresh, and closing the window works.
    Present(Path("tone.wav"));
    QSignalSpy reports(DisplayControl<TMediaPlayer>("MediaPlayer"), &TMediaPlayer::Notify);
    QCOMPARE(WaitForReport(reports), int(TMediaPlayer::nvSuccessful));
    DisplayWin()->ProgressTimerTick();
    DisplayWin()->ProgressTimerTick();
    QVERIFY(DisplayControl<QProgressBar>("ClipProgress")->value() > 0);
    Main()->Playlist()->SetLines({Path("broken.wav")});
    Main()->Playlist()->SetSelectedIndex(0);
    Q_EMIT Main()->Playlist()->DblClick();
    QCOMPARE(m_errors.size(), 3);
    QVERIFY(DisplayWin()->isVisible());
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Клип"));
    QCOMPARE(DisplayControl<QProgressBar>("ClipProgress")->value(), 0);
    DisplayWin()->close();
    QCOMPARE(m_errors.size(), 3);
    QVERIFY(!DisplayWin()->isVisible());

    // A GIF that cannot be read: its error, after the window was shown in the layout.
    Main()->Playlist()->SetLines({Path("bad.gif")});
    Main()->Playlist()->SetSelectedIndex(0);
    Q_EMIT Main()->Playlist()->DblClick();
    QCOMPARE(m_errors.last(), QStringLiteral("Gif Version must be 87a or 89a"));
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Анимированная картинка"));

    // A file of no kind chosen through File → Open: nothing happens.
    const QString title = DisplayWin()->windowTitle();
    SetFileDialogHandler([this](const TFileDialog&) { return std::optional<QString>(Path("notes.rtf")); });
    MainControl<QAction>("Open")->trigger();
    QCOMPARE(DisplayWin()->windowTitle(), title);
}

// Whatever runs while the player waits for its backend, the player's state is checked
// again afterwards: a player closed meanwhile is "No MCI device open", never a crash.
void TestPresent::playerGoneDuringAWait()
{
    TMediaPlayer* player = DisplayControl<TMediaPlayer>("MediaPlayer");
    player->FileName = Path("clip.avi");
    player->Open();
    QTimer::singleShot(0, player, [player] { player->Close(); });
    try {
        const QRect r = player->DisplayRect();
        QVERIFY(player->IsOpen()); // no wait was needed: the size was known already
        QCOMPARE(r.size(), QSize(320, 240));
    } catch (const EMCIDeviceError& e) {
        QCOMPARE(e.Message, QStringLiteral("No MCI device open"));
    }
}

// Once the application is told to quit, a wait returns at once: no spinning, no growth.
void TestPresent::quittingDuringAnOpenReturnsAtOnce()
{
    TMediaPlayer player;
    player.FileName = Path("clip.avi");
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, player.Open());
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    // A main loop that runs and ends clears the quit for the tests after this one.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

// A GIF whose decode lets messages run, during which a picture is presented: when the
// decode ends, the GIF does not show itself over the picture.
void TestPresent::lateGifDoesNotCoverANewerPresentation_data()
{
    QTest::addColumn<QByteArray>("newer"); // asked for while the GIF decodes
    QTest::addColumn<QString>("title");
    QTest::newRow("a picture") << QByteArray("small.bmp") << QStringLiteral("Картинка");
    QTest::newRow("another GIF") << QByteArray("anim2.gif") << QStringLiteral("Анимированная картинка");
}

void TestPresent::lateGifDoesNotCoverANewerPresentation()
{
    QFETCH(QByteArray, newer);
    QFETCH(QString, title);
    QVERIFY(QFile::exists(Path(newer)) || QFile::copy(Path("anim.gif"), Path(newer)));
    Main()->Playlist()->SetLines({Path("anim.gif")});
    Main()->Playlist()->SetSelectedIndex(0);
    QTimer::singleShot(0, DisplayWin(), [this, newer] { Present(Path(newer.constData())); });
    Present(Path("anim.gif")); // stopped by the newer one, which follows
    QTRY_COMPARE(DisplayWin()->windowTitle(), title);
    const bool picture = newer.endsWith(".bmp");
    QTRY_COMPARE(DisplayControl<TImage>("Image")->isVisible(), picture);
    QCOMPARE(DisplayControl<TGifImage>("GifImage")->isVisible(), !picture);
    if (picture)
        QCOMPARE(DisplayControl<TImage>("Image")->Picture().size(), QSize(40, 20));
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
}

// A window made for the program's first picture paints the picture first; the strip's
// buttons come up right after.
void TestPresent::stripButtonsFollowTheFirstPaint()
{
    TDisplayWindow window(nullptr, TDisplayWindow::TStripButtons::AfterFirstPaint);
    PresentFile(window, Path("big.jpg"), mkPicture, false, false);
    for (const char* name : {"StartSlideShowButton", "StopSlideShowButton", "CloseButton", "SlideIntervalButton"})
        QTRY_VERIFY(window.findChild<QToolButton*>(name)->isVisible());
}

// The picture layout hides a playing video before the picture is loaded, so a picture
// that fails leaves no video in view under "Картинка" (the clip may play on, unseen).
void TestPresent::failedPictureHidesTheVideo()
{
    Present(Path("clip.avi"));
    auto* surface = DisplayWin()->findChild<QWidget*>("VideoSurface");
    QVERIFY(surface && surface->isVisible());
    Guarded([this] { Present(Path("damaged.jpg")); });
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
    QVERIFY(!surface->isVisible());
}

// The buttons have no hints of their own, so the control's hint shows over each of them.
void TestPresent::playerShowsItsHintOverEveryButton()
{
    // The buttons' pictures are made when the player is first shown, not at start-up.
    QVERIFY(DisplayControl<TMediaPlayer>("MediaPlayer")->Buttons[0]->icon().isNull());
    DisplayWin()->ApplyClipLayout();
    DisplayWin()->show();
    QVERIFY(QTest::qWaitForWindowExposed(DisplayWin()));
    for (QToolButton* button : DisplayControl<TMediaPlayer>("MediaPlayer")->Buttons) {
        QVERIFY(!button->icon().isNull());
        QVERIFY(button->toolTip().isEmpty());
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(button, &help);
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("Панель управления мультимедиа"));
        QToolTip::hideText();
    }
}

// Escape and F11 leave full screen with the check box following, back at the size the window
// had; Escape otherwise closes the window; Enter presents the selected line, Delete deletes it.
void TestPresent::keysAndFullScreen()
{
    Main()->Playlist()->SetLines({Path("small.bmp"), Path("big.jpg")});
    Main()->Playlist()->SetSelectedIndex(0);
    QTest::keyClick(Main()->Playlist(), Qt::Key_Return);
    QVERIFY(DisplayWin()->isVisible());
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
    const QSize normal = DisplayWin()->frameGeometry().size();

    MainControl<QCheckBox>("FullScreenBox")->setChecked(true);
    DisplayWin()->close(); // closed while full screen, shown again
    Present(Path("small.bmp"));
    QTest::keyClick(DisplayWin(), Qt::Key_Escape);
    QVERIFY(!MainControl<QCheckBox>("FullScreenBox")->isChecked());
    QVERIFY(!(DisplayWin()->windowState() & Qt::WindowMaximized) && DisplayWin()->isVisible());
    QCOMPARE(DisplayWin()->frameGeometry().size(), normal);
    // F11 twice: the same size and place as before.
    DisplayWin()->move(DisplayWin()->pos() + QPoint(13, 7));
    const QRect before = DisplayWin()->geometry();
    QTest::keyClick(DisplayWin(), Qt::Key_F11);
    QVERIFY(MainControl<QCheckBox>("FullScreenBox")->isChecked());
    QTest::keyClick(DisplayWin(), Qt::Key_F11);
    QVERIFY(!MainControl<QCheckBox>("FullScreenBox")->isChecked());
    QCOMPARE(DisplayWin()->geometry(), before);
    // The slide show's keys work in the display window too; Ctrl+W closes it.
    DisplayWin()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(DisplayWin()));
    QTest::keyClick(DisplayWin(), Qt::Key_F4);
    QVERIFY(TestWindows()->SlideShow()->TimerEnabled());
    QTest::keyClick(DisplayWin(), Qt::Key_F5);
    QVERIFY(!TestWindows()->SlideShow()->TimerEnabled());
    QTest::keyClick(DisplayWin(), Qt::Key_W, Qt::ControlModifier);
    QVERIFY(!DisplayWin()->isVisible());
    Present(Path("small.bmp"));
    QTest::keyClick(DisplayWin(), Qt::Key_Escape);
    QVERIFY(!DisplayWin()->isVisible());

    Main()->show();
    Main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Main()));
    Main()->Playlist()->SetSelectedIndex(1);
    QTest::keyClick(Main()->Playlist(), Qt::Key_Delete);
    QCOMPARE(Main()->Playlist()->Lines(), QStringList{Path("small.bmp")});
    QVERIFY(m_errors.isEmpty());
}

// Files opened from the desktop (or handed over by a second start) join the playlist and the
// first is shown; with the slide show, it starts at the first of them.
void TestPresent::filesFromTheDesktopAreShown()
{
    Main()->Playlist()->SetLines({Path("big.jpg")});
    Main()->TakeFiles({Path("small.bmp"), Path("tone.wav")}, true, false);
    QCOMPARE(Main()->Playlist()->count(), 3);
    QCOMPARE(Main()->Playlist()->SelectedIndex(), 1);
    QVERIFY(DisplayWin()->isVisible());
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
    QCOMPARE(DisplayControl<TImage>("Image")->Picture().size(), QSize(40, 20));

    Main()->TakeFiles({Path("anim.gif")}, false, true);
    QCOMPARE(Main()->Playlist()->SelectedIndex(), 3);
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Анимированная картинка"));
    MainControl<QAction>("StopSlideShowItem")->trigger();
    QVERIFY(m_errors.isEmpty());

    // A playlist file is read on a worker; files handed over after it wait for it, so the
    // playlist keeps their order.
    QVERIFY(Write(Path("list.txt"), (Path("tone.wav") + "\n" + Path("big.jpg") + "\n").toUtf8()));
    Main()->Playlist()->SetLines({});
    Main()->TakeFiles({Path("list.txt")}, false, false);
    Main()->TakeFiles({Path("small.bmp")}, false, false);
    QTRY_COMPARE(Main()->Playlist()->Lines(), (QStringList{Path("tone.wav"), Path("big.jpg"), Path("small.bmp")}));
}

// On a screen of two device pixels to the unit (run with QT_SCALE_FACTOR=2): a full-screen
// picture is decoded for the screen's device pixels, the clock is drawn at that density and
// the animated pointer is as large as the system's.
void TestPresent::highDensityScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen->devicePixelRatio() < 2)
        QSKIP("needs a screen of two device pixels to the unit (QT_SCALE_FACTOR=2)");
    MainControl<QCheckBox>("FullScreenBox")->setChecked(true);
    PresentFile(*DisplayWin(), Path("big.jpg"), mkPicture, true);
    QCOMPARE(DisplayControl<TImage>("Image")->Picture().size(), QSize(1600, 1200).scaled(ScreenPixels(screen), Qt::KeepAspectRatio));
    QVERIFY(DisplayControl<TImage>("Image")->Picture().width() > screen->size().width());
    QCOMPARE(Main()->ClockFaceLayer().devicePixelRatio(), 2.0);
    QCOMPARE(Main()->ClockFaceLayer().size(), QSize(106, 106));
    MainControl<QAction>("AnimateItem")->trigger();
    QCOMPARE(ApplicationCursorAt(1).pixmap().size(), QSize(64, 64));
    MainControl<QAction>("AnimateItem")->trigger();
    MainControl<QCheckBox>("FullScreenBox")->setChecked(false);
}

// A picture decodes on a worker: the program's events (timers, a second start, painting) go
// on meanwhile, while a slide tick waits for the presentation to return.
void TestPresent::windowAnswersWhileAPictureLoads()
{
    bool answered = false, returned = false, waited = false;
    QTimer::singleShot(0, DisplayWin(), [&] {
        answered = true;
        // What would present something waits until this presentation has returned.
        presentation::RunWhenIdle(DisplayWin(), [&] { waited = returned; });
    });
    QImage large(6000, 4000, QImage::Format_RGB32);
    large.fill(Qt::darkBlue);
    QVERIFY(QImageWriter(Path("large.jpg"), "jpg").write(large));
    Present(Path("large.jpg"));
    returned = true;
    QVERIFY(answered);
    QTRY_VERIFY(waited);
    QVERIFY(m_errors.isEmpty());
}

// Clip after clip, as a long slide show plays them: every player, audio output and video
// surface of a clip that was replaced goes.
void TestPresent::clipAfterClipLeavesNothingBehind()
{
    for (int i = 0; i < 4; ++i) {
        Present(Path(i % 2 ? "tone.wav" : "clip.avi"));
        QSignalSpy reports(DisplayControl<TMediaPlayer>("MediaPlayer"), &TMediaPlayer::Notify);
        QCOMPARE(WaitForReport(reports), int(TMediaPlayer::nvSuccessful));
    }
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(100);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCOMPARE(DisplayControl<QFrame>("ViewPanel")->findChildren<QWidget*>("VideoSurface").size(), 1);
}

QTEST_MAIN(TestPresent)
#include "tst_present.moc"
