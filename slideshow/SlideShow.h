#pragma once

// The slide show: steps through the playlist and presents each line in the display window.
// A picture or GIF stays for the interval, a clip plays to its end; after the last line
// the show starts again at the first, until it is stopped. Its state is the playlist's
// selection, the slide timer, the interval and one flag.

#include <QObject>

#include <functional>

class QTimer;
class TForm4;
class TPlayListBox;

class TSlideShow : public QObject {
    Q_OBJECT
public:
    // timer: the main window's slide timer; fullScreen: whether the display window is in
    // full-screen mode.
    TSlideShow(TPlayListBox* playList, QTimer* timer, TForm4* display, std::function<bool()> fullScreen,
               QObject* parent = nullptr);

    int SlideInterval = 3;          // seconds a picture or GIF stays; 0: until stopped
    bool ContinueAfterClip = false; // a clip's successful end moves the show on

    void Start();                  // N23Click
    void Step();                   // Timer1Timer
    void Continue(int status);     // MediaPlayer1Notify
    void Stop();                   // N26Click

    bool TimerEnabled() const { return m_timerEnabled; }
    void ArmTimer();

    static QString EmptyPlaylistMessage();

private:
    void PresentSlide();
    void Advance();
    void SyncTimer();

    TPlayListBox* m_playList;
    QTimer* m_timer;
    TForm4* m_display;
    std::function<bool()> m_fullScreen;
    bool m_timerEnabled = false;
    bool m_stepPending = false; // a tick waits for the running presentation to return
};
