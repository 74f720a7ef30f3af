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

#include <csignal>

namespace {

QString Xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
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

private:
    void Launch(const QStringList& arguments = {});
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

void TestSmoke::Launch(const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    m_program.setProcessEnvironment(env);
    m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_program.start(m_dir.filePath("lumivo"), arguments);
    QVERIFY(m_program.waitForStarted());
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

// Where the desktop has no notification area, starting the program again brings the hidden
// window back, with the new start's files in its playlist.
void TestSmoke::secondStartBringsTheWindowBack()
{
    Launch();
    const QString window = WaitForWindow("Lumivo");
    QVERIFY(!window.isEmpty());
    Xdotool({"windowfocus", "--sync", window});
    Xdotool({"key", "ctrl+r"});
    QTRY_VERIFY_WITH_TIMEOUT(Xdotool({"search", "--onlyvisible", "--name", "^Lumivo$"}).isEmpty(), 5000);

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

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
