#include "platform/SingleInstance.h"

#include "platform/SafeFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
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
    const QString path = SocketPath(key);
    if (path.isEmpty())
        return;
    m_server = new QLocalServer(this);
    // No socket options: with them Qt binds in a temporary folder and renames the socket
    // into place, which silently replaces the socket of a program that is running. The
    // private folder already keeps other users out.
    if (!m_server->listen(path)) {
        // A socket left behind by a program that crashed answers nobody: replace it. One
        // that somebody still listens on belongs to a running program and stays.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(1000))
            return;
        QLocalServer::removeServer(path);
        if (!m_server->listen(path))
            return;
    }
    m_listening = true;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection())
            TakeConnection(socket);
    });
}

void TSingleInstance::TakeConnection(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (PeerUserId(*socket) != long(::geteuid())) {
        socket->abort(); // only the user's own starts may talk to the program
        socket->deleteLater();
        return;
    }
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
    if (!socket.waitForConnected(2000))
        return SendResult::NoServer;
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
