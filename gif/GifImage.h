#pragma once

// The animated GIF control: shows a GIF file's first image and plays its images on a
// timer at one fixed rate (the file's animation interval). Frame 1 replaces the picture;
// every later frame is drawn opaquely over it at its own position.

#include "gif/GifFile.h"

#include <QImage>
#include <QWidget>

#include <memory>

class QTimer;

// Where a picture of pictureSize lands in an area of areaSize, with the placement
// properties of an image control.
QRect ImagePlacement(const QSize& pictureSize, const QSize& areaSize, bool stretch, bool proportional, bool center);

// An image control: shows a picture with the usual placement properties (automatic size,
// centred, proportional scaling down, stretching).
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr) : QWidget(parent) {}

    const QImage& Picture() const { return m_picture; }
    void SetPicture(QImage picture);

    void SetAutoSize(bool value);
    void SetCenter(bool value);
    void SetProportional(bool value);
    void SetStretch(bool value);

protected:
    void paintEvent(QPaintEvent* event) override;
    QImage m_picture;

private:
    bool m_autoSize = false, m_center = false, m_proportional = false, m_stretch = false;
};

class TGifImage : public TImage {
    Q_OBJECT
public:
    explicit TGifImage(gif::IGifHost& host = gif::NullGifHost(), QWidget* parent = nullptr);
    ~TGifImage() override;

    // Loads a file and shows its first image; the animation stands still unless
    // StartImmediately is set. Errors travel to the caller; the picture then stays as it
    // was and the timer does nothing until a later load succeeds. A load asked for while
    // one is running (messages run during decoding) is refused with EGifException, so the
    // file being read is never released under the reader.
    void LoadFromFile(const QString& fileName);
    // Off also ends a run-through of PlayOnce.
    void SetAnimated(bool value);
    void PlayOnce();
    void SlowDown();
    void NextFrame();

    // The picture of the current frame (composed now if ticks moved on while hidden).
    const QImage& Picture();

    bool Loading() const { return m_loading; }
    bool PlayingOnce() const { return m_playingOnce; }
    int CurrentFrame() const { return m_currentFrame; }
    bool TimerEnabled() const { return m_timerEnabled; }
    int TimerInterval() const { return m_interval; }
    const gif::TGifFile* GifFile() const { return m_gifFile.get(); }

    bool StartImmediately = false;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void TimerTick();
    void DrawFrame(int n);
    static void PaintFirstFrame(QImage& picture, const gif::TGifSubImage& frame);
    void Compose();
    void SyncTimer();

    gif::IGifHost& m_host;
    std::shared_ptr<gif::TGifFile> m_gifFile;
    QTimer* m_timer;
    bool m_timerEnabled = false;
    int m_interval = 1000;
    bool m_loading = false;    // as the animation sees it: set from a load's start until one succeeds
    bool m_inProgress = false; // a LoadFromFile call is running right now
    bool m_playingOnce = false;
    int m_currentFrame = 0;
    bool m_composed = true; // the picture shows the current frame
};
