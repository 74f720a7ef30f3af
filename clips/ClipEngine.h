#pragma once

// The clip engine: what plays sound and video clips. It lives in a module of its own
// (lumivo-clipengine.so), loaded on the first clip, because what it links (libmpv with
// FFmpeg, fluidsynth) is some two hundred libraries that a start-up showing a picture does
// not need. The program and the module share only this header: plain virtual calls and a
// callback, no Qt signals (a module's copy of a meta-object would not match the program's).
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

// Loads the module once and makes an engine; throws ELumivoError with the reason.
std::unique_ptr<TClipEngine> CreateClipEngine(TClipEngineSetup setup);

// The module's one entry point.
using TCreateClipEngineFunction = TClipEngine* (*)(TClipEngineSetup* setup, QString* error);
#define LUMIVO_CLIP_ENGINE_ENTRY "LumivoCreateClipEngine1"
