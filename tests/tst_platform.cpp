// The platform layer: edge snapping, file dialog seam and filters, the handler guard, the
// termination signals, window animation fallbacks, the application cursor, and the
// animated pointer's sequencing.

#include "core/Dialogs.h"
#include "core/Errors.h"
#include "core/HandlerGuard.h"
#include "core/ToolkitTexts.h"
#include "decor/AnimatedPointer.h"
#include "system/UnixSignals.h"
#include "widgets/AnimateWindow.h"
#include "widgets/ApplicationCursor.h"
#include "widgets/EdgeSnap.h"
#include "widgets/FileDialog.h"
#include "widgets/WindowGeometry.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <cerrno>
#include <csignal>

class TestPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void snap_data();
    void snap();
    void placedOnAScreen_data();
    void placedOnAScreen();
    void nameFilters();
    void defaultExtension_data();
    void defaultExtension();
    void dialogSeamMovesCurrentDirectory();
    void dialogsInRussianOverTheirWindow();
    void guardShowsEveryKindOfFailure();
    void terminationSignalsReachTheEventLoop();
    void animationFallsBackToAtOnce();
    void applicationCursor();
    void cursorAnimation();
};

void TestPlatform::snap_data()
{
    QTest::addColumn<QRect>("proposed");
    QTest::addColumn<QPoint>("expected");

    // Work area from (50, 30), 1000 x 700: right edge 1050, bottom edge 730. Window 200 x 100.
    QTest::newRow("left 9") << QRect(59, 300, 200, 100) << QPoint(50, 300);
    QTest::newRow("left 10") << QRect(60, 300, 200, 100) << QPoint(50, 300);
    QTest::newRow("left 11") << QRect(61, 300, 200, 100) << QPoint(61, 300);
    QTest::newRow("left -10 (outside)") << QRect(40, 300, 200, 100) << QPoint(50, 300);
    QTest::newRow("left -11 (outside)") << QRect(39, 300, 200, 100) << QPoint(39, 300);
    QTest::newRow("right 9") << QRect(841, 300, 200, 100) << QPoint(850, 300);
    QTest::newRow("right 10") << QRect(840, 300, 200, 100) << QPoint(850, 300);
    QTest::newRow("right 11") << QRect(839, 300, 200, 100) << QPoint(839, 300);
    QTest::newRow("top 9") << QRect(300, 39, 200, 100) << QPoint(300, 30);
    QTest::newRow("top 10") << QRect(300, 40, 200, 100) << QPoint(300, 30);
    QTest::newRow("top 11") << QRect(300, 41, 200, 100) << QPoint(300, 41);
    QTest::newRow("bottom 9") << QRect(300, 621, 200, 100) << QPoint(300, 630);
    QTest::newRow("bottom 10") << QRect(300, 620, 200, 100) << QPoint(300, 630);
    QTest::newRow("bottom 11") << QRect(300, 619, 200, 100) << QPoint(300, 619);
    QTest::newRow("corner") << QRect(845, 622, 200, 100) << QPoint(850, 630);
    QTest::newRow("as wide as the work area") << QRect(55, 300, 1000, 100) << QPoint(50, 300);
    // Near both opposite edges: the right (bottom) rule comes last and wins.
    QTest::newRow("near left and right") << QRect(55, 300, 990, 100) << QPoint(60, 300);
    QTest::newRow("near top and bottom") << QRect(300, 35, 200, 690) << QPoint(300, 40);
    QTest::newRow("far away untouched") << QRect(-5000, 9000, 200, 100) << QPoint(-5000, 9000);
}

// Two screens side by side, the right one lower; a 400 x 300 window.
void TestPlatform::placedOnAScreen_data()
{
    QTest::addColumn<QPoint>("stored");
    QTest::addColumn<QPoint>("placed");
    QTest::newRow("on a screen") << QPoint(100, 100) << QPoint(100, 100);
    QTest::newRow("mostly off, a usable part on") << QPoint(-290, 50) << QPoint(-290, 50);
    QTest::newRow("a sliver on the left screen") << QPoint(-380, 50) << QPoint(0, 50);
    QTest::newRow("above every screen") << QPoint(700, -3000) << QPoint(700, 0);
    QTest::newRow("far right, saved at another scale") << QPoint(5000, 2000) << QPoint(2160, 968);
    QTest::newRow("beside the lower screen") << QPoint(1500, 1400) << QPoint(1500, 968);
}

void TestPlatform::placedOnAScreen()
{
    QFETCH(QPoint, stored);
    QFETCH(QPoint, placed);
    const QList<QRect> screens{QRect(0, 0, 1280, 1024), QRect(1280, 200, 1280, 1068)};
    QCOMPARE(PlaceOnScreens(QRect(stored, QSize(400, 300)), screens), placed);
}

void TestPlatform::snap()
{
    QFETCH(QRect, proposed);
    QFETCH(QPoint, expected);
    QCOMPARE(SnapToWorkArea(proposed, QRect(50, 30, 1000, 700)), expected);
}

void TestPlatform::nameFilters()
{
    QCOMPARE(QtNameFilters("Изображения|*.bmp; *.JPG|Все|*.*"),
             (QStringList{"Изображения (*.[bB][mM][pP] *.[jJ][pP][gG])", "Все (*.*)"}));
    QCOMPARE(QtNameFilters("Плей-лист (*.txt)|*.txt"), QStringList{"Плей-лист (*.txt) (*.[tT][xX][tT])"});
    QCOMPARE(QtNameFilters(QString()), QStringList());
    QCOMPARE(QtNameFilters("dangling"), QStringList()); // a description without patterns
}

void TestPlatform::defaultExtension_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no extension") << "/a/list" << "/a/list.txt";
    QTest::newRow("own extension") << "/a/list.m3u" << "/a/list.m3u";
    QTest::newRow("dot in folder only") << "/a.b/list" << "/a.b/list.txt";
    QTest::newRow("txt already") << "/a/list.txt" << "/a/list.txt";
}

void TestPlatform::defaultExtension()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(WithDefaultExtension(typed, "txt"), expected);
    QCOMPARE(WithDefaultExtension(typed, QString()), typed);
}

void TestPlatform::dialogSeamMovesCurrentDirectory()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const QString start = QDir::currentPath();
    QString seenTitle;
    FileDialogHandler previous = SetFileDialogHandler([&](const TFileDialog& d) -> std::optional<QString> {
        seenTitle = d.Title;
        return dir.filePath("sub/list");
    });
    TFileDialog save(TFileDialog::Mode::Save);
    save.Title = "Сохранить";
    save.DefaultExt = "txt";
    QVERIFY(save.Execute());
    QCOMPARE(seenTitle, QStringLiteral("Сохранить"));
    QCOMPARE(save.FileName, QDir(dir.path()).absoluteFilePath("sub/list.txt"));
    QCOMPARE(QDir::currentPath(), QDir(dir.path()).absoluteFilePath("sub"));

    SetFileDialogHandler([](const TFileDialog&) { return std::optional<QString>(); });
    TFileDialog open(TFileDialog::Mode::Open);
    open.FileName = "kept";
    QVERIFY(!open.Execute());
    QCOMPARE(open.FileName, QStringLiteral("kept")); // Cancel changes nothing
    SetFileDialogHandler(previous);

    // The real dialog opens on the current folder with each file's name, size, type and date
    // whole.
    QVERIFY(QFile(dir.filePath("sub/a photo with a rather long name, taken 2026-12-11.jpg")).open(QIODevice::WriteOnly));
    QFileDialog real;
    PrepareFileDialog(real, open, nullptr);
    real.show();
    auto* files = real.findChild<QTreeView*>("treeView");
    QVERIFY(files && files->isVisible());
    QTRY_COMPARE(files->model()->rowCount(files->rootIndex()), 1);
    const auto whole = [files] {
        for (int column = 0; column < 4; ++column)
            if (files->header()->sectionSize(column) < static_cast<QAbstractItemView*>(files)->sizeHintForColumn(column))
                return false;
        return true;
    };
    QTRY_VERIFY(whole());
    QDir::setCurrent(start);
}

void TestPlatform::guardShowsEveryKindOfFailure()
{
    QStringList shown;
    Dialogs::Handler previous = Dialogs::SetHandler([&](Dialogs::Kind kind, const QString& text) {
        QCOMPARE(kind, Dialogs::Kind::Error);
        shown << text;
    });
    bool after = false;
    Guarded([&] {
        throw EFOpenError("/x/Фото.jpg", "No such file or directory");
        after = true;
    });
    Guarded([] { throw EListIndexError(-1); });
    Guarded([] { throw std::runtime_error("plain"); });
    Guarded([] { throw std::bad_alloc(); });
    Guarded([] { throw 42; });
    Guarded([] {}); // no failure, nothing shown
    QVERIFY(!after);  // the handler ends at the failing step
    QCOMPARE(shown, (QStringList{"Cannot open file \"/x/Фото.jpg\". No such file or directory",
                                 "List index out of bounds (-1)", "plain", "Out of memory", "Unknown error"}));
    Dialogs::SetHandler(previous);

    // The real box, while no window of the program is active (the user types in another
    // program): it appears without taking the keyboard. Closed by the test as it appears.
    QVERIFY(!QApplication::activeWindow());
    bool withoutFocus = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                withoutFocus = box->testAttribute(Qt::WA_ShowWithoutActivating);
                box->accept();
            }
    });
    Dialogs::ShowError("shown");
    QVERIFY(withoutFocus);
}

void TestPlatform::terminationSignalsReachTheEventLoop()
{
    int calls = 0;
    {
        UnixTerminationSignals handler([&] { ++calls; });
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            const int before = calls;
            ::raise(signal);
            QTRY_COMPARE(calls, before + 1);
        }
        // Signals that arrive faster than they are handled fill the handler's pipe, and
        // its write fails: the interrupted code must still find its own errno.
        bool errnoKept = true;
        for (int i = 0; i < 400000 && errnoKept; ++i) {
            errno = EDOM;
            ::raise(SIGHUP);
            errnoKept = errno == EDOM;
        }
        QVERIFY(errnoKept);
        QTRY_COMPARE(calls, 4);
    }
    QCOMPARE(calls, 4);
}

void TestPlatform::animationFallsBackToAtOnce()
{
    QWidget w;
    w.resize(100, 80);
    QVERIFY(!AnimateWindow(&w, WindowAnimationMs, AnimateFlags::FadeOut)); // already hidden
    QVERIFY(AnimateWindow(&w, WindowAnimationMs, AnimateFlags::RollOpen));
    QVERIFY(w.isVisible());
    QVERIFY(!AnimateWindow(&w, WindowAnimationMs, AnimateFlags::RollOpen)); // already shown
    QVERIFY(AnimateWindow(&w, WindowAnimationMs, AnimateFlags::FadeOut));
    QVERIFY(!w.isVisible());
    QCOMPARE(w.windowOpacity(), 1.0);
    QVERIFY(w.mask().isEmpty());
}

void TestPlatform::applicationCursor()
{
    QCOMPARE(ApplicationCursorAt(7).shape(), Qt::ArrowCursor); // unregistered: default pointer
    RegisterApplicationCursor(7, QCursor(Qt::CrossCursor));
    QVERIFY(IsApplicationCursorRegistered(7));
    SetApplicationWideCursor(7);
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    SetApplicationWideCursor(crHourGlass);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    SetApplicationWideCursor(crDefault);
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(ApplicationWideCursor(), crDefault);
}

void TestPlatform::cursorAnimation()
{
    TCursorAnimation a;
    a.Start(false); // off stays off
    QVERIFY(!a.TimerEnabled);
    a.Start(true);
    QVERIFY(a.TimerEnabled);
    QCOMPARE(a.Tick(), 1);
    QCOMPARE(a.Tick(), 2);
    QCOMPARE(a.Tick(), 3);
    a.Start(false); // stop requested at frame 3: frames 4..12 still play
    for (int frame = 4; frame <= 12; ++frame)
        QCOMPARE(a.Tick(), frame);
    QVERIFY(a.TimerEnabled);
    QCOMPARE(a.Tick(), 0); // the tenth tick brings the default pointer back
    QVERIFY(!a.TimerEnabled);

    a.Start(true);
    for (int i = 0; i < 5; ++i)
        a.Tick();
    a.Start(false);
    a.Start(true); // off and on within a cycle: no pause, no skipped frame
    QCOMPARE(a.Tick(), 6);
    for (int i = 7; i <= 12; ++i)
        a.Tick();
    QCOMPARE(a.Tick(), 1);
    QVERIFY(a.TimerEnabled);

    // The module's timer follows the state.
    TAnimatedPointer module;
    const QTimer* timer = module.findChild<QTimer*>("Timer");
    QCOMPARE(timer->interval(), 150);
    module.start(true);
    QVERIFY(timer->isActive());
    module.start(false);
    QVERIFY(timer->isActive()); // stops only at the end of the cycle
    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 5000);
    QCOMPARE(module.State().FrameIndex, 0);
    QVERIFY(!QGuiApplication::overrideCursor());
}

// The toolkit's dialogs speak Russian, also where Qt's translations lack a text, and open
// over the window they belong to, kept on the screen.
void TestPlatform::dialogsInRussianOverTheirWindow()
{
    InstallToolkitTexts();
    QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), QStringLiteral("Папка"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));

    QWidget window;
    window.setGeometry(300, 200, 400, 300);
    window.show();
    QWidget dialog(&window, Qt::Dialog);
    dialog.resize(200, 100);
    CenterOverParent(&dialog, &window);
    QCOMPARE(dialog.frameGeometry().center(), window.frameGeometry().center());
    window.move(-350, 200); // mostly off the screen: the dialog stays on it
    CenterOverParent(&dialog, &window);
    QCOMPARE(dialog.frameGeometry().left(), window.screen()->availableGeometry().left());
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
