// lumivo-clips: the clip process. The program starts one for each clip and talks to it over
// the socket pair at descriptor 3 (ClipWire.h); it is handed the clip's file as a descriptor
// and never opens a path. libmpv (FFmpeg's demuxers and decoders) plays the clip, the sound
// goes to the desktop's sound server (or, with none, is timed without a device), and mpv's
// software renderer draws each frame into memory shared with the program, which paints it.
// MIDI files are made into sound by fluidsynth (MidiSynth.h) and played through the same
// player. Whatever a file does to the decoders, the program sees only a process that answers,
// ends, or is ended.

#include "clips/ClipEngine.h"
#include "clips/ClipWire.h"
#include "clips/MidiFile.h"
#include "clips/MidiSynth.h"
#include "clips/ProgressWatch.h"
#include "tools/Confinement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/stream_cb.h>

#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <functional>
#include <memory>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr qint64 MaxMidiBytes = 16 << 20;
// FFmpeg's demuxers a clip may be read with (FFmpeg's names).
#define LUMIVO_CLIP_FORMATS                                                                                    \
    "avi,mpeg,mpegts,mpegvideo,m4v,h264,hevc,mov,mp4,m4a,3gp,3g2,mj2,wav,w64,mp3,aac,ac3,eac3,flac,ogg,asf,au," \
    "aiff,matroska,webm,flv,dv,voc,amr,mjpeg"
const char MidiProtocol[] = "lumivo-midi";
const char PrimariesFilter[] = "format=primaries=bt.709";

// The picture of the clip, drawn by mpv's software renderer into the memory the program
// shares with this process (its surface). A frame is drawn when mpv has one and the program
// has taken the one before; mpv's frames are taken also while there is no surface or the
// program is busy, since mpv waits on frames nobody takes (and the sound with them).
class TFrameSink {
public:
    explicit TFrameSink(mpv_handle* mpv, QObject* context) : m_context(context)
    {
        mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        if (mpv_render_context_create(&m_render, mpv, params) < 0)
            m_render = nullptr;
        else
            mpv_render_context_set_update_callback(m_render, &TFrameSink::OnUpdate, this);
    }
    ~TFrameSink()
    {
        if (m_render) {
            mpv_render_context_set_update_callback(m_render, nullptr, nullptr);
            mpv_render_context_free(m_render);
        }
        SetSurface(nullptr, QSize(), 0);
    }
    bool Ready() const { return m_render; }

    // The memory to draw into (null: none), `size` pixels of `stride` bytes a row.
    void SetSurface(uchar* pixels, const QSize& size, size_t stride)
    {
        if (m_pixels)
            ::munmap(m_pixels, m_stride * size_t(m_size.height()));
        m_pixels = pixels;
        m_size = size;
        m_stride = stride;
        m_taken = true;
        m_redraw = m_pixels != nullptr;
        if (m_pixels && !m_held)
            Draw(); // the frame shown now, at the new size
    }
    // Frames are drawn for the program from now on (before, the filter that turns a video may
    // not be in place yet): the one shown now at once.
    void Release()
    {
        m_held = false;
        if (m_pixels && m_taken)
            Draw();
        else
            m_redraw = m_pixels != nullptr;
    }
    // The program has taken the frame drawn last: the newest one is drawn if it is newer.
    void Taken()
    {
        m_taken = true;
        if (m_redraw && !m_held)
            Draw();
    }
    std::function<void(const QSize&)> OnFrame;

private:
    static void OnUpdate(void* self)
    {
        // On one of mpv's threads: the main thread looks, once for all updates until it does.
        auto* sink = static_cast<TFrameSink*>(self);
        if (!sink->m_pending.exchange(true))
            QMetaObject::invokeMethod(sink->m_context, [sink] { sink->Update(); }, Qt::QueuedConnection);
    }
    void Update()
    {
        m_pending = false;
        if (mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME) {
            if (m_pixels && m_taken && !m_held)
                Draw();
            else
                Consume();
        }
    }
    void Render(uchar* pixels, const QSize& size, size_t stride)
    {
        int dimensions[2] = {size.width(), size.height()};
        // A frame is drawn when it is due: the call never waits for a frame's time.
        int wait = 0;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, dimensions},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &wait},
                                     {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
                                     {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                     {MPV_RENDER_PARAM_SW_POINTER, pixels},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(m_render, params);
    }
    void Draw()
    {
        m_redraw = false;
        m_taken = false;
        Render(m_pixels, m_size, m_stride);
        if (OnFrame)
            OnFrame(m_size);
    }
    // The frame is taken from mpv into a pixel of scratch; it is drawn for the program when
    // it has taken the last one.
    void Consume()
    {
        uint32_t scratch = 0;
        Render(reinterpret_cast<uchar*>(&scratch), QSize(1, 1), 4);
        m_redraw = m_pixels != nullptr;
    }

    QObject* m_context;
    mpv_render_context* m_render = nullptr;
    std::atomic<bool> m_pending{false};
    uchar* m_pixels = nullptr;
    QSize m_size;
    size_t m_stride = 0;
    bool m_taken = true;   // the program has taken the frame drawn last
    bool m_redraw = false; // a newer frame waits to be drawn for the program
    bool m_held = true;    // until the clip is loaded, frames are not drawn for the program
};

QString Reason(int error)
{
    switch (error) {
    case MPV_ERROR_UNKNOWN_FORMAT:
        return QStringLiteral("It is not a clip of a known format.");
    case MPV_ERROR_NOTHING_TO_PLAY:
        return QStringLiteral("It holds no sound or picture that can be played.");
    case MPV_ERROR_AO_INIT_FAILED:
        return QStringLiteral("No sound output could be opened.");
    case MPV_ERROR_VO_INIT_FAILED:
        return QStringLiteral("No picture output could be opened.");
    default:
        return QStringLiteral("It could not be read (%1).").arg(QString::fromUtf8(mpv_error_string(error)));
    }
}

class TMpvEngine {
public:
    TMpvEngine(std::function<void(const TClipEvent&)> onEvent, QList<QPair<QByteArray, QByteArray>> options)
        : m_onEvent(std::move(onEvent)), m_options(std::move(options))
    {
    }
    ~TMpvEngine()
    {
        *m_alive = false;
        m_sink.reset(); // its render context must go before the player
        if (m_mpv) {
            mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
            // The program ends this process if mpv does not end in time.
            mpv_terminate_destroy(m_mpv);
        }
    }

    bool Create(QString& error)
    {
        // mpv reads numbers in the C locale and refuses to start in any other.
        std::setlocale(LC_NUMERIC, "C");
        m_mpv = mpv_create();
        if (!m_mpv) {
            error = QStringLiteral("The clip player could not be started.");
            return false;
        }
        const std::pair<const char*, const char*> options[] = {
            {"config", "no"},
            {"terminal", "no"},
            {"idle", "yes"},
            {"pause", "yes"},
            {"keep-open", "yes"},
            {"audio-fallback-to-null", "yes"},
            {"audio-client-name", "lumivo"},
            {"ao", "pulse,alsa"}, // a sound server, or the sound card itself
            {"audio-display", "no"},
            {"audio-file-auto", "no"},
            {"sub-auto", "no"},
            {"cover-art-auto", "no"},
            {"hwdec", "no"},
            // Colours as they were encoded: converted by zimg (swscale dims RGB and palette
            // pictures, green 00fc00 came out 00d100, and takes four times the time), and with
            // the primaries taken for those of the screen, as players did before colour
            // management: a clip that names none would otherwise have the ones guessed for it
            // converted (red came out orange). Turn adds to this filter.
            {"vf", PrimariesFilter},
            // mpv's software renderer cannot turn a picture (it aborts on a clip whose track
            // says "rotate 90", as phones write them): a filter turns it instead (Turn).
            {"video-rotate", "no"},
            {"osc", "no"},
            {"ytdl", "no"},
            {"load-scripts", "no"},
            {"load-stats-overlay", "no"},
            {"load-osd-console", "no"},
            {"load-auto-profiles", "no"},
            {"input-default-bindings", "no"},
            {"input-vo-keyboard", "no"},
            {"osd-level", "0"},
            // A clip is a file: nothing it names elsewhere (playlists, linked chapters,
            // streams on the network) is opened.
            {"access-references", "no"},
            {"ordered-chapters", "no"},
            {"load-unsafe-playlists", "no"},
            // Only containers that hold their own streams: FFmpeg's concat lists, HLS and
            // DASH playlists, image sequences and the like open other files, whatever the
            // clip's name says. mpv's own demuxers (its playlists, EDL) are not used either.
            {"demuxer", "lavf"},
            {"demuxer-lavf-o", "protocol_whitelist=[file],format_whitelist=[" LUMIVO_CLIP_FORMATS "]"},
            // Memory within bounds whatever the file says: what is read ahead, and the
            // size of a picture a decoder accepts (8K).
            {"demuxer-max-bytes", "64MiB"},
            {"demuxer-max-back-bytes", "16MiB"},
            {"vd-lavc-o", "max_pixels=35389440"},
        };
        for (const auto& [name, value] : options)
            mpv_set_option_string(m_mpv, name, value);
        for (const auto& [name, value] : m_options)
            mpv_set_option_string(m_mpv, name.constData(), value.constData());
        if (mpv_initialize(m_mpv) < 0) {
            error = QStringLiteral("The clip player could not be started.");
            return false;
        }
        mpv_set_wakeup_callback(m_mpv, &TMpvEngine::OnWakeUp, this);
        m_since.start();
        m_watchTimer = new QTimer(&m_context);
        m_watchTimer->setInterval(500);
        QObject::connect(m_watchTimer, &QTimer::timeout, &m_context, [this] { Watch(); });
        m_watchTimer->start();
        return true;
    }

    // Plays the file open at `fd` (its name is for messages only); video is drawn when asked.
    void Load(const QString& fileName, int fd, bool video)
    {
        m_fileName = fileName;
        if (video) {
            m_sink = std::make_unique<TFrameSink>(m_mpv, &m_context);
            if (!m_sink->Ready()) {
                Fail(QStringLiteral("No picture output could be opened."));
                return;
            }
        } else {
            mpv_set_property_string(m_mpv, "vo", "null");
        }
        QByteArray target = "fd://" + QByteArray::number(fd);
        char head[12] = {};
        const ssize_t got = ::pread(fd, head, sizeof head, 0);
        if (got > 0 && midi::LooksLikeMidi(QByteArray(head, int(got)))) {
            QFile file;
            if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle) || !LoadMidi(file))
                return;
            target = QByteArray(MidiProtocol) + "://clip";
        }
        const char* command[] = {"loadfile", target.constData(), nullptr};
        const int result = mpv_command(m_mpv, command);
        if (result < 0)
            Fail(Reason(result));
    }
    TFrameSink* Sink() const { return m_sink.get(); }

    void SetPaused(bool paused)
    {
        if (!paused && m_played && !m_atEnd) {
            // Paused with all that is left of the clip already given to the sound output,
            // mpv 0.35 would not go on when told to: it is moved to where it is first.
            const qint64 at = Position();
            if (Duration() - at < 1000)
                Seek(at);
        }
        m_played = m_played || !paused;
        int flag = paused;
        mpv_set_property(m_mpv, "pause", MPV_FORMAT_FLAG, &flag);
        if (!paused && !m_running) {
            m_clock.start();
            m_running = true;
            m_watch.Restart(m_since.elapsed(), Position());
        } else if (paused && m_running) {
            m_playedMs += m_clock.elapsed();
            m_running = false;
        }
    }
    void Seek(qint64 ms)
    {
        const QByteArray seconds = QByteArray::number(double(ms) / 1000.0, 'f', 3);
        const char* command[] = {"seek", seconds.constData(), "absolute+exact", nullptr};
        mpv_command_async(m_mpv, 0, command);
        m_atEnd = false;
        m_fromMs = ms;
        m_playedMs = 0;
        m_watch.Restart(m_since.elapsed(), ms);
        if (m_running) {
            // Told to play: it plays on from there, also if mpv had paused itself at the end
            // while the report of that end was still waiting.
            int flag = 0;
            mpv_set_property(m_mpv, "pause", MPV_FORMAT_FLAG, &flag);
            m_clock.start();
        }
    }
    qint64 Position() const
    {
        if (m_atEnd)
            return Duration();
        double seconds = 0;
        mpv_get_property(m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &seconds);
        return qint64(seconds * 1000.0 + 0.5);
    }
    qint64 Duration() const
    {
        if (m_midi) { // the music's length; its last notes may ring out a little past it
            const double music = m_midi->Seconds();
            return music > 0 ? qint64(std::min(music, midi::MaxSeconds) * 1000.0 + 0.5) : 0; // NaN gives 0
        }
        double seconds = 0;
        mpv_get_property(m_mpv, "duration", MPV_FORMAT_DOUBLE, &seconds);
        return qint64(seconds * 1000.0 + 0.5);
    }
    bool AtEnd() const { return m_atEnd; }
    QSize VideoSize() const { return m_videoSize; }
    void SetVolume(double volume)
    {
        // The level is linear in amplitude (half is -6 dB), as a wave output's volume is;
        // mpv's volume is cubic.
        double percent = std::cbrt(qBound(0.0, volume, 1.0)) * 100.0;
        mpv_set_property(m_mpv, "volume", MPV_FORMAT_DOUBLE, &percent);
    }

private:
    static void OnWakeUp(void* self)
    {
        // On one of mpv's threads: the events are read on the GUI thread.
        auto* engine = static_cast<TMpvEngine*>(self);
        if (!engine->m_wakeUpPending.exchange(true))
            QMetaObject::invokeMethod(&engine->m_context, [engine] { engine->ReadEvents(); }, Qt::QueuedConnection);
    }

    void ReadEvents()
    {
        m_wakeUpPending = false;
        const std::shared_ptr<bool> alive = m_alive;
        while (*alive) {
            mpv_event* event = mpv_wait_event(m_mpv, 0);
            if (event->event_id == MPV_EVENT_NONE)
                break;
            Handle(*event); // may end this engine
        }
    }

    void Handle(const mpv_event& event)
    {
        switch (event.event_id) {
        case MPV_EVENT_FILE_LOADED:
            m_fileLoaded = true;
            Turn();
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            // After the load and after every seek, the end is watched afresh: a short clip may
            // reach its end again before a change would be told, and mpv tells only changes.
            mpv_unobserve_property(m_mpv, m_endWatch);
            mpv_observe_property(m_mpv, ++m_endWatch, "eof-reached", MPV_FORMAT_FLAG);
            // Loaded once the first picture (or sound) has been decoded, paused at the start:
            // the video's size is the stream's own, and nothing had to be played to learn it.
            if (m_fileLoaded && !m_loaded) {
                m_loaded = true;
                if (m_sink)
                    m_sink->Release();
                ReadVideoSize();
                Emit({TClipEvent::Loaded, {}});
            }
            break;
        case MPV_EVENT_END_FILE: {
            const auto* end = static_cast<const mpv_event_end_file*>(event.data);
            if (end->reason == MPV_END_FILE_REASON_ERROR)
                Fail(Reason(end->error));
            else if (end->reason == MPV_END_FILE_REASON_EOF && m_loaded)
                Emit({TClipEvent::Ended, {}});
            break;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto* property = static_cast<const mpv_event_property*>(event.data);
            if (event.reply_userdata == m_endWatch && property->format == MPV_FORMAT_FLAG) {
                const bool atEnd = *static_cast<int*>(property->data);
                if (atEnd && !m_atEnd && m_loaded) {
                    m_atEnd = true;
                    ReachedEnd();
                } else if (!atEnd) {
                    m_atEnd = false;
                }
            }
            break;
        }
        default:
            break;
        }
    }

    // mpv reports the end once the last of the sound is handed to the output: a device may
    // still hold up to a few hundred milliseconds of it, and an output no device times (none,
    // or a file) takes it all at once. The report waits until the clip has played for as long
    // as it lasts, up to where its sound and picture really ended (an estimated length can be
    // far off either way).
    void ReachedEnd()
    {
        if (!m_running) {
            Ended();
            return;
        }
        const qint64 played = m_playedMs + m_clock.elapsed();
        double seconds = 0;
        const qint64 end = mpv_get_property(m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &seconds) >= 0
                               ? qint64(seconds * 1000.0 + 0.5)
                               : Duration();
        const qint64 remaining = end - m_fromMs - played;
        if (remaining <= 10) {
            Ended();
            return;
        }
        QTimer::singleShot(int(qMin<qint64>(remaining, 10000)), &m_context, [this] {
            if (m_atEnd)
                Ended();
        });
    }
    // A clip that plays but stops advancing, or runs past its length, is ended (and silenced).
    void Watch()
    {
        if (!m_running || m_atEnd || !m_loaded || !m_watch.Stuck(m_since.elapsed(), Position(), Duration()))
            return;
        m_atEnd = true;
        int flag = 1;
        mpv_set_property(m_mpv, "pause", MPV_FORMAT_FLAG, &flag);
        Ended();
    }
    void Ended()
    {
        m_running = false; // mpv has paused at the end
        Emit({TClipEvent::Ended, {}});
    }

    // A video whose track says it is to be shown turned (clockwise, in degrees) is turned by
    // a filter before its first picture is shown.
    void Turn()
    {
        int64_t degrees = 0;
        if (mpv_get_property(m_mpv, "current-tracks/video/demux-rotation", MPV_FORMAT_INT64, &degrees) < 0)
            return;
        const char* filter = degrees == 90    ? "transpose=clock"
                             : degrees == 180 ? "hflip,vflip"
                             : degrees == 270 ? "transpose=cclock"
                                              : nullptr;
        if (filter)
            mpv_set_property_string(m_mpv, "vf", QByteArray(QByteArray(PrimariesFilter) + ',' + filter).constData());
    }

    void ReadVideoSize()
    {
        int64_t width = 0, height = 0;
        // The size after the filters (a turned video), else the stream's.
        if (mpv_get_property(m_mpv, "video-out-params/dw", MPV_FORMAT_INT64, &width) < 0 ||
            mpv_get_property(m_mpv, "video-out-params/dh", MPV_FORMAT_INT64, &height) < 0) {
            mpv_get_property(m_mpv, "width", MPV_FORMAT_INT64, &width);
            mpv_get_property(m_mpv, "height", MPV_FORMAT_INT64, &height);
        }
        if (width > 0 && height > 0 && width <= 65535 && height <= 65535)
            m_videoSize = QSize(int(width), int(height));
    }

    bool LoadMidi(QFile& file)
    {
        if (file.size() > MaxMidiBytes) {
            Fail(QStringLiteral("It is too long for a MIDI file."));
            return false;
        }
        const auto timing = midi::ReadTiming(file.readAll());
        if (!timing) {
            Fail(QStringLiteral("It is not a MIDI file that can be played."));
            return false;
        }
        m_midi = std::make_shared<midi::TTiming>(*timing);
        mpv_stream_cb_add_ro(m_mpv, MidiProtocol, const_cast<midi::TTiming*>(m_midi.get()), &TMpvEngine::OpenMidi);
        return true;
    }

    // On mpv's thread, once it opens the stream: the synthesizer and its sound font are
    // made there, off the GUI thread.
    static int OpenMidi(void* self, char*, mpv_stream_cb_info* info)
    {
        auto stream = midi::TSynthStream::Open(*static_cast<const midi::TTiming*>(self));
        if (!stream)
            return MPV_ERROR_LOADING_FAILED;
        info->cookie = stream.release();
        info->read_fn = [](void* cookie, char* buffer, uint64_t bytes) {
            return static_cast<midi::TSynthStream*>(cookie)->Read(buffer, bytes);
        };
        info->seek_fn = [](void* cookie, int64_t offset) {
            return static_cast<midi::TSynthStream*>(cookie)->Seek(offset);
        };
        info->size_fn = [](void* cookie) { return static_cast<midi::TSynthStream*>(cookie)->Size(); };
        info->close_fn = [](void* cookie) { delete static_cast<midi::TSynthStream*>(cookie); };
        return 0;
    }

    void Fail(const QString& reason)
    {
        Emit({TClipEvent::Failed, CannotPlay(m_fileName, reason)});
    }
    void Emit(const TClipEvent& event)
    {
        if (m_onEvent)
            m_onEvent(event);
    }

    std::function<void(const TClipEvent&)> m_onEvent;
    QList<QPair<QByteArray, QByteArray>> m_options;
    mpv_handle* m_mpv = nullptr;
    QObject m_context; // what the posted reads of events go with
    std::unique_ptr<TFrameSink> m_sink;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::atomic<bool> m_wakeUpPending{false};
    QString m_fileName;
    std::shared_ptr<const midi::TTiming> m_midi; // what the MIDI stream is made from
    QSize m_videoSize;
    bool m_fileLoaded = false;
    bool m_loaded = false;
    bool m_atEnd = false;
    bool m_played = false; // it has been told to play
    uint64_t m_endWatch = 0; // the observation of "eof-reached" that counts
    // How long the clip has played since it was last moved (to time its end).
    QElapsedTimer m_clock;
    bool m_running = false;
    qint64 m_playedMs = 0;
    qint64 m_fromMs = 0;
    // Whether a playing clip still advances.
    QElapsedTimer m_since;
    QTimer* m_watchTimer = nullptr;
    TProgressWatch m_watch;
};

} // namespace


namespace {

using clipwire::TType;

// One clip's talk with the program over the socket pair at `socket`: the program's commands
// are carried out as they come, and the player's events, its state (ten times a second)
// and each frame drawn are told back. When the program is gone, or says something malformed,
// the process ends.
class TSession {
public:
    explicit TSession(int socket) : m_socket(socket), m_notifier(socket, QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_context, [this] { ReadMessages(); });
        m_stateTimer.setInterval(100);
        QObject::connect(&m_stateTimer, &QTimer::timeout, &m_context, [this] { SendState(); });
    }

private:
    void ReadMessages()
    {
        for (;;) {
            TType type{};
            QByteArray payload;
            int fd = -1;
            bool wouldBlock = false;
            if (!clipwire::Receive(m_socket, type, payload, fd, wouldBlock))
                End();
            if (wouldBlock)
                return;
            if (!Handle(type, payload, fd)) {
                if (fd >= 0)
                    ::close(fd);
                End();
            }
        }
    }

    bool Handle(TType type, const QByteArray& payload, int fd)
    {
        if (type == TType::Setup) {
            // The process confines itself and makes its player ready while the program is
            // still building its windows, so that a clip waits only for its own file.
            QList<QPair<QByteArray, QByteArray>> options;
            if (m_setUp || fd >= 0 || !clipwire::Unpack(payload, options))
                return false;
            m_setUp = true;
            Confine(options);
            m_engine = std::make_unique<TMpvEngine>([this](const TClipEvent& event) { Tell(event); }, options);
            if (!m_engine->Create(m_setupError))
                m_engine.reset();
            return true;
        }
        if (type == TType::Load) {
            bool video = false;
            QString name;
            if (!m_setUp || m_loaded || fd < 0 || !clipwire::Unpack(payload, video, name))
                return false;
            m_loaded = true;
            if (!m_engine) {
                ::close(fd);
                return Send(TType::Failed, clipwire::Pack(CannotPlay(name, m_setupError)));
            }
            m_engine->Load(name, fd, video); // the descriptor stays open: mpv reads it
            if (TFrameSink* sink = m_engine->Sink())
                sink->OnFrame = [this](const QSize& size) { Send(TType::Frame, clipwire::Pack(size)); };
            m_stateTimer.start();
            return true;
        }
        if (fd >= 0 && type != TType::Surface)
            return false;
        if (!m_engine || !m_loaded)
            return false;
        switch (type) {
        case TType::SetPaused:
            return WithValue<bool>(payload, [this](bool paused) { m_engine->SetPaused(paused); });
        case TType::Seek:
            return WithValue<qint64>(payload, [this](qint64 ms) { m_engine->Seek(ms); });
        case TType::SetVolume:
            return WithValue<double>(payload, [this](double volume) { m_engine->SetVolume(volume); });
        case TType::Surface:
            return SetSurface(payload, fd);
        case TType::FrameDone:
            if (TFrameSink* sink = m_engine->Sink())
                sink->Taken();
            return payload.isEmpty();
        default:
            return false;
        }
    }

    // Confined before the player starts and anything reads a clip: the file system read-only
    // but for the sound devices (and a file the sound is to be written to, which only tests and
    // benchmarks ask for), Unix sockets for the sound server, and the allow-list of calls of
    // every helper.
    static void Confine(const QList<QPair<QByteArray, QByteArray>>& options)
    {
        TConfinement c;
        c.FirstClosed = -1; // closed as the process started: what is open now is its own
        c.Devices = true;
        c.LocalSockets = true;
        c.Writable.push_back("/dev/snd");
        for (const auto& [name, value] : options)
            if (name == "ao-pcm-file")
                c.Writable.push_back(QFileInfo(QFile::decodeName(value)).absolutePath().toStdString());
        const QByteArray home = qgetenv("HOME");
        if (home.startsWith('/'))
            for (const char* under : {"/.config/pulse", "/.pulse-cookie", "/.asoundrc", "/.config/pipewire"})
                c.Readable.push_back(home.toStdString() + under);
        // The sound server's socket, and nothing else of the session's: PulseAudio's (or
        // PipeWire's in its place), PipeWire's own for ALSA's plugin, or a server named.
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray pulse = qgetenv("PULSE_RUNTIME_PATH");
        if (pulse.startsWith('/'))
            c.Readable.push_back(pulse.toStdString());
        else if (runtime.startsWith('/'))
            c.Readable.push_back(runtime.toStdString() + "/pulse");
        else if (home.startsWith('/')) // the server's folder in /tmp, linked from the settings
            for (const QFileInfo& link : QDir(QFile::decodeName(home) + QStringLiteral("/.config/pulse"))
                                             .entryInfoList({QStringLiteral("*-runtime")}, QDir::System | QDir::Dirs))
                c.Readable.push_back(QFile::encodeName(link.absoluteFilePath()).toStdString());
        if (runtime.startsWith('/'))
            c.Readable.push_back(runtime.toStdString() + "/pipewire-0");
        if (const QByteArray server = qgetenv("PULSE_SERVER"); server.startsWith("unix:/"))
            c.Readable.push_back(server.mid(5).toStdString());
        c.Readable.push_back("/var/lib/dbus");
        c.Readable.push_back("/run/pulse");
        ::Confine(c);
    }

    // Carries out a command of one value, if the payload holds exactly that.
    template <class T, class F>
    static bool WithValue(const QByteArray& payload, F&& apply)
    {
        T value{};
        if (!clipwire::Unpack(payload, value))
            return false;
        apply(value);
        return true;
    }

    // The memory the program shares for the frames, checked against what it says it holds.
    bool SetSurface(const QByteArray& payload, int fd)
    {
        QSize size;
        qint32 stride = 0;
        TFrameSink* sink = m_engine->Sink();
        if (!clipwire::Unpack(payload, size, stride) || !sink)
            return false;
        if (fd < 0) {
            sink->SetSurface(nullptr, QSize(), 0);
            return true;
        }
        const size_t bytes = size_t(stride) * size_t(std::max(size.height(), 0));
        struct stat st {};
        const bool sound = size.width() > 0 && size.height() > 0 && size.width() <= 16384 && size.height() <= 16384 &&
                           stride >= size.width() * 4 && stride <= 16384 * 4 + 64 && ::fstat(fd, &st) == 0 &&
                           st.st_size >= off_t(bytes);
        void* pixels = sound ? ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
        ::close(fd);
        if (pixels == MAP_FAILED)
            return false;
        sink->SetSurface(static_cast<uchar*>(pixels), size, size_t(stride));
        return true;
    }

    void Tell(const TClipEvent& event)
    {
        switch (event.What) {
        case TClipEvent::Loaded:
            Send(TType::Loaded, clipwire::Pack(m_engine->VideoSize(), m_engine->Duration()));
            break;
        case TClipEvent::Failed:
            Send(TType::Failed, clipwire::Pack(event.Text));
            break;
        case TClipEvent::Ended:
            SendState();
            Send(TType::Ended);
            break;
        }
    }
    void SendState()
    {
        if (m_engine)
            Send(TType::State, clipwire::Pack(m_engine->Position(), m_engine->Duration(), m_engine->AtEnd()));
    }
    bool Send(TType type, const QByteArray& payload = QByteArray())
    {
        if (!clipwire::Send(m_socket, type, payload))
            End();
        return true;
    }
    [[noreturn]] void End()
    {
        m_engine.reset(); // ends the player, which finishes its output
        ::_exit(0);
    }

    int m_socket;
    QSocketNotifier m_notifier;
    QObject m_context;
    QTimer m_stateTimer;
    std::unique_ptr<TMpvEngine> m_engine;
    bool m_setUp = false;
    QString m_setupError; // why the player could not be made ready
    bool m_loaded = false;
};

} // namespace

int main(int argc, char* argv[])
{
    // Nothing of the program's but the socket at 3 and the standard streams; no privileges
    // to gain.
    if (::syscall(SYS_close_range, 4u, ~0u, 0u) != 0)
        for (int fd = 4; fd < 1024; ++fd)
            ::close(fd);
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    QCoreApplication app(argc, argv);
    constexpr int socket = 3;
    if (!clipwire::Send(socket, TType::Ready, clipwire::Pack(clipwire::Version)))
        return 1;
    TSession session(socket);
    return app.exec();
}
