#pragma once

// The animated mouse pointer: twelve frames shown one after another every 150 ms over all
// of the program's windows while the animation is on. A stop request takes effect at the
// end of the running cycle, after frame 12.

#include <QObject>

class QTimer;

// The frame sequencing without any timer or cursor, so that it can be tested alone.
struct TCursorAnimation {
    static constexpr int FrameCount = 12;

    bool TimerEnabled = false;
    int FrameIndex = 0;       // frame now shown; 0 = no animation frame
    bool StopPending = false; // stop at the end of the current cycle

    // Asks for the animation (true) or for its stop (false).
    void Start(bool value)
    {
        StopPending = !value;
        if (!TimerEnabled)
            TimerEnabled = value;
    }

    // One timer tick; returns the index the application-wide cursor is to show.
    int Tick()
    {
        ++FrameIndex;
        if (FrameIndex > FrameCount) {
            FrameIndex = 1;
            if (StopPending) {
                TimerEnabled = false;
                FrameIndex = 0;
            }
        }
        return FrameIndex;
    }
};

class TAnimatedPointer : public QObject {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 150;

    explicit TAnimatedPointer(QObject* parent = nullptr);

    // The built-in picture of frame n (1 to FrameCount).
    static QString FramePath(int n);

    void start(bool value);
    const TCursorAnimation& State() const { return m_state; }

private:
    void LoadFrames();
    void ShowNextFrame();
    void SyncTimer();

    TCursorAnimation m_state;

private:
    // Its controls, its own.
    QTimer* Timer;
};

