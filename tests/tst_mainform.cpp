// The main window after start-up: windows, settings, menus, toolbar, panels, snapping and
// the ways the window ends. Runs on the offscreen platform.

#include "app/AboutDialog.h"
#include "tests/ProgramWindows.h"
#include "app/Application.h"
#include "app/HelpDialog.h"
#include "app/LinksDialog.h"
#include "app/MainForm.h"
#include "core/Dialogs.h"
#include "decor/AnimatedPointer.h"
#include "playlist/PlayListBox.h"
#include "playlist/PlaylistWizard.h"
#include "presentation/DisplayWindow.h"
#include "slideshow/SlideIntervalDialog.h"
#include "slideshow/SlideShow.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A menu as lines "text|shortcut|name", separators as "-".
QStringList Describe(const QMenu* menu)
{
    QStringList lines;
    for (const QAction* a : menu->actions())
        lines << (a->isSeparator() ? QStringLiteral("-")
                                   : a->text() + '|' + a->shortcut().toString() + '|' + a->objectName());
    return lines;
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void startUpCreatesEveryWindowOnce();
    void firstStartWithoutSettingsFile();
    void settingsFromFileAreApplied();
    void maximizedRoundTrip();
    void menuTree_data();
    void menuTree();
    void popupAndTrayMenus();
    void toolbarInOrder();
    void controlPanel_data();
    void controlPanel();
    void fontTimersAndDialogs();
    void closingWritesTheFourKeys();
    void unwritableSettingsAreReportedAndShutDownGoesOn();
    void movesSnapToTheWorkArea();
    void exitButtonEndsTheLoopWithoutClosing();
    void showStartsOrStopsTheAnimatedPointer();

private:
    void Start(const QByteArray& iniText = QByteArray());
    QTemporaryDir m_dir;
    QString m_ini;
    QStringList m_dialogs;
    Dialogs::Handler m_previousDialogs;
};

void TestMainForm::init()
{
    QVERIFY(m_dir.isValid());
    m_ini = m_dir.filePath(QStringLiteral("lumivo.INI"));
    QFile::remove(m_ini);
    m_dialogs.clear();
    m_previousDialogs = Dialogs::SetHandler([this](Dialogs::Kind, const QString& text) { m_dialogs << text; });
}

void TestMainForm::cleanup()
{
    if (Main())
        DestroyApplicationWindows();
    Dialogs::SetHandler(m_previousDialogs);
}

void TestMainForm::Start(const QByteArray& iniText)
{
    if (!iniText.isNull()) {
        QFile f(m_ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(iniText);
    }
    CreateApplicationWindows(m_ini);
    QVERIFY(Main());
}

void TestMainForm::startUpCreatesEveryWindowOnce()
{
    Start();
    QCOMPARE(About()->windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(Help()->windowTitle(), QStringLiteral("Справка"));
    QVERIFY(Pointer());
    QCOMPARE(Links()->windowTitle(), QStringLiteral("Ссылки"));
    QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Экран"));
    QCOMPARE(SlideInterval()->windowTitle(), QStringLiteral("Время ожидания:"));
    QCOMPARE(Wizard()->windowTitle(), QStringLiteral("Мастер плей-листов"));
    // Created hidden; fixed dialog borders around their client areas; the display window sizeable.
    for (QWidget* w : std::initializer_list<QWidget*>{Main(), About().Get(), Help().Get(), Links().Get(), DisplayWin(),
                                                      SlideInterval().Get(), Wizard().Get()})
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QCOMPARE(About()->minimumSize(), QSize(303, 139));
    QCOMPARE(About()->maximumSize(), QSize(303, 139));
    QCOMPARE(Help()->maximumSize(), QSize(436, 127));
    QCOMPARE(Links()->maximumSize(), QSize(198, 87));
    QCOMPARE(SlideInterval()->maximumSize(), QSize(273, 144));
    QCOMPARE(Wizard()->maximumSize(), QSize(441, 480));
    QCOMPARE(DisplayWin()->size(), QSize(692, 471));
    QVERIFY(DisplayWin()->maximumWidth() > 692);
    QVERIFY(!QFile::exists(m_ini)); // reading never creates the file
}

void TestMainForm::firstStartWithoutSettingsFile()
{
    Start();
    Main()->show();
    QCOMPARE(Main()->pos(), QPoint(100, 100));
    QCOMPARE(Main()->windowTitle(), QStringLiteral("Lumivo"));
    QVERIFY(!Main()->isMaximized());
    QCOMPARE(Main()->size(), QSize(394, 361));
    DestroyApplicationWindows();
    QCOMPARE(ReadAll(m_ini), QByteArray("[Form]\r\nTop=100\r\nLeft=100\r\nCaption=Lumivo\r\nInitMax=0\r\n"));
    QVERIFY(m_dialogs.isEmpty());
}

void TestMainForm::settingsFromFileAreApplied()
{
    // A position off every screen puts the window on the nearest one; the stored position
    // is written back as it was, since the user did not move the window.
    Start("[Form]\nTop=-3000\nLeft=5\nCaption=Мой просмотрщик\nInitMax=0\n");
    Main()->show();
    QCOMPARE(Main()->pos(), QPoint(5, Main()->screen()->availableGeometry().top()));
    QCOMPARE(Main()->windowTitle(), QStringLiteral("Мой просмотрщик"));
    DestroyApplicationWindows();
    QVERIFY(ReadAll(m_ini).contains("Caption=Мой просмотрщик\n"));
    QVERIFY(ReadAll(m_ini).contains("Left=5\n"));
}

void TestMainForm::maximizedRoundTrip()
{
    Start("[Form]\nInitMax=7\n");
    Main()->show();
    QVERIFY(Main()->isMaximized());
    DestroyApplicationWindows();
    QVERIFY(ReadAll(m_ini).contains("InitMax=1"));
    Start();
    Main()->show();
    QVERIFY(Main()->isMaximized());
}

void TestMainForm::menuTree_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("file") << 0 << "&Файл"
                          << QStringList{"&Открыть...|Ctrl+O|Open", "-", "&Добавить...|Ctrl+A|AddFileItem",
                                         "&Удалить|Ctrl+D|DeleteFileItem", "Очистить плей-лист||ClearPlayListItem", "-",
                                         "&Загрузить плей-лист...|Ctrl+L|LoadPlayListItem",
                                         "&Сохранить плей-лист...|Ctrl+S|SavePlayListItem", "-", "&Выход||Exit"};
    QTest::newRow("action") << 1 << "&Действие"
                            << QStringList{"&Скрыть окно программы|Ctrl+R|HideWindowItem", "-", "Открыть CD|F7|OpenCDItem",
                                           "Закрыть CD|F8|CloseCDItem"};
    QTest::newRow("slide show") << 2 << "&Показ слайдов"
                                << QStringList{"&Запустить|F4|StartSlideShowItem", "&Остановить|F5|StopSlideShowItem", "-",
                                               "За&держка...|F6|SlideIntervalItem"};
    QTest::newRow("service") << 3 << "&Сервис"
                             << QStringList{"&Сформировать плей-лист...|Ctrl+P|PlaylistWizardItem", "-", "&Часы||ClockItem",
                                            "&Анимированный курсор||AnimateItem"};
    QTest::newRow("help") << 4 << "Справка"
                          << QStringList{"&Помощь...|F1|Help", "&Ссылки...|F2|LinksItem", "-", "&О программе...|F3|About"};
}

void TestMainForm::menuTree()
{
    QFETCH(int, index);
    QFETCH(QString, title);
    QFETCH(QStringList, items);
    Start();
    const QList<QAction*> menus = MainControl<QMenuBar>("MainMenu")->actions();
    QCOMPARE(menus.size(), 5);
    QCOMPARE(menus[index]->text(), title);
    QCOMPARE(Describe(menus[index]->menu()), items);
    QVERIFY(MainControl<QAction>("ClockItem")->isCheckable() && MainControl<QAction>("ClockItem")->isChecked());
    QVERIFY(MainControl<QAction>("AnimateItem")->isCheckable() && !MainControl<QAction>("AnimateItem")->isChecked());
}

void TestMainForm::popupAndTrayMenus()
{
    Start();
    QCOMPARE(Describe(MainControl<QMenu>("MainPopup")), (QStringList{"О &программе...||AboutPopupItem", "-", "&Выход||ExitPopupItem"}));
    QCOMPARE(Describe(MainControl<QMenu>("TrayMenu")), (QStringList{"О &программе...||AboutMe", "-", "Восстановит&ь||ComeBack",
                                                        "-", "&Выход||GoAway"}));
}

void TestMainForm::toolbarInOrder()
{
    Start();
    QStringList seen;
    for (QAction* a : MainControl<QToolBar>("ToolBar")->actions()) {
        if (a->isSeparator()) {
            seen << "|";
            continue;
        }
        auto* button = qobject_cast<QToolButton*>(MainControl<QToolBar>("ToolBar")->widgetForAction(a));
        QVERIFY(button);
        QCOMPARE(button->size(), QSize(25, 24));
        QVERIFY(!button->icon().isNull());
        seen << button->objectName() + ':' + button->toolTip();
    }
    QCOMPARE(seen, (QStringList{"|", "LoadPlayListButton:Открыть плей-лист...", "SavePlayListButton:Сохранить плей-лист...", "|",
                                "AddFileButton:Добавить файл в плей лист...", "DeleteFileButton:Удалить файл...", "|",
                                "StartSlideShowButton:Запустить слайд-шоу", "StopSlideShowButton:Остановить слайд-шоу...",
                                "SlideIntervalButton:Интервал...", "|", "HelpButton:Справка...",
                                "AboutButton:О программе...", "|", "ExitButton:Выход"}));
    QCOMPARE(MainControl<QToolBar>("ToolBar")->height(), 29);
    QCOMPARE(Main()->ToolBarPictureCount(), 10);

    // A toolbar button runs the same command as its menu item.
    QSignalSpy triggered(MainControl<QAction>("StartSlideShowItem"), &QAction::triggered);
    MainControl<QToolButton>("StartSlideShowButton")->click();
    QCOMPARE(triggered.count(), 1);
}

void TestMainForm::controlPanel_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    QTest::newRow("OpenCdTrayButton") << "OpenCdTrayButton" << QRect(4, 4, 137, 33) << "Открыть CD" << "Открыть лоток привода...";
    QTest::newRow("CloseCdTrayButton") << "CloseCdTrayButton" << QRect(4, 36, 137, 33) << "Закрыть CD" << "Закрыть лоток привода";
    QTest::newRow("PlaylistWizardButton") << "PlaylistWizardButton" << QRect(144, 4, 181, 49) << "Плей-лист мастер" << "Мастер плей-листов";
    QTest::newRow("FullScreenBox") << "FullScreenBox" << QRect(144, 52, 173, 17) << "Полноэкранный режим"
                            << "Переход в полноэкранный режим";
    QTest::newRow("ClockFaceLabel") << "ClockFaceLabel" << QRect(328, 4, 53, 53) << "" << "";
    QTest::newRow("ClockHandsLabel") << "ClockHandsLabel" << QRect(328, 4, 53, 53) << "" << "Часики...";
    QTest::newRow("ClockOffLabel") << "ClockOffLabel" << QRect(328, 4, 53, 53) << "" << "";
}

void TestMainForm::controlPanel()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QString, hint);
    Start();
    auto* w = MainControl<QFrame>("ControlPanel")->findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(w->toolTip(), hint);
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        QCOMPARE(b->text(), text);
    QCOMPARE(MainControl<QFrame>("ControlPanel")->height(), 75);
    QCOMPARE(MainControl<QFrame>("StatusPanel")->height(), 19);
    QCOMPARE(MainControl<QLabel>("StatusLabel")->pos(), QPoint(4, 4));
    QVERIFY(MainControl<QLabel>("StatusLabel")->text().isEmpty());
    QCOMPARE(MainControl<QLabel>("DigitalClock")->pos(), QPoint(332, 57));
    QCOMPARE(MainControl<QLabel>("DigitalClock")->toolTip(), QStringLiteral("Цифровые часы..."));
    QVERIFY(!MainControl<QCheckBox>("FullScreenBox")->isChecked());
    QVERIFY(MainControl<QLabel>("ClockOffLabel")->isHidden() && !MainControl<QLabel>("ClockHandsLabel")->isHidden());
}

void TestMainForm::fontTimersAndDialogs()
{
    Start();
    QCOMPARE(Main()->font().family(), QStringLiteral("Arial"));
    QCOMPARE(Main()->font().pixelSize(), 13);
    QVERIFY(Main()->font().bold());
    QCOMPARE(Main()->Playlist()->palette().color(QPalette::Text), QColor(Qt::blue));
    QVERIFY(!MainControl<QMenuBar>("MainMenu")->font().bold()); // menus keep the desktop's font
    Main()->Playlist()->addItem(QStringLiteral("/tmp/a.jpg"));
    QCOMPARE(Main()->Playlist()->sizeHintForRow(0), 16);

    QVERIFY(MainControl<QTimer>("Clock")->isActive());
    QCOMPARE(MainControl<QTimer>("Clock")->interval(), 1000);
    QVERIFY(!TestWindows()->SlideShow()->Timer()->isActive());

    QCOMPARE(Main()->MediaOpenDialog().Filter, MediaOpenFilter);
    QCOMPARE(Main()->MediaOpenDialog().FilterIndex, 1);
    QCOMPARE(Main()->PlaylistOpenDialog().Filter, QStringLiteral("Плей-лист|*.txt"));
    QCOMPARE(Main()->PlaylistSaveDialog().Filter, QStringLiteral("Плей-лист (*.txt)|*.txt"));
    QCOMPARE(Main()->PlaylistSaveDialog().DefaultExt, QStringLiteral("txt"));
    QVERIFY(!Main()->PlaylistSaveDialog().OverwritePrompt);
}

void TestMainForm::closingWritesTheFourKeys()
{
    Start("[Form]\nTop=200\nLeft=300\nCaption=Был\n");
    Main()->show();
    QSignalSpy closed(Main(), &TMainForm::Closed);
    Main()->move(320, 240);
    Main()->setWindowTitle(QStringLiteral("Стал"));
    MainControl<QAction>("Exit")->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!Main()->isVisible());
    DestroyApplicationWindows();
    QCOMPARE(ReadAll(m_ini), QByteArray("[Form]\nTop=240\nLeft=320\nCaption=Стал\nInitMax=0\n"));
}

void TestMainForm::unwritableSettingsAreReportedAndShutDownGoesOn()
{
    QFile blocker(m_dir.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_ini = m_dir.filePath("blocker/lumivo.INI");
    Start();
    DestroyApplicationWindows();
    QCOMPARE(m_dialogs, QStringList{"Unable to write to " + m_ini});
    QVERIFY(!Main() && !DisplayWin() && !Pointer());
}

void TestMainForm::movesSnapToTheWorkArea()
{
    Start("[Form]\nTop=300\nLeft=300\n");
    Main()->show();
    const QRect area = Main()->screen()->availableGeometry();
    Main()->move(area.left() + 10, area.top() + 200);
    QCOMPARE(Main()->pos(), QPoint(area.left(), area.top() + 200));
    Main()->move(area.left() + 11, area.top() + 200);
    QCOMPARE(Main()->pos(), QPoint(area.left() + 11, area.top() + 200));
    const int w = Main()->frameGeometry().width(), h = Main()->frameGeometry().height();
    Main()->move(area.right() + 1 - w - 9, area.bottom() + 1 - h - 4);
    QCOMPARE(Main()->pos(), QPoint(area.right() + 1 - w, area.bottom() + 1 - h));
    QCOMPARE(Main()->size(), QSize(394, 361)); // snapping never resizes

    // A resize that brings the right edge within 10 px of the work area's moves the window.
    Main()->move(area.left() + 400, area.top() + 200);
    const int frameExtra = Main()->frameGeometry().width() - Main()->width();
    const int width = area.right() + 1 - (area.left() + 400) - frameExtra - 5; // 5 px short
    Main()->resize(width, Main()->height());
    QCOMPARE(Main()->pos(), QPoint(area.left() + 405, area.top() + 200));
    QCOMPARE(Main()->width(), width);
}

void TestMainForm::exitButtonEndsTheLoopWithoutClosing()
{
    Start();
    Main()->show();
    QSignalSpy closed(Main(), &TMainForm::Closed);
    // The program's own event loop, as in main(): the button ends it with result 0.
    auto runLoopAfter = [](auto command) {
        QTimer::singleShot(0, command);
        QTimer guard;
        guard.callOnTimeout([] { QCoreApplication::exit(1); });
        guard.start(5000);
        return QCoreApplication::exec();
    };
    QCOMPARE(runLoopAfter([] { MainControl<QToolButton>("ExitButton")->click(); }), 0);
    QCOMPARE(closed.count(), 0);
    QVERIFY(Main()->isVisible()); // no close, no fade-out: the window is destroyed as it stands
    QCOMPARE(runLoopAfter([] { MainControl<QAction>("ExitPopupItem")->trigger(); }), 0);
    QCOMPARE(closed.count(), 0);
    QVERIFY(Main()->isVisible());
}

void TestMainForm::showStartsOrStopsTheAnimatedPointer()
{
    Start();
    Main()->show();
    QVERIFY(!ChildOf<QTimer>(Pointer(), "Timer")->isActive());
    Main()->hide();
    MainControl<QAction>("AnimateItem")->setChecked(true);
    Main()->show();
    QVERIFY(ChildOf<QTimer>(Pointer(), "Timer")->isActive());
    QVERIFY(!Pointer()->State().StopPending);
    Main()->hide();
    MainControl<QAction>("AnimateItem")->setChecked(false);
    Main()->show();
    QVERIFY(Pointer()->State().StopPending);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
