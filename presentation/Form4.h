#pragma once

#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;
class TGifImage;
class TImage;
class TMediaPlayer;

// The display window "Экран", in which every item is shown: a picture in Image, a GIF in
// the animation control, a clip through MediaPlayer1 with its video on Panel1. Created
// hidden at start-up, shown by presenting, hidden (never destroyed) when closed.
class TForm4 : public QWidget {
    Q_OBJECT
public:
    static constexpr int DesignWidth = 692;
    static constexpr int DesignHeight = 471;
    static constexpr int StripHeight = 61;

    explicit TForm4(QWidget* parent = nullptr);

    // Where the window is placed when it is shown.
    enum class TPlacement { DesktopCenter, ScreenCenter };
    TPlacement Placement = TPlacement::DesktopCenter;

    // What the window needs from the rest of the program, wired at start-up.
    std::function<QString()> SelectedLine;        // the file of the selected playlist line (or its error)
    std::function<QString()> OpenDialogFileName;  // the media open dialog's file
    std::function<void()> StartSlideShow;         // the menu command "&Запустить"
    std::function<void()> StopSlideShow;          // "&Остановить"
    std::function<void()> ShowIntervalDialog;     // the interval dialog, modal

    // The hidden command buttons' handlers: the main window presses them.
    void Button1Click(); // hide the animation
    void Button2Click(); // load the selected playlist line as a GIF
    void OpenGifClick(); // load the open dialog's file as a GIF
    void On2Click();
    void Off2Click();
    void SlowerClick();
    void OnceClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void TrackBar4Change();
    void TrackBar1Change();
    void TrackBar2Change();
    void TrackBar3Change();
    void Timer1Timer();

    // The three layouts: which controls show, and the caption.
    void ApplyPictureLayout();
    void ApplyAnimationLayout();
    void ApplyClipLayout();

    // Counts the presentations begun in this window. A presentation that finishes after a
    // newer one has begun (a GIF whose decode let messages run) does not show itself.
    quint64 PresentationSerial = 0;

    // The client area above the bottom strip, which the animation control fills.
    QRect DisplayArea() const;

    QFrame* Panel1;
    TImage* Image;
    QFrame* AdditionalPanel;
    TMediaPlayer* MediaPlayer1;
    QFrame* Panel2;
    QPushButton* On2;
    QPushButton* Off2;
    QPushButton* Slower;
    QPushButton* Once;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton4;
    QProgressBar* Gauge1;
    QProgressBar* ProgressBar1;
    QSlider* TrackBar4;
    QSlider* TrackBar1;
    QSlider* TrackBar2;
    QSlider* TrackBar3;
    QLabel* Tech1;
    QLabel* Tech2;
    QLabel* Tech3;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* OpenGif;
    QTimer* Timer1;
    TGifImage* GifImage; // the animation control

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void LoadGif(const QString& fileName);
    void FormClose(bool& allowed);
    void PlaceOnScreen();
    bool m_gifFills = false;
};

extern TForm4* Form4;
