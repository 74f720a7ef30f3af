#include "app/MainForm.h"

#include "app/AboutBox1.h"
#include "app/Form2.h"
#include "app/Form3.h"
#include "app/FormSettings.h"
#include "app/Icons.h"
#include "decor/NTCursor.h"
#include "platform/AnimateWindow.h"
#include "platform/EdgeSnap.h"
#include "platform/HandlerGuard.h"
#include "platform/Quit.h"
#include "platform/IniFile.h"
#include "platform/MciCommand.h"
#include "platform/TrayClicks.h"
#include "platform/WindowCaption.h"
#include "platform/WindowGeometry.h"
#include "presentation/Form4.h"
#include "presentation/Present.h"
#include "presentation/PresentationGate.h"
#include "slideshow/Form6.h"
#include "slideshow/SlideShow.h"
#include "playlist/Form7.h"
#include "playlist/PlayListBox.h"
#include "playlist/PlaylistFile.h"

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

TMainForm* MainForm = nullptr;

const QString TMainForm::ClearedPlaylistBackup = QStringLiteral("Очищенный плей-лист.txt");

const QString TMainForm::MediaFilter = QStringLiteral(
    "Изображения|*.bmp; *.jpg; *.gif; *.jpeg; *.emf; *.wmf; *.ico"
    "|Клипы|*.avi; *.wav; *.mid; *.mp3; *.mpeg; *.mpg"
    "|Все|*.bmp; *.jpg; *.gif; *.jpeg; *.emf; *.wmf; *.ico; *.avi; *.wav; *.mid; *.mp3; *.mpeg; *.mpg");

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
    setWindowTitle(QStringLiteral("Lumivo 2.0"));
    setWindowIcon(ProgramIcon());

    // Arial, bold, 13 pixels, blue, for the window's own controls.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(true);
    setFont(font);
    QPalette palette = this->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, Qt::blue);
    setPalette(palette);

    ImageList1 = ToolbarImages();
    CreateMenus();
    CreateToolBar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PlayList = new TPlayListBox(central);
    ConnectGuarded(PlayList, &TPlayListBox::DblClick, this, [this] { PlayListDblClick(); });
    PlayList->setObjectName(QStringLiteral("PlayList"));
    PlayList->setUniformItemSizes(true);
    PlayList->setStyleSheet(QStringLiteral("QListWidget::item { height: 16px; }"));
    layout->addWidget(PlayList, 1);
    CreateControlPanel();
    layout->addWidget(ControlPanel);
    CreateStatusPanel();
    layout->addWidget(Panel1);
    setCentralWidget(central);

    CreateNonVisual();
    SetUpStatusTexts();
    SetOuterSize(this, {DesignWidth, DesignHeight});
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
    const QList<QIcon>& img = ImageList1;

    FileMenu = MainMenu->addMenu(QStringLiteral("&Файл"));
    Open = AddItem(FileMenu, QStringLiteral("Open"), QStringLiteral("&Открыть..."), QStringLiteral("Ctrl+O"),
                   img[2]);
    FileMenu->addSeparator();
    AddItem1 = AddItem(FileMenu, QStringLiteral("AddItem1"), QStringLiteral("&Добавить..."),
                       QStringLiteral("Ctrl+A"), img[0]);
    DeleteItem1 = AddItem(FileMenu, QStringLiteral("DeleteItem1"), QStringLiteral("&Удалить"),
                          QStringLiteral("Ctrl+D"), img[1]);
    N6 = AddItem(FileMenu, QStringLiteral("N6"), QStringLiteral("Очистить плей-лист"));
    FileMenu->addSeparator();
    LoadPlayList1 = AddItem(FileMenu, QStringLiteral("LoadPlayList1"), QStringLiteral("&Загрузить плей-лист..."),
                            QStringLiteral("Ctrl+L"), img[2]);
    SavePlayList1 = AddItem(FileMenu, QStringLiteral("SavePlayList1"), QStringLiteral("&Сохранить плей-лист..."),
                            QStringLiteral("Ctrl+S"), img[3]);
    FileMenu->addSeparator();
    Exit = AddItem(FileMenu, QStringLiteral("Exit"), QStringLiteral("&Выход"), QString(), img[9]);

    ActionMenu = MainMenu->addMenu(QStringLiteral("&Действие"));
    N8 = AddItem(ActionMenu, QStringLiteral("N8"), QStringLiteral("&Скрыть окно программы"),
                 QStringLiteral("Ctrl+R"));
    ActionMenu->addSeparator();
    OpenCDItem = AddItem(ActionMenu, QStringLiteral("OpenCDItem"), QStringLiteral("Открыть CD"),
                         QStringLiteral("F7"), CdOpenImage());
    CloseCDItem = AddItem(ActionMenu, QStringLiteral("CloseCDItem"), QStringLiteral("Закрыть CD"),
                          QStringLiteral("F8"), CdCloseImage());

    SlideShowMenu = MainMenu->addMenu(QStringLiteral("&Показ слайдов"));
    N23 = AddItem(SlideShowMenu, QStringLiteral("N23"), QStringLiteral("&Запустить"), QStringLiteral("F4"), img[4]);
    N26 = AddItem(SlideShowMenu, QStringLiteral("N26"), QStringLiteral("&Остановить"), QStringLiteral("F5"),
                  img[5]);
    SlideShowMenu->addSeparator();
    N11 = AddItem(SlideShowMenu, QStringLiteral("N11"), QStringLiteral("За&держка..."), QStringLiteral("F6"),
                  img[6]);

    ServiceMenu = MainMenu->addMenu(QStringLiteral("&Сервис"));
    N5 = AddItem(ServiceMenu, QStringLiteral("N5"), QStringLiteral("&Сформировать плей-лист..."),
                 QStringLiteral("Ctrl+P"), WizardImage());
    ServiceMenu->addSeparator();
    N13 = AddItem(ServiceMenu, QStringLiteral("N13"), QStringLiteral("&Часы"));
    N13->setCheckable(true);
    N13->setChecked(true);
    AnimateItem = AddItem(ServiceMenu, QStringLiteral("AnimateItem"), QStringLiteral("&Анимированный курсор"));
    AnimateItem->setCheckable(true);
    AnimateItem->setChecked(false);

    HelpMenu = MainMenu->addMenu(QStringLiteral("Справка"));
    Help = AddItem(HelpMenu, QStringLiteral("Help"), QStringLiteral("&Помощь..."), QStringLiteral("F1"), img[8]);
    N1 = AddItem(HelpMenu, QStringLiteral("N1"), QStringLiteral("&Ссылки..."), QStringLiteral("F2"));
    HelpMenu->addSeparator();
    About = AddItem(HelpMenu, QStringLiteral("About"), QStringLiteral("&О программе..."), QStringLiteral("F3"),
                    img[7]);

    MainPopup = new QMenu(this);
    MainPopup->setObjectName(QStringLiteral("MainPopup"));
    AboutPopupItem = AddItem(MainPopup, QStringLiteral("AboutPopupItem"), QStringLiteral("О &программе..."),
                             QString(), img[7]);
    MainPopup->addSeparator();
    Illbeback = AddItem(MainPopup, QStringLiteral("Illbeback"), QStringLiteral("&Выход"), QString(), img[9]);

    TrayMenu = new QMenu(this);
    TrayMenu->setObjectName(QStringLiteral("TrayMenu"));
    AboutMe = AddItem(TrayMenu, QStringLiteral("AboutMe"), QStringLiteral("О &программе..."), QString(), img[7]);
    TrayMenu->addSeparator();
    ComeBack = AddItem(TrayMenu, QStringLiteral("ComeBack"), QStringLiteral("Восстановит&ь"));
    TrayMenu->addSeparator();
    GoAway = AddItem(TrayMenu, QStringLiteral("GoAway"), QStringLiteral("&Выход"), QString(), img[9]);

    ConnectGuarded(Open, &QAction::triggered, this, [this] { OpenClick(); });
    ConnectGuarded(N23, &QAction::triggered, this, [this] { N23Click(); });
    ConnectGuarded(N26, &QAction::triggered, this, [this] { N26Click(); });
    ConnectGuarded(N11, &QAction::triggered, this, [this] { N11Click(); });
    ConnectGuarded(AddItem1, &QAction::triggered, this, [this] { AddItem1Click(); });
    ConnectGuarded(DeleteItem1, &QAction::triggered, this, [this] { DeleteItem1Click(); });
    ConnectGuarded(N6, &QAction::triggered, this, [this] { N6Click(); });
    ConnectGuarded(LoadPlayList1, &QAction::triggered, this, [this] { LoadPlayList1Click(); });
    ConnectGuarded(SavePlayList1, &QAction::triggered, this, [this] { SavePlayList1Click(); });
    ConnectGuarded(N5, &QAction::triggered, this, [this] { N5Click(); });
    ConnectGuarded(N13, &QAction::triggered, this, [this] { N13Click(); });
    ConnectGuarded(AnimateItem, &QAction::triggered, this, [this] { AnimateItemClick(); });
    ConnectGuarded(OpenCDItem, &QAction::triggered, this, [this] { BitBtn1Click(); });
    ConnectGuarded(CloseCDItem, &QAction::triggered, this, [this] { BitBtn2Click(); });
    for (QAction* about : {About, AboutPopupItem, AboutMe})
        ConnectGuarded(about, &QAction::triggered, this, [this] { AboutClick(); });
    ConnectGuarded(Help, &QAction::triggered, this, [this] { HelpClick(); });
    ConnectGuarded(N1, &QAction::triggered, this, [this] { N1Click(); });
    ConnectGuarded(N8, &QAction::triggered, this, [this] { N8Click(); });
    ConnectGuarded(ComeBack, &QAction::triggered, this, [this] { ComeBackClick(); });
    ConnectGuarded(GoAway, &QAction::triggered, this, [this] { GoAwayClick(); });
    ConnectGuarded(Exit, &QAction::triggered, this, [this] { ExitClick(); });
    ConnectGuarded(Illbeback, &QAction::triggered, this, [this] { IllbebackClick(); });
}

void TMainForm::CreateToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(29);
    ToolBar1->setIconSize({18, 18});
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    // A button that runs the same handler as its menu item (none for the exit button).
    auto button = [this](const QString& name, int picture, const QString& hint, QAction* sameAs) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setIcon(ImageList1[picture]);
        b->setIconSize({18, 18});
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setFixedSize(25, 24);
        ToolBar1->addWidget(b);
        if (sameAs)
            connect(b, &QToolButton::clicked, sameAs, &QAction::trigger);
        return b;
    };
    ToolBar1->addSeparator();
    ToolButton5 = button(QStringLiteral("ToolButton5"), 2, QStringLiteral("Открыть плей-лист..."), LoadPlayList1);
    ToolButton9 = button(QStringLiteral("ToolButton9"), 3, QStringLiteral("Сохранить плей-лист..."), SavePlayList1);
    ToolBar1->addSeparator();
    ToolButton3 = button(QStringLiteral("ToolButton3"), 0, QStringLiteral("Добавить файл в плей лист..."), AddItem1);
    ToolButton4 = button(QStringLiteral("ToolButton4"), 1, QStringLiteral("Удалить файл..."), DeleteItem1);
    ToolBar1->addSeparator();
    ToolButton7 = button(QStringLiteral("ToolButton7"), 4, QStringLiteral("Запустить слайд-шоу"), N23);
    ToolButton10 = button(QStringLiteral("ToolButton10"), 5, QStringLiteral("Остановить слайд-шоу..."), N26);
    ToolButton12 = button(QStringLiteral("ToolButton12"), 6, QStringLiteral("Интервал..."), N11);
    ToolBar1->addSeparator();
    ToolButton13 = button(QStringLiteral("ToolButton13"), 8, QStringLiteral("Справка..."), Help);
    ToolButton15 = button(QStringLiteral("ToolButton15"), 7, QStringLiteral("О программе..."), About);
    ToolBar1->addSeparator();
    ToolButton11 = button(QStringLiteral("ToolButton11"), 9, QStringLiteral("Выход"), nullptr);
    ConnectGuarded(ToolButton11, &QToolButton::clicked, this, [this] { ToolButton11Click(); });
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
    BitBtn1 = new QPushButton(CdOpenImage(), QStringLiteral("Открыть CD"), ControlPanel);
    place(BitBtn1, QStringLiteral("BitBtn1"), 4, 4, 137, 33);
    BitBtn1->setToolTip(QStringLiteral("Открыть лоток привода..."));
    BitBtn2 = new QPushButton(CdCloseImage(), QStringLiteral("Закрыть CD"), ControlPanel);
    place(BitBtn2, QStringLiteral("BitBtn2"), 4, 36, 137, 33);
    BitBtn2->setToolTip(QStringLiteral("Закрыть лоток привода"));
    BitBtn3 = new QPushButton(WizardImage(), QStringLiteral("Плей-лист мастер"), ControlPanel);
    place(BitBtn3, QStringLiteral("BitBtn3"), 144, 4, 181, 49);
    BitBtn3->setToolTip(QStringLiteral("Мастер плей-листов"));
    for (QPushButton* b : {BitBtn1, BitBtn2, BitBtn3})
        b->setIconSize({18, 18});
    ConnectGuarded(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ConnectGuarded(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    ConnectGuarded(BitBtn3, &QPushButton::clicked, this, [this] { N5Click(); });
    Screen = new QCheckBox(QStringLiteral("Полноэкранный режим"), ControlPanel);
    place(Screen, QStringLiteral("Screen"), 144, 52, 173, 17);
    Screen->setToolTip(QStringLiteral("Переход в полноэкранный режим"));
    Screen->setChecked(false);
    ConnectGuarded(Screen, &QCheckBox::toggled, this, [this] { ScreenClick(); });

    // The clock: face layer, hands layer over it, and the picture shown when it is off.
    Image1 = new QLabel(ControlPanel);
    place(Image1, QStringLiteral("Image1"), 328, 4, 53, 53);
    Image1->setAttribute(Qt::WA_TranslucentBackground);
    SAMARA = new QLabel(ControlPanel);
    place(SAMARA, QStringLiteral("SAMARA"), 328, 4, 53, 53);
    SAMARA->setAttribute(Qt::WA_TranslucentBackground);
    SAMARA->setToolTip(QStringLiteral("Часики..."));
    ImageN = new QLabel(ControlPanel);
    place(ImageN, QStringLiteral("ImageN"), 328, 4, 53, 53);
    ImageN->setAlignment(Qt::AlignCenter);
    ImageN->hide(); // its picture is made when the clock is first switched off
    SAM = new QLabel(QStringLiteral("SAM"), ControlPanel);
    SAM->setObjectName(QStringLiteral("SAM"));
    SAM->move(332, 57);
    SAM->adjustSize();
    SAM->setToolTip(QStringLiteral("Цифровые часы..."));
}

void TMainForm::CreateStatusPanel()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFixedHeight(19);
    StatusLabel = new QLabel(Panel1);
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

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    TrayIcon = new QSystemTrayIcon(this);
    // Queued, as a posted message: the menu and the commands it runs must not run inside the
    // icon's own mouse handling, since hiding the icon destroys the window that handles it.
    connect(
        TrayIcon, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) { TrayNotifyWhenIdle(reason); },
        Qt::QueuedConnection);

    OpenDialog.Filter = MediaFilter;
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
    move(m_settingsPos);
    SetExactCaption(this, settings.Caption);
    if (settings.InitMax)
        setWindowState(windowState() | Qt::WindowMaximized);
    SetUpClock();
}

void TMainForm::SetUpClock()
{
    ClockGeometry = TClockGeometry::From(Image1->width(), Image1->height());
    ClockFace = NewClockLayer(ClockGeometry);
    DrawClockFace(ClockFace, ClockGeometry);
    Image1->setPixmap(LayerPixmap(ClockFace));
    ClockHands = NewClockLayer(ClockGeometry);
    ClockTimer();
}

void TMainForm::ClockTimer()
{
    DrawClockHands(ClockHands, SAM, ClockGeometry, QDateTime::currentDateTime(), QLocale::system());
    SAM->adjustSize();
    SAMARA->setPixmap(LayerPixmap(ClockHands));
}

void TMainForm::N13Click()
{
    // The menu item has already changed its checked state.
    const bool on = N13->isChecked();
    SAMARA->setVisible(on);
    Image1->setVisible(on);
    if (!on && ImageN->pixmap().isNull())
        ImageN->setPixmap(ClockOffPicture().scaled(ImageN->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    ImageN->setVisible(!on);
}

void TMainForm::AnimateItemClick()
{
    if (NTCursor)
        NTCursor->start(AnimateItem->isChecked());
}

void TMainForm::SetUpStatusTexts()
{
    m_statusTexts = {
        {ControlPanel, QString()},
        {ToolBar1, QString()},
        {BitBtn1, QStringLiteral("Открыть лоток CD-ROM")},
        {BitBtn2, QStringLiteral("Закрыть лоток CD-ROM")},
        {BitBtn3, QStringLiteral("Мастер плей-листов...")},
        {Screen, QStringLiteral("Полноэкранный режим...")},
        {SAMARA, QStringLiteral("Часы...")},
        {SAM, QStringLiteral("Часы...")},
        {PlayList->viewport(), QStringLiteral("Плей-лист программы")},
        {ToolButton5, QStringLiteral("Открыть существующий плей-лист...")},
        {ToolButton9, QStringLiteral("Сохранить плей-лист как...")},
        {ToolButton3, QStringLiteral("Добавить элемент списка...")},
        {ToolButton4, QStringLiteral("Удалить элемент списка...")},
        {ToolButton7, QStringLiteral("Начать показ слайдов...")},
        {ToolButton10, QStringLiteral("Остановить показ слайдов...")},
        {ToolButton12, QStringLiteral("Настройка интервала между слайдами...")},
        {ToolButton13, QStringLiteral("Справка...")},
        {ToolButton15, QStringLiteral("Информация о программе...")},
        {ToolButton11, QStringLiteral("Завершение работы программы")},
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

void TMainForm::BitBtn1Click() { MciSendString(QStringLiteral("Set cdaudio door open wait")); }

void TMainForm::BitBtn2Click() { MciSendString(QStringLiteral("Set cdaudio door closed wait")); }

void TMainForm::AboutClick()
{
    if (AboutBox1)
        AboutBox1->exec();
}

void TMainForm::HelpClick()
{
    if (Form2)
        Form2->exec();
}

void TMainForm::N1Click()
{
    if (!Form3)
        return;
    Form3->show();
    Form3->raise();
    Form3->activateWindow();
}

QString TMainForm::TrayTip(const QString& text) { return text.left(63); }

bool TMainForm::AddTrayIcon()
{
    TrayIcon->setIcon(windowIcon());
    TrayIcon->setToolTip(TrayTip(QStringLiteral("Lumivo v 2.0")));
    TrayIcon->show();
    // Clicks act on the release over the icon, as a posted message (see the constructor).
    ActOnReleaseOnly(TrayIcon, [this](QSystemTrayIcon::ActivationReason reason) {
        QMetaObject::invokeMethod(this, [this, reason] { TrayNotifyWhenIdle(reason); }, Qt::QueuedConnection);
    });
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TMainForm::RemoveTrayIcon()
{
    const bool was = TrayIcon->isVisible();
    TrayIcon->hide();
    return was;
}

void TMainForm::N8Click()
{
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
    if (NTCursor)
        NTCursor->start(AnimateItem->isChecked());
}

void TMainForm::FadeOut()
{
    m_fading = true;
    AnimateWindow(this, WindowAnimationMs, AnimateFlags::FadeOut);
    m_fading = false;
}

void TMainForm::FormHide() { FadeOut(); }

void TMainForm::FormClose() { FadeOut(); }

void TMainForm::FormDestroy()
{
    TIniFile ini(m_settingsFile);
    TFormSettings settings;
    // Where the window system reports no positions, the values read at start stay.
    const QPoint position = WindowPositionsReported() ? pos() : m_settingsPos;
    settings.Top = position.y();
    settings.Left = position.x();
    settings.Caption = ExactCaption(this);
    settings.InitMax = isMaximized();
    WriteFormSettings(ini, settings);
}

void TMainForm::N23Click()
{
    if (SlideShow)
        SlideShow->Start();
}

void TMainForm::N26Click()
{
    if (SlideShow)
        SlideShow->Stop();
}

void TMainForm::N11Click()
{
    if (Form6)
        Form6->exec();
}

void TMainForm::PlayListDblClick()
{
    const QString line = PlayList->SelectedLine();
    const QString fileName = PlayList->SelectedFilePath();
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return; // a line that names no file (gone, or a folder) is passed over without a word
    if (Form4)
        PresentFile(*Form4, fileName, ClassifyMediaFile(line), TAnimationSource::SelectedLine, Screen->isChecked());
}

void TMainForm::OpenClick()
{
    if (!OpenDialog.Execute(this) || !Form4)
        return;
    PresentFile(*Form4, OpenDialog.FileName, ClassifyMediaFile(OpenDialog.FileName), TAnimationSource::OpenDialog,
                Screen->isChecked());
}

void TMainForm::ScreenClick()
{
    if (Form4)
        SetFullScreen(*Form4, Screen->isChecked());
}

void TMainForm::AddItem1Click()
{
    if (OpenDialog.Execute(this))
        PlayList->AppendLines({OpenDialog.FileName});
}

void TMainForm::DeleteItem1Click()
{
    const int selected = PlayList->SelectedIndex();
    if (selected < 0)
        return;
    delete PlayList->takeItem(selected);
    PlayList->SetSelectedIndex(-1); // no other line is selected for the user
}

void TMainForm::N6Click()
{
    // The list is cleared only once its backup is safely written.
    SavePlaylistLines(QDir::current().absoluteFilePath(ClearedPlaylistBackup), PlayList->LineBytes());
    PlayList->clear();
}

void TMainForm::LoadPlayList1Click()
{
    if (!PlayListOpenDialog.Execute(this))
        return;
    PlayList->SetLineBytes(LoadPlaylistLines(PlayListOpenDialog.FileName));
}

void TMainForm::SavePlayList1Click()
{
    if (!PlayListSaveDialog.Execute(this))
        return;
    SavePlaylistLines(PlayListSaveDialog.FileName, PlayList->LineBytes());
}

void TMainForm::N5Click()
{
    if (Form7)
        Form7->exec();
}

void TMainForm::ExitClick() { close(); }

void TMainForm::ToolButton11Click()
{
    RemoveTrayIcon();
    RequestQuit(0);
}

void TMainForm::IllbebackClick() { ToolButton11Click(); }

void TMainForm::setVisible(bool visible)
{
    if (!visible && isVisible() && !m_fading)
        Guarded([this] { FormHide(); });
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
    event->accept();
    Q_EMIT Closed();
}

void TMainForm::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // The position from the settings file stands as it is, even off every screen; snapping
    // starts with the first move away from it.
    if (!m_userMoved && pos() == m_settingsPos)
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
