// The main window's hints and small commands: status-line texts, the clock switch, the
// About, help and links dialogs, the CD items, and hiding into the tray and coming back.

#include "app/AboutBox1.h"
#include "app/Application.h"
#include "app/Form2.h"
#include "app/Form3.h"
#include "app/MainForm.h"
#include "decor/NTCursor.h"
#include "platform/Dialogs.h"
#include "platform/LinkLabel.h"
#include "platform/ApplicationCursor.h"
#include "playlist/PlayListBox.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolTip>
#include <QTemporaryDir>
#include <QTest>
#include <QApplication>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

// A mouse move over a point of a control, as Qt delivers one from the window system: to
// the innermost widget under the pointer, through the application's own delivery, which
// passes it to the parents only as far as widgets that track the mouse and ignore it.
void MoveOver(QWidget* control, QPoint pos = QPoint(-1, -1))
{
    if (pos.x() < 0)
        pos = control->rect().center();
    QWidget* target = control;
    while (QWidget* inner = target->childAt(pos)) {
        pos = inner->mapFrom(target, pos);
        target = inner;
    }
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(target->mapToGlobal(pos)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void statusTexts_data();
    void statusTexts();
    void statusTextsThatStay();
    void tooltips();
    void clockSwitch();
    void clockRuns();
    void dialogs();
    void aboutIsModal();
    void cdItemsShowNothing();
    void trayHideAndComeBack();
    void animatedPointerItem();

private:
    QTemporaryDir m_dir;
    QStringList m_messages;
};

void TestShell::init()
{
    m_messages.clear();
    Dialogs::SetHandler([this](Dialogs::Kind, const QString& text) { m_messages << text; });
    CreateApplicationWindows(m_dir.filePath("lumivo.INI"));
    MainForm->show();
}

void TestShell::cleanup()
{
    DestroyApplicationWindows();
    Dialogs::SetHandler(nullptr);
}

void TestShell::statusTexts_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::newRow("BitBtn1") << "BitBtn1" << "Открыть лоток CD-ROM";
    QTest::newRow("BitBtn2") << "BitBtn2" << "Закрыть лоток CD-ROM";
    QTest::newRow("BitBtn3") << "BitBtn3" << "Мастер плей-листов...";
    QTest::newRow("Screen") << "Screen" << "Полноэкранный режим...";
    QTest::newRow("SAMARA") << "SAMARA" << "Часы...";
    QTest::newRow("SAM") << "SAM" << "Часы...";
    QTest::newRow("PlayList") << "PlayList" << "Плей-лист программы";
    QTest::newRow("ToolButton5") << "ToolButton5" << "Открыть существующий плей-лист...";
    QTest::newRow("ToolButton9") << "ToolButton9" << "Сохранить плей-лист как...";
    QTest::newRow("ToolButton3") << "ToolButton3" << "Добавить элемент списка...";
    QTest::newRow("ToolButton4") << "ToolButton4" << "Удалить элемент списка...";
    QTest::newRow("ToolButton7") << "ToolButton7" << "Начать показ слайдов...";
    QTest::newRow("ToolButton10") << "ToolButton10" << "Остановить показ слайдов...";
    QTest::newRow("ToolButton12") << "ToolButton12" << "Настройка интервала между слайдами...";
    QTest::newRow("ToolButton13") << "ToolButton13" << "Справка...";
    QTest::newRow("ToolButton15") << "ToolButton15" << "Информация о программе...";
    QTest::newRow("ToolButton11") << "ToolButton11" << "Завершение работы программы";
}

void TestShell::statusTexts()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QWidget* w = MainForm->findChild<QWidget*>(control);
    QVERIFY(w);
    if (w == MainForm->PlayList)
        w = MainForm->PlayList->viewport();
    MoveOver(w);
    QCOMPARE(MainForm->StatusLabel->text(), text);
    // The empty areas of the control panel and the toolbar clear the line.
    MoveOver(MainForm->ControlPanel, QPoint(320, 70));
    QCOMPARE(MainForm->StatusLabel->text(), QString());
    MoveOver(w);
    const QWidget* lastButton = MainForm->ToolButton11;
    MoveOver(MainForm->ToolBar1, QPoint(lastButton->geometry().right() + 30, 10));
    QCOMPARE(MainForm->StatusLabel->text(), QString());
}

void TestShell::statusTextsThatStay()
{
    MoveOver(MainForm->PlayList->viewport());
    MoveOver(MainForm->menuBar());   // the menus leave the text standing
    MoveOver(MainForm->Panel1);      // so does the bottom panel
    MoveOver(MainForm->StatusLabel);
    QCOMPARE(MainForm->StatusLabel->text(), QStringLiteral("Плей-лист программы"));
    MainForm->N13->trigger();        // the clock off: its picture writes nothing
    MoveOver(MainForm->ImageN);
    QCOMPARE(MainForm->StatusLabel->text(), QStringLiteral("Плей-лист программы"));
    // A toolbar separator is a tool button of its own kind, not the toolbar's empty area:
    // like the menus, it leaves the text standing.
    MoveOver(MainForm->ToolButton9);
    const QRect gap(MainForm->ToolButton9->geometry().right() + 1, 0,
                    MainForm->ToolButton3->geometry().left() - MainForm->ToolButton9->geometry().right() - 1, 24);
    QVERIFY(MainForm->ToolBar1->childAt(gap.center())); // the separator itself
    MoveOver(MainForm->ToolBar1, gap.center());
    QCOMPARE(MainForm->StatusLabel->text(), QStringLiteral("Сохранить плей-лист как..."));
}

void TestShell::tooltips()
{
    QCOMPARE(QToolTip::font().family(), QStringLiteral("Arial"));
    QCOMPARE(QToolTip::font().pointSize(), 11);
    QVERIFY(QToolTip::font().bold());
}

void TestShell::clockSwitch()
{
    QVERIFY(MainForm->N13->isChecked());
    QVERIFY(MainForm->SAMARA->isVisible() && MainForm->Image1->isVisible() && !MainForm->ImageN->isVisible());
    MainForm->N13->trigger();
    QVERIFY(!MainForm->N13->isChecked());
    QVERIFY(!MainForm->SAMARA->isVisible() && !MainForm->Image1->isVisible() && MainForm->ImageN->isVisible());
    QVERIFY(!MainForm->ImageN->pixmap().isNull());
    QVERIFY(MainForm->ImageN->pixmap().width() <= 53 && MainForm->ImageN->pixmap().height() <= 53);
    MainForm->N13->trigger();
    QVERIFY(MainForm->SAMARA->isVisible() && !MainForm->ImageN->isVisible());
}

void TestShell::clockRuns()
{
    QVERIFY(MainForm->SAM->text() != QStringLiteral("SAM"));
    QCOMPARE(MainForm->ClockFace.pixel(26, 26), ClockColors::Face);
    const QString before = MainForm->SAM->text();
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->SAM->text() != before, 2500); // ticks every second
    QCOMPARE(MainForm->Clock->interval(), 1000);
}

void TestShell::dialogs()
{
    QCOMPARE(AboutBox1->size(), QSize(303, 139));
    QCOMPARE(AboutBox1->Label8->text(), QStringLiteral("https://lumivo.org"));
    QCOMPARE(AboutBox1->Label8->toolTip(), QStringLiteral("Посетить сайт автора"));
    QCOMPARE(AboutBox1->Label10->toolTip(), QStringLiteral("Написать письмо автору"));
    QStringList aboutTexts;
    for (const QLabel* label : AboutBox1->findChildren<QLabel*>())
        aboutTexts << label->text();
    for (const QString expected : {"Программа: ", "Lumivo", "Версия:", "2.0", "Автор:"})
        QVERIFY2(aboutTexts.contains(expected), qPrintable(expected));

    QCOMPARE(Form2->size(), QSize(436, 127));
    const QStringList help = Form2->Memo1->toPlainText().split('\n');
    QCOMPARE(help.size(), 17);
    QCOMPARE(help.first(), QStringLiteral("Утилита представляет собой "));
    QCOMPARE(help.last(), QStringLiteral("очень мощная функциональность. "));
    QCOMPARE(Form2->Label1->text(), QStringLiteral("Lumivo 2.0"));
    QVERIFY(!Form2->Memo1->isReadOnly());
    QCOMPARE(Form2->Memo1->height(), 89);

    QCOMPARE(Form3->size(), QSize(198, 87));
    QCOMPARE(Form3->Label1->y(), 4);
    QCOMPARE(Form3->Label4->y(), 64);
    QCOMPARE(Form3->Label4->toolTip(), TForm3::Addresses[3]);
    QVERIFY(TForm3::Addresses[3].contains("?ref="));
    QCOMPARE(Form3->Label2->cursor().shape(), Qt::PointingHandCursor);

    MainForm->N1->trigger(); // not modal: the main window stays usable
    QVERIFY(Form3->isVisible());
    QVERIFY(!Form3->isModal());
    MainForm->N1->trigger(); // again: brought forward, still one
    QVERIFY(Form3->isVisible());
    Form3->hide();
}

void TestShell::aboutIsModal()
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = AboutBox1->isVisible() && AboutBox1->isModal();
        AboutBox1->close();
    });
    MainForm->ToolButton15->click();
    QVERIFY(shown);
    QVERIFY(!AboutBox1->isVisible());

    QTimer::singleShot(0, [&] {
        shown = Form2->isVisible();
        Form2->close();
    });
    MainForm->Help->trigger();
    QVERIFY(shown);
}

void TestShell::cdItemsShowNothing()
{
    MainForm->OpenCDItem->trigger();
    MainForm->CloseCDItem->trigger();
    MainForm->BitBtn1->click();
    MainForm->BitBtn2->click();
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(MainForm->OpenCDItem->shortcut(), QKeySequence(Qt::Key_F7));
}

void TestShell::trayHideAndComeBack()
{
    QCOMPARE(TMainForm::TrayTip(QString(70, 'x')).size(), 63);
    QCOMPARE(TMainForm::TrayTip(QStringLiteral("Lumivo v 2.0")), QStringLiteral("Lumivo v 2.0"));

    MainForm->N8->trigger();
    QVERIFY(!MainForm->isVisible());
    QVERIFY(MainForm->TrayIcon->isVisible());
    QCOMPARE(MainForm->TrayIcon->toolTip(), QStringLiteral("Lumivo v 2.0"));
    QVERIFY(MainForm->Clock->isActive()); // timers go on while hidden

    // Only the release of the left or right button acts.
    MainForm->WMTrayNotify(QSystemTrayIcon::DoubleClick);
    MainForm->WMTrayNotify(QSystemTrayIcon::MiddleClick);
    QVERIFY(!MainForm->isVisible());
    MainForm->WMTrayNotify(QSystemTrayIcon::Trigger);
    QVERIFY(MainForm->isVisible());
    QVERIFY(!MainForm->TrayIcon->isVisible());

    // From the tray menu: "Восстановить", then hidden again and "Выход".
    MainForm->N8->trigger();
    MainForm->ComeBack->trigger();
    QVERIFY(MainForm->isVisible() && !MainForm->TrayIcon->isVisible());
    MainForm->N8->trigger();
    QSignalSpy closed(MainForm, &TMainForm::Closed);
    MainForm->GoAway->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!MainForm->TrayIcon->isVisible());
}

void TestShell::animatedPointerItem()
{
    MainForm->AnimateItem->trigger();
    QVERIFY(MainForm->AnimateItem->isChecked());
    QVERIFY(NTCursor->Timer->isActive());
    QVERIFY(IsApplicationCursorRegistered(1) && IsApplicationCursorRegistered(12));
    QCOMPARE(ApplicationCursorAt(5).hotSpot(), QPoint(0, 0));
    QCOMPARE(ApplicationCursorAt(5).pixmap().size(), QSize(32, 32));
    QTRY_VERIFY(QGuiApplication::overrideCursor());
    MainForm->AnimateItem->trigger();
    QVERIFY(NTCursor->State().StopPending);
    QTRY_VERIFY_WITH_TIMEOUT(!NTCursor->Timer->isActive(), 3000);
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
