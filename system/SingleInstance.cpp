#include "system/SingleInstance.h"

#include "system/SafeFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr quint32 RequestMagic = 0x4c4d5602; // "LMV" and the protocol's version

QByteArray Frame(const TInstanceRequest& request)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << RequestMagic << request.SlideShow << request.Show << request.Files;
    QByteArray framed(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), framed.data());
    return framed + payload;
}

bool Unframe(const QByteArray& payload, TInstanceRequest& request)
{
    QDataStream in(payload);
    quint32 magic = 0;
    in >> magic;
    if (magic != RequestMagic)
        return false;
    in >> request.SlideShow >> request.Show >> request.Files;
    return in.status() == QDataStream::Ok;
}

// The socket's address; false when the path does not fit one.
bool AddressOf(const QString& path, sockaddr_un& address)
{
    const QByteArray name = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}

int NewSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0); }

// Waits up to ms for fd to be ready for events; false on a timeout or an error.
bool WaitFor(int fd, short events, int ms)
{
    pollfd p = {fd, events, 0};
    int r;
    while ((r = ::poll(&p, 1, ms)) < 0 && errno == EINTR) {
    }
    return r > 0 && (p.revents & events);
}

void CloseDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

long PeerUserId(int socket)
{
    ucred credentials = {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return -1;
    return long(credentials.uid);
}

QString TSingleInstance::SocketPath(const QString& key)
{
    const QString folder = safefile::PrivateRuntimeFolder();
    if (folder.isEmpty())
        return QString();
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return folder + QStringLiteral("/lumivo-") + QString::fromLatin1(hash);
}

// One connection of a later start, read as it arrives; it ends itself when its request has
// been taken, when it breaks a rule, or when it stays idle too long.
class TSingleInstance::TConnection : public QObject {
public:
    TConnection(int fd, TSingleInstance* owner) : QObject(owner), m_fd(fd), m_owner(owner)
    {
        m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { Read(); });
        QTimer::singleShot(IdleTimeoutMs, this, [this] { End(); });
    }
    ~TConnection() override { CloseDescriptor(m_fd); }

    void End()
    {
        m_notifier->setEnabled(false);
        CloseDescriptor(m_fd);
        m_owner->m_connections.removeAll(this);
        deleteLater();
    }

private:
    void Read()
    {
        char chunk[65536];
        bool ended = false; // by the other end, or broken
        for (;;) {
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n > 0) {
                m_data.append(chunk, n);
                if (m_data.size() >= 4 && qFromBigEndian<quint32>(m_data.constData()) > MaxRequestSize)
                    return End(); // announced more than the limit: cut off, not buffered
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            ended = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
            break;
        }
        // A whole request is taken also when its sender has stopped waiting for the answer.
        const qint64 size = m_data.size() >= 4 ? qint64(qFromBigEndian<quint32>(m_data.constData())) : -1;
        if (size < 0 || m_data.size() < 4 + size) {
            if (ended)
                End();
            return; // wait for the rest
        }
        TInstanceRequest request;
        if (!Unframe(m_data.mid(4, size), request))
            return End();
        [[maybe_unused]] const ssize_t w = ::send(m_fd, "ok", 2, MSG_NOSIGNAL);
        TSingleInstance* owner = m_owner;
        End();
        if (owner->m_onRequest)
            owner->m_onRequest(request);
    }

    int m_fd;
    TSingleInstance* m_owner;
    QSocketNotifier* m_notifier;
    QByteArray m_data;
};

TSingleInstance::TSingleInstance(const QString& key, std::function<void(const TInstanceRequest&)> onRequest,
                                 QObject* parent)
    : QObject(parent), m_onRequest(std::move(onRequest))
{
    m_path = SocketPath(key);
    if (m_path.isEmpty())
        return;
    Listen();
    if (!m_listening)
        return;
    // Accepting stops when it fails for a reason that does not pass (no file left to open,
    // say): it is tried again every second.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
        if (!m_notifier->isEnabled())
            m_notifier->setEnabled(true);
    });
    watch->start(1000);
}

TSingleInstance::~TSingleInstance()
{
    if (m_listening)
        ::unlink(QFile::encodeName(m_path).constData());
    CloseDescriptor(m_fd);
}

bool TSingleInstance::Bind()
{
    sockaddr_un address;
    if (!AddressOf(m_path, address))
        return false;
    m_fd = NewSocket();
    if (m_fd < 0)
        return false;
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && ::listen(m_fd, 16) == 0)
        return true;
    CloseDescriptor(m_fd);
    return false;
}

void TSingleInstance::Listen()
{
    // Bound in place, never renamed into place: a socket that is there belongs either to a
    // running program, which keeps it, or to one that crashed. The private folder keeps
    // other users out.
    if (!Bind()) {
        // A socket left behind by a program that crashed refuses connections: replace it.
        // One that somebody listens on belongs to a running program and stays, also when
        // that program is too busy to take the probe.
        sockaddr_un address;
        if (!AddressOf(m_path, address))
            return;
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (probe < 0)
            return;
        const bool refused = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
                             errno == ECONNREFUSED;
        ::close(probe);
        if (!refused)
            return;
        ::unlink(QFile::encodeName(m_path).constData());
        if (!Bind())
            return;
    }
    m_listening = true;
    m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { Accept(); });
}

void TSingleInstance::Accept()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                m_notifier->setEnabled(false); // out of descriptors: tried again in a second
            return;
        }
        if (PeerUserId(fd) != long(::geteuid())) {
            ::close(fd); // only the user's own starts may talk to the program
            continue;
        }
        // Beyond the connections served at once, the oldest goes; none stays idle for long.
        while (m_connections.size() >= MaxConnections)
            m_connections.first()->End();
        m_connections.append(new TConnection(fd, this));
    }
}

TSingleInstance::SendResult TSingleInstance::SendToRunning(const QString& key, const TInstanceRequest& request,
                                                          int answerTimeoutMs)
{
    const QString path = SocketPath(key);
    sockaddr_un address;
    if (path.isEmpty() || !AddressOf(path, address))
        return SendResult::Unavailable;
    int fd = NewSocket();
    if (fd < 0)
        return SendResult::Unavailable;
    const auto result = [&fd](SendResult r) {
        CloseDescriptor(fd);
        return r;
    };
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // Nobody there, or a socket nobody listens on: this start is the first. Anything
        // else (a program too busy to take the connection) is a program that runs.
        if (errno == ENOENT || errno == ECONNREFUSED)
            return result(SendResult::NoServer);
        if (errno != EAGAIN && errno != EINPROGRESS)
            return result(SendResult::NoServer);
        int error = 0;
        socklen_t size = sizeof error;
        if (!WaitFor(fd, POLLOUT, 2000) || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return result(error == ECONNREFUSED ? SendResult::NoServer : SendResult::NotAnswering);
    }
    // A socket whose server is another user's is never talked to.
    if (PeerUserId(fd) != long(::geteuid()))
        return result(SendResult::NoServer);
    const QByteArray framed = Frame(request);
    for (qsizetype sent = 0; sent < framed.size();) {
        if (!WaitFor(fd, POLLOUT, 2000))
            return result(SendResult::NotAnswering);
        const ssize_t n = ::send(fd, framed.constData() + sent, size_t(framed.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return result(SendResult::NotAnswering);
        sent += qMax<ssize_t>(n, 0);
    }
    // The running program confirms, so that a dying one is not taken for an answer.
    QByteArray answer;
    while (answer.size() < 2 && WaitFor(fd, POLLIN, answerTimeoutMs)) {
        char buffer[2];
        const ssize_t n = ::read(fd, buffer, size_t(2 - answer.size()));
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            break;
        answer.append(buffer, qMax<ssize_t>(n, 0));
    }
    return result(answer == "ok" ? SendResult::Delivered : SendResult::NotAnswering);
}
