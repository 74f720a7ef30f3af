#pragma once

// Small media files made by the tests themselves: a WAV tone written sample by sample, a
// MIDI file written byte by byte, and video clips made with GStreamer's command-line tool.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QtEndian>

#include <cmath>

namespace mediatest {

inline QByteArray Le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
inline QByteArray Le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// A 440 Hz tone, 16-bit mono at 8000 samples a second.
inline QByteArray Wav(int milliseconds)
{
    const int rate = 8000, samples = rate * milliseconds / 1000;
    QByteArray pcm;
    for (int i = 0; i < samples; ++i)
        pcm += Le16(quint16(qint16(8000 * std::sin(2 * 3.14159265 * 440 * i / rate))));
    QByteArray wav = "RIFF" + Le32(quint32(36 + pcm.size())) + "WAVEfmt " + Le32(16) + Le16(1) + Le16(1) +
                     Le32(rate) + Le32(rate * 2) + Le16(2) + Le16(16) + "data" + Le32(quint32(pcm.size()));
    return wav + pcm;
}

// One note for half a second (480 ticks a quarter at 120 beats a minute).
inline QByteArray Midi()
{
    const QByteArray track("\x00\x90\x3C\x64\x83\x60\x80\x3C\x00\x00\xFF\x2F\x00", 13);
    QByteArray header("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 14);
    QByteArray length(4, '\0');
    qToBigEndian(quint32(track.size()), length.data());
    return header + "MTrk" + length + track;
}

inline bool Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A 320 x 240 test picture clip of `frames` frames at 10 (AVI) or 25 (MPEG) a second.
inline bool Video(const QString& path, bool mpeg, int frames)
{
    const QString caps = mpeg ? QStringLiteral("video/x-raw,width=320,height=240,framerate=25/1")
                              : QStringLiteral("video/x-raw,width=320,height=240,framerate=10/1");
    QStringList pipeline = {"-q", "videotestsrc", QStringLiteral("num-buffers=%1").arg(frames), "!", caps, "!"};
    if (mpeg)
        pipeline << "videoconvert" << "!" << "mpeg2enc" << "!" << "mpegvideoparse" << "!" << "mpegpsmux";
    else
        pipeline << "jpegenc" << "!" << "avimux";
    pipeline << "!" << "filesink" << "location=" + path;
    QProcess gst;
    gst.start(QStringLiteral("gst-launch-1.0"), pipeline);
    return gst.waitForFinished(30000) && gst.exitCode() == 0 && QFile(path).size() > 0;
}

// About half a second of a tone, MP3-encoded by GStreamer.
inline bool Mp3(const QString& path)
{
    QProcess gst;
    gst.start(QStringLiteral("gst-launch-1.0"), {"-q", "audiotestsrc", "num-buffers=20", "!", "audioconvert", "!",
                                                 "lamemp3enc", "!", "id3v2mux", "!", "filesink", "location=" + path});
    return gst.waitForFinished(30000) && gst.exitCode() == 0 && QFile(path).size() > 0;
}

} // namespace mediatest
