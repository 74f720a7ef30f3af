// The real program under an X server: it starts, shows its main window, ends the orderly
// way (from its menu, or on SIGTERM / SIGINT) and leaves its settings file written. A
// damaged settings file does not stop it from starting.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "GifStreams.h"
#include "MediaFiles.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>

namespace {

QString Xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The colour of a pixel of the screen (0xRRGGBB), read from an X window dump (xwd) of the root window:
// a header of big-endian 32-bit fields, a colour map, then rows of 24- or 32-bit pixels.
quint32 ScreenPixel(int x, int y)
{
    QProcess xwd;
    xwd.start(QStringLiteral("xwd"), {"-root", "-silent"});
    if (!xwd.waitForFinished(10000))
        return 0;
    const QByteArray dump = xwd.readAllStandardOutput();
    auto field = [&](int i) { return i * 4 + 4 <= dump.size() ? qFromBigEndian<quint32>(dump.constData() + i * 4) : 0u; };
    const quint32 headerSize = field(0), byteOrder = field(7), bytesPerPixel = field(11) / 8, bytesPerLine = field(12),
                  colours = field(19);
    const qint64 at = qint64(headerSize) + qint64(colours) * 12 + qint64(y) * bytesPerLine + qint64(x) * bytesPerPixel;
    if (bytesPerPixel < 3 || bytesPerPixel > 4 || at + bytesPerPixel > dump.size())
        return 0;
    quint32 pixel = 0;
    for (quint32 i = 0; i < bytesPerPixel; ++i) {
        const quint32 byte = quint8(dump[at + i]);
        pixel |= byteOrder == 0 ? byte << (8 * i) : byte << (8 * (bytesPerPixel - 1 - i));
    }
    return pixel & 0xFFFFFF;
}

// The X window id of the visible window titled exactly title, or empty after the timeout.
QString WaitForWindow(const QString& title, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const QString ids = Xdotool({"search", "--onlyvisible", "--name", '^' + title + '$'});
        if (!ids.isEmpty())
            return ids.split('\n').first();
        QTest::qWait(200);
    }
    return QString();
}

} // namespace

class TestSmoke : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void endsOnSignalsWithSettingsWritten_data();
    void endsOnSignalsWithSettingsWritten();
    void damagedSettingsStartNormallyAndExitFromMenu();
    void filesFromTheCommandLineDragAndSave();
    void trayUnderARealNotificationArea();
    void secondStartBringsTheWindowBack();
    void stoppedProgramIsNotDuplicated();
    void endsAtOnceInTheMiddleOfALoad_data();
    void endsAtOnceInTheMiddleOfALoad();
    void metafileHelperDiesWithTheProgram();
    void secondStartAndExitAreAnsweredDuringALoad();
    void captionsShowExactlyAsStored_data();
    void captionsShowExactlyAsStored();
    void waylandSessionRunsOnX11();
    void waylandPlatformKeepsTheStoredPosition();
    void noDisplayIsOneLineAndStatusOne_data();
    void videoIsSeenEveryTimeItIsShown();
    void noDisplayIsOneLineAndStatusOne();

private:
    void Launch(const QStringList& arguments = {}, const QProcessEnvironment& extra = {});
    // A metafile at picture, drawn by a helper that runs script instead of drawing; the
    // environment that makes the program use that helper.
    QProcessEnvironment SlowMetafile(const QString& picture, const QByteArray& script);
    QTemporaryDir m_dir;
    QString m_ini;
    QProcess m_program;
};

void TestSmoke::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server: run the suite through scripts/test, which starts Xvfb");
    QVERIFY(!QStandardPaths::findExecutable("xdotool").isEmpty());
}

void TestSmoke::init()
{
    // A copy of the program in a folder of its own, so that its settings file lands there.
    const QString exe = m_dir.filePath("lumivo");
    QFile::remove(exe);
    QVERIFY(QFile::copy(QStringLiteral(LUMIVO_BINARY), exe));
    m_ini = m_dir.filePath("lumivo.INI");
    QFile::remove(m_ini);
}

void TestSmoke::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished();
    }
}

void TestSmoke::Launch(const QStringList& arguments, const QProcessEnvironment& extra)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    for (const QString& name : extra.keys()) {
        if (extra.value(name).isEmpty())
            env.remove(name); // an empty value: not set at all
        else
            env.insert(name, extra.value(name));
    }
    m_program.setProcessEnvironment(env);
    m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_program.start(m_dir.filePath("lumivo"), arguments);
    QVERIFY(m_program.waitForStarted());
}

QProcessEnvironment TestSmoke::SlowMetafile(const QString& picture, const QByteArray& script)
{
    const QString helper = m_dir.filePath("slow-helper");
    QFile h(helper);
    if (h.open(QIODevice::WriteOnly))
        h.write("#!/bin/sh\n" + script + "\n");
    h.close();
    QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile p(picture);
    if (p.open(QIODevice::WriteOnly))
        p.write(QByteArray(64, 'x'));
    QProcessEnvironment extra;
    extra.insert("LUMIVO_METAFILE_HELPER", helper);
    return extra;
}

void TestSmoke::endsOnSignalsWithSettingsWritten_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestSmoke::endsOnSignalsWithSettingsWritten()
{
    QFETCH(int, signal);
    Launch();
    QVERIFY(!WaitForWindow("Lumivo").isEmpty());
    QVERIFY(!QFile::exists(m_ini)); // nothing is written while the program runs
    ::kill(m_program.processId(), signal);
    QVERIFY(m_program.waitForFinished(15000));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
    QFile ini(m_ini);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), QByteArray("[Form]\r\nTop=100\r\nLeft=100\r\nCaption=Lumivo\r\nInitMax=0\r\n"));
}

void TestSmoke::damagedSettingsStartNormallyAndExitFromMenu()
{
    const QByteArray garbage = QByteArray("\0\x01\xff[Form\n[Form]\nTop=\x80\x81\nTop=50\nCaption=", 38) +
                               QByteArray(1 << 20, 'z') + '\n';
    {
        QFile ini(m_ini);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(garbage);
    }
    Launch();
    const QString window = WaitForWindow(QString(2047, QLatin1Char('z')));
    QVERIFY(!window.isEmpty());
    // "Файл" → the last item, "Выход".
    Xdotool({"mousemove", "--window", window, "20", "10", "click", "1"});
    QTest::qWait(500);
    Xdotool({"key", "Up", "Return"});
    QVERIFY(m_program.waitForFinished(15000));
    QCOMPARE(m_program.exitCode(), 0);
    QFile ini(m_ini);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray written = ini.readAll();
    // Bytes the program does not own stay as they were; the first "Top" is the one it uses.
    QVERIFY(written.startsWith(QByteArray("\0\x01\xff[Form\n[Form]\nTop=100\nTop=50\n", 31)));
    QVERIFY(written.contains(QByteArray("Caption=" + QByteArray(2047, 'z') + "\n")));
}

// Five files from the command line; the first line dragged with the mouse onto the fourth;
// the list saved through the real save dialog, its name typed without extension.
void TestSmoke::filesFromTheCommandLineDragAndSave()
{
    QStringList files;
    for (int i = 0; i < 5; ++i)
        files << m_dir.filePath(QStringLiteral("clip%1.wav").arg(i));
    Launch(files);
    const QString window = WaitForWindow("Lumivo");
    QVERIFY(!window.isEmpty());
    QTest::qWait(300);
    // Lines are 16 pixels high; the first starts below the menu bar and the toolbar.
    const int firstLine = 57;
    Xdotool({"mousemove", "--window", window, "40", QString::number(firstLine), "mousedown", "1"});
    for (int step = 1; step <= 6; ++step) {
        Xdotool({"mousemove", "--window", window, "40", QString::number(firstLine + 8 * step)});
        QTest::qWait(40);
    }
    Xdotool({"mouseup", "1"});
    QTest::qWait(300);

    Xdotool({"windowfocus", "--sync", window});
    Xdotool({"key", "ctrl+s"});
    const QString dialog = WaitForWindow(QStringLiteral("Сохранить как"), 10000);
    QVERIFY(!dialog.isEmpty());
    Xdotool({"windowfocus", "--sync", dialog}); // no window manager gives it the focus
    QTest::qWait(200);
    Xdotool({"type", "--delay", "10", m_dir.filePath("dragged")});
    Xdotool({"key", "Return"});
    QFile saved(m_dir.filePath("dragged.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(saved.exists(), 10000);
    QTRY_VERIFY(saved.size() > 0);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QStringList order = {files[1], files[2], files[3], files[0], files[4]};
    QCOMPARE(saved.readAll(), (order.join("\r\n") + "\r\n").toUtf8());

    ::kill(m_program.processId(), SIGTERM);
    QVERIFY(m_program.waitForFinished(15000));
    QCOMPARE(m_program.exitCode(), 0);
}

// Windows of the program docked in the notification area's panel.
static int IconsInPanel()
{
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {"-root", "-tree"});
    p.waitForFinished(10000);
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    int icons = 0;
    qsizetype panelIndent = -1; // the panel's line, while inside its subtree
    for (const QString& line : lines) {
        const qsizetype lead = line.indexOf(QLatin1String("0x"));
        if (lead < 0)
            continue;
        if (line.contains("\"panel\"")) {
            panelIndent = lead;
        } else if (panelIndent >= 0 && lead <= panelIndent) {
            panelIndent = -1;
        } else if (panelIndent >= 0 && line.contains("(\"lumivo\"")) {
            ++icons;
        }
    }
    return icons;
}

// Hidden with Ctrl+R into a real notification area (trayer, docked at the top left), back
// with a left click on the icon, hidden again and ended with "Выход" from the icon's menu.
void TestSmoke::trayUnderARealNotificationArea()
{
    QProcess trayer;
    trayer.start(QStringLiteral("trayer"), {"--edge", "top", "--align", "left", "--widthtype", "pixel", "--width",
                                            "120", "--heighttype", "pixel", "--height", "28", "--SetDockType",
                                            "false", "--SetPartialStrut", "false", "--transparent", "false"});
    QVERIFY(trayer.waitForStarted());
    QTest::qWait(500);
    Launch();
    const QString window = WaitForWindow("Lumivo");
    QVERIFY(!window.isEmpty());
    auto hide = [&] {
        Xdotool({"windowfocus", "--sync", window});
        Xdotool({"key", "ctrl+r"});
    };
    auto visible = [&] { return !Xdotool({"search", "--onlyvisible", "--name", "^Lumivo$"}).isEmpty(); };
    hide();
    QTRY_VERIFY_WITH_TIMEOUT(!visible(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(IconsInPanel(), 1, 5000);

    // A press on the icon that is released elsewhere does nothing; only a release over the
    // icon acts.
    Xdotool({"mousemove", "12", "14", "mousedown", "1"});
    QTest::qWait(300);
    Xdotool({"mousemove", "400", "400", "mouseup", "1"});
    QTest::qWait(700);
    QVERIFY(!visible());
    QCOMPARE(IconsInPanel(), 1);
    Xdotool({"mousemove", "12", "14", "click", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(visible(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(IconsInPanel(), 0, 5000);

    hide();
    QTRY_COMPARE_WITH_TIMEOUT(IconsInPanel(), 1, 5000);
    Xdotool({"mousemove", "12", "14", "click", "3"});
    QTest::qWait(500);
    Xdotool({"key", "Up", "Return"}); // the last item: "Выход"
    QVERIFY(m_program.waitForFinished(15000));
    QCOMPARE(m_program.exitCode(), 0);
    QCOMPARE(IconsInPanel(), 0);
    QVERIFY(QFile::exists(m_ini));
    trayer.kill();
    trayer.waitForFinished();
}

// Where the desktop has no notification area, Ctrl+R does not make the window vanish (it is
// minimized, where a window manager minimizes), and starting the program again brings it
// back, with the new start's files in its playlist.
void TestSmoke::secondStartBringsTheWindowBack()
{
    Launch();
    const QString window = WaitForWindow("Lumivo");
    QVERIFY(!window.isEmpty());
    Xdotool({"windowfocus", "--sync", window});
    Xdotool({"key", "ctrl+r"});
    QTest::qWait(1000);
    QVERIFY(!Xdotool({"search", "--onlyvisible", "--name", "^Lumivo$"}).isEmpty());

    QProcess second;
    second.start(m_dir.filePath("lumivo"), {m_dir.filePath("extra.mid")});
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(!WaitForWindow("Lumivo", 5000).isEmpty());
    QCOMPARE(m_program.state(), QProcess::Running);
    ::kill(m_program.processId(), SIGTERM);
    QVERIFY(m_program.waitForFinished(15000));
}

// File names that look like toolkit options stay file names; a second start while the
// first is stopped does not start a second program beside it.
void TestSmoke::stoppedProgramIsNotDuplicated()
{
    Launch({"--", "-platform", "-reverse", "x.jpg"});
    QVERIFY(!WaitForWindow("Lumivo").isEmpty());
    ::kill(m_program.processId(), SIGSTOP);
    QProcess second;
    second.start(m_dir.filePath("lumivo"), {"--slideshow", m_dir.filePath("extra.mid")});
    const bool ended = second.waitForFinished(20000);
    ::kill(m_program.processId(), SIGCONT);
    QVERIFY(ended);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(second.readAllStandardError().contains("does not answer"));
    QCOMPARE(m_program.state(), QProcess::Running);
    ::kill(m_program.processId(), SIGTERM);
    QVERIFY(m_program.waitForFinished(15000));
    QCOMPARE(m_program.exitCode(), 0);
}

// What /proc says of a process: a field of its status ("VmHWM", in kB), or -1.
static qint64 ProcStatus(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(QByteArray(QByteArray(field) + ':')))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}

// The program started on a hostile or slow file, told to end in the middle of loading
// it: it ends within a moment, with its settings written, and its memory stays within the
// budget. The figures are printed for the record.
void TestSmoke::endsAtOnceInTheMiddleOfALoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // empty: a FIFO
    const QByteArray none = giftest::CodeStream(2).End().Bytes();
    QTest::newRow("GIF declaring 28000 x 28000") << "huge.gif"
                                                 << giftest::GifBuilder(28000, 28000, 0).Image(0, 0, 28000, 28000, none).Trailer();
    giftest::GifBuilder bombs(8192, 8192, 0x81);
    const QByteArray bomb = giftest::BombData(8192 * 8192);
    for (int i = 0; i < 5; ++i)
        bombs.GraphicControl(5).Image(0, 0, 8192, 8192, bomb);
    QTest::newRow("GIF of five 8192 x 8192 LZW bombs") << "bombs.gif" << bombs.Trailer();
    giftest::GifBuilder flood(1, 1, 0x81);
    const QByteArray pixel = giftest::SolidData(1);
    for (int i = 0; i < 200000; ++i)
        flood.Image(0, 0, 1, 1, pixel);
    QTest::newRow("GIF of 200 000 one-pixel images") << "flood.gif" << flood.Trailer();
    giftest::GifBuilder hd(1920, 1080, 0x81);
    for (int i = 0; i < 400; ++i)
        hd.GraphicControl(4).Image(0, 0, 1920, 1080, none);
    QTest::newRow("GIF of 400 HD frames") << "hd.gif" << hd.Trailer();
    QTest::newRow("FIFO named x.gif") << "x.gif" << QByteArray();
    QTest::newRow("FIFO named x.jpg") << "x.jpg" << QByteArray();
    QTest::newRow("FIFO as a playlist") << "x.txt" << QByteArray();
    QTest::newRow("clip listing a FIFO beside it") << "list.avi" << QByteArray("ffconcat version 1.0\nfile 'fifo'\n");
    QTest::newRow("clip of ten seconds playing") << "long.wav" << mediatest::Wav(10000);
}

void TestSmoke::endsAtOnceInTheMiddleOfALoad()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    if (bytes.isEmpty()) {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    if (name == QLatin1String("list.avi"))
        QVERIFY(::mkfifo(QFile::encodeName(m_dir.filePath("fifo")).constData(), 0600) == 0 || errno == EEXIST);
    Launch({"--slideshow", path});
    QVERIFY(!WaitForWindow("Lumivo").isEmpty());
    QTest::qWait(150); // the show has begun loading
    const qint64 pid = m_program.processId();
    qint64 peakKb = ProcStatus(pid, "VmHWM");
    ::kill(pid, SIGTERM);
    QElapsedTimer clock;
    clock.start();
    while (m_program.state() != QProcess::NotRunning && clock.elapsed() < 15000) {
        peakKb = qMax(peakKb, ProcStatus(pid, "VmHWM"));
        m_program.waitForFinished(5);
    }
    const qint64 ms = clock.elapsed();
    qInfo("%s: peak resident %lld MB, ended %lld ms after SIGTERM", qPrintable(name), peakKb / 1024, ms);
    QCOMPARE(m_program.state(), QProcess::NotRunning);
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
    QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
    QVERIFY(peakKb < 1024 * 1024);
    QFile ini(m_ini);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains("Caption=Lumivo\r\n"));
    QFile::remove(path);
}

// The metafile helper (here one that never answers) ends with the program, however the
// program ends, even by SIGKILL.
void TestSmoke::metafileHelperDiesWithTheProgram()
{
    const QString picture = m_dir.filePath("slow.wmf");
    Launch({"--slideshow", picture}, SlowMetafile(picture, "exec sleep 60"));
    const qint64 pid = m_program.processId();
    // The helper runs as a child of the program (of the thread that loads the picture) once
    // the show presents the picture.
    qint64 child = -1;
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
        const QStringList tasks = QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& task : tasks) {
            QFile children(QStringLiteral("/proc/%1/task/%2/children").arg(pid).arg(task));
            if (!children.open(QIODevice::ReadOnly))
                continue;
            const QByteArray list = children.readAll().trimmed();
            if (!list.isEmpty())
                child = list.split(' ').first().toLongLong();
        }
        return child > 0;
    }()), 20000);
    ::kill(pid, SIGKILL);
    QVERIFY(m_program.waitForFinished(5000));
    // Gone, or a zombie waiting to be reaped by whoever adopted it.
    auto gone = [child] {
        QFile status(QStringLiteral("/proc/%1/status").arg(child));
        if (!status.open(QIODevice::ReadOnly))
            return true;
        const QByteArray text = status.readAll();
        return text.contains("\nState:\tZ") || !text.contains("sleep");
    };
    QTRY_VERIFY_WITH_TIMEOUT(gone(), 5000);
}

// While a picture loads (here a metafile whose helper takes 4 seconds), the program goes on
// answering: a second start hands its file over at once instead of being told that the
// program does not answer.
void TestSmoke::secondStartAndExitAreAnsweredDuringALoad()
{
    const QString picture = m_dir.filePath("slow.wmf");
    Launch({"--show", picture}, SlowMetafile(picture, "sleep 20\nexit 1"));
    const QString window = WaitForWindow("Lumivo");
    QVERIFY(!window.isEmpty());
    QTest::qWait(500); // the load is under way
    QElapsedTimer clock;
    clock.start();
    QProcess second;
    second.setProcessEnvironment(m_program.processEnvironment());
    second.start(m_dir.filePath("lumivo"), {m_dir.filePath("other.jpg")});
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed()) + " ms"));
    // File, Exit from the keyboard: the program ends without waiting for the load.
    Xdotool({"windowfocus", "--sync", window});
    Xdotool({"key", "alt+Cyrillic_ef"});
    QTest::qWait(300);
    clock.restart();
    Xdotool({"key", "Cyrillic_ve"});
    QVERIFY(m_program.waitForFinished(5000));
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed()) + " ms"));
}

// A stored caption is the window's title as it stands: an empty one stays empty (not the
// program's name), and "[*]" is text (not a placeholder). It is written back unchanged.
void TestSmoke::captionsShowExactlyAsStored_data()
{
    QTest::addColumn<QByteArray>("caption");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("[*]") << QByteArray("Мой [*] просмотр [*][*]");
}

void TestSmoke::captionsShowExactlyAsStored()
{
    QFETCH(QByteArray, caption);
    {
        QFile ini(m_ini);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Form]\r\nTop=100\r\nLeft=100\r\nCaption=" + caption + "\r\nInitMax=0\r\n");
    }
    Launch();
    const QString pid = QString::number(m_program.processId());
    QString window;
    QTRY_VERIFY_WITH_TIMEOUT(!(window = Xdotool({"search", "--onlyvisible", "--pid", pid, "--class", "lumivo"})
                                            .section('\n', 0, 0))
                                  .isEmpty(),
                             20000);
    QTest::qWait(300);
    QCOMPARE(Xdotool({"getwindowname", window}).toUtf8(), caption);
    ::kill(m_program.processId(), SIGTERM);
    QVERIFY(m_program.waitForFinished(15000));
    QFile ini(m_ini);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains(QByteArray("\r\nCaption=" + caption + "\r\n")));
}

// In a Wayland session with XWayland, and no platform chosen, the program runs on X11,
// where windows have positions: the window appears on the X display.
void TestSmoke::waylandSessionRunsOnX11()
{
    QProcessEnvironment extra;
    extra.insert("WAYLAND_DISPLAY", "wayland-lumivo-test-none");
    extra.insert("QT_QPA_PLATFORM", "");
    Launch({}, extra);
    QVERIFY(!WaitForWindow("Lumivo").isEmpty());
    ::kill(m_program.processId(), SIGTERM);
    QVERIFY(m_program.waitForFinished(15000));
    QFile ini(m_ini);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), QByteArray("[Form]\r\nTop=100\r\nLeft=100\r\nCaption=Lumivo\r\nInitMax=0\r\n"));
}

// On Qt's Wayland platform (forced by the user) no window position is reported: the stored
// position is written back as it was read, never a made-up one.
void TestSmoke::waylandPlatformKeepsTheStoredPosition()
{
    if (QStandardPaths::findExecutable("weston").isEmpty())
        QSKIP("needs weston (scripts/setup installs it)");
    QTemporaryDir runtime;
    QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcess weston;
    QProcessEnvironment westonEnv = QProcessEnvironment::systemEnvironment();
    westonEnv.insert("XDG_RUNTIME_DIR", runtime.path());
    weston.setProcessEnvironment(westonEnv);
    weston.start("weston", {"--backend=headless-backend.so", "--socket=wayland-lumivo-test", "--idle-time=0"});
    QVERIFY(weston.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime.filePath("wayland-lumivo-test")), 10000);
    {
        QFile ini(m_ini);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Form]\r\nTop=200\r\nLeft=300\r\nCaption=W\r\nInitMax=0\r\n");
    }
    QProcessEnvironment extra;
    extra.insert("XDG_RUNTIME_DIR", runtime.path());
    extra.insert("WAYLAND_DISPLAY", "wayland-lumivo-test");
    extra.insert("QT_QPA_PLATFORM", "wayland");
    Launch({}, extra);
    QTest::qWait(2500); // shown on the compositor, which no X tool can see
    QCOMPARE(m_program.state(), QProcess::Running);
    ::kill(m_program.processId(), SIGTERM);
    QVERIFY(m_program.waitForFinished(15000));
    weston.terminate();
    weston.waitForFinished(5000);
    QFile ini(m_ini);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), QByteArray("[Form]\r\nTop=200\r\nLeft=300\r\nCaption=W\r\nInitMax=0\r\n"));
}

void TestSmoke::noDisplayIsOneLineAndStatusOne_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("line");
    QTest::newRow("none set") << QString()
                              << "lumivo: no display to show windows on (DISPLAY is not set); Lumivo runs in a "
                                 "graphical desktop session\n";
    QTest::newRow("one that refuses") << ":97"
                                      << "lumivo: cannot open the display \":97\"; Lumivo runs in a graphical desktop "
                                         "session\n";
}

void TestSmoke::noDisplayIsOneLineAndStatusOne()
{
    QFETCH(QString, display);
    QFETCH(QString, line);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("WAYLAND_DISPLAY");
    if (display.isEmpty())
        env.remove("DISPLAY");
    else
        env.insert("DISPLAY", display);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(m_dir.filePath("lumivo"), {});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()), line);
}

// A video played, its window closed, and the same line presented again (Enter): the picture
// is drawn the second time too, not a blank panel.
void TestSmoke::videoIsSeenEveryTimeItIsShown()
{
    const QString clip = m_dir.filePath("bars.avi");
    QVERIFY(mediatest::Video(clip, false, 100));
    Launch({"--show", clip});
    const auto videoCentreIsColoured = [](const QString& window) {
        // Test bars: the middle one is green, where a blank panel is grey.
        const QStringList geometry = Xdotool({"getwindowgeometry", "--shell", window}).split('\n');
        QHash<QString, int> g;
        for (const QString& line : geometry)
            g.insert(line.section('=', 0, 0), line.section('=', 1).toInt());
        const quint32 c = ScreenPixel(g["X"] + g["WIDTH"] / 2, g["Y"] + (g["HEIGHT"] - 61) / 2);
        const int r = int(c >> 16) & 0xFF, gr = int(c >> 8) & 0xFF, b = int(c) & 0xFF;
        return std::max({r, gr, b}) - std::min({r, gr, b}) > 100;
    };
    QString display = WaitForWindow("Клип");
    QVERIFY(!display.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(videoCentreIsColoured(display), 5000);
    // Into full screen and back with F11: the keyboard stays with the window.
    Xdotool({"windowfocus", "--sync", display});
    const auto hints = [&] {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {"-id", display, "_MOTIF_WM_HINTS"});
        xprop.waitForFinished(10000);
        return xprop.readAllStandardOutput();
    };
    const QByteArray framed = hints();
    Xdotool({"key", "F11"}); // the border goes: the window's hints change
    QTRY_VERIFY_WITH_TIMEOUT(hints() != framed, 5000);
    Xdotool({"key", "F11"});
    QTRY_COMPARE_WITH_TIMEOUT(hints(), framed, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(Xdotool({"getwindowfocus"}), display, 3000);
    // Escape closes the window (asked again until the window has taken the focus).
    QTRY_VERIFY_WITH_TIMEOUT((Xdotool({"windowfocus", "--sync", display}), Xdotool({"key", "Escape"}),
                              Xdotool({"search", "--onlyvisible", "--name", "^Клип$"}).isEmpty()),
                             5000);
    const QString main = WaitForWindow("Lumivo");
    Xdotool({"windowfocus", "--sync", main});
    Xdotool({"mousemove", "--window", main, "40", "57", "click", "1"}); // the line, and the focus
    Xdotool({"key", "Return"});
    display = WaitForWindow("Клип");
    QVERIFY(!display.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(videoCentreIsColoured(display), 5000);
}

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
