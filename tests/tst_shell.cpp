// The main window's hints and small commands: status-line texts, the clock switch, the
// About, help and links dialogs, the CD items, and hiding into the tray and coming back.

#include "app/AboutDialog.h"
#include "app/Application.h"
#include "app/HelpDialog.h"
#include "app/LinksDialog.h"
#include "app/MainForm.h"
#include "decor/AnimatedPointer.h"
#include "platform/Dialogs.h"
#include "platform/Quit.h"
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
    void settingsThatCannotBeWrittenAtExitAreTold();
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
    QTest::newRow("OpenCdTrayButton") << "OpenCdTrayButton" << "Открыть лоток CD-ROM";
    QTest::newRow("CloseCdTrayButton") << "CloseCdTrayButton" << "Закрыть лоток CD-ROM";
    QTest::newRow("PlaylistWizardButton") << "PlaylistWizardButton" << "Мастер плей-листов...";
    QTest::newRow("FullScreenBox") << "FullScreenBox" << "Полноэкранный режим...";
    QTest::newRow("ClockHandsLabel") << "ClockHandsLabel" << "Часы...";
    QTest::newRow("DigitalClock") << "DigitalClock" << "Часы...";
    QTest::newRow("PlayList") << "PlayList" << "Плей-лист программы";
    QTest::newRow("LoadPlayListButton") << "LoadPlayListButton" << "Открыть существующий плей-лист...";
    QTest::newRow("SavePlayListButton") << "SavePlayListButton" << "Сохранить плей-лист как...";
    QTest::newRow("AddFileButton") << "AddFileButton" << "Добавить элемент списка...";
    QTest::newRow("DeleteFileButton") << "DeleteFileButton" << "Удалить элемент списка...";
    QTest::newRow("StartSlideShowButton") << "StartSlideShowButton" << "Начать показ слайдов...";
    QTest::newRow("StopSlideShowButton") << "StopSlideShowButton" << "Остановить показ слайдов...";
    QTest::newRow("SlideIntervalButton") << "SlideIntervalButton" << "Настройка интервала между слайдами...";
    QTest::newRow("HelpButton") << "HelpButton" << "Справка...";
    QTest::newRow("AboutButton") << "AboutButton" << "Информация о программе...";
    QTest::newRow("ExitButton") << "ExitButton" << "Завершение работы программы";
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
    const QWidget* lastButton = MainForm->ExitButton;
    MoveOver(MainForm->ToolBar, QPoint(lastButton->geometry().right() + 30, 10));
    QCOMPARE(MainForm->StatusLabel->text(), QString());
}

void TestShell::statusTextsThatStay()
{
    MoveOver(MainForm->PlayList->viewport());
    MoveOver(MainForm->menuBar());   // the menus leave the text standing
    MoveOver(MainForm->StatusPanel);      // so does the bottom panel
    MoveOver(MainForm->StatusLabel);
    QCOMPARE(MainForm->StatusLabel->text(), QStringLiteral("Плей-лист программы"));
    MainForm->ClockItem->trigger();        // the clock off: its picture writes nothing
    MoveOver(MainForm->ClockOffLabel);
    QCOMPARE(MainForm->StatusLabel->text(), QStringLiteral("Плей-лист программы"));
    // A toolbar separator is a tool button of its own kind, not the toolbar's empty area:
    // like the menus, it leaves the text standing.
    MoveOver(MainForm->SavePlayListButton);
    const QRect gap(MainForm->SavePlayListButton->geometry().right() + 1, 0,
                    MainForm->AddFileButton->geometry().left() - MainForm->SavePlayListButton->geometry().right() - 1, 24);
    QVERIFY(MainForm->ToolBar->childAt(gap.center())); // the separator itself
    MoveOver(MainForm->ToolBar, gap.center());
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
    QVERIFY(MainForm->ClockItem->isChecked());
    QVERIFY(MainForm->ClockHandsLabel->isVisible() && MainForm->ClockFaceLabel->isVisible() && !MainForm->ClockOffLabel->isVisible());
    MainForm->ClockItem->trigger();
    QVERIFY(!MainForm->ClockItem->isChecked());
    QVERIFY(!MainForm->ClockHandsLabel->isVisible() && !MainForm->ClockFaceLabel->isVisible() && MainForm->ClockOffLabel->isVisible());
    QVERIFY(!MainForm->ClockOffLabel->pixmap().isNull());
    QVERIFY(MainForm->ClockOffLabel->pixmap().width() <= 53 && MainForm->ClockOffLabel->pixmap().height() <= 53);
    MainForm->ClockItem->trigger();
    QVERIFY(MainForm->ClockHandsLabel->isVisible() && !MainForm->ClockOffLabel->isVisible());
}

void TestShell::clockRuns()
{
    QVERIFY(!MainForm->DigitalClock->text().isEmpty());
    QCOMPARE(MainForm->ClockFace.pixel(26, 26), ClockColors::Face);
    const QString before = MainForm->DigitalClock->text();
    QTRY_VERIFY_WITH_TIMEOUT(MainForm->DigitalClock->text() != before, 2500); // ticks every second
    QCOMPARE(MainForm->Clock->interval(), 1000);
}

void TestShell::dialogs()
{
    QCOMPARE(AboutDialog->size(), QSize(303, 139));
    QCOMPARE(AboutDialog->SiteLink->text(), QStringLiteral("https://lumivo.org"));
    QCOMPARE(AboutDialog->SiteLink->toolTip(), QStringLiteral("Посетить сайт автора"));
    QCOMPARE(AboutDialog->MailLink->toolTip(), QStringLiteral("Написать письмо автору"));
    QStringList aboutTexts;
    for (const QLabel* label : AboutDialog->findChildren<QLabel*>())
        aboutTexts << label->text();
    for (const QString expected : {"Программа: ", "Lumivo", "Версия:", "2.0", "Автор:"})
        QVERIFY2(aboutTexts.contains(expected), qPrintable(expected));

    QCOMPARE(HelpDialog->size(), QSize(436, 127));
    const QStringList help = HelpDialog->HelpText->toPlainText().split('\n');
    QCOMPARE(help.size(), 17);
    QCOMPARE(help.first(), QStringLiteral("Утилита представляет собой "));
    QCOMPARE(help.last(), QStringLiteral("очень мощная функциональность. "));
    QCOMPARE(HelpDialog->TitleLabel->text(), QStringLiteral("Lumivo 2.0"));
    QVERIFY(!HelpDialog->HelpText->isReadOnly());
    QCOMPARE(HelpDialog->HelpText->height(), 89);

    QCOMPARE(LinksDialog->size(), QSize(198, 87));
    QCOMPARE(LinksDialog->ProjectSiteLink->y(), 4);
    QCOMPARE(LinksDialog->SystemLink->y(), 64);
    QCOMPARE(LinksDialog->SystemLink->toolTip(), TLinksDialog::Addresses[3]);
    QVERIFY(TLinksDialog::Addresses[3].contains("?ref="));
    QCOMPARE(LinksDialog->SearchLink->cursor().shape(), Qt::PointingHandCursor);

    MainForm->LinksItem->trigger(); // not modal: the main window stays usable
    QVERIFY(LinksDialog->isVisible());
    QVERIFY(!LinksDialog->isModal());
    MainForm->LinksItem->trigger(); // again: brought forward, still one
    QVERIFY(LinksDialog->isVisible());
    LinksDialog->hide();
}

void TestShell::aboutIsModal()
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = AboutDialog->isVisible() && AboutDialog->isModal();
        AboutDialog->close();
    });
    MainForm->AboutButton->click();
    QVERIFY(shown);
    QVERIFY(!AboutDialog->isVisible());

    QTimer::singleShot(0, [&] {
        shown = HelpDialog->isVisible();
        HelpDialog->close();
    });
    MainForm->Help->trigger();
    QVERIFY(shown);
}

void TestShell::cdItemsShowNothing()
{
    MainForm->OpenCDItem->trigger();
    MainForm->CloseCDItem->trigger();
    MainForm->OpenCdTrayButton->click();
    MainForm->CloseCdTrayButton->click();
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(MainForm->OpenCDItem->shortcut(), QKeySequence(Qt::Key_F7));
}

void TestShell::trayHideAndComeBack()
{
    QCOMPARE(TMainForm::TrayTip(QString(70, 'x')).size(), 63);
    QCOMPARE(TMainForm::TrayTip(QStringLiteral("Lumivo v 2.0")), QStringLiteral("Lumivo v 2.0"));

    // Without a notification area the window is minimized, never left without a way back.
    MainForm->show();
    MainForm->TrayAvailable = [] { return false; };
    MainForm->HideWindowItem->trigger();
    QVERIFY(MainForm->isVisible() && MainForm->isMinimized());
    QVERIFY(!MainForm->TrayIcon->isVisible());
    MainForm->showNormal();

    MainForm->TrayAvailable = [] { return true; };
    MainForm->HideWindowItem->trigger();
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
    MainForm->HideWindowItem->trigger();
    MainForm->ComeBack->trigger();
    QVERIFY(MainForm->isVisible() && !MainForm->TrayIcon->isVisible());
    MainForm->HideWindowItem->trigger();
    QSignalSpy closed(MainForm, &TMainForm::Closed);
    MainForm->GoAway->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!MainForm->TrayIcon->isVisible());
}

void TestShell::animatedPointerItem()
{
    MainForm->AnimateItem->trigger();
    QVERIFY(MainForm->AnimateItem->isChecked());
    QVERIFY(AnimatedPointer->Timer->isActive());
    QVERIFY(IsApplicationCursorRegistered(1) && IsApplicationCursorRegistered(12));
    QCOMPARE(ApplicationCursorAt(5).hotSpot(), QPoint(0, 0));
    QCOMPARE(ApplicationCursorAt(5).pixmap().size(), QSize(32, 32));
    QTRY_VERIFY(QGuiApplication::overrideCursor());
    MainForm->AnimateItem->trigger();
    QVERIFY(AnimatedPointer->State().StopPending);
    QTRY_VERIFY_WITH_TIMEOUT(!AnimatedPointer->Timer->isActive(), 3000);
    QVERIFY(!QGuiApplication::overrideCursor());
}

// However the user ends the program, a settings file that cannot be written is told; a
// termination signal ends it without a dialog.
void TestShell::settingsThatCannotBeWrittenAtExitAreTold()
{
    DestroyApplicationWindows();
    QFile plain(m_dir.filePath("plainfile"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString settings = m_dir.filePath("plainfile/lumivo.INI");
    for (bool bySignal : {false, true}) {
        CreateApplicationWindows(settings);
        if (bySignal)
            NoteTerminationSignal();
        RequestQuit(0);
        DestroyApplicationWindows();
    }
    QCOMPARE(m_messages, QStringList{"Unable to write to " + settings});
    CreateApplicationWindows(m_dir.filePath("lumivo.INI")); // for cleanup()
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
