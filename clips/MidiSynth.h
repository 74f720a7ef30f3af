#pragma once

// MIDI made into sound as it is read: 16-bit stereo samples at 44.1 kHz from fluidsynth,
// whose player is timed by the samples it renders, so that the music starts with the first
// sample and no note is lost to a device starting up. The stream is a WAV file (a header, then
// the samples), which the clip engine plays as any other; after the music, the notes still
// sounding ring out (at most RingOutSeconds), and the stream ends when they are silent.

#include "clips/MidiFile.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_player_t fluid_player_t;

namespace midi {

constexpr int SampleRate = 44100;
// The longest a MIDI file is played for, whatever it claims (some 30 years).
constexpr double MaxSeconds = 1e9;
constexpr int BytesPerFrame = 4;
constexpr int WavHeaderBytes = 44;
constexpr double RingOutSeconds = 1.0;

// The General MIDI sound fonts looked for, the system's choice first.
QStringList SoundFonts();

class TSynthStream {
public:
    // Null when no sound font could be loaded.
    static std::unique_ptr<TSynthStream> Open(const TTiming& timing);
    ~TSynthStream();
    TSynthStream(const TSynthStream&) = delete;
    TSynthStream& operator=(const TSynthStream&) = delete;

    int64_t Size() const { return WavHeaderBytes + m_frames * BytesPerFrame; }
    int64_t Read(char* buffer, uint64_t bytes);
    int64_t Seek(int64_t offset);

private:
    TSynthStream() = default;
    bool StartAt(int64_t frame);

    TTiming m_timing;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    fluid_player_t* m_player = nullptr;
    int64_t m_frames = 0;          // the music's, and the longest ring-out after it
    int64_t m_musicFrames = 0;
    int64_t m_at = 0;              // the next frame to render
    int64_t m_headerAt = 0;        // the next byte of the header to give, while below its size
};

} // namespace midi
