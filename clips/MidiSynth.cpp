#include "clips/MidiSynth.h"

#include <QFileInfo>
#include <QtEndian>

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace midi {

// A block whose samples all stay within this (-60 dB) is not heard.
constexpr int SilentLevel = 32;

QStringList SoundFonts()
{
    return {QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"), QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"),
            QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"), QStringLiteral("/usr/share/sounds/sf2/MuseScore_General.sf2")};
}

std::unique_ptr<TSynthStream> TSynthStream::Open(const TTiming& timing)
{
    static const bool quiet = [] {
        // The synthesizer's own messages would go to the terminal.
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        return true;
    }();
    Q_UNUSED(quiet);

    std::unique_ptr<TSynthStream> stream(new TSynthStream);
    stream->m_timing = timing;
    // A file may claim years of music (it plays silence until it is ended): the length is
    // held within what a count of bytes can say.
    const double seconds = timing.Seconds();
    stream->m_musicFrames = seconds > 0 ? int64_t(std::min(seconds, MaxSeconds) * SampleRate) : 0; // NaN gives 0
    stream->m_frames = stream->m_musicFrames + int64_t(RingOutSeconds * SampleRate);
    stream->m_settings = new_fluid_settings();
    if (!stream->m_settings)
        return nullptr;
    fluid_settings_setnum(stream->m_settings, "synth.sample-rate", SampleRate);
    fluid_settings_setstr(stream->m_settings, "player.timing-source", "sample");
    fluid_settings_setint(stream->m_settings, "synth.cpu-cores", 1);
    // The sound font's samples are read as the music's instruments need them: a General MIDI
    // font is over a hundred megabytes, and a file uses a few of its instruments.
    fluid_settings_setint(stream->m_settings, "synth.dynamic-sample-loading", 1);
    stream->m_synth = new_fluid_synth(stream->m_settings);
    if (!stream->m_synth)
        return nullptr;
    bool loaded = false;
    for (const QString& font : SoundFonts()) {
        if (QFileInfo(font).isFile() &&
            fluid_synth_sfload(stream->m_synth, QFile::encodeName(font).constData(), 1) != FLUID_FAILED) {
            loaded = true;
            break;
        }
    }
    if (!loaded || !stream->StartAt(0))
        return nullptr;
    return stream;
}

TSynthStream::~TSynthStream()
{
    if (m_player)
        delete_fluid_player(m_player);
    if (m_synth)
        delete_fluid_synth(m_synth);
    if (m_settings)
        delete_fluid_settings(m_settings);
}

// A fresh player from the file's start, moved on to `frame`: notes that sound go, the
// synthesizer is reset as the player starts, and the controllers before that moment are
// replayed by the player's seek.
bool TSynthStream::StartAt(int64_t frame)
{
    if (m_player)
        delete_fluid_player(m_player);
    fluid_synth_all_sounds_off(m_synth, -1);
    m_player = new_fluid_player(m_synth);
    if (!m_player || fluid_player_add_mem(m_player, m_timing.Music.constData(), size_t(m_timing.Music.size())) != FLUID_OK)
        return false;
    if (fluid_player_play(m_player) != FLUID_OK)
        return false;
    if (frame > 0)
        fluid_player_seek(m_player, int(std::min<qint64>(m_timing.TickAt(double(frame) / SampleRate), INT_MAX)));
    m_at = frame;
    return true;
}

int64_t TSynthStream::Read(char* buffer, uint64_t bytes)
{
    int64_t given = 0;
    if (m_headerAt < WavHeaderBytes) {
        // RIFF/WAVE, 16-bit stereo PCM; sizes that do not fit the fields say "to the end".
        const int64_t data = m_frames * BytesPerFrame;
        const quint32 dataSize = data > 0xFFFFFFFFll - 36 ? 0xFFFFFFFFu - 36 : quint32(data);
        uchar header[WavHeaderBytes];
        std::memcpy(header, "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0", 24);
        qToLittleEndian<quint32>(dataSize + 36, header + 4);
        qToLittleEndian<quint32>(SampleRate, header + 24);
        qToLittleEndian<quint32>(SampleRate * BytesPerFrame, header + 28);
        qToLittleEndian<quint16>(BytesPerFrame, header + 32);
        qToLittleEndian<quint16>(16, header + 34);
        std::memcpy(header + 36, "data", 4);
        qToLittleEndian<quint32>(dataSize, header + 40);
        given = std::min<int64_t>(int64_t(bytes), WavHeaderBytes - m_headerAt);
        std::memcpy(buffer, header + m_headerAt, size_t(given));
        m_headerAt += given;
        buffer += given;
        bytes -= uint64_t(given);
    }
    const int64_t frames = std::min<int64_t>(int64_t(bytes / BytesPerFrame), m_frames - m_at);
    if (frames <= 0)
        return given;
    // Rendered in blocks, so that one call never asks the synthesizer for more than it takes.
    int64_t done = 0;
    while (done < frames) {
        // Past the music, only while notes can still be heard: then the stream ends.
        const bool ringing = m_at + done >= m_musicFrames;
        if (ringing && fluid_synth_get_active_voice_count(m_synth) == 0) {
            m_frames = m_at + done;
            break;
        }
        const int block = int(std::min<int64_t>(frames - done, 4096));
        char* out = buffer + done * BytesPerFrame;
        if (fluid_synth_write_s16(m_synth, block, out, 0, 2, out, 1, 2) != FLUID_OK)
            return done || given ? given + done * BytesPerFrame : -1;
        if (ringing) {
            const auto* samples = reinterpret_cast<const qint16*>(out);
            const bool heard = std::any_of(samples, samples + block * 2, [](qint16 s) { return std::abs(s) > SilentLevel; });
            if (!heard) { // a release's inaudible tail
                m_frames = m_at + done;
                break;
            }
        }
        done += block;
    }
    m_at += done;
    return given + done * BytesPerFrame;
}

int64_t TSynthStream::Seek(int64_t offset)
{
    if (offset < WavHeaderBytes) {
        if (m_at != 0 && !StartAt(0))
            return -1;
        m_headerAt = std::max<int64_t>(offset, 0);
        return m_headerAt;
    }
    const int64_t frame = std::clamp<int64_t>((offset - WavHeaderBytes) / BytesPerFrame, 0, m_frames);
    if (frame != m_at && !StartAt(frame))
        return -1;
    m_headerAt = WavHeaderBytes;
    return WavHeaderBytes + frame * BytesPerFrame;
}

} // namespace midi
