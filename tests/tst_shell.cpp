// The main window's hints and small commands: status-line texts, the clock switch, the
// About, help and links dialogs, the CD items, and hiding into the tray and coming back.

#include "app/AboutDialog.h"
#include "tests/ProgramWindows.h"
#include "app/Application.h"
#include "app/HelpDialog.h"
#include "app/LinksDialog.h"
#include "app/MainForm.h"
#include "core/Dialogs.h"
#include "core/Quit.h"
#include "decor/AnimatedPointer.h"
#include "playlist/PlayListBox.h"
#include "playlist/PlaylistWizard.h"
#include "presentation/DisplayWindow.h"
#include "slideshow/SlideIntervalDialog.h"
#include "widgets/Accessibility.h"
#include "widgets/ApplicationCursor.h"
#include "widgets/FitCaptions.h"
#include "widgets/LinkLabel.h"
#include "widgets/ReadableColours.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
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
    void everyControlIsNamedAndReadable_data();
    void everyControlIsNamedAndReadable();
    void captionsFitAtLargerFonts_data();
    void captionsFitAtLargerFonts();
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
    Main()->show();
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
    QWidget* w = Main()->findChild<QWidget*>(control);
    QVERIFY(w);
    if (w == Main()->Playlist())
        w = Main()->Playlist()->viewport();
    MoveOver(w);
    QCOMPARE(MainControl<QLabel>("StatusLabel")->text(), text);
    // The empty areas of the control panel and the toolbar clear the line.
    MoveOver(MainControl<QFrame>("ControlPanel"), QPoint(320, 70));
    QCOMPARE(MainControl<QLabel>("StatusLabel")->text(), QString());
    MoveOver(w);
    const QWidget* lastButton = MainControl<QToolButton>("ExitButton");
    MoveOver(MainControl<QToolBar>("ToolBar"), QPoint(lastButton->geometry().right() + 30, 10));
    QCOMPARE(MainControl<QLabel>("StatusLabel")->text(), QString());
}

void TestShell::statusTextsThatStay()
{
    MoveOver(Main()->Playlist()->viewport());
    MoveOver(Main()->menuBar());   // the menus leave the text standing
    MoveOver(MainControl<QFrame>("StatusPanel"));      // so does the bottom panel
    MoveOver(MainControl<QLabel>("StatusLabel"));
    QCOMPARE(MainControl<QLabel>("StatusLabel")->text(), QStringLiteral("Плей-лист программы"));
    MainControl<QAction>("ClockItem")->trigger();        // the clock off: its picture writes nothing
    MoveOver(MainControl<QLabel>("ClockOffLabel"));
    QCOMPARE(MainControl<QLabel>("StatusLabel")->text(), QStringLiteral("Плей-лист программы"));
    // A toolbar separator is a tool button of its own kind, not the toolbar's empty area:
    // like the menus, it leaves the text standing.
    MoveOver(MainControl<QToolButton>("SavePlayListButton"));
    const QRect gap(MainControl<QToolButton>("SavePlayListButton")->geometry().right() + 1, 0,
                    MainControl<QToolButton>("AddFileButton")->geometry().left() - MainControl<QToolButton>("SavePlayListButton")->geometry().right() - 1, 24);
    QVERIFY(MainControl<QToolBar>("ToolBar")->childAt(gap.center())); // the separator itself
    MoveOver(MainControl<QToolBar>("ToolBar"), gap.center());
    QCOMPARE(MainControl<QLabel>("StatusLabel")->text(), QStringLiteral("Сохранить плей-лист как..."));
}

void TestShell::tooltips()
{
    QCOMPARE(QToolTip::font().family(), QStringLiteral("Arial"));
    QCOMPARE(QToolTip::font().pointSize(), 11);
    QVERIFY(QToolTip::font().bold());
}

void TestShell::clockSwitch()
{
    QVERIFY(MainControl<QAction>("ClockItem")->isChecked());
    QVERIFY(MainControl<QLabel>("ClockHandsLabel")->isVisible() && MainControl<QLabel>("ClockFaceLabel")->isVisible() && !MainControl<QLabel>("ClockOffLabel")->isVisible());
    MainControl<QAction>("ClockItem")->trigger();
    QVERIFY(!MainControl<QAction>("ClockItem")->isChecked());
    QVERIFY(!MainControl<QLabel>("ClockHandsLabel")->isVisible() && !MainControl<QLabel>("ClockFaceLabel")->isVisible() && MainControl<QLabel>("ClockOffLabel")->isVisible());
    QVERIFY(!MainControl<QLabel>("ClockOffLabel")->pixmap().isNull());
    QVERIFY(MainControl<QLabel>("ClockOffLabel")->pixmap().width() <= 53 && MainControl<QLabel>("ClockOffLabel")->pixmap().height() <= 53);
    MainControl<QAction>("ClockItem")->trigger();
    QVERIFY(MainControl<QLabel>("ClockHandsLabel")->isVisible() && !MainControl<QLabel>("ClockOffLabel")->isVisible());
}

void TestShell::clockRuns()
{
    QVERIFY(!MainControl<QLabel>("DigitalClock")->text().isEmpty());
    QCOMPARE(Main()->ClockFaceLayer().pixel(26, 26), ClockColors::Face);
    const QString before = MainControl<QLabel>("DigitalClock")->text();
    QTRY_VERIFY_WITH_TIMEOUT(MainControl<QLabel>("DigitalClock")->text() != before, 2500); // ticks every second
    QCOMPARE(MainControl<QTimer>("Clock")->interval(), 1000);
}

void TestShell::dialogs()
{
    QCOMPARE(About()->size(), QSize(303, 139));
    QCOMPARE(ChildOf<TLinkLabel>(About().Get(), "SiteLink")->text(), QStringLiteral("https://lumivo.org"));
    QCOMPARE(ChildOf<TLinkLabel>(About().Get(), "SiteLink")->toolTip(), QStringLiteral("Посетить сайт автора"));
    QCOMPARE(ChildOf<TLinkLabel>(About().Get(), "MailLink")->toolTip(), QStringLiteral("Написать письмо автору"));
    QStringList aboutTexts;
    for (const QLabel* label : About()->findChildren<QLabel*>())
        aboutTexts << label->text();
    for (const QString expected : {"Программа: ", "Lumivo", "Версия:", "2.0", "Автор:"})
        QVERIFY2(aboutTexts.contains(expected), qPrintable(expected));

    QCOMPARE(Help()->size(), QSize(436, 127));
    const QStringList help = ChildOf<QPlainTextEdit>(Help().Get(), "HelpText")->toPlainText().split('\n');
    QCOMPARE(help.size(), 17);
    QCOMPARE(help.first(), QStringLiteral("Утилита представляет собой "));
    QCOMPARE(help.last(), QStringLiteral("очень мощная функциональность. "));
    QCOMPARE(ChildOf<QLabel>(Help().Get(), "TitleLabel")->text(), QStringLiteral("Lumivo 2.0"));
    QVERIFY(!ChildOf<QPlainTextEdit>(Help().Get(), "HelpText")->isReadOnly());
    QCOMPARE(ChildOf<QPlainTextEdit>(Help().Get(), "HelpText")->height(), 89);

    QCOMPARE(Links()->size(), QSize(198, 87));
    QCOMPARE(ChildOf<TLinkLabel>(Links().Get(), "ProjectSiteLink")->y(), 4);
    QCOMPARE(ChildOf<TLinkLabel>(Links().Get(), "SystemLink")->y(), 64);
    QCOMPARE(ChildOf<TLinkLabel>(Links().Get(), "SystemLink")->toolTip(), TLinksDialog::Addresses[3]);
    QVERIFY(TLinksDialog::Addresses[3].contains("?ref="));
    QCOMPARE(ChildOf<TLinkLabel>(Links().Get(), "SearchLink")->cursor().shape(), Qt::PointingHandCursor);

    MainControl<QAction>("LinksItem")->trigger(); // not modal: the main window stays usable
    QVERIFY(Links()->isVisible());
    QVERIFY(!Links()->isModal());
    MainControl<QAction>("LinksItem")->trigger(); // again: brought forward, still one
    QVERIFY(Links()->isVisible());
    Links()->hide();
}

void TestShell::aboutIsModal()
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = About()->isVisible() && About()->isModal();
        About()->close();
    });
    MainControl<QToolButton>("AboutButton")->click();
    QVERIFY(shown);
    QVERIFY(!About()->isVisible());

    QTimer::singleShot(0, [&] {
        shown = Help()->isVisible();
        Help()->close();
    });
    MainControl<QAction>("Help")->trigger();
    QVERIFY(shown);
}

void TestShell::cdItemsShowNothing()
{
    MainControl<QAction>("OpenCDItem")->trigger();
    MainControl<QAction>("CloseCDItem")->trigger();
    MainControl<QPushButton>("OpenCdTrayButton")->click();
    MainControl<QPushButton>("CloseCdTrayButton")->click();
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(MainControl<QAction>("OpenCDItem")->shortcut(), QKeySequence(Qt::Key_F7));
}

void TestShell::trayHideAndComeBack()
{
    QCOMPARE(TMainForm::TrayTip(QString(70, 'x')).size(), 63);
    QCOMPARE(TMainForm::TrayTip(QStringLiteral("Lumivo v 2.0")), QStringLiteral("Lumivo v 2.0"));

    // Without a notification area the window is minimized, never left without a way back.
    Main()->show();
    Main()->TrayAvailable = [] { return false; };
    MainControl<QAction>("HideWindowItem")->trigger();
    QVERIFY(Main()->isVisible() && Main()->isMinimized());
    QVERIFY(!MainControl<QSystemTrayIcon>("TrayIcon")->isVisible());
    Main()->showNormal();

    Main()->TrayAvailable = [] { return true; };
    MainControl<QAction>("HideWindowItem")->trigger();
    QVERIFY(!Main()->isVisible());
    QVERIFY(MainControl<QSystemTrayIcon>("TrayIcon")->isVisible());
    QCOMPARE(MainControl<QSystemTrayIcon>("TrayIcon")->toolTip(), QStringLiteral("Lumivo v 2.0"));
    QVERIFY(MainControl<QTimer>("Clock")->isActive()); // timers go on while hidden

    // Only the release of the left or right button acts.
    Main()->WMTrayNotify(QSystemTrayIcon::DoubleClick);
    Main()->WMTrayNotify(QSystemTrayIcon::MiddleClick);
    QVERIFY(!Main()->isVisible());
    Main()->WMTrayNotify(QSystemTrayIcon::Trigger);
    QVERIFY(Main()->isVisible());
    QVERIFY(!MainControl<QSystemTrayIcon>("TrayIcon")->isVisible());

    // From the tray menu: "Восстановить", then hidden again and "Выход".
    MainControl<QAction>("HideWindowItem")->trigger();
    MainControl<QAction>("ComeBack")->trigger();
    QVERIFY(Main()->isVisible() && !MainControl<QSystemTrayIcon>("TrayIcon")->isVisible());
    MainControl<QAction>("HideWindowItem")->trigger();
    QSignalSpy closed(Main(), &TMainForm::Closed);
    MainControl<QAction>("GoAway")->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!MainControl<QSystemTrayIcon>("TrayIcon")->isVisible());
}

void TestShell::animatedPointerItem()
{
    MainControl<QAction>("AnimateItem")->trigger();
    QVERIFY(MainControl<QAction>("AnimateItem")->isChecked());
    QVERIFY(ChildOf<QTimer>(Pointer(), "Timer")->isActive());
    QVERIFY(IsApplicationCursorRegistered(1) && IsApplicationCursorRegistered(12));
    QCOMPARE(ApplicationCursorAt(5).hotSpot(), QPoint(0, 0));
    QCOMPARE(ApplicationCursorAt(5).pixmap().size(), QSize(32, 32));
    QTRY_VERIFY(QGuiApplication::overrideCursor());
    MainControl<QAction>("AnimateItem")->trigger();
    QVERIFY(Pointer()->State().StopPending);
    QTRY_VERIFY_WITH_TIMEOUT(!ChildOf<QTimer>(Pointer(), "Timer")->isActive(), 3000);
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

void TestShell::everyControlIsNamedAndReadable_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("light") << QApplication::palette();
    QPalette dark;
    const QColor window(53, 53, 53), base(42, 42, 42);
    for (auto [role, colour] : {std::pair{QPalette::Window, window}, {QPalette::WindowText, QColor(Qt::white)},
                                {QPalette::Base, base}, {QPalette::AlternateBase, window},
                                {QPalette::ToolTipBase, QColor(60, 60, 40)}, {QPalette::ToolTipText, QColor(Qt::white)},
                                {QPalette::Text, QColor(Qt::white)}, {QPalette::Button, window},
                                {QPalette::ButtonText, QColor(Qt::white)}, {QPalette::Highlight, QColor(42, 130, 218)},
                                {QPalette::HighlightedText, QColor(Qt::black)}})
        dark.setColor(role, colour);
    QTest::newRow("dark") << dark;
}

// Every control a user reaches has a name a screen reader can read, and every text of the
// program's own colours reads with a contrast of 4.5:1 or more (7:1 under 10 pixels), under
// a light and a dark palette. Link entries are links that take the focus; the display window is a frame.
void TestShell::everyControlIsNamedAndReadable()
{
    QFETCH(QPalette, palette);
    const QPalette before = QApplication::palette();
    DestroyApplicationWindows();
    QApplication::setPalette(palette);
    CreateApplicationWindows(m_dir.filePath("lumivo.INI"));
    InstallAccessibleRoles();
    QStringList unnamed, unreadable;
    const auto check = [&](QWidget* window) {
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(window) || w->objectName().startsWith(QLatin1String("qt_")) ||
                qobject_cast<QScrollBar*>(w))
                continue;
            const QString where = window->objectName() + '/' + w->objectName() + '/' + w->metaObject()->className();
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSlider*>(w) ||
                                 qobject_cast<QAbstractItemView*>(w) || qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QComboBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                                 qobject_cast<QProgressBar*>(w) || qobject_cast<TLinkLabel*>(w);
            if (control && qobject_cast<QComboBox*>(w->parentWidget()))
                continue; // the parts of a combo box
            if (control && QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << where;
            double contrast = 21;
            const QPalette& p = w->palette();
            auto* tool = qobject_cast<QToolButton*>(w);
            if (qobject_cast<QLabel*>(w) && !static_cast<QLabel*>(w)->text().isEmpty())
                contrast = ContrastRatio(p.color(QPalette::WindowText), BackgroundBehind(w));
            else if (qobject_cast<QCheckBox*>(w) || (tool && tool->autoRaise() && !tool->text().isEmpty()))
                contrast = ContrastRatio(p.color(w->foregroundRole()), BackgroundBehind(w));
            else if (qobject_cast<QAbstractButton*>(w) && !static_cast<QAbstractButton*>(w)->text().isEmpty())
                contrast = ContrastRatio(p.color(QPalette::ButtonText), p.color(QPalette::Button));
            else if (qobject_cast<QAbstractItemView*>(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QLineEdit*>(w))
                contrast = ContrastRatio(p.color(QPalette::Text), p.color(QPalette::Base));
            // Captions under 10 pixels need the stronger contrast of small text.
            const double needed = w->font().pixelSize() > 0 && w->font().pixelSize() < 10 ? 7 : 4.5;
            if (contrast < needed)
                unreadable << where + QStringLiteral(" %1").arg(contrast, 0, 'f', 2);
        }
    };
    check(Main());
    DisplayWin()->ApplyClipLayout();
    check(DisplayWin());
    DisplayWin()->ApplyAnimationLayout();
    check(DisplayWin());
    for (QWidget* dialog : std::initializer_list<QWidget*>{About().Get(), Help().Get(), Links().Get(),
                                                            SlideInterval().Get(), Wizard().Get()})
        check(dialog);
    QApplication::setPalette(before);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(", ")));

    QCOMPARE(QAccessible::queryAccessibleInterface(DisplayWin())->role(), QAccessible::Window);
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(ChildOf<TLinkLabel>(About().Get(), "SiteLink"));
    QCOMPARE(link->role(), QAccessible::Link);
    QVERIFY(link->actionInterface() && link->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    QVERIFY(ChildOf<TLinkLabel>(About().Get(), "SiteLink")->focusPolicy() & Qt::TabFocus);
}

void TestShell::captionsFitAtLargerFonts_data()
{
    QTest::addColumn<int>("points");
    QTest::newRow("default font") << 0;
    QTest::newRow("12-point font") << 12;
}

// No caption is cut, whatever the system font: each gets a font that fits its control; the
// menu bar shows every menu; a 12-hour time shows whole.
void TestShell::captionsFitAtLargerFonts()
{
    QFETCH(int, points);
    const QFont before = QApplication::font();
    DestroyApplicationWindows();
    if (points > 0) {
        QFont larger = before;
        larger.setPointSize(points);
        QApplication::setFont(larger);
    }
    CreateApplicationWindows(m_dir.filePath("lumivo.INI"));
    Main()->show();
    QStringList cut;
    for (QWidget* window : std::initializer_list<QWidget*>{Main(), DisplayWin(), About().Get(), Help().Get(),
                                                            Links().Get(), SlideInterval().Get(), Wizard().Get()})
        for (QWidget* w : window->findChildren<QWidget*>())
            if (CaptionWidthNeeded(w) > w->width() && w->objectName() != QLatin1String("StatusLabel"))
                cut << window->objectName() + '/' + w->objectName();
    const QRect help = MainControl<QMenuBar>("MainMenu")->actionGeometry(MainControl<QMenu>("HelpMenu")->menuAction());
    Main()->SetClockLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    Main()->ClockTimer();
    const QRect clock = MainControl<QLabel>("DigitalClock")->geometry();
    const int clockNeeds = MainControl<QLabel>("DigitalClock")->sizeHint().width();
    QApplication::setFont(before);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
    QVERIFY(!help.isEmpty() && help.right() < MainControl<QMenuBar>("MainMenu")->width());
    QVERIFY(clock.width() >= clockNeeds && clock.right() < MainControl<QFrame>("ControlPanel")->width());

    // F10 opens the menu bar from the keyboard.
    Main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Main()));
    QTest::keyClick(Main(), Qt::Key_F10);
    QCOMPARE(MainControl<QMenuBar>("MainMenu")->activeAction(), MainControl<QMenu>("FileMenu")->menuAction());
    MainControl<QMenu>("FileMenu")->close();
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
