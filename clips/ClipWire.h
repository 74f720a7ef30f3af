#pragma once

// What the program and its clip process (lumivo-clips) say to each other over a Unix
// socket pair of packets: one message a packet, a type, a version-checked greeting, a payload
// written and read with QDataStream (every read checked), and at most one descriptor (the
// clip's file, the shared memory a frame is drawn into). A malformed message ends the talk.

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>

namespace clipwire {

constexpr quint32 Version = 2;
constexpr int MaxPayload = 64 * 1024;

enum class TType : quint32 {
    // to the clip process
    Load = 1,  // whether video is drawn, the file's name; the file's descriptor
    SetPaused, // bool
    Seek,      // qint64 milliseconds
    SetVolume, // double, 0..1
    Surface,   // QSize pixels, qint32 bytes a row; a shared memory descriptor (none: no picture)
    FrameDone, // the program has taken the frame drawn last
    Setup,     // the player's options: sent first, the player is made ready before its clip
    // from it
    Ready = 100, // quint32 version
    Loaded,      // QSize video, qint64 duration
    Failed,      // QString why
    Ended,       //
    State,       // qint64 position, qint64 duration, bool at the end
    Frame,       // QSize pixels: a frame is in the shared memory
};

// Sends one message with at most one descriptor (-1: none). False when the other end is gone.
bool Send(int socket, TType type, const QByteArray& payload = QByteArray(), int fd = -1);

// Receives one message that is waiting, its descriptor (or -1) in fd. False when the other
// end is gone or the message is malformed; `wouldBlock` is set when nothing was waiting.
bool Receive(int socket, TType& type, QByteArray& payload, int& fd, bool& wouldBlock);

// A payload made of the given values.
template <class... T>
QByteArray Pack(const T&... values)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    (out << ... << values);
    return bytes;
}

// Reads the given values from a payload; false when it does not hold them exactly.
template <class... T>
bool Unpack(const QByteArray& bytes, T&... values)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    (in >> ... >> values);
    return in.status() == QDataStream::Ok && in.atEnd();
}

} // namespace clipwire
