#include "slideshow/SlideShow.h"

#include "core/Dialogs.h"
#include "core/HandlerGuard.h"
#include "playlist/MediaKind.h"
#include "playlist/PlayListBox.h"
#include "presentation/MediaPlayer.h"
#include "presentation/PresentationGate.h"

#include <QTimer>

TSlideShow::TSlideShow(TPlayListBox* playList, QObject* parent)
    : QObject(parent), m_playList(playList), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("SlideTimer"));
    // A tick or a clip's report that comes while a clip is being opened is handled once that
    // presentation has returned; ticks that come meanwhile make one step, not several.
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_stepPending)
            return;
        m_stepPending = true;
        presentation::RunGuardedWhenIdle(this, [this] {
            m_stepPending = false;
            Step();
        });
    });
}

QString TSlideShow::EmptyPlaylistMessage() { return QStringLiteral("Заполните пожалуйста плей-лист"); }

void TSlideShow::SyncTimer()
{
    // A period of 0 never ticks.
    const bool run = m_timerEnabled && m_timer->interval() > 0;
    if (run && !m_timer->isActive())
        m_timer->start();
    else if (!run && m_timer->isActive())
        m_timer->stop();
}

void TSlideShow::ArmTimer()
{
    // An enabled timer keeps its countdown when the period is unchanged.
    const int period = SlideInterval * 1000;
    if (m_timerEnabled && m_timer->interval() == period)
        return;
    if (m_timer->interval() != period) {
        m_timer->stop();
        m_timer->setInterval(period);
    }
    m_timerEnabled = true;
    SyncTimer();
}

void TSlideShow::PresentSlide()
{
    const TMediaKind kind = ClassifyMediaFile(m_playList->SelectedLine());
    const QString fileName = m_playList->SelectedFilePath();
    // A stop that comes while the item is presented (a GIF's decode lets it run) holds: the
    // show does not go on once the presentation returns.
    const quint64 stops = m_stops;
    switch (kind) {
    case mkPicture:
    case mkAnimatedPicture:
        if (PresentRequested)
            PresentRequested(fileName, kind);
        if (stops != m_stops)
            return;
        ArmTimer();
        break;
    case mkClip:
        if (PresentRequested)
            PresentRequested(fileName, kind);
        if (stops != m_stops)
            return;
        ContinueAfterClip = true;
        break;
    case mkNone:
        return; // the show halts here, silently
    }
    PreloadNext();
}

void TSlideShow::PreloadNext()
{
    // The next picture is decoded while this item is shown, for the size it will be shown
    // at, so that the step to it only puts it on screen; the next clip's process is started.
    const int count = m_playList->count();
    if (count < 2 || m_playList->SelectedIndex() < 0)
        return;
    const QString next = m_playList->FilePathAt((m_playList->SelectedIndex() + 1) % count);
    const TMediaKind kind = ClassifyMediaFile(next);
    if ((kind == mkPicture || kind == mkClip) && PreloadRequested)
        PreloadRequested(next, kind);
}

void TSlideShow::Start()
{
    if (m_playList->count() == 0) {
        Dialogs::ShowMessage(EmptyPlaylistMessage());
        return;
    }
    if (m_playList->SelectedIndex() < 0)
        m_playList->SetSelectedIndex(0);
    PresentSlide();
}

void TSlideShow::Advance()
{
    const int selected = m_playList->SelectedIndex();
    m_playList->SetSelectedIndex(selected == m_playList->count() - 1 ? 0 : selected + 1);
}

void TSlideShow::Step()
{
    m_timerEnabled = false;
    SyncTimer();
    Advance();
    PresentSlide();
}

void TSlideShow::Continue(int status)
{
    if (!ContinueAfterClip || status != TMediaPlayer::nvSuccessful)
        return;
    Advance();
    PresentSlide();
}

void TSlideShow::Stop()
{
    ++m_stops;
    m_timerEnabled = false;
    SyncTimer();
    ContinueAfterClip = false;
}
