// The main window after start-up: windows, settings, menus, toolbar, panels, snapping and
// the ways the window ends. Runs on the offscreen platform.

#include "app/AboutBox1.h"
#include "app/Application.h"
#include "app/Form2.h"
#include "app/Form3.h"
#include "app/MainForm.h"
#include "decor/NTCursor.h"
#include "platform/Dialogs.h"
#include "playlist/Form7.h"
#include "playlist/PlayListBox.h"
#include "presentation/Form4.h"
#include "slideshow/Form6.h"

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
    QCOMPARE(AboutBox1->windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(Form2->windowTitle(), QStringLiteral("Справка"));
    QVERIFY(NTCursor);
    QCOMPARE(Form3->windowTitle(), QStringLiteral("Ссылки"));
    QCOMPARE(Form4->windowTitle(), QStringLiteral("Экран"));
    QCOMPARE(Form6->windowTitle(), QStringLiteral("Время ожидания:"));
    QCOMPARE(Form7->windowTitle(), QStringLiteral("Мастер плей-листов"));
    // Created hidden; fixed dialog borders around their client areas; the display window sizeable.
    for (QWidget* w : std::initializer_list<QWidget*>{MainForm, AboutBox1, Form2, Form3, Form4, Form6, Form7})
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QCOMPARE(AboutBox1->minimumSize(), QSize(303, 139));
    QCOMPARE(AboutBox1->maximumSize(), QSize(303, 139));
    QCOMPARE(Form2->maximumSize(), QSize(436, 127));
    QCOMPARE(Form3->maximumSize(), QSize(198, 87));
    QCOMPARE(Form6->maximumSize(), QSize(273, 144));
    QCOMPARE(Form7->maximumSize(), QSize(441, 480));
    QCOMPARE(Form4->size(), QSize(692, 471));
    QVERIFY(Form4->maximumWidth() > 692);
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
    // A position off every screen is applied as it is.
    Start("[Form]\nTop=-3000\nLeft=5\nCaption=Мой просмотрщик\nInitMax=0\n");
    MainForm->show();
    QCOMPARE(MainForm->pos(), QPoint(5, -3000));
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
                          << QStringList{"&Открыть...|Ctrl+O|Open", "-", "&Добавить...|Ctrl+A|AddItem1",
                                         "&Удалить|Ctrl+D|DeleteItem1", "Очистить плей-лист||N6", "-",
                                         "&Загрузить плей-лист...|Ctrl+L|LoadPlayList1",
                                         "&Сохранить плей-лист...|Ctrl+S|SavePlayList1", "-", "&Выход||Exit"};
    QTest::newRow("action") << 1 << "&Действие"
                            << QStringList{"&Скрыть окно программы|Ctrl+R|N8", "-", "Открыть CD|F7|OpenCDItem",
                                           "Закрыть CD|F8|CloseCDItem"};
    QTest::newRow("slide show") << 2 << "&Показ слайдов"
                                << QStringList{"&Запустить|F4|N23", "&Остановить|F5|N26", "-", "За&держка...|F6|N11"};
    QTest::newRow("service") << 3 << "&Сервис"
                             << QStringList{"&Сформировать плей-лист...|Ctrl+P|N5", "-", "&Часы||N13",
                                            "&Анимированный курсор||AnimateItem"};
    QTest::newRow("help") << 4 << "Справка"
                          << QStringList{"&Помощь...|F1|Help", "&Ссылки...|F2|N1", "-", "&О программе...|F3|About"};
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
    QVERIFY(MainForm->N13->isCheckable() && MainForm->N13->isChecked());
    QVERIFY(MainForm->AnimateItem->isCheckable() && !MainForm->AnimateItem->isChecked());
}

void TestMainForm::popupAndTrayMenus()
{
    Start();
    QCOMPARE(Describe(MainForm->MainPopup), (QStringList{"О &программе...||AboutPopupItem", "-", "&Выход||Illbeback"}));
    QCOMPARE(Describe(MainForm->TrayMenu), (QStringList{"О &программе...||AboutMe", "-", "Восстановит&ь||ComeBack",
                                                        "-", "&Выход||GoAway"}));
}

void TestMainForm::toolbarInOrder()
{
    Start();
    QStringList seen;
    for (QAction* a : MainForm->ToolBar1->actions()) {
        if (a->isSeparator()) {
            seen << "|";
            continue;
        }
        auto* button = qobject_cast<QToolButton*>(MainForm->ToolBar1->widgetForAction(a));
        QVERIFY(button);
        QCOMPARE(button->size(), QSize(25, 24));
        QVERIFY(!button->icon().isNull());
        seen << button->objectName() + ':' + button->toolTip();
    }
    QCOMPARE(seen, (QStringList{"|", "ToolButton5:Открыть плей-лист...", "ToolButton9:Сохранить плей-лист...", "|",
                                "ToolButton3:Добавить файл в плей лист...", "ToolButton4:Удалить файл...", "|",
                                "ToolButton7:Запустить слайд-шоу", "ToolButton10:Остановить слайд-шоу...",
                                "ToolButton12:Интервал...", "|", "ToolButton13:Справка...",
                                "ToolButton15:О программе...", "|", "ToolButton11:Выход"}));
    QCOMPARE(MainForm->ToolBar1->height(), 29);
    QCOMPARE(MainForm->ImageList1.size(), 10);

    // A toolbar button runs the same command as its menu item.
    QSignalSpy triggered(MainForm->N23, &QAction::triggered);
    MainForm->ToolButton7->click();
    QCOMPARE(triggered.count(), 1);
}

void TestMainForm::controlPanel_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    QTest::newRow("BitBtn1") << "BitBtn1" << QRect(4, 4, 137, 33) << "Открыть CD" << "Открыть лоток привода...";
    QTest::newRow("BitBtn2") << "BitBtn2" << QRect(4, 36, 137, 33) << "Закрыть CD" << "Закрыть лоток привода";
    QTest::newRow("BitBtn3") << "BitBtn3" << QRect(144, 4, 181, 49) << "Плей-лист мастер" << "Мастер плей-листов";
    QTest::newRow("Screen") << "Screen" << QRect(144, 52, 173, 17) << "Полноэкранный режим"
                            << "Переход в полноэкранный режим";
    QTest::newRow("Image1") << "Image1" << QRect(328, 4, 53, 53) << "" << "";
    QTest::newRow("SAMARA") << "SAMARA" << QRect(328, 4, 53, 53) << "" << "Часики...";
    QTest::newRow("ImageN") << "ImageN" << QRect(328, 4, 53, 53) << "" << "";
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
    QCOMPARE(MainForm->Panel1->height(), 19);
    QCOMPARE(MainForm->StatusLabel->pos(), QPoint(4, 4));
    QVERIFY(MainForm->StatusLabel->text().isEmpty());
    QCOMPARE(MainForm->SAM->pos(), QPoint(332, 57));
    QCOMPARE(MainForm->SAM->toolTip(), QStringLiteral("Цифровые часы..."));
    QVERIFY(!MainForm->Screen->isChecked());
    QVERIFY(MainForm->ImageN->isHidden() && !MainForm->SAMARA->isHidden());
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
    QVERIFY(!MainForm->Timer1->isActive());

    QCOMPARE(MainForm->OpenDialog.Filter, TMainForm::MediaFilter);
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
    QVERIFY(!MainForm && !Form4 && !Form7 && !NTCursor);
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
    QCOMPARE(runLoopAfter([] { MainForm->ToolButton11->click(); }), 0);
    QCOMPARE(closed.count(), 0);
    QVERIFY(MainForm->isVisible()); // no close, no fade-out: the window is destroyed as it stands
    QCOMPARE(runLoopAfter([] { MainForm->Illbeback->trigger(); }), 0);
    QCOMPARE(closed.count(), 0);
    QVERIFY(MainForm->isVisible());
}

void TestMainForm::showStartsOrStopsTheAnimatedPointer()
{
    Start();
    MainForm->show();
    QVERIFY(!NTCursor->Timer->isActive());
    MainForm->hide();
    MainForm->AnimateItem->setChecked(true);
    MainForm->show();
    QVERIFY(NTCursor->Timer->isActive());
    QVERIFY(!NTCursor->State().StopPending);
    MainForm->hide();
    MainForm->AnimateItem->setChecked(false);
    MainForm->show();
    QVERIFY(NTCursor->State().StopPending);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
