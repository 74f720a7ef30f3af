// The main window after start-up: windows, settings, menus, toolbar, panels, snapping and
// the ways the window ends. Runs on the offscreen platform.

#include "app/AboutDialog.h"
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
    if (MainForm)
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
    QVERIFY(MainForm);
}

void TestMainForm::startUpCreatesEveryWindowOnce()
{
    Start();
    QCOMPARE(AboutDialog->windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(HelpDialog->windowTitle(), QStringLiteral("Справка"));
    QVERIFY(AnimatedPointer);
    QCOMPARE(LinksDialog->windowTitle(), QStringLiteral("Ссылки"));
    QCOMPARE(DisplayWindow->windowTitle(), QStringLiteral("Экран"));
    QCOMPARE(SlideIntervalDialog->windowTitle(), QStringLiteral("Время ожидания:"));
    QCOMPARE(PlaylistWizard->windowTitle(), QStringLiteral("Мастер плей-листов"));
    // Created hidden; fixed dialog borders around their client areas; the display window sizeable.
    for (QWidget* w : std::initializer_list<QWidget*>{MainForm, AboutDialog, HelpDialog, LinksDialog, DisplayWindow,
                                                      SlideIntervalDialog, PlaylistWizard})
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QCOMPARE(AboutDialog->minimumSize(), QSize(303, 139));
    QCOMPARE(AboutDialog->maximumSize(), QSize(303, 139));
    QCOMPARE(HelpDialog->maximumSize(), QSize(436, 127));
    QCOMPARE(LinksDialog->maximumSize(), QSize(198, 87));
    QCOMPARE(SlideIntervalDialog->maximumSize(), QSize(273, 144));
    QCOMPARE(PlaylistWizard->maximumSize(), QSize(441, 480));
    QCOMPARE(DisplayWindow->size(), QSize(692, 471));
    QVERIFY(DisplayWindow->maximumWidth() > 692);
    QVERIFY(!QFile::exists(m_ini)); // reading never creates the file
}

void TestMainForm::firstStartWithoutSettingsFile()
{
    Start();
    MainForm->show();
    QCOMPARE(MainForm->pos(), QPoint(100, 100));
    QCOMPARE(MainForm->windowTitle(), QStringLiteral("Lumivo"));
    QVERIFY(!MainForm->isMaximized());
    QCOMPARE(MainForm->size(), QSize(394, 361));
    DestroyApplicationWindows();
    QCOMPARE(ReadAll(m_ini), QByteArray("[Form]\r\nTop=100\r\nLeft=100\r\nCaption=Lumivo\r\nInitMax=0\r\n"));
    QVERIFY(m_dialogs.isEmpty());
}

void TestMainForm::settingsFromFileAreApplied()
{
    // A position off every screen puts the window on the nearest one; the stored position
    // is written back as it was, since the user did not move the window.
    Start("[Form]\nTop=-3000\nLeft=5\nCaption=Мой просмотрщик\nInitMax=0\n");
    MainForm->show();
    QCOMPARE(MainForm->pos(), QPoint(5, MainForm->screen()->availableGeometry().top()));
    QCOMPARE(MainForm->windowTitle(), QStringLiteral("Мой просмотрщик"));
    DestroyApplicationWindows();
    QVERIFY(ReadAll(m_ini).contains("Caption=Мой просмотрщик\n"));
    QVERIFY(ReadAll(m_ini).contains("Left=5\n"));
}

void TestMainForm::maximizedRoundTrip()
{
    Start("[Form]\nInitMax=7\n");
    MainForm->show();
    QVERIFY(MainForm->isMaximized());
    DestroyApplicationWindows();
    QVERIFY(ReadAll(m_ini).contains("InitMax=1"));
    Start();
    MainForm->show();
    QVERIFY(MainForm->isMaximized());
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
    const QList<QAction*> menus = MainForm->MainMenu->actions();
    QCOMPARE(menus.size(), 5);
    QCOMPARE(menus[index]->text(), title);
    QCOMPARE(Describe(menus[index]->menu()), items);
    QVERIFY(MainForm->ClockItem->isCheckable() && MainForm->ClockItem->isChecked());
    QVERIFY(MainForm->AnimateItem->isCheckable() && !MainForm->AnimateItem->isChecked());
}

void TestMainForm::popupAndTrayMenus()
{
    Start();
    QCOMPARE(Describe(MainForm->MainPopup), (QStringList{"О &программе...||AboutPopupItem", "-", "&Выход||ExitPopupItem"}));
    QCOMPARE(Describe(MainForm->TrayMenu), (QStringList{"О &программе...||AboutMe", "-", "Восстановит&ь||ComeBack",
                                                        "-", "&Выход||GoAway"}));
}

void TestMainForm::toolbarInOrder()
{
    Start();
    QStringList seen;
    for (QAction* a : MainForm->ToolBar->actions()) {
        if (a->isSeparator()) {
            seen << "|";
            continue;
        }
        auto* button = qobject_cast<QToolButton*>(MainForm->ToolBar->widgetForAction(a));
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
    QCOMPARE(MainForm->ToolBar->height(), 29);
    QCOMPARE(MainForm->ToolBarIcons.size(), 10);

    // A toolbar button runs the same command as its menu item.
    QSignalSpy triggered(MainForm->StartSlideShowItem, &QAction::triggered);
    MainForm->StartSlideShowButton->click();
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
    auto* w = MainForm->ControlPanel->findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(w->toolTip(), hint);
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        QCOMPARE(b->text(), text);
    QCOMPARE(MainForm->ControlPanel->height(), 75);
    QCOMPARE(MainForm->StatusPanel->height(), 19);
    QCOMPARE(MainForm->StatusLabel->pos(), QPoint(4, 4));
    QVERIFY(MainForm->StatusLabel->text().isEmpty());
    QCOMPARE(MainForm->DigitalClock->pos(), QPoint(332, 57));
    QCOMPARE(MainForm->DigitalClock->toolTip(), QStringLiteral("Цифровые часы..."));
    QVERIFY(!MainForm->FullScreenBox->isChecked());
    QVERIFY(MainForm->ClockOffLabel->isHidden() && !MainForm->ClockHandsLabel->isHidden());
}

void TestMainForm::fontTimersAndDialogs()
{
    Start();
    QCOMPARE(MainForm->font().family(), QStringLiteral("Arial"));
    QCOMPARE(MainForm->font().pixelSize(), 13);
    QVERIFY(MainForm->font().bold());
    QCOMPARE(MainForm->PlayList->palette().color(QPalette::Text), QColor(Qt::blue));
    QVERIFY(!MainForm->MainMenu->font().bold()); // menus keep the desktop's font
    MainForm->PlayList->addItem(QStringLiteral("/tmp/a.jpg"));
    QCOMPARE(MainForm->PlayList->sizeHintForRow(0), 16);

    QVERIFY(MainForm->Clock->isActive());
    QCOMPARE(MainForm->Clock->interval(), 1000);
    QVERIFY(!MainForm->SlideShow->Timer()->isActive());

    QCOMPARE(MainForm->OpenDialog.Filter, MediaOpenFilter);
    QCOMPARE(MainForm->OpenDialog.FilterIndex, 1);
    QCOMPARE(MainForm->PlayListOpenDialog.Filter, QStringLiteral("Плей-лист|*.txt"));
    QCOMPARE(MainForm->PlayListSaveDialog.Filter, QStringLiteral("Плей-лист (*.txt)|*.txt"));
    QCOMPARE(MainForm->PlayListSaveDialog.DefaultExt, QStringLiteral("txt"));
    QVERIFY(!MainForm->PlayListSaveDialog.OverwritePrompt);
}

void TestMainForm::closingWritesTheFourKeys()
{
    Start("[Form]\nTop=200\nLeft=300\nCaption=Был\n");
    MainForm->show();
    QSignalSpy closed(MainForm, &TMainForm::Closed);
    MainForm->move(320, 240);
    MainForm->setWindowTitle(QStringLiteral("Стал"));
    MainForm->Exit->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!MainForm->isVisible());
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
    QVERIFY(!MainForm && !DisplayWindow && !PlaylistWizard && !AnimatedPointer);
}

void TestMainForm::movesSnapToTheWorkArea()
{
    Start("[Form]\nTop=300\nLeft=300\n");
    MainForm->show();
    const QRect area = MainForm->screen()->availableGeometry();
    MainForm->move(area.left() + 10, area.top() + 200);
    QCOMPARE(MainForm->pos(), QPoint(area.left(), area.top() + 200));
    MainForm->move(area.left() + 11, area.top() + 200);
    QCOMPARE(MainForm->pos(), QPoint(area.left() + 11, area.top() + 200));
    const int w = MainForm->frameGeometry().width(), h = MainForm->frameGeometry().height();
    MainForm->move(area.right() + 1 - w - 9, area.bottom() + 1 - h - 4);
    QCOMPARE(MainForm->pos(), QPoint(area.right() + 1 - w, area.bottom() + 1 - h));
    QCOMPARE(MainForm->size(), QSize(394, 361)); // snapping never resizes

    // A resize that brings the right edge within 10 px of the work area's moves the window.
    MainForm->move(area.left() + 400, area.top() + 200);
    const int frameExtra = MainForm->frameGeometry().width() - MainForm->width();
    const int width = area.right() + 1 - (area.left() + 400) - frameExtra - 5; // 5 px short
    MainForm->resize(width, MainForm->height());
    QCOMPARE(MainForm->pos(), QPoint(area.left() + 405, area.top() + 200));
    QCOMPARE(MainForm->width(), width);
}

void TestMainForm::exitButtonEndsTheLoopWithoutClosing()
{
    Start();
    MainForm->show();
    QSignalSpy closed(MainForm, &TMainForm::Closed);
    // The program's own event loop, as in main(): the button ends it with result 0.
    auto runLoopAfter = [](auto command) {
        QTimer::singleShot(0, command);
        QTimer guard;
        guard.callOnTimeout([] { QCoreApplication::exit(1); });
        guard.start(5000);
        return QCoreApplication::exec();
    };
    QCOMPARE(runLoopAfter([] { MainForm->ExitButton->click(); }), 0);
    QCOMPARE(closed.count(), 0);
    QVERIFY(MainForm->isVisible()); // no close, no fade-out: the window is destroyed as it stands
    QCOMPARE(runLoopAfter([] { MainForm->ExitPopupItem->trigger(); }), 0);
    QCOMPARE(closed.count(), 0);
    QVERIFY(MainForm->isVisible());
}

void TestMainForm::showStartsOrStopsTheAnimatedPointer()
{
    Start();
    MainForm->show();
    QVERIFY(!AnimatedPointer->Timer->isActive());
    MainForm->hide();
    MainForm->AnimateItem->setChecked(true);
    MainForm->show();
    QVERIFY(AnimatedPointer->Timer->isActive());
    QVERIFY(!AnimatedPointer->State().StopPending);
    MainForm->hide();
    MainForm->AnimateItem->setChecked(false);
    MainForm->show();
    QVERIFY(AnimatedPointer->State().StopPending);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
