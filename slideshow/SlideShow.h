#pragma once

// The slide show: steps through the playlist and presents each line in the display window.
// A picture or GIF stays for the interval, a clip plays to its end; after the last line
// the show starts again at the first, until it is stopped. Its state is the playlist's
// selection, the slide timer, the interval and one flag.

#include <QObject>

#include <functional>

class QTimer;
class TDisplayWindow;
class TPlayListBox;

class TSlideShow : public QObject {
    Q_OBJECT
public:
    // timer: the main window's slide timer; fullScreen: whether the display window is in
    // full-screen mode.
    TSlideShow(TPlayListBox* playList, QTimer* timer, TDisplayWindow* display, std::function<bool()> fullScreen,
               QObject* parent = nullptr);

    int SlideInterval = 3;          // seconds a picture or GIF stays; 0: until stopped
    bool ContinueAfterClip = false; // a clip's successful end moves the show on

    void Start();              // the start command
    void Step();               // a tick of the slide timer
    void Continue(int status); // the player's notification at a clip's end
    void Stop();               // the stop command

    bool TimerEnabled() const { return m_timerEnabled; }
    void ArmTimer();

    static QString EmptyPlaylistMessage();

private:
    void PresentSlide();
    void PreloadNext();
    void Advance();
    void SyncTimer();

    TPlayListBox* m_playList;
    QTimer* m_timer;
    TDisplayWindow* m_display;
    std::function<bool()> m_fullScreen;
    bool m_timerEnabled = false;
    bool m_stepPending = false; // a tick waits for the running presentation to return
};
