#pragma once

// The animated GIF control: shows a GIF file's first image and plays its images on a
// timer, each for its own delay. Frames are composed as browsers compose them: on a canvas
// of the logical screen's size, transparent where nothing was drawn, each frame at its own
// place with its transparent colour left out, and each frame's disposal method applied
// before the next (keep it, restore the background, or restore what was under it).

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
    // Where a part of the picture is drawn in this control.
    QRect PlacedRect(const QRect& part) const;
    QImage m_picture;
    // A picture drawn at less than two thirds of its size is reduced by averaging (no moiré),
    // once for each size; an animation, whose picture changes with every frame, is drawn without.
    bool m_areaReduced = true;

private:
    bool m_autoSize = false, m_center = false, m_proportional = false, m_stretch = false;
    QImage m_reduced; // the picture reduced for the size it was last drawn at
    qint64 m_reducedFrom = 0;
};

class TGifImage : public TImage {
    Q_OBJECT
public:
    explicit TGifImage(gif::IGifHost& host = gif::NullGifHost(), QWidget* parent = nullptr);
    ~TGifImage() override;

    // Loads a file and shows its first image; the animation stands still unless
    // StartImmediately is set. Errors travel to the caller; the control then goes on with
    // the file, frame and picture it had (unless the new file's size needed their memory).
    // A load asked for while one is running (messages run during decoding) is refused with
    // EGifException, so the file being read is never released under the reader.
    void LoadFromFile(const QString& fileName);
    // Off also ends a run-through of PlayOnce.
    void SetAnimated(bool value);
    void PlayOnce();
    // Doubles every frame's delay, until the next file with several images is loaded.
    void SlowDown();
    void NextFrame();

    // How long frame n of the loaded file stays, in milliseconds, before slowing down: its
    // delay, where a delay of 0 or 1 hundredth is taken as 10, as browsers do.
    static int FrameDelayMs(const gif::TGifSubImage& frame);

    // The picture of the current frame (composed now if ticks moved on while hidden).
    const QImage& Picture();

    bool Loading() const { return m_loading; }
    // A LoadFromFile call is running (its decode lets messages run).
    bool LoadInProgress() const { return m_inProgress; }
    bool PlayingOnce() const { return m_playingOnce; }
    int CurrentFrame() const { return m_currentFrame; }
    bool TimerEnabled() const { return m_timerEnabled; }
    // How long the frame shown now stays, with slowing down, in milliseconds.
    int TimerInterval() const;
    const gif::TGifFile* GifFile() const { return m_gifFile.get(); }

    bool StartImmediately = false;

Q_SIGNALS:
    // The animation started or stopped (by a command, or at the end of a run-through).
    void AnimatedChanged(bool animated);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void TimerTick();
    QRect DrawFrame(int n); // the part of the canvas it changed
    void Compose();
    void SyncTimer();

    gif::IGifHost& m_host;
    std::shared_ptr<gif::TGifFile> m_gifFile;
    QTimer* m_timer;
    bool m_timerEnabled = false;
    int64_t m_slowFactor = 1; // every delay is multiplied by it
    QImage m_saved;           // the canvas under a frame that restores it when it is disposed
    bool m_loading = false;    // as the animation sees it: set from a load's start until one succeeds
    bool m_inProgress = false; // a LoadFromFile call is running right now
    bool m_playingOnce = false;
    int m_currentFrame = 0;
    bool m_composed = true; // the picture shows the current frame
};
