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
#include <QMouseEvent>
#include <QResizeEvent>
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
    const QList<QIcon>& img = ToolBarIcons;

    FileMenu = MainMenu->addMenu(QStringLiteral("&Файл"));
    Open = AddItem(FileMenu, QStringLiteral("Open"), QStringLiteral("&Открыть..."), QStringLiteral("Ctrl+O"),
                   img[2]);
    FileMenu->addSeparator();
    AddFileItem = AddItem(FileMenu, QStringLiteral("AddFileItem"), QStringLiteral("&Добавить..."),
                          QStringLiteral("Ctrl+A"), img[0]);
    DeleteFileItem = AddItem(FileMenu, QStringLiteral("DeleteFileItem"), QStringLiteral("&Удалить"),
                             QStringLiteral("Ctrl+D"), img[1]);
    // Delete removes the selected line too; the menu names the first key.
    DeleteFileItem->setShortcuts({QKeySequence(QStringLiteral("Ctrl+D")), QKeySequence(QKeySequence::Delete)});
    ClearPlayListItem = AddItem(FileMenu, QStringLiteral("ClearPlayListItem"), QStringLiteral("Очистить плей-лист"));
    FileMenu->addSeparator();
    LoadPlayListItem = AddItem(FileMenu, QStringLiteral("LoadPlayListItem"), QStringLiteral("&Загрузить плей-лист..."),
                               QStringLiteral("Ctrl+L"), img[2]);
    SavePlayListItem = AddItem(FileMenu, QStringLiteral("SavePlayListItem"), QStringLiteral("&Сохранить плей-лист..."),
                               QStringLiteral("Ctrl+S"), img[3]);
    FileMenu->addSeparator();
    Exit = AddItem(FileMenu, QStringLiteral("Exit"), QStringLiteral("&Выход"), QString(), img[9]);

    ActionMenu = MainMenu->addMenu(QStringLiteral("&Действие"));
    HideWindowItem = AddItem(ActionMenu, QStringLiteral("HideWindowItem"), QStringLiteral("&Скрыть окно программы"),
                             QStringLiteral("Ctrl+R"));
    ActionMenu->addSeparator();
    OpenCDItem = AddItem(ActionMenu, QStringLiteral("OpenCDItem"), QStringLiteral("Открыть CD"),
                         QStringLiteral("F7"), CdOpenImage());
    CloseCDItem = AddItem(ActionMenu, QStringLiteral("CloseCDItem"), QStringLiteral("Закрыть CD"),
                          QStringLiteral("F8"), CdCloseImage());

    SlideShowMenu = MainMenu->addMenu(QStringLiteral("&Показ слайдов"));
    StartSlideShowItem = AddItem(SlideShowMenu, QStringLiteral("StartSlideShowItem"), QStringLiteral("&Запустить"),
                                 QStringLiteral("F4"), img[4]);
    StopSlideShowItem = AddItem(SlideShowMenu, QStringLiteral("StopSlideShowItem"), QStringLiteral("&Остановить"),
                                QStringLiteral("F5"), img[5]);
    SlideShowMenu->addSeparator();
    SlideIntervalItem = AddItem(SlideShowMenu, QStringLiteral("SlideIntervalItem"), QStringLiteral("За&держка..."),
                                QStringLiteral("F6"), img[6]);

    ServiceMenu = MainMenu->addMenu(QStringLiteral("&Сервис"));
    PlaylistWizardItem = AddItem(ServiceMenu, QStringLiteral("PlaylistWizardItem"),
                                 QStringLiteral("&Сформировать плей-лист..."), QStringLiteral("Ctrl+P"), WizardImage());
    ServiceMenu->addSeparator();
    ClockItem = AddItem(ServiceMenu, QStringLiteral("ClockItem"), QStringLiteral("&Часы"));
    ClockItem->setCheckable(true);
    ClockItem->setChecked(true);
    AnimateItem = AddItem(ServiceMenu, QStringLiteral("AnimateItem"), QStringLiteral("&Анимированный курсор"));
    AnimateItem->setCheckable(true);
    AnimateItem->setChecked(false);

    HelpMenu = MainMenu->addMenu(QStringLiteral("Справка"));
    Help = AddItem(HelpMenu, QStringLiteral("Help"), QStringLiteral("&Помощь..."), QStringLiteral("F1"), img[8]);
    LinksItem = AddItem(HelpMenu, QStringLiteral("LinksItem"), QStringLiteral("&Ссылки..."), QStringLiteral("F2"));
    HelpMenu->addSeparator();
    About = AddItem(HelpMenu, QStringLiteral("About"), QStringLiteral("&О программе..."), QStringLiteral("F3"),
                    img[7]);

    MainPopup = new QMenu(this);
    MainPopup->setObjectName(QStringLiteral("MainPopup"));
    AboutPopupItem = AddItem(MainPopup, QStringLiteral("AboutPopupItem"), QStringLiteral("О &программе..."),
                             QString(), img[7]);
    MainPopup->addSeparator();
    ExitPopupItem = AddItem(MainPopup, QStringLiteral("ExitPopupItem"), QStringLiteral("&Выход"), QString(), img[9]);

    TrayMenu = new QMenu(this);
    TrayMenu->setObjectName(QStringLiteral("TrayMenu"));
    AboutMe = AddItem(TrayMenu, QStringLiteral("AboutMe"), QStringLiteral("О &программе..."), QString(), img[7]);
    TrayMenu->addSeparator();
    ComeBack = AddItem(TrayMenu, QStringLiteral("ComeBack"), QStringLiteral("Восстановит&ь"));
    TrayMenu->addSeparator();
    GoAway = AddItem(TrayMenu, QStringLiteral("GoAway"), QStringLiteral("&Выход"), QString(), img[9]);

    // F10 opens the menu bar from the keyboard, as on every desktop.
    auto* menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    addAction(menuKey);
    connect(menuKey, &QAction::triggered, this, [this] { MainMenu->setActiveAction(FileMenu->menuAction()); });
    ConnectGuarded(Open, &QAction::triggered, this, [this] { OpenClick(); });
    ConnectGuarded(StartSlideShowItem, &QAction::triggered, this, [this] { StartSlideShowClick(); });
    ConnectGuarded(StopSlideShowItem, &QAction::triggered, this, [this] { StopSlideShowClick(); });
    ConnectGuarded(SlideIntervalItem, &QAction::triggered, this, [this] { SlideIntervalClick(); });
    ConnectGuarded(AddFileItem, &QAction::triggered, this, [this] { AddFileClick(); });
    ConnectGuarded(DeleteFileItem, &QAction::triggered, this, [this] { DeleteFileClick(); });
    ConnectGuarded(ClearPlayListItem, &QAction::triggered, this, [this] { ClearPlayListClick(); });
    ConnectGuarded(LoadPlayListItem, &QAction::triggered, this, [this] { LoadPlayListClick(); });
    ConnectGuarded(SavePlayListItem, &QAction::triggered, this, [this] { SavePlayListClick(); });
    ConnectGuarded(PlaylistWizardItem, &QAction::triggered, this, [this] { PlaylistWizardClick(); });
    ConnectGuarded(ClockItem, &QAction::triggered, this, [this] { ClockItemClick(); });
    ConnectGuarded(AnimateItem, &QAction::triggered, this, [this] { AnimateItemClick(); });
    ConnectGuarded(OpenCDItem, &QAction::triggered, this, [this] { OpenCdTrayClick(); });
    ConnectGuarded(CloseCDItem, &QAction::triggered, this, [this] { CloseCdTrayClick(); });
    for (QAction* about : {About, AboutPopupItem, AboutMe})
        ConnectGuarded(about, &QAction::triggered, this, [this] { AboutClick(); });
    ConnectGuarded(Help, &QAction::triggered, this, [this] { HelpClick(); });
    ConnectGuarded(LinksItem, &QAction::triggered, this, [this] { LinksClick(); });
    ConnectGuarded(HideWindowItem, &QAction::triggered, this, [this] { HideWindowClick(); });
    ConnectGuarded(ComeBack, &QAction::triggered, this, [this] { ComeBackClick(); });
    ConnectGuarded(GoAway, &QAction::triggered, this, [this] { GoAwayClick(); });
    ConnectGuarded(Exit, &QAction::triggered, this, [this] { ExitClick(); });
    ConnectGuarded(ExitPopupItem, &QAction::triggered, this, [this] { ExitPopupItemClick(); });
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
    ToolBar->addSeparator();
    LoadPlayListButton =
        button(QStringLiteral("LoadPlayListButton"), 2, QStringLiteral("Открыть плей-лист..."), LoadPlayListItem);
    SavePlayListButton =
        button(QStringLiteral("SavePlayListButton"), 3, QStringLiteral("Сохранить плей-лист..."), SavePlayListItem);
    ToolBar->addSeparator();
    AddFileButton =
        button(QStringLiteral("AddFileButton"), 0, QStringLiteral("Добавить файл в плей лист..."), AddFileItem);
    DeleteFileButton = button(QStringLiteral("DeleteFileButton"), 1, QStringLiteral("Удалить файл..."), DeleteFileItem);
    ToolBar->addSeparator();
    StartSlideShowButton =
        button(QStringLiteral("StartSlideShowButton"), 4, QStringLiteral("Запустить слайд-шоу"), StartSlideShowItem);
    StopSlideShowButton =
        button(QStringLiteral("StopSlideShowButton"), 5, QStringLiteral("Остановить слайд-шоу..."), StopSlideShowItem);
    SlideIntervalButton =
        button(QStringLiteral("SlideIntervalButton"), 6, QStringLiteral("Интервал..."), SlideIntervalItem);
    ToolBar->addSeparator();
    HelpButton = button(QStringLiteral("HelpButton"), 8, QStringLiteral("Справка..."), Help);
    AboutButton = button(QStringLiteral("AboutButton"), 7, QStringLiteral("О программе..."), About);
    ToolBar->addSeparator();
    ExitButton = button(QStringLiteral("ExitButton"), 9, QStringLiteral("Выход"), nullptr);
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
    const int first = PlayList->count();
    Guarded([&] { AppendCommandLineFiles(PlayList, files); });
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
