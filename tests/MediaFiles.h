#pragma once

// Small media files made by the tests themselves: a WAV tone written sample by sample, a
// MIDI file written byte by byte, and clips made with FFmpeg's command-line tool.

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

// One note for half a second (480 ticks a quarter at 120 beats a minute), or the events
// given (before the end of the track).
inline QByteArray Midi(const QByteArray& events = QByteArray("\x00\x90\x3C\x64\x83\x60\x80\x3C\x00", 9))
{
    const QByteArray track = events + QByteArray("\x00\xFF\x2F\x00", 4);
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

// A clip made by FFmpeg from its arguments (inputs, codecs), written to `path`.
inline bool Ffmpeg(const QString& path, const QStringList& arguments)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + arguments + QStringList{path});
    return ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0 && QFile(path).size() > 0;
}

// A 320 x 240 test picture clip of `frames` frames at 10 (AVI, Motion JPEG) or 25 (MPEG-2
// programme stream) a second.
inline bool Video(const QString& path, bool mpeg, int frames)
{
    const QString source = QStringLiteral("testsrc=size=320x240:rate=%1").arg(mpeg ? 25 : 10);
    return Ffmpeg(path, {"-f", "lavfi", "-i", source, "-frames:v", QString::number(frames), "-c:v",
                         mpeg ? "mpeg2video" : "mjpeg", "-f", mpeg ? "vob" : "avi"});
}

// About half a second of a tone, MP3-encoded, with an ID3 tag.
inline bool Mp3(const QString& path)
{
    return Ffmpeg(path, {"-f", "lavfi", "-i", "sine=frequency=440:duration=0.5", "-c:a", "libmp3lame",
                         "-metadata", "title=tone", "-f", "mp3"});
}

} // namespace mediatest
