#include "presentation/MediaPlayer.h"

#include "platform/HandlerGuard.h"
#include "platform/SafeFile.h"
#include "presentation/PresentationGate.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

#include <malloc.h>

int TMediaPlayer::OpenTimeoutMs = 10000;
int TMediaPlayer::SettleMs = 100;
quint16 TMediaPlayer::RequestedLeft = 0;
quint16 TMediaPlayer::RequestedRight = 0;
bool TMediaPlayer::WaveVolumeSet = false;

namespace {

QList<TMediaPlayer*>& Players()
{
    static QList<TMediaPlayer*> players;
    return players;
}

// Lets the event loop run, without user input, until done() holds, the time is up or the
// application is quitting; true when done() holds. One loop and one timer per wait: once
// the application quits, a new loop returns at once, and so does the wait. While it runs,
// the program is busy presenting: slide ticks, completion reports and other commands that
// would start a presentation wait until the presentation has returned.
template <class Done>
bool WaitUntil(Done done, int timeoutMs)
{
    if (done())
        return true;
    presentation::TBusyScope busy;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done();
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
    if (m_player)
        m_player->stop();
}

bool TMediaPlayer::IsOpen() const { return bool(m_player); }

bool TMediaPlayer::HasVideo() const { return m_player && m_player->hasVideo(); }

void TMediaPlayer::RequireOpen() const
{
    if (!m_player)
        throw EMCIDeviceError(QStringLiteral("No MCI device open"));
}

void TMediaPlayer::Report(int status)
{
    // As a posted message: the receiver runs after the command that caused the report.
    QMetaObject::invokeMethod(this, [this, status] { Q_EMIT Notify(status); }, Qt::QueuedConnection);
}

void TMediaPlayer::Close()
{
    if (!m_player)
        return;
    if (m_notifyPending) {
        m_notifyPending = false;
        Report(nvAborted);
    }
    auto player = std::move(m_player);
    player->disconnect(this);
    player->stop();
    m_audio = nullptr;
    m_videoSize = QSize();
    m_paused = false;
    // The backend may still deliver to the old player: let it go once the loop is free,
    // and its surface after it. What its pipeline freed (a MIDI sound font, decoder
    // buffers) goes back to the system then, so that clip after clip the program stays flat.
    QMediaPlayer* old = player.release();
    connect(old, &QObject::destroyed, [] { ::malloc_trim(0); });
    old->deleteLater();
    if (m_video) {
        m_video->hide();
        m_video->deleteLater();
    }
    m_video = nullptr;
    UpdateButtons();
}

void TMediaPlayer::Open()
{
    Close();
    // Only regular files: the backend would wait on a FIFO for good.
    try {
        safefile::RequireRegularFileOrMissing(FileName);
    } catch (const ESafeFileError& e) {
        throw EFOpenError(FileName, e.Reason);
    }
    // The player owns what it plays through, so that nothing it still uses goes before it
    // (an Open may run inside another's wait).
    auto player = std::make_unique<QMediaPlayer>(this);
    auto* audio = new QAudioOutput(player.get());
    player->setAudioOutput(audio);
    ApplyVolume(audio);
    QVideoSink* sink = nullptr;
    QVideoWidget* video = nullptr;
    if (Display) {
        // A fresh video surface for every clip: a surface that was hidden with its window
        // and used again stayed blank until the window was resized. It goes with its player
        // (deleted after it, so the player never draws on a surface that is gone).
        video = new QVideoWidget(Display);
        video->setObjectName(QStringLiteral("VideoSurface"));
        Display->removeEventFilter(this);
        Display->installEventFilter(this);
        video->setGeometry(Display->rect());
        video->hide();
        player->setVideoOutput(video);
        sink = video->videoSink();
    } else {
        sink = new QVideoSink(player.get());
        player->setVideoOutput(sink);
    }
    connect(sink, &QVideoSink::videoFrameChanged, player.get(), [this](const QVideoFrame& frame) {
        if (m_videoSize.isEmpty() && frame.isValid())
            m_videoSize = frame.size();
    });

    // Loaded is success only when no error follows within a short settling time: the
    // backend may report a stream error just after it has reported the media loaded.
    QString error;
    QElapsedTimer loadedFor;
    connect(player.get(), &QMediaPlayer::errorOccurred, this, [&error](QMediaPlayer::Error, const QString& text) {
        if (error.isEmpty())
            error = text.isEmpty() ? QStringLiteral("Unknown error code") : text;
    });
    connect(player.get(), &QMediaPlayer::mediaStatusChanged, this, [&](QMediaPlayer::MediaStatus status) {
        if ((status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia) && !loadedFor.isValid())
            loadedFor.start();
        else if (status == QMediaPlayer::InvalidMedia && error.isEmpty())
            error = QStringLiteral("Unknown error code");
    });
    player->setSource(QUrl::fromLocalFile(FileName));
    WaitUntil([&] { return !error.isEmpty() || (loadedFor.isValid() && loadedFor.elapsed() >= SettleMs); },
              OpenTimeoutMs);
    player->disconnect(this);
    if (!error.isEmpty() || !loadedFor.isValid()) {
        player->stop();
        player.release()->deleteLater();
        if (video)
            video->deleteLater();
        if (!error.isEmpty())
            throw EMCIDeviceError(error);
        throw EMCIDeviceError(QStringLiteral("The media device did not answer"));
    }

    if (m_player)
        Close(); // should another clip have been opened meanwhile, this one replaces it
    m_player = std::move(player);
    m_audio = audio;
    m_video = video;
    connect(m_player.get(), &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia && m_notifyPending) {
            m_notifyPending = false;
            Report(nvSuccessful);
        }
        UpdateButtons();
    });
    connect(m_player.get(), &QMediaPlayer::errorOccurred, this, [this] {
        if (m_notifyPending) {
            m_notifyPending = false;
            Report(nvFailure);
        }
    });
    connect(m_player.get(), &QMediaPlayer::playbackStateChanged, this, [this] { UpdateButtons(); });
    if (m_video && m_player->hasVideo())
        m_video->show();
    UpdateButtons();
}

QRect TMediaPlayer::DisplayRect()
{
    RequireOpen();
    if (m_videoSize.isEmpty() && m_player->hasVideo()) {
        // The size is known once a frame has been decoded: show the first one, paused.
        m_player->pause();
        WaitUntil([this] { return !m_player || !m_videoSize.isEmpty(); }, 3000);
        RequireOpen(); // the player may have gone while the loop ran
        m_player->setPosition(0);
    }
    return QRect(QPoint(0, 0), m_videoSize);
}

void TMediaPlayer::Play()
{
    RequireOpen();
    if (m_notifyPending)
        Report(nvSuperseded);
    m_notifyPending = true;
    m_paused = false;
    if (m_video && m_player->hasVideo())
        m_video->show();
    m_player->play();
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
    m_player->pause();
}

void TMediaPlayer::Stop()
{
    RequireOpen();
    if (m_notifyPending) {
        m_notifyPending = false;
        Report(nvAborted);
    }
    m_paused = false;
    m_player->pause(); // stopped where it is: nothing rewinds
}

void TMediaPlayer::Next()
{
    RequireOpen();
    m_player->setPosition(m_player->duration());
}

void TMediaPlayer::Previous()
{
    RequireOpen();
    m_player->setPosition(0);
}

void TMediaPlayer::Step()
{
    RequireOpen();
    m_player->setPosition(qMin(m_player->duration(), m_player->position() + m_player->duration() / 10));
}

void TMediaPlayer::Back()
{
    RequireOpen();
    m_player->setPosition(qMax<qint64>(0, m_player->position() - m_player->duration() / 10));
}

qint64 TMediaPlayer::Position() const
{
    RequireOpen();
    return m_player->position();
}

qint64 TMediaPlayer::Length() const
{
    RequireOpen();
    return m_player->duration();
}

void TMediaPlayer::HideVideo()
{
    if (m_video)
        m_video->hide();
}

void TMediaPlayer::UpdateButtons()
{
    const bool open = bool(m_player);
    const bool playing = open && m_player->playbackState() == QMediaPlayer::PlayingState;
    const bool video = open && m_player->hasVideo();
    Buttons[btPlay]->setEnabled(open && !playing);
    Buttons[btPause]->setEnabled(playing || m_paused);
    Buttons[btStop]->setEnabled(playing || m_paused);
    Buttons[btNext]->setEnabled(open);
    Buttons[btPrev]->setEnabled(open);
    Buttons[btStep]->setEnabled(video);
    Buttons[btBack]->setEnabled(video);
}

void TMediaPlayer::ApplyVolume(QAudioOutput* audio)
{
    if (audio && WaveVolumeSet && !QMediaDevices::audioOutputs().isEmpty())
        audio->setVolume(float((RequestedLeft + RequestedRight) / 2) / 65535.0f);
}

void TMediaPlayer::SetWaveVolume(quint16 left, quint16 right)
{
    RequestedLeft = left;
    RequestedRight = right;
    WaveVolumeSet = true;
    for (TMediaPlayer* player : Players())
        player->ApplyVolume(player->m_audio);
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
    if (watched == Display && event->type() == QEvent::Resize)
        for (QVideoWidget* video : Display->findChildren<QVideoWidget*>(Qt::FindDirectChildrenOnly))
            video->setGeometry(Display->rect());
    return QWidget::eventFilter(watched, event);
}
