#pragma once

#include "presentation/Present.h"

#include <QWidget>

#include <array>
#include <functional>

class QFrame;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;
class TGifImage;
class TImage;
class TMediaPlayer;

// The display window "Экран", in which every item is shown (PresentFile): a picture in its
// picture control, a GIF in its animation control, a clip through its player with the
// video above the bottom strip. Created hidden at start-up, shown by presenting, hidden
// (never destroyed) when closed. Its controls are its own; it tells what happens through
// its signals and asks for what it needs through its hooks.
class TDisplayWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int DesignWidth = 692;
    static constexpr int DesignHeight = 471;
    static constexpr int StripHeight = 61;
    // The strip's controls end at 365 pixels; the window keeps a margin of 4 after them.
    static constexpr int StripMinimumWidth = 369;

    // When the bottom strip's small buttons come up. Their captions need the fonts, which
    // take longer to load than a picture of the window's size takes to decode: a window made
    // to show the program's first picture paints the picture first and its buttons right
    // after (CompleteStrip).
    enum class TStripButtons { Now, AfterFirstPaint };
    explicit TDisplayWindow(QWidget* parent = nullptr, TStripButtons buttons = TStripButtons::Now);

    // Fits the strip's captions and shows its small buttons, if that was left for after the
    // first paint; does nothing once done. The window does it itself once painted.
    void CompleteStrip();

    // Where the window is placed when it is shown.
    enum class TPlacement { DesktopCenter, ScreenCenter };
    TPlacement PlacementOnShow() const { return Placement; }

    // What the window needs from the rest of the program, wired at start-up.
    std::function<void()> StartSlideShow;         // the menu command "&Запустить"
    std::function<void()> StopSlideShow;          // "&Остановить"
    std::function<void()> ShowIntervalDialog;     // the interval dialog, modal
    std::function<void(bool)> SetFullScreenMode;  // the user asks for full screen on or off

    bool IsFullScreen() const { return FullScreen; }

    // Loads a GIF into the animation control, which fills the area above the strip; an
    // error leaves the control as it was, not shown.
    void LoadGif(const QString& fileName);
    void HideAnimation();
    // The controls' handlers.
    void AnimationOnClick();
    void AnimationOffClick();
    void SlowerClick();
    void OnceClick();
    void StartSlideShowClick();
    void StopSlideShowClick();
    void CloseClick();
    void SlideIntervalClick();
    void VolumeBarChange(); // both channels follow the volume bar
    void ProgressTimerTick();

    // The three layouts: which controls show, and the caption.
    void ApplyPictureLayout();
    void ApplyAnimationLayout();
    void ApplyClipLayout();

    // The client area above the bottom strip, which the animation control fills.
    QRect DisplayArea() const;

    void setVisible(bool visible) override;

Q_SIGNALS:
    // The clip player's report at a clip's end (TMediaPlayer::TNotifyValue).
    void ClipReported(int status);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Presenting reaches into the window's controls.
    friend void PresentFile(TDisplayWindow& window, const QString& fileName, TMediaKind kind, bool fullScreen,
                            bool activate);
    friend void SetFullScreen(TDisplayWindow& window, bool on);
    friend void SharpenPicture(TDisplayWindow& window);
    friend void PresentPicture(TDisplayWindow& window, const QString& fileName, bool fullScreen, bool activate);
    friend void PresentClip(TDisplayWindow& window, const QString& fileName, bool activate);

    TPlacement Placement = TPlacement::DesktopCenter;

    // Full-screen mode (SetFullScreen), and the client area (size, and place on the screen)
    // the window returns to after it.
    bool FullScreen = false;
    QSize NormalSize;
    QPoint NormalPlace;

    // Counts the presentations begun in this window. A presentation that finishes after a
    // newer one has begun (a GIF whose decode let messages run) does not show itself.
    quint64 PresentationSerial = 0;
    // A presentation is running (a picture or a clip loading, a GIF decoding, which let
    // messages run), and the count of those asked for meanwhile: only the newest is made.
    bool Presenting = false;
    quint64 DeferredPresentations = 0;

    // The picture shown, and the size it was decoded for (empty while none is shown).
    QString PictureFile;
    QSize PictureFit;

    QFrame* ViewPanel;
    TImage* Image;
    QFrame* AdditionalPanel;
    TMediaPlayer* MediaPlayer;
    QFrame* AnimationPanel;
    QPushButton* AnimationOnButton;
    QPushButton* AnimationOffButton;
    QPushButton* Slower;
    QPushButton* Once;
    QToolButton* StartSlideShowButton;
    QToolButton* StopSlideShowButton;
    QToolButton* CloseButton;
    QToolButton* SlideIntervalButton;
    QProgressBar* ClipProgress;
    QProgressBar* VolumeLevel;
    QSlider* VolumeBar;
    QTimer* ProgressTimer;
    TGifImage* GifImage; // the animation control

    bool m_sharpenPending = false;
    bool m_stripPending = false;
    // The strip's small buttons: start and stop the slide show, close, the interval.
    std::array<QToolButton*, 4> SmallButtons() const;
    void FormClose(bool& allowed);
    void PlaceOnScreen();
    bool m_gifFills = false;
};

