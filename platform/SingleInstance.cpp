#include "platform/SingleInstance.h"

#include "platform/SafeFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>

#include <sys/socket.h>
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

} // namespace

long PeerUserId(const QLocalSocket& socket)
{
    ucred credentials = {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
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

TSingleInstance::TSingleInstance(const QString& key, std::function<void(const TInstanceRequest&)> onRequest,
                                 QObject* parent)
    : QObject(parent), m_onRequest(std::move(onRequest))
{
    m_path = SocketPath(key);
    if (m_path.isEmpty())
        return;
    m_server = new QLocalServer(this);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection())
            TakeConnection(socket);
    });
    Listen();
    if (!m_listening)
        return;
    // The toolkit stops listening, and removes the socket, when accepting a connection
    // fails (with no file left to open, say): listening starts again at once.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
        if (!m_server->isListening())
            Listen();
    });
    watch->start(1000);
}

void TSingleInstance::Listen()
{
    // No socket options: with them Qt binds in a temporary folder and renames the socket
    // into place, which silently replaces the socket of a program that is running. The
    // private folder already keeps other users out.
    if (!m_server->listen(m_path)) {
        // A socket left behind by a program that crashed refuses connections: replace it.
        // One that somebody listens on belongs to a running program and stays, also when
        // that program is too busy to take the probe.
        QLocalSocket probe;
        probe.connectToServer(m_path);
        if (probe.waitForConnected(1000) || probe.error() != QLocalSocket::ConnectionRefusedError)
            return;
        QLocalServer::removeServer(m_path);
        if (!m_server->listen(m_path))
            return;
    }
    m_listening = true;
}

void TSingleInstance::TakeConnection(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (PeerUserId(*socket) != long(::geteuid())) {
        socket->abort(); // only the user's own starts may talk to the program
        socket->deleteLater();
        return;
    }
    // Beyond the connections served at once, the oldest goes; none stays idle for long.
    m_connections.removeAll(nullptr);
    while (m_connections.size() >= MaxConnections)
        if (QLocalSocket* oldest = m_connections.takeFirst())
            oldest->abort();
    m_connections.append(socket);
    QTimer::singleShot(IdleTimeoutMs, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (socket->bytesAvailable() < 4)
            return;
        char header[4];
        socket->peek(header, 4);
        const quint32 size = qFromBigEndian<quint32>(header);
        if (size > MaxRequestSize) {
            socket->abort();
            return;
        }
        if (socket->bytesAvailable() < 4 + qint64(size))
            return; // wait for the rest
        socket->skip(4);
        TInstanceRequest request;
        if (!Unframe(socket->read(size), request)) {
            socket->abort();
            return;
        }
        socket->write("ok");
        socket->flush();
        if (m_onRequest)
            m_onRequest(request);
    });
}

TSingleInstance::SendResult TSingleInstance::SendToRunning(const QString& key, const TInstanceRequest& request,
                                                          int answerTimeoutMs)
{
    const QString path = SocketPath(key);
    if (path.isEmpty())
        return SendResult::Unavailable;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(2000)) {
        // Nobody there, or a socket nobody listens on: this start is the first. Anything
        // else (a program too busy to take the connection) is a program that runs.
        const auto error = socket.error();
        return error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError
                   ? SendResult::NoServer
                   : SendResult::NotAnswering;
    }
    // A socket whose server is another user's is never talked to.
    if (PeerUserId(socket) != long(::geteuid()))
        return SendResult::NoServer;
    socket.write(Frame(request));
    if (!socket.waitForBytesWritten(2000))
        return SendResult::NotAnswering;
    // The running program confirms, so that a dying one is not taken for an answer.
    QByteArray answer;
    while (answer.size() < 2 && socket.waitForReadyRead(answerTimeoutMs))
        answer += socket.readAll();
    return answer == "ok" ? SendResult::Delivered : SendResult::NotAnswering;
}
