// The program's side of a clip: the clip process (lumivo-clips) plays it, and this engine
// tells it what to do, keeps what it last said of the clip (its position, length, end), and
// paints the frames it draws into shared memory. The process is started ahead of its clip,
// confines itself and makes its player ready meanwhile, and is ended with the clip; one that
// dies, hangs or talks nonsense ends the clip with an error, and the program never waits for
// it longer than a second.

#include "clips/ClipEngine.h"
#include "clips/ClipWire.h"

#include "core/Errors.h"
#include "core/Helpers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <utility>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using clipwire::TType;

// The most memory the clip process may map: FFmpeg's decoders and mpv's threads stay far
// below it, and a file that makes them grow without end is stopped there.
constexpr rlim_t ClipProcessMemory = rlim_t(4) << 30;
// How long the process has to end, once told, before it is ended.
constexpr int EndWaitMs = 1000;
// How long the clip process may say nothing before it is taken for stuck.
constexpr int SilenceMs = 5000;
// How long after a clip has loaded the process for the next one is started.
constexpr int SpareDelayMs = 1000;

// The picture of the clip: the frames the clip process draws into the memory shared with it,
// painted from there at the screen's pixel density. The process draws the next frame once
// this one is painted (`painted` tells it), so a frame is never changed while it is read.
class TRemoteSurface : public QWidget {
public:
    TRemoteSurface(QWidget* parent, std::function<void(const QSize&, int, int)> share, std::function<void()> painted)
        : QWidget(parent), m_share(std::move(share)), m_painted(std::move(painted))
    {
        setObjectName(QStringLiteral("VideoSurface"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    ~TRemoteSurface() override { Unmap(); }

    // Shares memory for frames of the surface's size in pixels, when that has changed: the
    // clip process draws the frame shown now into it at once.
    void Share()
    {
        const QSize size = PixelSize();
        if (size == m_size && m_pixels)
            return;
        Unmap();
        const size_t stride = (size_t(size.width()) * 4 + 63) & ~size_t(63);
        const size_t bytes = stride * size_t(size.height());
        const int fd = int(::syscall(SYS_memfd_create, "lumivo-frame", MFD_CLOEXEC));
        if (fd < 0)
            return;
        void* pixels = ::ftruncate(fd, off_t(bytes)) == 0 ? ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0)
                                                           : MAP_FAILED;
        if (pixels != MAP_FAILED) {
            m_pixels = static_cast<const uchar*>(pixels);
            m_size = size;
            m_stride = stride;
            m_share(size, int(stride), fd);
        }
        ::close(fd);
    }

    // A frame of `size` pixels is in the shared memory, to be painted; false when it is not
    // taken (drawn for a size the surface no longer has: the next one will do).
    bool TakeFrame(const QSize& size)
    {
        if (!m_pixels || size != m_size)
            return false;
        // As the clip process draws it (bgr0 is RGB32's byte order): painted from where it is.
        m_frame = QImage(m_pixels, size.width(), size.height(), qsizetype(m_stride), QImage::Format_RGB32);
        m_frame.setDevicePixelRatio(devicePixelRatioF());
        m_owed = true;
        update();
        return true;
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        if (m_frame.isNull())
            painter.fillRect(event->rect(), Qt::black);
        else
            painter.drawImage(QRect(QPoint(0, 0), size()), m_frame);
        if (std::exchange(m_owed, false))
            m_painted();
    }
    void resizeEvent(QResizeEvent*) override { Share(); }

private:
    QSize PixelSize() const
    {
        const QSize size = (QSizeF(this->size()) * devicePixelRatioF()).toSize();
        return size.isEmpty() ? QSize(1, 1) : size;
    }
    void Unmap()
    {
        if (!m_frame.isNull() && m_frame.constBits() == m_pixels)
            m_frame = m_frame.copy(); // kept until the next frame comes
        m_owed = false; // memory shared anew starts the clip process drawing again
        if (m_pixels)
            ::munmap(const_cast<uchar*>(m_pixels), m_stride * size_t(m_size.height()));
        m_pixels = nullptr;
        m_size = QSize();
    }

    std::function<void(const QSize&, int, int)> m_share;
    std::function<void()> m_painted;
    bool m_owed = false; // the frame shown has not been painted yet
    const uchar* m_pixels = nullptr;
    QSize m_size;
    size_t m_stride = 0;
    QImage m_frame;
};

using TOptions = QList<QPair<QByteArray, QByteArray>>;

struct TProcess {
    pid_t Pid = -1;
    int Socket = -1;
    TOptions Options; // what its player was made ready with
};

// Ends a process that has not been given a clip.
void Discard(TProcess& process)
{
    if (process.Pid <= 0)
        return;
    ::close(process.Socket);
    ::kill(process.Pid, SIGKILL);
    ::waitpid(process.Pid, nullptr, 0);
    process = TProcess();
}

// The process started ahead for the next clip (it dies with the program).
TProcess& Spare()
{
    static TProcess spare;
    return spare;
}

class TRemoteEngine : public TClipEngine {
public:
    explicit TRemoteEngine(TClipEngineSetup setup) : m_onEvent(std::move(setup.OnEvent)), m_options(std::move(setup.Options)) {}
    ~TRemoteEngine() override
    {
        *m_alive = false;
        delete m_surface.data();
        if (m_notifier) { // this may run in the middle of its signal
            m_notifier->setEnabled(false);
            m_notifier.release()->deleteLater();
        }
        if (m_silence) { // or of this one's
            m_silence->stop();
            m_silence.release()->deleteLater();
        }
        Reap();
    }

    // Takes the clip process started ahead (or starts one); false with the reason. Its
    // greeting is read with its other messages, so that the windows go on answering while it
    // starts. Once the clip has loaded, another is started ahead for the next clip, so that a
    // clip does not wait for a process to load its two hundred libraries.
    bool Start(QString& error)
    {
        TProcess process = std::exchange(Spare(), TProcess());
        if (process.Pid > 0 && ::waitpid(process.Pid, nullptr, WNOHANG) != 0) { // it has died meanwhile
            ::close(process.Socket);
            process = TProcess();
        }
        if (process.Options != m_options) // made ready for other options
            Discard(process);
        if (process.Pid <= 0 && !Spawn(process, m_options, error))
            return false;
        m_pid = process.Pid;
        m_socket = process.Socket;
        m_notifier = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &m_context, [this] { ReadMessages(); });
        // A process that says nothing for SilenceMs (it tells the clip's state ten times a
        // second) is stuck, and is ended with its clip.
        m_silence = std::make_unique<QTimer>();
        m_silence->setSingleShot(true);
        m_silence->setInterval(SilenceMs);
        QObject::connect(m_silence.get(), &QTimer::timeout, &m_context, [this] { Silent(); });
        m_silence->start();
        return true;
    }

    void Load(const QString& fileName, QWidget* display) override
    {
        m_fileName = fileName;
        // Opened here, only a regular file, and handed over: the clip process opens no path.
        const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            const int error = fd < 0 ? errno : EINVAL;
            if (fd >= 0)
                ::close(fd);
            Fail(QString::fromLatin1(strerrordesc_np(error)));
            return;
        }
        if (display) {
            m_surface = new TRemoteSurface(
                display,
                [this](const QSize& size, int stride, int shared) {
                    Send(TType::Surface, clipwire::Pack(size, qint32(stride)), shared);
                },
                [this] { Send(TType::FrameDone, QByteArray()); });
            m_surface->hide();
            m_surface->setGeometry(display->rect()); // where it will be shown
        }
        Send(TType::Load, clipwire::Pack(display != nullptr, fileName), fd);
        ::close(fd);
        // The memory for frames goes with the clip, so that its first frame is drawn for the
        // program as soon as it is decoded.
        if (m_surface)
            m_surface->Share();
    }
    void SetPaused(bool paused) override { Send(TType::SetPaused, clipwire::Pack(paused)); }
    void Seek(qint64 ms) override
    {
        m_position = ms;
        m_atEnd = false;
        Send(TType::Seek, clipwire::Pack(ms));
    }
    qint64 Position() const override { return m_position; }
    qint64 Duration() const override { return m_duration; }
    bool AtEnd() const override { return m_atEnd; }
    QSize VideoSize() const override { return m_videoSize; }
    QWidget* Surface() const override { return m_surface; }
    void SetVolume(double volume) override { Send(TType::SetVolume, clipwire::Pack(volume)); }

    // Starts a clip process, its end of the socket pair at its descriptor 3, and has it make
    // its player ready with `options`.
    static bool Spawn(TProcess& process, const TOptions& options, QString& error)
    {
        const QString helper = HelperPath("LUMIVO_CLIP_HELPER", QStringLiteral("lumivo-clips"));
        if (helper.isEmpty()) {
            error = QStringLiteral("The clip player lumivo-clips is not installed.");
            return false;
        }
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
            error = QStringLiteral("The clip player could not be started (%1).").arg(QString::fromLatin1(strerrordesc_np(errno)));
            return false;
        }
        const QByteArray path = QFile::encodeName(helper);
        const pid_t parent = ::getpid();
        const rlimit memory{ClipProcessMemory, ClipProcessMemory};
        const rlimit core{0, 0};
        const pid_t child = ::fork();
        if (child == 0) {
            // Only what may be done between fork and exec: the socket becomes descriptor 3,
            // the process dies with the program, and its memory is bounded.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent || ::dup2(pair[1], 3) != 3)
                ::_exit(127);
            ::setrlimit(RLIMIT_AS, &memory);
            ::setrlimit(RLIMIT_CORE, &core);
            char* const argv[] = {const_cast<char*>(path.constData()), nullptr};
            ::execv(path.constData(), argv);
            ::_exit(127);
        }
        ::close(pair[1]);
        if (child < 0) {
            ::close(pair[0]);
            error = QStringLiteral("The clip player could not be started (%1).").arg(QString::fromLatin1(strerrordesc_np(errno)));
            return false;
        }
        process = {child, pair[0], options};
        clipwire::Send(process.Socket, TType::Setup, clipwire::Pack(options)); // if it has died, the clip says so
        return true;
    }
private:
    // Closes the socket, which tells the process to end the player and itself, and ends it if
    // it has not within a second.
    void Reap()
    {
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
        if (m_pid <= 0)
            return;
        QElapsedTimer clock;
        clock.start();
        while (::waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (clock.elapsed() >= EndWaitMs) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
                break;
            }
            QThread::msleep(2);
        }
        m_pid = -1;
    }

    void Send(TType type, const QByteArray& payload, int fd = -1)
    {
        if (!m_gone && !clipwire::Send(m_socket, type, payload, fd))
            Gone();
    }
    void ReadMessages()
    {
        const std::shared_ptr<bool> alive = m_alive;
        while (*alive && !m_gone) {
            TType type{};
            QByteArray payload;
            int fd = -1;
            bool wouldBlock = false;
            if (!clipwire::Receive(m_socket, type, payload, fd, wouldBlock)) {
                Gone();
                return;
            }
            if (wouldBlock)
                return;
            m_silence->start();
            if (fd >= 0)
                ::close(fd); // the clip process hands the program nothing
            if (!Handle(type, payload)) {
                Gone();
                return;
            }
        }
    }
    bool Handle(TType type, const QByteArray& payload)
    {
        if (!m_greeted) { // first of all, the greeting of a process of this version
            quint32 version = 0;
            if (type != TType::Ready || !clipwire::Unpack(payload, version) || version != clipwire::Version) {
                Broken(QStringLiteral("The clip player lumivo-clips does not answer as this program expects; "
                                      "it may be of another version."),
                       QStringLiteral("greeted with message %1 of version %2, not version %3")
                           .arg(quint32(type))
                           .arg(version)
                           .arg(clipwire::Version));
                return false;
            }
            m_greeted = true;
            return true;
        }
        switch (type) {
        case TType::Loaded: {
            QSize video;
            qint64 duration = 0;
            if (!clipwire::Unpack(payload, video, duration) || video.width() > 65535 || video.height() > 65535)
                return false;
            m_videoSize = video.isEmpty() ? QSize() : video; // no picture: a sound
            m_duration = std::max<qint64>(duration, 0);
            // The process for the next clip starts once this one's first frame is on the
            // screen: loading its libraries beside this clip's start would delay it.
            QTimer::singleShot(SpareDelayMs, QCoreApplication::instance(),
                               [options = m_options] { StartClipProcessAhead(options); });
            Emit({TClipEvent::Loaded, {}});
            return true;
        }
        case TType::Failed: {
            QString why;
            if (!clipwire::Unpack(payload, why))
                return false;
            Emit({TClipEvent::Failed, why.left(1000)});
            return true;
        }
        case TType::Ended:
            m_atEnd = true;
            Emit({TClipEvent::Ended, {}});
            return payload.isEmpty();
        case TType::State: {
            qint64 position = 0, duration = 0;
            bool atEnd = false;
            if (!clipwire::Unpack(payload, position, duration, atEnd))
                return false;
            m_position = std::max<qint64>(position, 0);
            m_duration = std::max<qint64>(duration, 0);
            m_atEnd = atEnd;
            return true;
        }
        case TType::Frame: {
            QSize size;
            if (!clipwire::Unpack(payload, size))
                return false;
            if (!m_surface || !m_surface->TakeFrame(size))
                Send(TType::FrameDone, QByteArray());
            return true;
        }
        default:
            return false;
        }
    }
    // The clip process ended, or said something it should not: the clip ends with an error.
    void Gone()
    {
        if (m_gone)
            return;
        m_gone = true;
        if (m_notifier)
            m_notifier->setEnabled(false);
        // How it ended, if it has (it closes the socket as it ends, a moment before).
        QString how = QStringLiteral("said something it should not, and was ended");
        for (int waited = 0; m_pid > 0 && waited < 50; waited += 5) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                how = WIFSIGNALED(status) ? QStringLiteral("was ended by signal %1 (%2)")
                                                .arg(WTERMSIG(status))
                                                .arg(QString::fromLatin1(sigdescr_np(WTERMSIG(status))))
                                          : QStringLiteral("exited with status %1").arg(WEXITSTATUS(status));
                m_pid = -1;
                break;
            }
            QThread::msleep(5);
        }
        if (m_pid > 0)
            ::kill(m_pid, SIGKILL);
        if (!m_failed)
            Broken(m_greeted ? QStringLiteral("The clip player stopped.")
                             : QStringLiteral("The clip player lumivo-clips could not be started."),
                   how);
    }
    void Silent()
    {
        if (m_gone)
            return;
        m_failed = true; // told below, once the process is ended
        Gone();
        Broken(QStringLiteral("The clip player does not answer."), // may end this engine
               QStringLiteral("said nothing for %1 seconds, and was ended").arg(SilenceMs / 1000));
    }
    // The clip process failed, not the clip: the clip ends with `reason`, and what happened
    // goes to standard error.
    void Broken(const QString& reason, const QString& what)
    {
        std::fprintf(stderr, "lumivo: the clip process playing \"%s\" %s\n", qPrintable(m_fileName), qPrintable(what));
        Fail(reason);
    }
    void Fail(const QString& reason)
    {
        m_failed = true;
        Emit({TClipEvent::Failed, CannotPlay(m_fileName, reason)});
    }
    void Emit(const TClipEvent& event)
    {
        if (m_onEvent)
            m_onEvent(event); // may end this engine
    }

    std::function<void(const TClipEvent&)> m_onEvent;
    TOptions m_options;
    QString m_fileName;
    int m_socket = -1;
    pid_t m_pid = -1;
    bool m_gone = false;
    bool m_greeted = false;
    bool m_failed = false; // a failure has been told
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QTimer> m_silence;
    QObject m_context; // what the notifier's reads go with
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    QPointer<TRemoteSurface> m_surface;
    QSize m_videoSize;
    qint64 m_position = 0;
    qint64 m_duration = 0;
    bool m_atEnd = false;
};

} // namespace

std::unique_ptr<TClipEngine> CreateClipEngine(TClipEngineSetup setup)
{
    auto engine = std::make_unique<TRemoteEngine>(std::move(setup));
    QString error;
    if (!engine->Start(error)) {
        std::fprintf(stderr, "lumivo: %s\n", qPrintable(error));
        throw ELumivoError(error);
    }
    return engine;
}

void StartClipProcessAhead(const QList<QPair<QByteArray, QByteArray>>& options)
{
    QString ignored;
    if (Spare().Pid <= 0)
        TRemoteEngine::Spawn(Spare(), options, ignored);
}
