#include "decor/NTCursor.h"

#include "decor/Clock.h"
#include "platform/ApplicationCursor.h"
#include "platform/HandlerGuard.h"

#include <QBitmap>
#include <QFile>
#include <QTimer>

TNTCursor* NTCursor = nullptr;

TNTCursor::TNTCursor(QObject* parent) : QObject(parent), Timer(new QTimer(this))
{
    Timer->setInterval(IntervalMs);
    connect(Timer, &QTimer::timeout, this, [this] { Guarded([this] { TimerTimer(); }); });
    DataModule2Create();
}

void TNTCursor::DataModule2Create()
{
    LoadDecorResources();
    // Frame n is the resource "CURSOR_n"; one that cannot be loaded stays unregistered and
    // its index then shows the default pointer.
    for (int n = 1; n <= TCursorAnimation::FrameCount; ++n) {
        const QString path = QStringLiteral(":/cursors/CURSOR_%1.png").arg(n);
        if (!QFile::exists(path))
            continue;
        QPixmap frame(path);
        if (!frame.isNull())
            RegisterApplicationCursor(n, QCursor(frame, 0, 0));
    }
    m_state.FrameIndex = 0;
}

void TNTCursor::start(bool value)
{
    m_state.Start(value);
    SyncTimer();
}

void TNTCursor::TimerTimer()
{
    SetApplicationWideCursor(m_state.Tick());
    SyncTimer();
}

void TNTCursor::SyncTimer()
{
    if (m_state.TimerEnabled && !Timer->isActive())
        Timer->start();
    else if (!m_state.TimerEnabled && Timer->isActive())
        Timer->stop();
}
