#include "clips/MidiSynth.h"

#include <QFileInfo>

#include <fluidsynth.h>

#include <algorithm>

namespace midi {

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
    stream->m_frames = seconds > 0 ? int64_t(std::min(seconds, MaxSeconds) * SampleRate) : 0; // NaN gives 0
    stream->m_settings = new_fluid_settings();
    if (!stream->m_settings)
        return nullptr;
    fluid_settings_setnum(stream->m_settings, "synth.sample-rate", SampleRate);
    fluid_settings_setstr(stream->m_settings, "player.timing-source", "sample");
    fluid_settings_setint(stream->m_settings, "synth.cpu-cores", 1);
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
    const int64_t frames = std::min<int64_t>(int64_t(bytes / BytesPerFrame), m_frames - m_at);
    if (frames <= 0)
        return 0;
    // Rendered in blocks, so that one call never asks the synthesizer for more than it takes.
    int64_t done = 0;
    while (done < frames) {
        const int block = int(std::min<int64_t>(frames - done, 4096));
        char* out = buffer + done * BytesPerFrame;
        if (fluid_synth_write_s16(m_synth, block, out, 0, 2, out, 1, 2) != FLUID_OK)
            return done ? done * BytesPerFrame : -1;
        done += block;
    }
    m_at += frames;
    return frames * BytesPerFrame;
}

int64_t TSynthStream::Seek(int64_t offset)
{
    const int64_t frame = std::clamp<int64_t>(offset / BytesPerFrame, 0, m_frames);
    if (frame != m_at && !StartAt(frame))
        return -1;
    return frame * BytesPerFrame;
}

} // namespace midi
