#include "presentation/MediaPlayer.h"

#include "core/Dialogs.h"
#include "core/HandlerGuard.h"
#include "presentation/PresentationGate.h"
#include "system/SafeFile.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <malloc.h>

int TMediaPlayer::OpenTimeoutMs = 10000;
QList<QPair<QByteArray, QByteArray>> TMediaPlayer::EngineOptions;
quint16 TMediaPlayer::RequestedLeft = 0;
quint16 TMediaPlayer::RequestedRight = 0;
bool TMediaPlayer::WaveVolumeSet = false;

namespace {

QList<TMediaPlayer*>& Players()
{
    static QList<TMediaPlayer*> players;
    return players;
}

} // namespace

TMediaPlayer::TMediaPlayer(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MediaPlayer"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const char* names[] = {"Play", "Pause", "Stop", "Next", "Prev", "Step", "Back"};
    const char* spoken[] = {"Воспроизвести", "Пауза", "Стоп", "В конец", "В начало", "Шаг вперёд", "Шаг назад"};
    for (int i = 0; i < 7; ++i) {
        Buttons[i] = new QToolButton(this);
        Buttons[i]->setObjectName(QLatin1String(names[i]));
        Buttons[i]->setAccessibleName(QString::fromUtf8(spoken[i]));
        Buttons[i]->setAccessibleDescription(QStringLiteral("Панель управления мультимедиа"));
        // No hint of their own: the control's hint shows over all of it. Their pictures
        // come when the control is first shown (see showEvent).
        Buttons[i]->setAutoRaise(false);
        layout->addWidget(Buttons[i]);
    }
    ConnectGuarded(Buttons[btPlay], &QToolButton::clicked, this, [this] { Play(); });
    ConnectGuarded(Buttons[btPause], &QToolButton::clicked, this, [this] { Pause(); });
    ConnectGuarded(Buttons[btStop], &QToolButton::clicked, this, [this] { Stop(); });
    ConnectGuarded(Buttons[btNext], &QToolButton::clicked, this, [this] { Next(); });
    ConnectGuarded(Buttons[btPrev], &QToolButton::clicked, this, [this] { Previous(); });
    ConnectGuarded(Buttons[btStep], &QToolButton::clicked, this, [this] { Step(); });
    ConnectGuarded(Buttons[btBack], &QToolButton::clicked, this, [this] { Back(); });
    Players().append(this);
    UpdateButtons();
}

TMediaPlayer::~TMediaPlayer()
{
    Players().removeAll(this);
}

bool TMediaPlayer::IsOpen() const { return bool(m_engine); }

bool TMediaPlayer::HasVideo() const { return m_engine && !m_engine->VideoSize().isEmpty(); }

void TMediaPlayer::RequireOpen() const
{
    if (!m_engine)
        throw EMCIDeviceError(QStringLiteral("No MCI device open"));
}

void TMediaPlayer::Report(int status)
{
    // As a posted message: the receiver runs after the command that caused the report.
    QMetaObject::invokeMethod(this, [this, status] { Q_EMIT Notify(status); }, Qt::QueuedConnection);
}

void TMediaPlayer::Close()
{
    if (!m_engine)
        return;
    if (m_notifyPending) {
        m_notifyPending = false;
        Report(nvAborted);
    }
    m_engine.reset(); // the clip stops, and its surface goes with it
    m_paused = false;
    m_playing = false;
    // What the engine freed (decoders, a MIDI sound font) goes back to the system, so that
    // clip after clip the program stays flat.
    ::malloc_trim(0);
    UpdateButtons();
}

void TMediaPlayer::Open()
{
    Close();
    // Only regular files: the engine would wait on a FIFO for good.
    try {
        safefile::RequireRegularFileOrMissing(FileName);
    } catch (const ESafeFileError& e) {
        throw EFOpenError(FileName, e.Reason);
    }
    // What the engine reports while it opens is kept here; once the clip is open, its
    // reports go to OnEvent. An Open may run inside another's wait: each has its own.
    struct TOpening {
        bool Loaded = false;
        bool Adopted = false;
        QString Error;
    };
    auto opening = std::make_shared<TOpening>();
    TClipEngineSetup setup;
    setup.Options = EngineOptions;
    setup.OnEvent = [this, opening](const TClipEvent& event) {
        if (opening->Adopted)
            OnEvent(event);
        else if (event.What == TClipEvent::Loaded)
            opening->Loaded = true;
        else if (event.What == TClipEvent::Failed && opening->Error.isEmpty())
            opening->Error = event.Text;
    };
    std::unique_ptr<TClipEngine> engine;
    try {
        engine = CreateClipEngine(std::move(setup));
    } catch (const ELumivoError& e) {
        throw EMCIDeviceError(e.Message);
    }
    if (Display) {
        Display->removeEventFilter(this);
        Display->installEventFilter(this);
    }
    engine->Load(FileName, Display);
    presentation::WaitUntil([&] { return opening->Loaded || !opening->Error.isEmpty(); }, OpenTimeoutMs);
    if (!opening->Error.isEmpty())
        throw EMCIDeviceError(opening->Error);
    if (!opening->Loaded)
        throw EMCIDeviceError(QStringLiteral("The media device did not answer"));

    Close(); // should another clip have been opened meanwhile, this one replaces it
    opening->Adopted = true;
    m_engine = std::move(engine);
    ApplyVolume();
    ShowVideo();
    UpdateButtons();
}

void TMediaPlayer::OnEvent(const TClipEvent& event)
{
    if (event.What == TClipEvent::Loaded)
        return;
    // A clip that fails while it plays (a damaged stream, its process gone) says why, once
    // the report is out, as a clip that cannot be opened does.
    if (event.What == TClipEvent::Failed && !event.Text.isEmpty())
        QTimer::singleShot(0, this, [text = event.Text] { Dialogs::ShowError(text); });
    m_playing = false;
    if (m_notifyPending) {
        m_notifyPending = false;
        Report(event.What == TClipEvent::Ended ? nvSuccessful : nvFailure);
    }
    UpdateButtons();
}

QRect TMediaPlayer::DisplayRect()
{
    RequireOpen();
    return QRect(QPoint(0, 0), m_engine->VideoSize());
}

QWidget* TMediaPlayer::Surface() const { return m_engine ? m_engine->Surface() : nullptr; }

void TMediaPlayer::ShowVideo()
{
    QWidget* surface = Surface();
    if (surface && Display && HasVideo()) {
        surface->setGeometry(Display->rect());
        surface->show();
    }
}

void TMediaPlayer::Play()
{
    RequireOpen();
    if (m_notifyPending)
        Report(nvSuperseded);
    m_notifyPending = true;
    m_paused = false;
    m_playing = true;
    ShowVideo();
    if (m_engine->AtEnd())
        m_engine->Seek(0); // played again from the start
    m_engine->SetPaused(false);
    UpdateButtons();
}

void TMediaPlayer::Pause()
{
    RequireOpen();
    if (m_paused) {
        Play(); // resumes, with a report
        return;
    }
    if (m_notifyPending) {
        m_notifyPending = false;
        Report(nvAborted);
    }
    m_paused = true;
    m_playing = false;
    m_engine->SetPaused(true);
    UpdateButtons();
}

void TMediaPlayer::Stop()
{
    RequireOpen();
    if (m_notifyPending) {
        m_notifyPending = false;
        Report(nvAborted);
    }
    m_paused = false;
    m_playing = false;
    m_engine->SetPaused(true); // stopped where it is: nothing rewinds
    UpdateButtons();
}

void TMediaPlayer::Next()
{
    RequireOpen();
    m_engine->Seek(m_engine->Duration());
}

void TMediaPlayer::Previous()
{
    RequireOpen();
    m_engine->Seek(0);
}

void TMediaPlayer::Step()
{
    RequireOpen();
    const qint64 length = m_engine->Duration();
    m_engine->Seek(qMin(length, m_engine->Position() + length / 10));
}

void TMediaPlayer::Back()
{
    RequireOpen();
    m_engine->Seek(qMax<qint64>(0, m_engine->Position() - m_engine->Duration() / 10));
}

qint64 TMediaPlayer::Position() const
{
    RequireOpen();
    return m_engine->Position();
}

qint64 TMediaPlayer::Length() const
{
    RequireOpen();
    return m_engine->Duration();
}

void TMediaPlayer::HideVideo()
{
    if (QWidget* surface = Surface())
        surface->hide();
}

void TMediaPlayer::UpdateButtons()
{
    const bool open = bool(m_engine);
    const bool playing = open && m_playing;
    const bool video = HasVideo();
    Buttons[btPlay]->setEnabled(open && !playing);
    Buttons[btPause]->setEnabled(playing || m_paused);
    Buttons[btStop]->setEnabled(playing || m_paused);
    Buttons[btNext]->setEnabled(open);
    Buttons[btPrev]->setEnabled(open);
    Buttons[btStep]->setEnabled(video);
    Buttons[btBack]->setEnabled(video);
}

void TMediaPlayer::ApplyVolume()
{
    if (m_engine && WaveVolumeSet)
        m_engine->SetVolume(double((RequestedLeft + RequestedRight) / 2) / 65535.0);
}

void TMediaPlayer::SetWaveVolume(quint16 left, quint16 right)
{
    RequestedLeft = left;
    RequestedRight = right;
    WaveVolumeSet = true;
    for (TMediaPlayer* player : Players())
        player->ApplyVolume();
}

void TMediaPlayer::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_iconsSet)
        return;
    // The icon theme is not asked at start-up for a control that is hidden until a clip.
    m_iconsSet = true;
    const QStyle::StandardPixmap pictures[] = {QStyle::SP_MediaPlay,         QStyle::SP_MediaPause,
                                               QStyle::SP_MediaStop,         QStyle::SP_MediaSkipForward,
                                               QStyle::SP_MediaSkipBackward, QStyle::SP_MediaSeekForward,
                                               QStyle::SP_MediaSeekBackward};
    for (int i = 0; i < 7; ++i)
        Buttons[i]->setIcon(style()->standardIcon(pictures[i]));
}

bool TMediaPlayer::eventFilter(QObject* watched, QEvent* event)
{
    QWidget* surface = Surface();
    if (watched == Display && event->type() == QEvent::Resize && surface)
        surface->setGeometry(Display->rect());
    return QWidget::eventFilter(watched, event);
}
