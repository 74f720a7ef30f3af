#pragma once

// The slide show: steps through the playlist and presents each line in the display window.
// A picture or GIF stays for the interval, a clip plays to its end; after the last line
// the show starts again at the first, until it is stopped. Its state is the playlist's
// selection, its slide timer, the interval and one flag. It does not show anything itself:
// it asks for each item to be presented, and for the next picture to be decoded ahead.

#include "playlist/MediaKind.h"

#include <QObject>
#include <QString>

#include <functional>

class QTimer;
class TPlayListBox;

class TSlideShow : public QObject {
    Q_OBJECT
public:
    explicit TSlideShow(TPlayListBox* playList, QObject* parent = nullptr);

    // Presents a file of a kind; an error it throws halts the show on that line.
    std::function<void(const QString& fileName, TMediaKind kind)> PresentRequested;
    // Prepares the next item ahead, for the step to it: a picture is decoded, a clip's
    // process started.
    std::function<void(const QString& fileName, TMediaKind kind)> PreloadRequested;

    int SlideInterval = 3;          // seconds a picture or GIF stays; 0: until stopped
    bool ContinueAfterClip = false; // a clip's successful end moves the show on

    void Start();              // the start command
    void Step();               // a tick of the slide timer
    void Continue(int status); // the player's notification at a clip's end
    void Stop();               // the stop command

    bool TimerEnabled() const { return m_timerEnabled; }
    QTimer* Timer() const { return m_timer; }
    void ArmTimer();

    static QString EmptyPlaylistMessage();

private:
    void PresentSlide();
    void PreloadNext();
    void Advance();
    void SyncTimer();

    TPlayListBox* m_playList;
    QTimer* m_timer;
    bool m_timerEnabled = false;
    bool m_stepPending = false; // a tick waits for the running presentation to return
    quint64 m_stops = 0;        // counts the stops, so that a presentation sees one made meanwhile
};
