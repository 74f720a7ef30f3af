#include "presentation/DisplayWindow.h"

#include "core/Dialogs.h"
#include "core/HandlerGuard.h"
#include "playlist/MediaKind.h"
#include "presentation/GifImage.h"
#include "presentation/MediaPlayer.h"
#include "presentation/Present.h"
#include "presentation/PresentationGate.h"
#include "presentation/QtGifHost.h"
#include "widgets/Accessibility.h"
#include "widgets/FitCaptions.h"
#include "widgets/WindowGeometry.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolButton>


namespace {

template <class W>
W* Place(W* widget, const char* name, int x, int y, int w, int h, const QString& hint = QString())
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, w, h);
    widget->setToolTip(hint);
    return widget;
}

// A small flat button whose keyboard focus shows as a frame in the highlight colour: the
// style's own focus tint is too faint to see on so small a button.
class TFocusFramedButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QToolButton::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Highlight));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

} // namespace

TDisplayWindow::TDisplayWindow(QWidget* parent, TStripButtons buttons) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("DisplayWindow"));
    setWindowTitle(QStringLiteral("Экран"));

    ViewPanel = new QFrame(this);
    ViewPanel->setObjectName(QStringLiteral("ViewPanel"));
    ViewPanel->hide();
    Image = new TImage(ViewPanel);
    Image->setObjectName(QStringLiteral("Image"));
    Image->SetCenter(true);
    Image->SetProportional(true);

    AdditionalPanel = new QFrame(this);
    AdditionalPanel->setObjectName(QStringLiteral("AdditionalPanel"));
    AdditionalPanel->setAutoFillBackground(true);
    QPalette cream = AdditionalPanel->palette();
    cream.setColor(QPalette::Window, QColor(255, 251, 240));
    AdditionalPanel->setPalette(cream);

    MediaPlayer = Place(new TMediaPlayer(AdditionalPanel), "MediaPlayer", 4, 4, 197, 29,
                        QStringLiteral("Панель управления мультимедиа"));
    MediaPlayer->Display = ViewPanel;
    MediaPlayer->hide();
    connect(MediaPlayer, &TMediaPlayer::Notify, this, &TDisplayWindow::ClipReported);
    AnimationPanel = Place(new QFrame(AdditionalPanel), "AnimationPanel", 208, 4, 157, 29);
    AnimationPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    AnimationOnButton = Place(new QPushButton(QStringLiteral("Вкл."), AnimationPanel), "AnimationOnButton", 8, 4, 37,
                              21, QStringLiteral("Включить анимацию"));
    AnimationOffButton = Place(new QPushButton(QStringLiteral("Выкл."), AnimationPanel), "AnimationOffButton", 44, 4,
                               37, 21, QStringLiteral("Выключить анимацию"));
    Slower = Place(new QPushButton(QStringLiteral("Медл."), AnimationPanel), "Slower", 80, 4, 37, 21,
                   QStringLiteral("Медленнее..."));
    Once = Place(new QPushButton(QStringLiteral("Раз"), AnimationPanel), "Once", 116, 4, 33, 21,
                 QStringLiteral("Один раз просмотреть..."));
    AnimationPanel->hide();

    auto small = [this](const char* name, const QString& caption, int x, const QString& hint) {
        auto* b = Place(new TFocusFramedButton(AdditionalPanel), name, x, 40, 13, 13, hint);
        b->setText(caption);
        b->setAutoRaise(true);
        QFont f = b->font();
        f.setPixelSize(9);
        b->setFont(f);
        return b;
    };
    StartSlideShowButton = small("StartSlideShowButton", QStringLiteral(">"), 4, QStringLiteral("Запустить слайд-шоу"));
    StopSlideShowButton =
        small("StopSlideShowButton", QStringLiteral("||"), 16, QStringLiteral("Остановить слайд-шоу"));
    CloseButton = small("CloseButton", QStringLiteral("X"), 28, QStringLiteral("Выход"));
    SlideIntervalButton =
        small("SlideIntervalButton", QStringLiteral("+"), 40, QStringLiteral("Задержка между показом слайдов..."));

    ClipProgress = Place(new QProgressBar(AdditionalPanel), "ClipProgress", 56, 36, 145, 21,
                         QStringLiteral("Прогресс воспроизведения"));
    ClipProgress->setRange(0, 100);
    ClipProgress->setValue(0);
    ClipProgress->setFormat(QStringLiteral("%p%"));
    QPalette blue = ClipProgress->palette();
    blue.setColor(QPalette::Highlight, Qt::blue);
    ClipProgress->setPalette(blue);
    VolumeLevel = Place(new QProgressBar(AdditionalPanel), "VolumeLevel", 208, 36, 73, 21, QStringLiteral("Громкость"));
    VolumeLevel->setRange(0, 100);
    VolumeLevel->setValue(0);
    VolumeLevel->setTextVisible(false);
    VolumeBar =
        Place(new QSlider(Qt::Horizontal, AdditionalPanel), "VolumeBar", 300, 36, 65, 21, QStringLiteral("Громкость"));
    VolumeBar->setRange(0, 100);
    VolumeBar->setValue(50);
    VolumeBar->setTickInterval(10);
    VolumeBar->setTickPosition(QSlider::TicksBelow);
    for (QWidget* w : std::initializer_list<QWidget*>{ClipProgress, VolumeLevel, VolumeBar})
        w->hide();

    ProgressTimer = new QTimer(this);
    ProgressTimer->setInterval(1000);
    ConnectGuarded(ProgressTimer, &QTimer::timeout, this, [this] { ProgressTimerTick(); });
    ProgressTimer->start();

    // The animation control: owned by the window, visible but empty at start.
    GifImage = new TGifImage(ProgramGifHost(), this);
    GifImage->setObjectName(QStringLiteral("GifImage"));
    GifImage->move(10, 10);
    GifImage->SetCenter(true);
    GifImage->SetProportional(true);
    // The buttons always say what the animation does, also when a run-through ends by itself.
    connect(GifImage, &TGifImage::AnimatedChanged, this, [this](bool animated) {
        AnimationOnButton->setEnabled(!animated);
        AnimationOffButton->setEnabled(animated);
    });

    ConnectGuarded(AnimationOnButton, &QPushButton::clicked, this, [this] { AnimationOnClick(); });
    ConnectGuarded(AnimationOffButton, &QPushButton::clicked, this, [this] { AnimationOffClick(); });
    ConnectGuarded(Slower, &QPushButton::clicked, this, [this] { SlowerClick(); });
    ConnectGuarded(Once, &QPushButton::clicked, this, [this] { OnceClick(); });
    ConnectGuarded(StartSlideShowButton, &QToolButton::clicked, this, [this] { StartSlideShowClick(); });
    ConnectGuarded(StopSlideShowButton, &QToolButton::clicked, this, [this] { StopSlideShowClick(); });
    ConnectGuarded(CloseButton, &QToolButton::clicked, this, [this] { CloseClick(); });
    ConnectGuarded(SlideIntervalButton, &QToolButton::clicked, this, [this] { SlideIntervalClick(); });
    ConnectGuarded(VolumeBar, &QSlider::valueChanged, this, [this] { VolumeBarChange(); });

    // The slide show's keys work here as in the main window, and Ctrl+W closes the window.
    const struct {
        const char* keys;
        void (TDisplayWindow::*handler)();
    } keys[] = {{"F4", &TDisplayWindow::StartSlideShowClick},
                {"F5", &TDisplayWindow::StopSlideShowClick},
                {"F6", &TDisplayWindow::SlideIntervalClick},
                {"Ctrl+W", &TDisplayWindow::CloseClick}};
    for (const auto& key : keys) {
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(QLatin1String(key.keys)));
        addAction(action);
        ConnectGuarded(action, &QAction::triggered, this, [this, handler = key.handler] { (this->*handler)(); });
    }

    // The strip's cream is fixed, and so is the text of the small flat buttons drawn on it:
    // black, in light and dark palettes alike, since their 9-pixel captions need a strong
    // contrast. A button the pointer is over is cream too.
    for (QToolButton* b : SmallButtons()) {
        QPalette p = b->palette();
        for (QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText}) {
            p.setColor(role, Qt::black);
            p.setColor(QPalette::Disabled, role, QColor(0x76, 0x76, 0x76));
        }
        p.setColor(QPalette::Button, cream.color(QPalette::Window));
        b->setPalette(p);
    }
    NameControlsByTheirHints(this);
    MediaPlayer->setAccessibleName(QStringLiteral("Панель управления мультимедиа"));
    if (buttons == TStripButtons::Now) {
        FitCaptions(this);
    } else {
        m_stripPending = true;
        for (QToolButton* b : SmallButtons())
            b->hide();
    }

    // The window is never narrower than its bottom strip's controls, whatever size a video
    // or the user gives it.
    setMinimumWidth(StripMinimumWidth);
    SetOuterSize(this, {DesignWidth, DesignHeight});
}

std::array<QToolButton*, 4> TDisplayWindow::SmallButtons() const
{
    return {StartSlideShowButton, StopSlideShowButton, CloseButton, SlideIntervalButton};
}

void TDisplayWindow::CompleteStrip()
{
    if (!m_stripPending)
        return;
    m_stripPending = false;
    FitCaptions(this);
    for (QToolButton* b : SmallButtons())
        b->show();
    // The focus goes where it would have gone had the buttons been there on activation.
    if (isActiveWindow() && !focusWidget())
        focusNextChild();
}

void TDisplayWindow::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (m_stripPending) // after this repaint has reached the screen
        QTimer::singleShot(0, this, [this] { CompleteStrip(); });
}

QRect TDisplayWindow::DisplayArea() const { return QRect(0, 0, width(), qMax(0, height() - StripHeight)); }

void TDisplayWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ViewPanel->setGeometry(DisplayArea());
    Image->setGeometry(ViewPanel->rect());
    AdditionalPanel->setGeometry(0, height() - StripHeight, width(), StripHeight);
    if (m_gifFills)
        GifImage->setGeometry(DisplayArea());
    // Larger than the picture was decoded for: decoded again once nothing else is presented.
    if (!PictureFile.isEmpty() && !m_sharpenPending) {
        m_sharpenPending = true;
        QTimer::singleShot(0, this, [this] {
            presentation::RunGuardedWhenIdle(this, [this] {
                m_sharpenPending = false;
                SharpenPicture(*this);
            });
        });
    }
}

void TDisplayWindow::ApplyPictureLayout()
{
    PictureFile.clear();
    ViewPanel->show();
    AnimationPanel->hide();
    VolumeBar->hide();
    MediaPlayer->hide();
    MediaPlayer->HideVideo(); // a clip may play on, but out of sight, whether the picture loads or not
    ClipProgress->hide();
    VolumeLevel->hide();
    HideAnimation();
    setWindowTitle(MediaKindCaption(mkPicture));
}

void TDisplayWindow::ApplyAnimationLayout()
{
    PictureFile.clear();
    ViewPanel->hide();
    AnimationPanel->show();
    VolumeBar->hide();
    MediaPlayer->hide();
    ClipProgress->hide();
    VolumeLevel->hide();
    setWindowTitle(MediaKindCaption(mkAnimatedPicture));
}

void TDisplayWindow::ApplyClipLayout()
{
    PictureFile.clear();
    ViewPanel->show();
    AnimationPanel->hide();
    VolumeBar->show();
    MediaPlayer->show();
    ClipProgress->show();
    VolumeLevel->show();
    HideAnimation();
    setWindowTitle(MediaKindCaption(mkClip));
}

void TDisplayWindow::HideAnimation() { GifImage->hide(); }

void TDisplayWindow::LoadGif(const QString& fileName)
{
    const quint64 presentation = PresentationSerial;
    m_gifFills = true;
    GifImage->setGeometry(DisplayArea());
    // With animation switched on, a newly loaded GIF animates at once.
    const bool animating = GifImage->TimerEnabled() && !GifImage->PlayingOnce();
    GifImage->LoadFromFile(fileName); // an error leaves the control as it was, not shown
    if (animating)
        GifImage->SetAnimated(true);
    if (presentation != PresentationSerial)
        return; // something newer was presented while the GIF decoded: it stays in view
    GifImage->show();
    GifImage->raise();
}

void TDisplayWindow::AnimationOnClick()
{
    GifImage->SetAnimated(true);
    AnimationOnButton->setEnabled(false);
    AnimationOffButton->setEnabled(true);
}

void TDisplayWindow::AnimationOffClick()
{
    GifImage->SetAnimated(false);
    AnimationOnButton->setEnabled(true);
    AnimationOffButton->setEnabled(false);
}

void TDisplayWindow::SlowerClick() { GifImage->SlowDown(); }

void TDisplayWindow::OnceClick() { GifImage->PlayOnce(); }

void TDisplayWindow::StartSlideShowClick()
{
    if (StartSlideShow)
        StartSlideShow();
}

void TDisplayWindow::StopSlideShowClick()
{
    if (StopSlideShow)
        StopSlideShow();
}

void TDisplayWindow::CloseClick() { close(); }

void TDisplayWindow::SlideIntervalClick()
{
    if (ShowIntervalDialog)
        ShowIntervalDialog();
}

void TDisplayWindow::VolumeBarChange()
{
    const int v = VolumeBar->value();
    // The levels are 16-bit: 100 x 655 = 65500 at the most.
    TMediaPlayer::SetWaveVolume(quint16(v * 655), quint16(v * 655));
    VolumeLevel->setValue(v);
}

void TDisplayWindow::ProgressTimerTick()
{
    if (MediaPlayer->FileName.isEmpty() || !MediaPlayer->IsOpen())
        return;
    // The progress first, within the old maximum, then the new maximum.
    ClipProgress->setValue(int(qBound<qint64>(0, MediaPlayer->Position(), qint64(ClipProgress->maximum()))));
    ClipProgress->setMaximum(int(qMin<qint64>(MediaPlayer->Length(), INT_MAX)));
}

void TDisplayWindow::FormClose(bool& allowed)
{
    // Closing always works: only a clip that is open is stopped (one whose opening failed
    // leaves nothing to stop).
    if (MediaPlayer->IsOpen())
        MediaPlayer->Stop();
    allowed = true;
    // A picture still loading is not shown: the window stays closed.
    ++PresentationSerial;
}

void TDisplayWindow::closeEvent(QCloseEvent* event)
{
    bool allowed = false;
    Guarded([&] { FormClose(allowed); });
    if (allowed)
        event->accept();
    else
        event->ignore();
}

void TDisplayWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape leaves full screen, or else closes the window; F11 switches full screen.
    if (event->modifiers() == Qt::NoModifier && (event->key() == Qt::Key_Escape || event->key() == Qt::Key_F11)) {
        const bool leave = FullScreen || event->key() == Qt::Key_F11;
        if (leave && SetFullScreenMode)
            Guarded([&] { SetFullScreenMode(!FullScreen); });
        else if (!leave)
            close();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TDisplayWindow::setVisible(bool visible)
{
    const bool appearing = visible && !isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    QWidget::setVisible(visible);
    if (appearing)
        PlaceOnScreen();
}

void TDisplayWindow::PlaceOnScreen()
{
    if (Placement == TPlacement::DesktopCenter) {
        CenterOnDesktop(this);
        return;
    }
    QScreen* screen = ScreenOf(this);
    QRect frame = frameGeometry();
    frame.moveCenter(screen->geometry().center());
    move(frame.topLeft());
}
