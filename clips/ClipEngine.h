#pragma once

// The clip engine: what plays sound and video clips. The clip itself is played by a process
// of its own (lumivo-clips, started for each clip), so that libmpv with FFmpeg and fluidsynth,
// some two hundred libraries that are not safe on every file, never run in the program; the
// engine is the program's side of it (RemoteClipEngine.cpp).
//
// An engine plays one file. Everything is called on the GUI thread, and the callback is
// made on it.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

struct TClipEvent {
    enum Kind {
        Loaded, // the file is open, paused at its start, with its first picture decoded
        Failed, // it could not be opened, or playing it failed; Text says why
        Ended,  // playing reached the end
    };
    Kind What;
    QString Text;
};

// What a Failed event says: the file named, then why.
inline QString CannotPlay(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Cannot play file \"%1\". %2").arg(fileName, reason);
}

class TClipEngine {
public:
    virtual ~TClipEngine() = default;
    // Starts opening the file; video, if any, is drawn on a child widget of display (the
    // surface), shown and hidden by the caller.
    virtual void Load(const QString& fileName, QWidget* display) = 0;
    virtual void SetPaused(bool paused) = 0;
    virtual void Seek(qint64 ms) = 0;
    virtual qint64 Position() const = 0; // milliseconds
    virtual qint64 Duration() const = 0; // milliseconds
    virtual bool AtEnd() const = 0;
    virtual QSize VideoSize() const = 0; // as the video is meant to be seen; empty for sound
    virtual QWidget* Surface() const = 0;
    virtual void SetVolume(double volume) = 0; // 0..1
};

struct TClipEngineSetup {
    std::function<void(const TClipEvent&)> OnEvent;
    // Options for the player beside the program's own ("ao" = "pcm", ...): the tests and
    // benchmarks choose where the sound goes.
    QList<QPair<QByteArray, QByteArray>> Options;
};

// Starts a clip process and makes an engine over it; throws ELumivoError with the reason.
std::unique_ptr<TClipEngine> CreateClipEngine(TClipEngineSetup setup);

// Starts the process for the next clip ahead, if none waits yet, so that the clip does not
// wait for it to load its libraries and make its player ready (with `options`, as
// TClipEngineSetup's). Does nothing where none can be started.
void StartClipProcessAhead(const QList<QPair<QByteArray, QByteArray>>& options);
