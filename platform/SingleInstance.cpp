#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

QString TSingleInstance::ServerName(const QString& key)
{
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("lumivo-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

TSingleInstance::TSingleInstance(const QString& key, std::function<void(const QStringList&)> onRequest,
                                 QObject* parent)
    : QObject(parent), m_onRequest(std::move(onRequest))
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = ServerName(key);
    if (!m_server->listen(name)) {
        // A socket left behind by a program that crashed answers nobody: take it over.
        QLocalServer::removeServer(name);
        if (!m_server->listen(name))
            return;
    }
    m_listening = true;
    connect(m_server, &QLocalServer::newConnection, this, &TSingleInstance::ReadRequest);
}

void TSingleInstance::ReadRequest()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            QStringList files;
            in >> files;
            if (!in.commitTransaction())
                return; // wait for the rest
            socket->write("ok");
            socket->flush();
            if (m_onRequest)
                m_onRequest(files);
        });
    }
}

bool TSingleInstance::SendToRunning(const QString& key, const QStringList& files)
{
    QLocalSocket socket;
    socket.connectToServer(ServerName(key));
    if (!socket.waitForConnected(2000))
        return false;
    QByteArray request;
    QDataStream out(&request, QIODevice::WriteOnly);
    out << files;
    socket.write(request);
    if (!socket.waitForBytesWritten(2000))
        return false;
    // The running program confirms, so that a dying one is not taken for an answer.
    return socket.waitForReadyRead(5000) && socket.readAll() == "ok";
}
