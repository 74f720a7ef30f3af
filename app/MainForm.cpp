#include "app/MainForm.h"

#include "app/AboutDialog.h"
#include "app/CommandLine.h"
#include "app/FormSettings.h"
#include "app/HelpDialog.h"
#include "app/Icons.h"
#include "app/LinksDialog.h"
#include "core/AppTitle.h"
#include "core/HandlerGuard.h"
#include "core/Quit.h"
#include "decor/AnimatedPointer.h"
#include "playlist/PlayListBox.h"
#include "playlist/PlaylistFile.h"
#include "playlist/PlaylistWizard.h"
#include "presentation/DisplayWindow.h"
#include "presentation/Present.h"
#include "presentation/PresentationGate.h"
#include "slideshow/SlideIntervalDialog.h"
#include "slideshow/SlideShow.h"
#include "system/IniFile.h"
#include "system/OpticalDrive.h"
#include "widgets/Accessibility.h"
#include "widgets/AnimateWindow.h"
#include "widgets/EdgeSnap.h"
#include "widgets/FitCaptions.h"
#include "widgets/ReadableColours.h"
#include "widgets/TrayClicks.h"
#include "widgets/WindowCaption.h"
#include "widgets/WindowGeometry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QLocale>
#include <QPointer>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QThreadPool>
#include <QToolTip>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

const QString TMainForm::ClearedPlaylistBackup = QStringLiteral("Очищенный плей-лист.txt");


namespace {

QAction* AddItem(QMenu* menu, const QString& name, const QString& caption, const QString& shortcut = QString(),
                 const QIcon& icon = QIcon())
{
    QAction* action = menu->addAction(icon, caption);
    action->setObjectName(name);
    if (!shortcut.isEmpty())
        action->setShortcut(QKeySequence(shortcut));
    return action;
}

} // namespace

TMainForm::TMainForm(QString settingsFile, QWidget* parent)
    : QMainWindow(parent), m_settingsFile(std::move(settingsFile))
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(ApplicationTitle());
    setWindowIcon(ProgramIcon());

    // Arial, bold, 13 pixels, blue, for the window's own controls.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(true);
    setFont(font);
    SetTextColour(this, Qt::blue);

    ToolBarIcons = ToolbarImages();
    CreateMenus();
    CreateToolBar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PlayList = new TPlayListBox(central);
    ConnectGuarded(PlayList, &TPlayListBox::DblClick, this, [this] { PlayListDblClick(); });
    ConnectGuarded(PlayList, &TPlayListBox::EnterPressed, this, [this] { PlayListDblClick(); });
    PlayList->setObjectName(QStringLiteral("PlayList"));
    PlayList->setUniformItemSizes(true);
    PlayList->setStyleSheet(QStringLiteral("QListWidget::item { height: 16px; }"));
    layout->addWidget(PlayList, 1);
    CreateControlPanel();
    layout->addWidget(ControlPanel);
    CreateStatusPanel();
    layout->addWidget(StatusPanel);
    setCentralWidget(central);

    CreateNonVisual();
    SetUpStatusTexts();
    PlayList->setAccessibleName(QStringLiteral("Плей-лист программы"));
    NameControlsByTheirHints(this);
    FitCaptions(this);
    SetOuterSize(this, {DesignWidth, DesignHeight});
    // A larger system font: the window widens to show every menu of the bar rather than
    // folding the last ones away.
    if (MainMenu->sizeHint().width() > width())
        resize(MainMenu->sizeHint().width(), height());
    FormCreate();
}

void TMainForm::CreateMenus()
{
    MainMenu = menuBar();
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    // Menus keep the desktop's own font and colours. The font and colours are set field by
    // field, since an untouched font or palette would inherit the window's own.
    QFont menuFont = QApplication::font();
    menuFont.setFamily(menuFont.family());
    menuFont.setBold(false);
    menuFont.setPointSizeF(menuFont.pointSizeF());
    MainMenu->setFont(menuFont);
    QPalette menuPalette = MainMenu->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        menuPalette.setColor(role, QApplication::palette().color(role));
    MainMenu->setPalette(menuPalette);
    FileMenu = MainMenu->addMenu(QStringLiteral("&Файл"));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    ActionMenu = MainMenu->addMenu(QStringLiteral("&Действие"));
    ActionMenu->setObjectName(QStringLiteral("ActionMenu"));
    SlideShowMenu = MainMenu->addMenu(QStringLiteral("&Показ слайдов"));
    SlideShowMenu->setObjectName(QStringLiteral("SlideShowMenu"));
    ServiceMenu = MainMenu->addMenu(QStringLiteral("&Сервис"));
    ServiceMenu->setObjectName(QStringLiteral("ServiceMenu"));
    HelpMenu = MainMenu->addMenu(QStringLiteral("Справка"));
    HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
    MainPopup = new QMenu(this);
    MainPopup->setObjectName(QStringLiteral("MainPopup"));
    TrayMenu = new QMenu(this);
    TrayMenu->setObjectName(QStringLiteral("TrayMenu"));

    // Every command of the menus, in menu order: where it is, its name, text, keys and
    // picture, and what it runs.
    enum : int { NoIcon = -1, CdOpenIcon = 100, CdCloseIcon, WizardIcon };
    struct TCommand {
        QAction* TMainForm::*action;
        QMenu* TMainForm::*menu;
        bool separatorBefore;
        const char* name;
        const char* text;
        const char* keys;
        int icon; // a toolbar picture's number, or one of the pictures above
        void (TMainForm::*handler)();
    };
    static const TCommand commands[] = {
        {&TMainForm::Open, &TMainForm::FileMenu, false, "Open", "&Открыть...", "Ctrl+O", 2, &TMainForm::OpenClick},
        {&TMainForm::AddFileItem, &TMainForm::FileMenu, true, "AddFileItem", "&Добавить...", "Ctrl+A", 0, &TMainForm::AddFileClick},
        {&TMainForm::DeleteFileItem, &TMainForm::FileMenu, false, "DeleteFileItem", "&Удалить", "Ctrl+D", 1, &TMainForm::DeleteFileClick},
        {&TMainForm::ClearPlayListItem, &TMainForm::FileMenu, false, "ClearPlayListItem", "Очистить плей-лист", "", NoIcon, &TMainForm::ClearPlayListClick},
        {&TMainForm::LoadPlayListItem, &TMainForm::FileMenu, true, "LoadPlayListItem", "&Загрузить плей-лист...", "Ctrl+L", 2, &TMainForm::LoadPlayListClick},
        {&TMainForm::SavePlayListItem, &TMainForm::FileMenu, false, "SavePlayListItem", "&Сохранить плей-лист...", "Ctrl+S", 3, &TMainForm::SavePlayListClick},
        {&TMainForm::Exit, &TMainForm::FileMenu, true, "Exit", "&Выход", "", 9, &TMainForm::ExitClick},
        {&TMainForm::HideWindowItem, &TMainForm::ActionMenu, false, "HideWindowItem", "&Скрыть окно программы", "Ctrl+R", NoIcon, &TMainForm::HideWindowClick},
        {&TMainForm::OpenCDItem, &TMainForm::ActionMenu, true, "OpenCDItem", "Открыть CD", "F7", CdOpenIcon, &TMainForm::OpenCdTrayClick},
        {&TMainForm::CloseCDItem, &TMainForm::ActionMenu, false, "CloseCDItem", "Закрыть CD", "F8", CdCloseIcon, &TMainForm::CloseCdTrayClick},
        {&TMainForm::StartSlideShowItem, &TMainForm::SlideShowMenu, false, "StartSlideShowItem", "&Запустить", "F4", 4, &TMainForm::StartSlideShowClick},
        {&TMainForm::StopSlideShowItem, &TMainForm::SlideShowMenu, false, "StopSlideShowItem", "&Остановить", "F5", 5, &TMainForm::StopSlideShowClick},
        {&TMainForm::SlideIntervalItem, &TMainForm::SlideShowMenu, true, "SlideIntervalItem", "За&держка...", "F6", 6, &TMainForm::SlideIntervalClick},
        {&TMainForm::PlaylistWizardItem, &TMainForm::ServiceMenu, false, "PlaylistWizardItem", "&Сформировать плей-лист...", "Ctrl+P", WizardIcon, &TMainForm::PlaylistWizardClick},
        {&TMainForm::ClockItem, &TMainForm::ServiceMenu, true, "ClockItem", "&Часы", "", NoIcon, &TMainForm::ClockItemClick},
        {&TMainForm::AnimateItem, &TMainForm::ServiceMenu, false, "AnimateItem", "&Анимированный курсор", "", NoIcon, &TMainForm::AnimateItemClick},
        {&TMainForm::Help, &TMainForm::HelpMenu, false, "Help", "&Помощь...", "F1", 8, &TMainForm::HelpClick},
        {&TMainForm::LinksItem, &TMainForm::HelpMenu, false, "LinksItem", "&Ссылки...", "F2", NoIcon, &TMainForm::LinksClick},
        {&TMainForm::About, &TMainForm::HelpMenu, true, "About", "&О программе...", "F3", 7, &TMainForm::AboutClick},
        {&TMainForm::AboutPopupItem, &TMainForm::MainPopup, false, "AboutPopupItem", "О &программе...", "", 7, &TMainForm::AboutClick},
        {&TMainForm::ExitPopupItem, &TMainForm::MainPopup, true, "ExitPopupItem", "&Выход", "", 9, &TMainForm::ExitPopupItemClick},
        {&TMainForm::AboutMe, &TMainForm::TrayMenu, false, "AboutMe", "О &программе...", "", 7, &TMainForm::AboutClick},
        {&TMainForm::ComeBack, &TMainForm::TrayMenu, true, "ComeBack", "Восстановит&ь", "", NoIcon, &TMainForm::ComeBackClick},
        {&TMainForm::GoAway, &TMainForm::TrayMenu, true, "GoAway", "&Выход", "", 9, &TMainForm::GoAwayClick},
    };
    for (const TCommand& command : commands) {
        QMenu* menu = this->*command.menu;
        if (command.separatorBefore)
            menu->addSeparator();
        const QIcon icon = command.icon == CdOpenIcon    ? CdOpenImage()
                           : command.icon == CdCloseIcon ? CdCloseImage()
                           : command.icon == WizardIcon  ? WizardImage()
                           : command.icon >= 0           ? ToolBarIcons[command.icon]
                                                         : QIcon();
        QAction* action = AddItem(menu, QString::fromLatin1(command.name), QString::fromUtf8(command.text),
                                  QString::fromLatin1(command.keys), icon);
        this->*command.action = action;
        ConnectGuarded(action, &QAction::triggered, this, [this, handler = command.handler] { (this->*handler)(); });
    }
    // Delete removes the selected line too; the menu names the first key.
    DeleteFileItem->setShortcuts({QKeySequence(QStringLiteral("Ctrl+D")), QKeySequence(QKeySequence::Delete)});
    ClockItem->setCheckable(true);
    ClockItem->setChecked(true);
    AnimateItem->setCheckable(true);
    AnimateItem->setChecked(false);

    // F10 opens the menu bar from the keyboard, as on every desktop.
    auto* menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    addAction(menuKey);
    connect(menuKey, &QAction::triggered, this, [this] { MainMenu->setActiveAction(FileMenu->menuAction()); });
}

void TMainForm::CreateToolBar()
{
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setFixedHeight(29);
    ToolBar->setIconSize({18, 18});
    ToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar);

    // A button that runs the same handler as its menu item (none for the exit button).
    auto button = [this](const QString& name, int picture, const QString& hint, QAction* sameAs) {
        auto* b = new QToolButton(ToolBar);
        b->setObjectName(name);
        b->setIcon(ToolBarIcons[picture]);
        b->setIconSize({18, 18});
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setFixedSize(25, 24);
        ToolBar->addWidget(b);
        if (sameAs)
            connect(b, &QToolButton::clicked, sameAs, &QAction::trigger);
        return b;
    };
    // The buttons, in order, each running its menu command (a null action: a separator);
    // the exit button ends the program at once, without its menu command's fade.
    static const struct {
        QToolButton* TMainForm::*button;
        const char* name;
        int picture;
        const char* hint;
        QAction* TMainForm::*sameAs;
    } buttons[] = {
        {nullptr, nullptr, 0, nullptr, nullptr},
        {&TMainForm::LoadPlayListButton, "LoadPlayListButton", 2, "Открыть плей-лист...", &TMainForm::LoadPlayListItem},
        {&TMainForm::SavePlayListButton, "SavePlayListButton", 3, "Сохранить плей-лист...", &TMainForm::SavePlayListItem},
        {nullptr, nullptr, 0, nullptr, nullptr},
        {&TMainForm::AddFileButton, "AddFileButton", 0, "Добавить файл в плей лист...", &TMainForm::AddFileItem},
        {&TMainForm::DeleteFileButton, "DeleteFileButton", 1, "Удалить файл...", &TMainForm::DeleteFileItem},
        {nullptr, nullptr, 0, nullptr, nullptr},
        {&TMainForm::StartSlideShowButton, "StartSlideShowButton", 4, "Запустить слайд-шоу", &TMainForm::StartSlideShowItem},
        {&TMainForm::StopSlideShowButton, "StopSlideShowButton", 5, "Остановить слайд-шоу...", &TMainForm::StopSlideShowItem},
        {&TMainForm::SlideIntervalButton, "SlideIntervalButton", 6, "Интервал...", &TMainForm::SlideIntervalItem},
        {nullptr, nullptr, 0, nullptr, nullptr},
        {&TMainForm::HelpButton, "HelpButton", 8, "Справка...", &TMainForm::Help},
        {&TMainForm::AboutButton, "AboutButton", 7, "О программе...", &TMainForm::About},
        {nullptr, nullptr, 0, nullptr, nullptr},
        {&TMainForm::ExitButton, "ExitButton", 9, "Выход", nullptr},
    };
    for (const auto& b : buttons) {
        if (!b.button)
            ToolBar->addSeparator();
        else
            this->*b.button = button(QString::fromLatin1(b.name), b.picture, QString::fromUtf8(b.hint),
                                     b.sameAs ? this->*b.sameAs : nullptr);
    }
    ConnectGuarded(ExitButton, &QToolButton::clicked, this, [this] { ExitAtOnceClick(); });
}

void TMainForm::CreateControlPanel()
{
    ControlPanel = new QFrame(this);
    ControlPanel->setObjectName(QStringLiteral("ControlPanel"));
    ControlPanel->setFrameShape(QFrame::NoFrame);
    ControlPanel->setFixedHeight(75);

    auto place = [](QWidget* w, const QString& name, int x, int y, int width, int height) {
        w->setObjectName(name);
        w->setGeometry(x, y, width, height);
    };
    OpenCdTrayButton = new QPushButton(CdOpenImage(), QStringLiteral("Открыть CD"), ControlPanel);
    place(OpenCdTrayButton, QStringLiteral("OpenCdTrayButton"), 4, 4, 137, 33);
    OpenCdTrayButton->setToolTip(QStringLiteral("Открыть лоток привода..."));
    CloseCdTrayButton = new QPushButton(CdCloseImage(), QStringLiteral("Закрыть CD"), ControlPanel);
    place(CloseCdTrayButton, QStringLiteral("CloseCdTrayButton"), 4, 36, 137, 33);
    CloseCdTrayButton->setToolTip(QStringLiteral("Закрыть лоток привода"));
    PlaylistWizardButton = new QPushButton(WizardImage(), QStringLiteral("Плей-лист мастер"), ControlPanel);
    place(PlaylistWizardButton, QStringLiteral("PlaylistWizardButton"), 144, 4, 181, 49);
    PlaylistWizardButton->setToolTip(QStringLiteral("Мастер плей-листов"));
    for (QPushButton* b : {OpenCdTrayButton, CloseCdTrayButton, PlaylistWizardButton})
        b->setIconSize({18, 18});
    ConnectGuarded(OpenCdTrayButton, &QPushButton::clicked, this, [this] { OpenCdTrayClick(); });
    ConnectGuarded(CloseCdTrayButton, &QPushButton::clicked, this, [this] { CloseCdTrayClick(); });
    ConnectGuarded(PlaylistWizardButton, &QPushButton::clicked, this, [this] { PlaylistWizardClick(); });
    FullScreenBox = new QCheckBox(QStringLiteral("Полноэкранный режим"), ControlPanel);
    place(FullScreenBox, QStringLiteral("FullScreenBox"), 144, 52, 173, 17);
    FullScreenBox->setToolTip(QStringLiteral("Переход в полноэкранный режим"));
    FullScreenBox->setChecked(false);
    ConnectGuarded(FullScreenBox, &QCheckBox::toggled, this, [this] { FullScreenClick(); });

    // The clock: face layer, hands layer over it, and the picture shown when it is off.
    ClockFaceLabel = new QLabel(ControlPanel);
    place(ClockFaceLabel, QStringLiteral("ClockFaceLabel"), 328, 4, 53, 53);
    ClockFaceLabel->setAttribute(Qt::WA_TranslucentBackground);
    ClockHandsLabel = new QLabel(ControlPanel);
    place(ClockHandsLabel, QStringLiteral("ClockHandsLabel"), 328, 4, 53, 53);
    ClockHandsLabel->setAttribute(Qt::WA_TranslucentBackground);
    ClockHandsLabel->setToolTip(QStringLiteral("Часики..."));
    ClockOffLabel = new QLabel(ControlPanel);
    place(ClockOffLabel, QStringLiteral("ClockOffLabel"), 328, 4, 53, 53);
    ClockOffLabel->setAlignment(Qt::AlignCenter);
    ClockOffLabel->hide(); // its picture is made when the clock is first switched off
    DigitalClock = new QLabel(ControlPanel);
    DigitalClock->setObjectName(QStringLiteral("DigitalClock"));
    DigitalClock->move(DigitalClockLeft, 57);
    DigitalClock->adjustSize();
    DigitalClock->setToolTip(QStringLiteral("Цифровые часы..."));
}

void TMainForm::CreateStatusPanel()
{
    StatusPanel = new QFrame(this);
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    StatusPanel->setFixedHeight(19);
    StatusLabel = new QLabel(StatusPanel);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->move(4, 4);
    StatusLabel->resize(DesignWidth - 8, 15);
}

void TMainForm::CreateNonVisual()
{
    Clock = new QTimer(this);
    Clock->setObjectName(QStringLiteral("Clock"));
    Clock->setInterval(1000);
    Clock->start();

    ConnectGuarded(Clock, &QTimer::timeout, this, [this] { ClockTimer(); });

    TrayIcon = new QSystemTrayIcon(this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    // Queued, as a posted message: the menu and the commands it runs must not run inside the
    // icon's own mouse handling, since hiding the icon destroys the window that handles it.
    connect(
        TrayIcon, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) { TrayNotifyWhenIdle(reason); },
        Qt::QueuedConnection);

    OpenDialog.Filter = MediaOpenFilter;
    OpenDialog.FilterIndex = 1;
    PlayListOpenDialog.Filter = QStringLiteral("Плей-лист|*.txt");
    PlayListSaveDialog.Filter = QStringLiteral("Плей-лист (*.txt)|*.txt");
    PlayListSaveDialog.DefaultExt = QStringLiteral("txt");
    PlayListSaveDialog.OverwritePrompt = false;
}

void TMainForm::FormCreate()
{
    const TFormSettings settings = ReadFormSettings(TIniFile(m_settingsFile));
    m_settingsPos = QPoint(settings.Left, settings.Top);
    // A stored position that would leave the window out of reach (saved on a screen that is
    // gone, or at another scale) is moved onto the nearest screen; the stored value is kept
    // unless the user moves the window.
    QList<QRect> workAreas;
    for (const QScreen* s : QGuiApplication::screens())
        workAreas << s->availableGeometry();
    m_placedPos = PlaceOnScreens(QRect(m_settingsPos, size()), workAreas);
    move(m_placedPos);
    SetExactCaption(this, settings.Caption);
    if (settings.InitMax)
        setWindowState(windowState() | Qt::WindowMaximized);
    SetUpClock();
}

void TMainForm::SetUpClock()
{
    ClockGeometry = TClockGeometry::From(ClockFaceLabel->width(), ClockFaceLabel->height());
    ClockFace = NewClockLayer(ClockGeometry, devicePixelRatioF());
    DrawClockFace(ClockFace, ClockGeometry);
    ClockFaceLabel->setPixmap(LayerPixmap(ClockFace));
    ClockHands = NewClockLayer(ClockGeometry, devicePixelRatioF());
    ClockTimer();
}

void TMainForm::ClockTimer()
{
    const QTime now = QTime::currentTime();
    DrawClockHands(ClockHands, ClockGeometry, now);
    DigitalClock->setText(LongTimeText(now, ClockLocale));
    DigitalClock->adjustSize();
    // Under the clock face, where the time fits; a longer one (a 12-hour time) moves left
    // to show whole.
    DigitalClock->move(qMax(0, qMin(DigitalClockLeft, width() - DigitalClock->width() - 2)),
                       DigitalClock->y());
    ClockHandsLabel->setPixmap(LayerPixmap(ClockHands));
}

void TMainForm::ClockItemClick()
{
    // The menu item has already changed its checked state.
    const bool on = ClockItem->isChecked();
    ClockHandsLabel->setVisible(on);
    ClockFaceLabel->setVisible(on);
    if (!on && ClockOffLabel->pixmap().isNull()) {
        const qreal ratio = devicePixelRatioF();
        QPixmap picture = ClockOffPicture().scaled(ClockOffLabel->size() * ratio, Qt::KeepAspectRatio,
                                                   Qt::SmoothTransformation);
        picture.setDevicePixelRatio(ratio);
        ClockOffLabel->setPixmap(picture);
    }
    ClockOffLabel->setVisible(!on);
}

void TMainForm::AnimateItemClick()
{
    if (AnimatePointer)
        AnimatePointer(AnimateItem->isChecked());
}

void TMainForm::SetUpStatusTexts()
{
    m_statusTexts = {
        {ControlPanel, QString()},
        {ToolBar, QString()},
        {OpenCdTrayButton, QStringLiteral("Открыть лоток CD-ROM")},
        {CloseCdTrayButton, QStringLiteral("Закрыть лоток CD-ROM")},
        {PlaylistWizardButton, QStringLiteral("Мастер плей-листов...")},
        {FullScreenBox, QStringLiteral("Полноэкранный режим...")},
        {ClockHandsLabel, QStringLiteral("Часы...")},
        {DigitalClock, QStringLiteral("Часы...")},
        {PlayList->viewport(), QStringLiteral("Плей-лист программы")},
        {LoadPlayListButton, QStringLiteral("Открыть существующий плей-лист...")},
        {SavePlayListButton, QStringLiteral("Сохранить плей-лист как...")},
        {AddFileButton, QStringLiteral("Добавить элемент списка...")},
        {DeleteFileButton, QStringLiteral("Удалить элемент списка...")},
        {StartSlideShowButton, QStringLiteral("Начать показ слайдов...")},
        {StopSlideShowButton, QStringLiteral("Остановить показ слайдов...")},
        {SlideIntervalButton, QStringLiteral("Настройка интервала между слайдами...")},
        {HelpButton, QStringLiteral("Справка...")},
        {AboutButton, QStringLiteral("Информация о программе...")},
        {ExitButton, QStringLiteral("Завершение работы программы")},
    };
    for (auto it = m_statusTexts.cbegin(); it != m_statusTexts.cend(); ++it) {
        auto* control = const_cast<QWidget*>(it.key());
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove) {
        auto* control = static_cast<QWidget*>(watched);
        // A move over a control inside a panel or the toolbar is that control's own; the
        // container writes its text only for its empty area. A toolbar separator is a
        // control of its own (it tracks no moves, so it leaves the text standing).
        const QWidget* inner = control->childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        const bool emptyArea = !inner;
        if (emptyArea && m_statusTexts.contains(control))
            StatusLabel->setText(m_statusTexts.value(control));
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::ApplyTooltipStyle()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(11);
    font.setBold(true);
    QToolTip::setFont(font);
    QPalette palette = QToolTip::palette();
    palette.setColor(QPalette::ToolTipBase, QApplication::palette().color(QPalette::ToolTipBase));
    QToolTip::setPalette(palette);
}

void TMainForm::OpenCdTrayClick() { OpticalDrive::OpenTray(); }

void TMainForm::CloseCdTrayClick() { OpticalDrive::CloseTray(); }

void TMainForm::AboutClick()
{
    if (ShowAbout)
        ShowAbout();
}

void TMainForm::HelpClick()
{
    if (ShowHelp)
        ShowHelp();
}

void TMainForm::LinksClick()
{
    if (ShowLinks)
        ShowLinks();
}

QString TMainForm::TrayTip(const QString& text) { return text.left(63); }

bool TMainForm::AddTrayIcon()
{
    TrayIcon->setIcon(windowIcon());
    TrayIcon->setToolTip(TrayTip(QStringLiteral("Lumivo v " LUMIVO_VERSION)));
    TrayIcon->show();
    // Clicks act on the release over the icon, as a posted message (see the constructor).
    ActOnReleaseOnly(TrayIcon, [this](QSystemTrayIcon::ActivationReason reason) {
        QMetaObject::invokeMethod(this, [this, reason] { TrayNotifyWhenIdle(reason); }, Qt::QueuedConnection);
    });
    return TrayAvailable();
}

bool TMainForm::RemoveTrayIcon()
{
    const bool was = TrayIcon->isVisible();
    TrayIcon->hide();
    return was;
}

void TMainForm::HideWindowClick()
{
    // Without a notification area there would be no icon to come back from: the window is
    // minimized instead, and stays in the task bar.
    if (!TrayAvailable()) {
        showMinimized();
        return;
    }
    hide(); // fades out; the hidden main window has no task-bar entry
    AddTrayIcon();
}

void TMainForm::TrayNotifyWhenIdle(QSystemTrayIcon::ActivationReason reason)
{
    // Not in the middle of a presentation: a tray command may present or end the program.
    presentation::RunGuardedWhenIdle(this, [this, reason] { WMTrayNotify(reason); });
}

void TMainForm::WMTrayNotify(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger: // left button released over the icon
        ComeBackClick();
        break;
    case QSystemTrayIcon::Context: // right button released over the icon
        activateWindow();
        TrayMenu->exec(QCursor::pos());
        break;
    default:
        break;
    }
}

void TMainForm::ComeBackClick()
{
    setWindowState(windowState() & ~Qt::WindowMinimized); // minimized where there was no tray
    show();
    raise();
    activateWindow();
    RemoveTrayIcon();
}

void TMainForm::GoAwayClick()
{
    RemoveTrayIcon();
    close();
}

void TMainForm::FormShow()
{
    ApplyTooltipStyle();
    if (AnimatePointer)
        AnimatePointer(AnimateItem->isChecked());
}

void TMainForm::FadeOut()
{
    // The window fades while the program goes on; it is hidden when the fade ends.
    m_fading = true;
    const bool started = AnimateWindow(this, WindowAnimationMs, AnimateFlags::FadeOut, [this](bool visible) {
        m_fading = false;
        QMainWindow::setVisible(visible);
        if (!visible && std::exchange(m_closeAfterFade, false))
            Q_EMIT Closed();
    });
    if (!started)
        m_fading = false;
}

void TMainForm::FormHide() { FadeOut(); }

void TMainForm::FormClose() { FadeOut(); }

void TMainForm::FormDestroy()
{
    TIniFile ini(m_settingsFile);
    TFormSettings settings;
    // Where the window system reports no positions, the values read at start stay.
    const QPoint position = WindowPositionsReported() && m_userMoved ? pos() : m_settingsPos;
    settings.Top = position.y();
    settings.Left = position.x();
    settings.Caption = ExactCaption(this);
    settings.InitMax = isMaximized();
    WriteFormSettings(ini, settings);
}

void TMainForm::StartSlideShowClick()
{
    if (SlideShow)
        SlideShow->Start();
}

void TMainForm::StopSlideShowClick()
{
    if (SlideShow)
        SlideShow->Stop();
}

void TMainForm::SlideIntervalClick()
{
    if (ShowSlideInterval)
        ShowSlideInterval();
}

void TMainForm::PlayListDblClick()
{
    if (PlayList->count() == 0)
        return; // a double-click on an empty playlist has nothing to show
    const QString line = PlayList->SelectedLine();
    const QString fileName = PlayList->SelectedFilePath();
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return; // a line that names no file (gone, or a folder) is passed over without a word
    if (Present)
        Present(fileName, ClassifyMediaFile(line));
}

void TMainForm::TakeFiles(const QStringList& files, bool show, bool slideShow)
{
    const quint64 take = m_takesAsked++;
    if (!NamesPlaylistFile(files) && take == m_takesDone) { // nothing to read, nothing before it
        ++m_takesDone;
        TakeFilesRead(ReadCommandLineFiles(files), show, slideShow);
        return;
    }
    // Playlist files are read on a worker (a playlist of hundreds of thousands of lines
    // takes a few tenths of a second), the windows answering meanwhile; what comes after them
    // waits for them, so that the playlist keeps the order the files came in.
    QPointer<TMainForm> self(this);
    QThreadPool::globalInstance()->start([self, take, files, show, slideShow] {
        auto read = std::make_shared<TFilesRead>(ReadCommandLineFiles(files));
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, take, read, show, slideShow] {
                if (!self)
                    return;
                self->m_takesReady[take] = [self, read, show, slideShow] { self->TakeFilesRead(*read, show, slideShow); };
                self->TakeReadyFiles();
            },
            Qt::QueuedConnection);
    });
}

void TMainForm::TakeReadyFiles()
{
    for (auto next = m_takesReady.find(m_takesDone); next != m_takesReady.end(); next = m_takesReady.find(m_takesDone)) {
        const std::function<void()> take = std::move(next->second);
        m_takesReady.erase(next);
        ++m_takesDone;
        take();
    }
}

void TMainForm::TakeFilesRead(const TFilesRead& read, bool show, bool slideShow)
{
    const int first = PlayList->count();
    Guarded([&] { AppendFilesRead(PlayList, read); });
    if (PlayList->count() > first && (show || slideShow))
        PlayList->SetSelectedIndex(first);
    if (slideShow)
        StartSlideShowItem->trigger();
    else if (show && PlayList->count() > first)
        Guarded([this] { PlayListDblClick(); });
}

void TMainForm::OpenClick()
{
    if (OpenDialog.Execute(this) && Present)
        Present(OpenDialog.FileName, ClassifyMediaFile(OpenDialog.FileName));
}

bool TMainForm::FullScreenChosen() const { return FullScreenBox->isChecked(); }

void TMainForm::ChooseFullScreen(bool on) { FullScreenBox->setChecked(on); }

void TMainForm::FullScreenClick()
{
    if (SetDisplayFullScreen)
        SetDisplayFullScreen(FullScreenBox->isChecked());
}

void TMainForm::AddFileClick()
{
    if (OpenDialog.Execute(this))
        PlayList->AppendLines({OpenDialog.FileName});
}

void TMainForm::DeleteFileClick()
{
    const int selected = PlayList->SelectedIndex();
    if (selected < 0)
        return;
    delete PlayList->takeItem(selected);
    PlayList->SetSelectedIndex(-1); // no other line is selected for the user
}

void TMainForm::ClearPlayListClick()
{
    // The list is cleared only once its backup is safely written.
    SavePlaylistLines(QDir::current().absoluteFilePath(ClearedPlaylistBackup), PlayList->LineBytes());
    PlayList->clear();
}

void TMainForm::LoadPlayListClick()
{
    if (!PlayListOpenDialog.Execute(this))
        return;
    PlayList->SetLineBytes(LoadPlaylistLines(PlayListOpenDialog.FileName));
}

void TMainForm::SavePlayListClick()
{
    if (!PlayListSaveDialog.Execute(this))
        return;
    SavePlaylistLines(PlayListSaveDialog.FileName, PlayList->LineBytes());
}

void TMainForm::PlaylistWizardClick()
{
    if (ShowPlaylistWizard)
        ShowPlaylistWizard();
}

void TMainForm::ExitClick() { close(); }

void TMainForm::ExitAtOnceClick()
{
    RemoveTrayIcon();
    RequestQuit(0);
}

void TMainForm::ExitPopupItemClick() { ExitAtOnceClick(); }

void TMainForm::setVisible(bool visible)
{
    if (!visible && isVisible() && !m_fading)
        Guarded([this] { FormHide(); });
    if (!visible && m_fading)
        return; // the fade hides the window when it ends
    if (visible && m_fading) { // shown again while it fades out: it stays
        CancelWindowAnimation(this);
        m_fading = false;
        m_closeAfterFade = false;
    }
    QMainWindow::setVisible(visible);
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        Guarded([this] { FormShow(); });
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    Guarded([this] { FormClose(); });
    if (m_fading) {
        // The window fades out first, and the program ends when it has: closing the window
        // now would take it off the screen at once.
        m_closeAfterFade = true;
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT Closed();
}

void TMainForm::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // The position the window was put at from the settings file stands as it is; snapping
    // starts with the first move away from it.
    if (!m_userMoved && pos() == m_placedPos)
        return;
    SnapToEdges();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // A resize by the user snaps too: its new right or bottom edge may come near the work
    // area's. The first layout before the window is shown is not the user's.
    if (event->oldSize().isValid())
        SnapToEdges();
}

void TMainForm::SnapToEdges()
{
    if (m_snapping || !isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    m_userMoved = true;
    QScreen* current = screen();
    if (!current)
        return;
    const QPoint snapped = SnapToWorkArea(frameGeometry(), current->availableGeometry());
    if (snapped != pos()) {
        m_snapping = true;
        move(snapped);
        m_snapping = false;
    }
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event)
{
    MainPopup->popup(event->globalPos());
    event->accept();
}
