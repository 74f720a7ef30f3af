#include "presentation/Form4.h"

#include "gif/GifImage.h"
#include "platform/Dialogs.h"
#include "platform/HandlerGuard.h"
#include "platform/WindowGeometry.h"
#include "presentation/MediaPlayer.h"
#include "presentation/QtGifHost.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

TForm4* Form4 = nullptr;

namespace {

template <class W>
W* Place(W* widget, const char* name, int x, int y, int w, int h, const QString& hint = QString())
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, w, h);
    widget->setToolTip(hint);
    return widget;
}

// The hidden level bars start where the volume bar does, so that every move of the volume
// bar changes them and sets the volume (starting them at 0 left a first move to 0 unheard:
// no level changed, and the volume stayed where it was).
QSlider* Level(QWidget* parent, const char* name, int start)
{
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setValue(start);
    bar->hide();
    return bar;
}

} // namespace

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Экран"));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->hide();
    Image = new TImage(Panel1);
    Image->setObjectName(QStringLiteral("Image"));
    Image->SetCenter(true);
    Image->SetProportional(true);
    TrackBar1 = Level(Panel1, "TrackBar1", 50);
    TrackBar2 = Level(Panel1, "TrackBar2", 50);
    TrackBar3 = Level(Panel1, "TrackBar3", 50);
    Tech1 = new QLabel(Panel1);
    Tech2 = new QLabel(Panel1);
    Tech3 = new QLabel(Panel1);
    for (QLabel* tech : {Tech1, Tech2, Tech3})
        tech->hide();
    Button1 = new QPushButton(Panel1);
    Button2 = new QPushButton(Panel1);
    Button1->hide();
    Button2->hide();

    AdditionalPanel = new QFrame(this);
    AdditionalPanel->setObjectName(QStringLiteral("AdditionalPanel"));
    AdditionalPanel->setAutoFillBackground(true);
    QPalette cream = AdditionalPanel->palette();
    cream.setColor(QPalette::Window, QColor(255, 251, 240));
    AdditionalPanel->setPalette(cream);

    MediaPlayer1 = Place(new TMediaPlayer(AdditionalPanel), "MediaPlayer1", 4, 4, 197, 29,
                         QStringLiteral("Панель управления мультимедиа"));
    MediaPlayer1->Display = Panel1;
    MediaPlayer1->hide();
    Panel2 = Place(new QFrame(AdditionalPanel), "Panel2", 208, 4, 157, 29);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    On2 = Place(new QPushButton(QStringLiteral("Вкл."), Panel2), "On2", 8, 4, 37, 21, QStringLiteral("Включить анимацию"));
    Off2 = Place(new QPushButton(QStringLiteral("Выкл."), Panel2), "Off2", 44, 4, 37, 21,
                 QStringLiteral("Выключить анимацию"));
    Slower = Place(new QPushButton(QStringLiteral("Медл."), Panel2), "Slower", 80, 4, 37, 21,
                   QStringLiteral("Медленнее..."));
    Once = Place(new QPushButton(QStringLiteral("Раз"), Panel2), "Once", 116, 4, 33, 21,
                 QStringLiteral("Один раз просмотреть..."));
    Panel2->hide();

    auto small = [this](const char* name, const QString& caption, int x, const QString& hint) {
        auto* b = Place(new QToolButton(AdditionalPanel), name, x, 40, 13, 13, hint);
        b->setText(caption);
        b->setAutoRaise(true);
        QFont f = b->font();
        f.setPixelSize(9);
        b->setFont(f);
        return b;
    };
    SpeedButton1 = small("SpeedButton1", QStringLiteral(">"), 4, QStringLiteral("Запустить слайд-шоу"));
    SpeedButton2 = small("SpeedButton2", QStringLiteral("||"), 16, QStringLiteral("Остановить слайд-шоу"));
    SpeedButton3 = small("SpeedButton3", QStringLiteral("X"), 28, QStringLiteral("Выход"));
    SpeedButton4 = small("SpeedButton4", QStringLiteral("+"), 40, QStringLiteral("Задержка между показом слайдов..."));

    Gauge1 = Place(new QProgressBar(AdditionalPanel), "Gauge1", 56, 36, 145, 21,
                   QStringLiteral("Прогресс воспроизведения"));
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setFormat(QStringLiteral("%p%"));
    QPalette blue = Gauge1->palette();
    blue.setColor(QPalette::Highlight, Qt::blue);
    Gauge1->setPalette(blue);
    ProgressBar1 = Place(new QProgressBar(AdditionalPanel), "ProgressBar1", 208, 36, 73, 21, QStringLiteral("Громкость"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    TrackBar4 = Place(new QSlider(Qt::Horizontal, AdditionalPanel), "TrackBar4", 300, 36, 65, 21,
                      QStringLiteral("Громкость"));
    TrackBar4->setRange(0, 100);
    TrackBar4->setValue(50);
    TrackBar4->setTickInterval(10);
    TrackBar4->setTickPosition(QSlider::TicksBelow);
    for (QWidget* w : std::initializer_list<QWidget*>{Gauge1, ProgressBar1, TrackBar4})
        w->hide();

    OpenGif = new QPushButton(this);
    OpenGif->setObjectName(QStringLiteral("OpenGif"));
    OpenGif->hide();

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    ConnectGuarded(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();

    // The animation control: owned by the window, visible but empty at start.
    GifImage = new TGifImage(ProgramGifHost(), this);
    GifImage->setObjectName(QStringLiteral("GifImage"));
    GifImage->move(10, 10);
    GifImage->SetCenter(true);
    GifImage->SetProportional(true);

    ConnectGuarded(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    ConnectGuarded(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    ConnectGuarded(OpenGif, &QPushButton::clicked, this, [this] { OpenGifClick(); });
    ConnectGuarded(On2, &QPushButton::clicked, this, [this] { On2Click(); });
    ConnectGuarded(Off2, &QPushButton::clicked, this, [this] { Off2Click(); });
    ConnectGuarded(Slower, &QPushButton::clicked, this, [this] { SlowerClick(); });
    ConnectGuarded(Once, &QPushButton::clicked, this, [this] { OnceClick(); });
    ConnectGuarded(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    ConnectGuarded(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    ConnectGuarded(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    ConnectGuarded(SpeedButton4, &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
    ConnectGuarded(TrackBar4, &QSlider::valueChanged, this, [this] { TrackBar4Change(); });
    ConnectGuarded(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
    ConnectGuarded(TrackBar2, &QSlider::valueChanged, this, [this] { TrackBar2Change(); });
    ConnectGuarded(TrackBar3, &QSlider::valueChanged, this, [this] { TrackBar3Change(); });

    SetOuterSize(this, {DesignWidth, DesignHeight});
}

QRect TForm4::DisplayArea() const { return QRect(0, 0, width(), qMax(0, height() - StripHeight)); }

void TForm4::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Panel1->setGeometry(DisplayArea());
    Image->setGeometry(Panel1->rect());
    AdditionalPanel->setGeometry(0, height() - StripHeight, width(), StripHeight);
    if (m_gifFills)
        GifImage->setGeometry(DisplayArea());
}

void TForm4::ApplyPictureLayout()
{
    Panel1->show();
    Panel2->hide();
    TrackBar4->hide();
    MediaPlayer1->hide();
    MediaPlayer1->HideVideo(); // a clip may play on, but out of sight, whether the picture loads or not
    Gauge1->hide();
    ProgressBar1->hide();
    Button1Click();
    setWindowTitle(QStringLiteral("Картинка"));
}

void TForm4::ApplyAnimationLayout()
{
    Panel1->hide();
    Panel2->show();
    TrackBar4->hide();
    MediaPlayer1->hide();
    Gauge1->hide();
    ProgressBar1->hide();
    setWindowTitle(QStringLiteral("Анимированная картинка"));
}

void TForm4::ApplyClipLayout()
{
    Panel1->show();
    Panel2->hide();
    TrackBar4->show();
    MediaPlayer1->show();
    Gauge1->show();
    ProgressBar1->show();
    Button1Click();
    setWindowTitle(QStringLiteral("Клип"));
}

void TForm4::Button1Click() { GifImage->hide(); }

void TForm4::LoadGif(const QString& fileName)
{
    const quint64 presentation = PresentationSerial;
    m_gifFills = true;
    GifImage->setGeometry(DisplayArea());
    GifImage->LoadFromFile(fileName); // an error leaves the control as it was, not shown
    if (presentation != PresentationSerial)
        return; // something newer was presented while the GIF decoded: it stays in view
    GifImage->show();
    GifImage->raise();
}

void TForm4::Button2Click() { LoadGif(SelectedLine ? SelectedLine() : QString()); }

void TForm4::OpenGifClick() { LoadGif(OpenDialogFileName ? OpenDialogFileName() : QString()); }

void TForm4::On2Click()
{
    GifImage->SetAnimated(true);
    On2->setEnabled(false);
    Off2->setEnabled(true);
}

void TForm4::Off2Click()
{
    GifImage->SetAnimated(false);
    On2->setEnabled(true);
    Off2->setEnabled(false);
}

void TForm4::SlowerClick() { GifImage->SlowDown(); }

void TForm4::OnceClick() { GifImage->PlayOnce(); }

void TForm4::SpeedButton1Click()
{
    if (StartSlideShow)
        StartSlideShow();
}

void TForm4::SpeedButton2Click()
{
    if (StopSlideShow)
        StopSlideShow();
}

void TForm4::SpeedButton3Click() { close(); }

void TForm4::SpeedButton4Click()
{
    if (ShowIntervalDialog)
        ShowIntervalDialog();
}

// Both channels follow the volume bar; the level bars keep left, right and the larger.
void TForm4::TrackBar4Change()
{
    const int v = TrackBar4->value();
    TrackBar1->setValue(v);
    TrackBar2->setValue(v);
    TrackBar3->setValue(v);
    ProgressBar1->setValue(v);
}

static void SetWaveVolumeFrom(const QSlider* left, const QSlider* right)
{
    // The levels are 16-bit: 100 x 655 = 65500 at the most.
    TMediaPlayer::SetWaveVolume(quint16(left->value() * 655), quint16(right->value() * 655));
}

void TForm4::TrackBar1Change()
{
    Tech1->setText(QString::number(TrackBar1->value()));
    if (TrackBar1->value() > TrackBar2->value())
        TrackBar3->setValue(TrackBar1->value());
    SetWaveVolumeFrom(TrackBar1, TrackBar2);
}

void TForm4::TrackBar2Change()
{
    Tech2->setText(QString::number(TrackBar2->value()));
    if (TrackBar2->value() > TrackBar1->value())
        TrackBar3->setValue(TrackBar2->value());
    SetWaveVolumeFrom(TrackBar1, TrackBar2);
}

void TForm4::TrackBar3Change()
{
    Tech1->setText(QString::number(TrackBar1->value()));
    SetWaveVolumeFrom(TrackBar1, TrackBar2);
}

void TForm4::Timer1Timer()
{
    if (MediaPlayer1->FileName.isEmpty() || !MediaPlayer1->IsOpen())
        return;
    // The progress first, within the old maximum, then the new maximum.
    Gauge1->setValue(int(qBound<qint64>(0, MediaPlayer1->Position(), qint64(Gauge1->maximum()))));
    Gauge1->setMaximum(int(qMin<qint64>(MediaPlayer1->Length(), INT_MAX)));
}

void TForm4::FormClose(bool& allowed)
{
    if (!MediaPlayer1->FileName.isEmpty())
        MediaPlayer1->Stop(); // with no clip open: "No MCI device open", and the window stays
    allowed = true;
}

void TForm4::closeEvent(QCloseEvent* event)
{
    bool allowed = false;
    Guarded([&] { FormClose(allowed); });
    if (allowed)
        event->accept();
    else
        event->ignore();
}

void TForm4::setVisible(bool visible)
{
    const bool appearing = visible && !isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    QWidget::setVisible(visible);
    if (appearing)
        PlaceOnScreen();
}

void TForm4::PlaceOnScreen()
{
    if (Placement == TPlacement::DesktopCenter) {
        CenterOnDesktop(this);
        return;
    }
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    QRect frame = frameGeometry();
    frame.moveCenter(screen->geometry().center());
    move(frame.topLeft());
}
