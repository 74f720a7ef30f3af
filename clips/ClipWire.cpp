#include "clips/ClipWire.h"

#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace clipwire {

bool Send(int socket, TType type, const QByteArray& payload, int fd)
{
    if (payload.size() > MaxPayload)
        return false;
    char head[4];
    qToLittleEndian<quint32>(quint32(type), head);
    iovec parts[2] = {{head, sizeof head}, {const_cast<char*>(payload.constData()), size_t(payload.size())}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = payload.isEmpty() ? 1 : 2;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    }
    ssize_t sent;
    do
        sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == ssize_t(sizeof head + size_t(payload.size()));
}

bool Receive(int socket, TType& type, QByteArray& payload, int& fd, bool& wouldBlock)
{
    fd = -1;
    wouldBlock = false;
    QByteArray buffer(4 + MaxPayload + 1, Qt::Uninitialized);
    iovec part{buffer.data(), size_t(buffer.size())};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got;
    do
        got = ::recvmsg(socket, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        wouldBlock = true;
        return true;
    }
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS && c->cmsg_len == CMSG_LEN(sizeof(int)))
            std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
    // Nothing (the other end is gone), too short, too long or cut: the talk ends.
    if (got < 4 || got > 4 + MaxPayload || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC))) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        return false;
    }
    type = TType(qFromLittleEndian<quint32>(buffer.constData()));
    payload = buffer.mid(4, got - 4);
    return true;
}

} // namespace clipwire
