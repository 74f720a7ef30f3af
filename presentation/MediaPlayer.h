#pragma once

// The media player control: a bar of seven buttons (Play, Pause, Stop, Next, Prev, Step,
// Back) over the clip engine (clips/ClipEngine.h), and the commands the program gives it.
// Open waits until the clip is loaded, paused at its start with its first picture decoded,
// or has failed; Play reports its end through Notify: successful only when playback
// reached the end, aborted when stopped, closed or replaced by another clip, superseded by
// a later Play, failure on a playback error. A fresh engine is made at every Open. The waits let the event loop run without user input; while they do, the
// program is busy presenting (presentation/PresentationGate.h), and once the application
// is quitting a wait returns at once.

#include "clips/ClipEngine.h"
#include "core/Errors.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <memory>

class QToolButton;

// An error of the media device: the backend's text, or "Unknown error code".
class EMCIDeviceError : public ELumivoError {
public:
    using ELumivoError::ELumivoError;
};

class TMediaPlayer : public QWidget {
    Q_OBJECT
public:
    enum TMPNotifyValues { nvSuccessful = 1, nvSuperseded = 2, nvAborted = 4, nvFailure = 8 };
    enum TMPBtnType { btPlay, btPause, btStop, btNext, btPrev, btStep, btBack };

    explicit TMediaPlayer(QWidget* parent = nullptr);
    ~TMediaPlayer() override;

    QPointer<QWidget> Display; // video is drawn on it
    QString FileName;
    bool AutoRewind = false;
    static int OpenTimeoutMs; // an engine that does not answer is given up on
    // Options for every engine made after they are set: where the tests send the sound.
    static QList<QPair<QByteArray, QByteArray>> EngineOptions;

    void Open();
    void Close();
    void Play();     // with a completion report
    void Pause();    // pauses; while paused, resumes with a completion report
    void Stop();     // EMCIDeviceError "No MCI device open" with nothing open
    void Next();     // to the end
    void Previous(); // to the start
    void Step();     // a tenth of the length forward (video)
    void Back();     // a tenth back (video)

    bool IsOpen() const;
    bool HasVideo() const;
    qint64 Position() const; // milliseconds
    qint64 Length() const;   // milliseconds; fails as Stop does with nothing open
    // The rectangle of the video picture: (0, 0, width, height).
    QRect DisplayRect();
    // Hides the video surface (a picture is shown in its place).
    void HideVideo();

    QToolButton* Buttons[7];

    // The wave output's volume, each channel 0..65535. Applied only where an audio output
    // device exists; the last request is kept for every clip opened later.
    static void SetWaveVolume(quint16 left, quint16 right);
    static quint16 RequestedLeft, RequestedRight;
    static bool WaveVolumeSet;

Q_SIGNALS:
    // The completion report, delivered as a posted message.
    void Notify(int status);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Report(int status);
    void RequireOpen() const;
    void UpdateButtons();
    void ApplyVolume();
    void OnEvent(const TClipEvent& event);
    void ShowVideo();
    QWidget* Surface() const; // the open clip's video surface, if any

    std::unique_ptr<TClipEngine> m_engine; // the open clip's
    std::unique_ptr<TClipEngine> m_opening; // the clip being opened
    bool m_loaded = false;
    QString m_error;
    bool m_notifyPending = false;
    bool m_paused = false;
    bool m_playing = false;
    bool m_iconsSet = false;
};
