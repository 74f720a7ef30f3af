#include "decor/AnimatedPointer.h"

#include "core/HandlerGuard.h"
#include "decor/Clock.h"
#include "widgets/ApplicationCursor.h"

#include <QBitmap>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>


TAnimatedPointer::TAnimatedPointer(QObject* parent) : QObject(parent), Timer(new QTimer(this))
{
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(IntervalMs);
    connect(Timer, &QTimer::timeout, this, [this] { Guarded([this] { ShowNextFrame(); }); });
    LoadFrames();
}

QString TAnimatedPointer::FramePath(int n) { return QStringLiteral(":/cursors/pointer-frame-%1.png").arg(n); }

void TAnimatedPointer::LoadFrames()
{
    LoadDecorResources();
    // A frame that cannot be loaded stays unregistered; its index then shows the default pointer.
    for (int n = 1; n <= TCursorAnimation::FrameCount; ++n) {
        const QString path = FramePath(n);
        if (!QFile::exists(path))
            continue;
        QPixmap frame(path);
        if (frame.isNull())
            continue;
        // As large as the system's own pointer on a high-density screen: scaled by the
        // screen's ratio, pixel for pixel (the frames are two-colour drawings).
        const QScreen* screen = QGuiApplication::primaryScreen();
        const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
        if (ratio > 1) {
            frame = frame.scaled(frame.size() * ratio, Qt::KeepAspectRatio, Qt::FastTransformation);
            frame.setDevicePixelRatio(ratio);
        }
        RegisterApplicationCursor(n, QCursor(frame, 0, 0));
    }
    m_state.FrameIndex = 0;
}

void TAnimatedPointer::start(bool value)
{
    m_state.Start(value);
    SyncTimer();
}

void TAnimatedPointer::ShowNextFrame()
{
    SetApplicationWideCursor(m_state.Tick());
    SyncTimer();
}

void TAnimatedPointer::SyncTimer()
{
    if (m_state.TimerEnabled && !Timer->isActive())
        Timer->start();
    else if (!m_state.TimerEnabled && Timer->isActive())
        Timer->stop();
}
