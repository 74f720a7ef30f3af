// The clip engine over libmpv: FFmpeg's demuxers and decoders play every clip format, the
// sound goes to the desktop's sound server (or, with none, is timed without a device), and
// the picture is drawn by mpv's software renderer into our own widget, at the screen's
// pixel density, on every platform Qt runs on. MIDI files are made into sound by
// fluidsynth (MidiSynth.h) and played as raw audio through the same player.

#include "clips/ClipEngine.h"
#include "clips/MidiFile.h"
#include "clips/MidiSynth.h"
#include "clips/ProgressWatch.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/stream_cb.h>

#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

constexpr qint64 MaxMidiBytes = 16 << 20;
// FFmpeg's demuxers a clip may be read with (FFmpeg's names).
#define LUMIVO_CLIP_FORMATS                                                                                    \
    "avi,mpeg,mpegts,mpegvideo,m4v,h264,hevc,mov,mp4,m4a,3gp,3g2,mj2,wav,w64,mp3,aac,ac3,eac3,flac,ogg,asf,au," \
    "aiff,matroska,webm,flv,dv,voc,amr,mjpeg"
const char MidiProtocol[] = "lumivo-midi";

// The picture of the clip, drawn by mpv into memory and painted from there.
class TMpvSurface : public QWidget {
public:
    TMpvSurface(QWidget* parent, mpv_handle* mpv) : QWidget(parent)
    {
        setObjectName(QStringLiteral("VideoSurface"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        if (mpv_render_context_create(&m_render, mpv, params) < 0)
            m_render = nullptr;
        else
            mpv_render_context_set_update_callback(m_render, &TMpvSurface::OnUpdate, this);
    }
    ~TMpvSurface() override
    {
        if (m_render) {
            // No callback runs once this returns; what it posted goes with this widget.
            mpv_render_context_set_update_callback(m_render, nullptr, nullptr);
            mpv_render_context_free(m_render);
        }
        std::free(m_pixels);
    }
    bool Ready() const { return m_render; }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (m_frame.size() != PixelSize())
            Render();
        QPainter painter(this);
        if (m_frame.isNull())
            painter.fillRect(event->rect(), Qt::black);
        else
            painter.drawImage(QPoint(0, 0), m_frame);
    }

private:
    static void OnUpdate(void* self)
    {
        // On one of mpv's threads: ask the GUI thread, once for all updates until it looks.
        auto* surface = static_cast<TMpvSurface*>(self);
        if (!surface->m_pending.exchange(true))
            QMetaObject::invokeMethod(surface, [surface] { surface->Update(); }, Qt::QueuedConnection);
    }
    void Update()
    {
        m_pending = false;
        // Every frame is taken, also while the surface is out of sight: mpv waits on frames
        // nobody takes, and the sound would wait with them.
        if (mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME) {
            Render();
            update();
        }
    }
    QSize PixelSize() const
    {
        const QSize size = (QSizeF(this->size()) * devicePixelRatioF()).toSize();
        return size.isEmpty() ? QSize(1, 1) : size;
    }
    void Render()
    {
        if (!m_render)
            return;
        const QSize size = PixelSize();
        if (m_frame.size() != size) {
            // Rows on 64-byte boundaries: mpv's converters run fastest on them.
            const size_t stride = (size_t(size.width()) * 4 + 63) & ~size_t(63);
            std::free(m_pixels);
            m_frame = QImage();
            m_pixels = static_cast<uchar*>(std::aligned_alloc(64, stride * size_t(size.height())));
            if (!m_pixels)
                return;
            m_stride = stride;
            m_frame = QImage(m_pixels, size.width(), size.height(), qsizetype(stride), QImage::Format_RGBX8888);
        }
        m_frame.setDevicePixelRatio(devicePixelRatioF());
        int dimensions[2] = {size.width(), size.height()};
        // This runs on the interface thread: it draws the frame that is due and never waits
        // for a frame's time (that would hold the windows up to a frame's length each time).
        int wait = 0;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, dimensions},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &wait},
                                     {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("rgb0")},
                                     {MPV_RENDER_PARAM_SW_STRIDE, &m_stride},
                                     {MPV_RENDER_PARAM_SW_POINTER, m_pixels},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(m_render, params);
        // The fourth byte of each pixel is left undefined: the image format ignores it.
    }

    mpv_render_context* m_render = nullptr;
    std::atomic<bool> m_pending{false};
    uchar* m_pixels = nullptr;
    size_t m_stride = 0;
    QImage m_frame;
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

class TMpvEngine : public TClipEngine {
public:
    explicit TMpvEngine(TClipEngineSetup setup) : m_onEvent(std::move(setup.OnEvent)), m_options(std::move(setup.Options))
    {
    }
    ~TMpvEngine() override
    {
        *m_alive = false;
        delete m_surface.data(); // its render context must go before the player
        if (m_mpv) {
            mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
            // mpv waits for its threads, and one blocked reading a damaged or hostile file may
            // never return: the player is ended on a thread of its own, waited for a second at
            // most (time enough to finish its output). What its MIDI stream reads lives until then.
            auto ended = std::make_shared<std::promise<void>>();
            std::future<void> done = ended->get_future();
            std::thread([mpv = m_mpv, midi = m_midi, ended] {
                mpv_terminate_destroy(mpv);
                ended->set_value();
            }).detach();
            done.wait_for(std::chrono::seconds(1));
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
            // Colours as they were encoded: zimg would also convert the guessed primaries of
            // a clip that names none (pure red came out orange).
            {"sws-allow-zimg", "no"},
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

    void Load(const QString& fileName, QWidget* display) override
    {
        m_fileName = fileName;
        if (display) {
            m_surface = new TMpvSurface(display, m_mpv);
            m_surface->hide();
            if (!m_surface->Ready()) {
                Fail(QStringLiteral("No picture output could be opened."));
                return;
            }
        } else {
            mpv_set_property_string(m_mpv, "vo", "null");
        }
        // Always an absolute path: mpv would take "name://..." or "-" as a stream to open.
        QByteArray target = QFile::encodeName(QFileInfo(fileName).absoluteFilePath());
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly) && midi::LooksLikeMidi(file.peek(12))) {
            if (!LoadMidi(file))
                return;
            target = QByteArray(MidiProtocol) + "://clip";
        }
        const char* command[] = {"loadfile", target.constData(), nullptr};
        const int result = mpv_command(m_mpv, command);
        if (result < 0)
            Fail(Reason(result));
    }

    void SetPaused(bool paused) override
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
    void Seek(qint64 ms) override
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
    qint64 Position() const override
    {
        if (m_atEnd)
            return Duration();
        double seconds = 0;
        mpv_get_property(m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &seconds);
        return qint64(seconds * 1000.0 + 0.5);
    }
    qint64 Duration() const override
    {
        double seconds = 0;
        mpv_get_property(m_mpv, "duration", MPV_FORMAT_DOUBLE, &seconds);
        return qint64(seconds * 1000.0 + 0.5);
    }
    bool AtEnd() const override { return m_atEnd; }
    QSize VideoSize() const override { return m_videoSize; }
    QWidget* Surface() const override { return m_surface; }
    void SetVolume(double volume) override
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
            mpv_set_property_string(m_mpv, "vf", filter);
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
        Emit({TClipEvent::Failed, QStringLiteral("Cannot play file \"%1\". %2").arg(m_fileName, reason)});
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
    QPointer<TMpvSurface> m_surface;
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

extern "C" __attribute__((visibility("default"))) TClipEngine* LumivoCreateClipEngine1(TClipEngineSetup* setup,
                                                                                      QString* error)
{
    auto engine = std::make_unique<TMpvEngine>(std::move(*setup));
    if (!engine->Create(*error))
        return nullptr;
    return engine.release();
}
