#pragma once

// Watches a playing clip's position, so that nothing plays forever: a damaged stream can
// leave the player waiting for good without reporting an end or an error. A clip whose
// position has not moved for StallMs while it plays, or that has passed its length by more
// than OverrunMs, is to be ended.

#include <QtGlobal>

class TProgressWatch {
public:
    static constexpr qint64 StallMs = 10000; // longer than any pause between frames of a real clip
    static constexpr qint64 OverrunMs = 1000;

    // From now on, as if the clip had just moved to `position` (it starts or goes on playing,
    // or was moved).
    void Restart(qint64 nowMs, qint64 position)
    {
        m_lastMoveMs = nowMs;
        m_position = position;
    }
    // Whether the clip, at `position` of `duration` (0: unknown) at nowMs, is to be ended.
    bool Stuck(qint64 nowMs, qint64 position, qint64 duration)
    {
        if (duration > 0 && position > duration + OverrunMs)
            return true;
        if (position != m_position) {
            Restart(nowMs, position);
            return false;
        }
        return nowMs - m_lastMoveMs >= StallMs;
    }

private:
    qint64 m_lastMoveMs = 0;
    qint64 m_position = 0;
};
