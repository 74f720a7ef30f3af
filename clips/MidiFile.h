#pragma once

// A Standard MIDI File's timing: where its music is (a RIFF MIDI file wraps it), how long it
// plays and which tick a moment falls on, and its music as the synthesizer is given it, bursts
// of events thinned. Every read is length-checked; a file that is not MIDI or is cut short is
// refused.

#include <QByteArray>

#include <optional>
#include <vector>

namespace midi {

struct TTempoChange {
    qint64 Tick;
    qint64 MicrosPerQuarter;
};

struct TTiming {
    QByteArray Music;                 // the Standard MIDI File, as the synthesizer is to play it
    qint64 TicksPerQuarter = 0;
    qint64 EndTick = 0;               // the last track's end
    std::vector<TTempoChange> Tempos; // in tick order

    double SecondsAt(qint64 tick) const;
    qint64 TickAt(double seconds) const;
    double Seconds() const { return SecondsAt(EndTick); }
};

// True when the bytes begin as a MIDI file (plain or RIFF).
bool LooksLikeMidi(const QByteArray& head);
std::optional<TTiming> ReadTiming(const QByteArray& file);

} // namespace midi
