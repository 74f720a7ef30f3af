#include "clips/MidiFile.h"

#include <QtEndian>

#include <algorithm>

namespace midi {
namespace {

constexpr qint64 DefaultTempo = 500000; // 120 quarters a minute

quint32 Be32(const char* p) { return qFromBigEndian<quint32>(p); }
quint32 Le32(const char* p) { return qFromLittleEndian<quint32>(p); }

// The Standard MIDI File inside a RIFF MIDI file's "data" chunk.
std::optional<QByteArray> RiffMusic(const QByteArray& file)
{
    qint64 at = 12;
    while (at + 8 <= file.size()) {
        const qint64 size = Le32(file.constData() + at + 4);
        if (file.mid(at, 4) == "data")
            return size <= file.size() - at - 8 ? file.mid(at + 8, size) : std::optional<QByteArray>();
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

class TReader {
public:
    TReader(const char* data, qint64 size) : m_p(data), m_end(data + size) {}
    bool AtEnd() const { return m_p >= m_end; }
    bool Byte(quint8& b)
    {
        if (m_p >= m_end)
            return false;
        b = quint8(*m_p++);
        return true;
    }
    bool Skip(qint64 n)
    {
        if (n < 0 || n > m_end - m_p)
            return false;
        m_p += n;
        return true;
    }
    bool VarLen(qint64& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            quint8 b;
            if (!Byte(b))
                return false;
            value = (value << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return false;
    }
    const char* Here() const { return m_p; }

private:
    const char* m_p;
    const char* m_end;
};

// Reads one track: its end tick, and its tempo changes into `tempos`.
bool ReadTrack(const char* data, qint64 size, qint64& endTick, std::vector<TTempoChange>& tempos)
{
    TReader r(data, size);
    qint64 tick = 0;
    quint8 status = 0;
    while (!r.AtEnd()) {
        qint64 delta;
        quint8 b;
        if (!r.VarLen(delta) || !r.Byte(b))
            return false;
        tick += delta;
        if (b == 0xFF) { // meta event
            quint8 type;
            qint64 length;
            if (!r.Byte(type) || !r.VarLen(length))
                return false;
            const char* body = r.Here();
            if (!r.Skip(length))
                return false;
            if (type == 0x51 && length == 3) {
                const qint64 micros = (quint8(body[0]) << 16) | (quint8(body[1]) << 8) | quint8(body[2]);
                if (micros > 0)
                    tempos.push_back({tick, micros});
            }
            if (type == 0x2F)
                break;
            status = 0; // cancels running status, for the synthesizer as for the standard
            continue;
        }
        if (b == 0xF0 || b == 0xF7) { // system exclusive
            qint64 length;
            if (!r.VarLen(length) || !r.Skip(length))
                return false;
            status = 0;
            continue;
        }
        int dataBytes;
        if (b & 0x80) {
            status = b;
            dataBytes = (b & 0xE0) == 0xC0 ? 1 : 2;
        } else {
            if (!status)
                return false; // running status with no status before it
            dataBytes = ((status & 0xE0) == 0xC0 ? 1 : 2) - 1;
        }
        if (!r.Skip(dataBytes))
            return false;
    }
    endTick = tick;
    return true;
}

} // namespace

bool LooksLikeMidi(const QByteArray& head)
{
    return head.startsWith("MThd") || (head.startsWith("RIFF") && head.mid(8, 4) == "RMID");
}

std::optional<TTiming> ReadTiming(const QByteArray& file)
{
    TTiming timing;
    if (file.startsWith("RIFF")) {
        if (file.mid(8, 4) != "RMID")
            return std::nullopt;
        auto music = RiffMusic(file);
        if (!music)
            return std::nullopt;
        timing.Music = *music;
    } else {
        timing.Music = file;
    }
    const QByteArray& m = timing.Music;
    if (m.size() < 14 || !m.startsWith("MThd"))
        return std::nullopt;
    const qint64 headerSize = Be32(m.constData() + 4);
    if (headerSize < 6 || headerSize > m.size() - 8)
        return std::nullopt;
    const int tracks = qFromBigEndian<quint16>(m.constData() + 10);
    const quint16 division = qFromBigEndian<quint16>(m.constData() + 12);
    // SMPTE time (the top bit) the synthesizer's player cannot time: it would play silence.
    if ((division & 0x8000) || !division)
        return std::nullopt;
    timing.TicksPerQuarter = division;
    qint64 at = 8 + headerSize;
    int found = 0;
    while (found < tracks && at + 8 <= m.size()) {
        const qint64 size = Be32(m.constData() + at + 4);
        if (size > m.size() - at - 8)
            return std::nullopt;
        if (m.mid(at, 4) == "MTrk") {
            qint64 end = 0;
            if (!ReadTrack(m.constData() + at + 8, size, end, timing.Tempos))
                return std::nullopt;
            timing.EndTick = std::max(timing.EndTick, end);
            ++found;
        }
        at += 8 + size;
    }
    if (!found)
        return std::nullopt;
    std::stable_sort(timing.Tempos.begin(), timing.Tempos.end(),
                     [](const TTempoChange& a, const TTempoChange& b) { return a.Tick < b.Tick; });
    return timing;
}

double TTiming::SecondsAt(qint64 tick) const
{
    double seconds = 0;
    qint64 from = 0, tempo = DefaultTempo;
    for (const TTempoChange& change : Tempos) {
        if (change.Tick >= tick)
            break;
        seconds += double(change.Tick - from) * double(tempo) / 1e6 / double(TicksPerQuarter);
        from = change.Tick;
        tempo = change.MicrosPerQuarter;
    }
    return seconds + double(tick - from) * double(tempo) / 1e6 / double(TicksPerQuarter);
}

namespace {

// A count of ticks from a computed number, within what a tick count can hold: a file may
// claim years, or a tempo of 0.
qint64 ClampedTicks(double ticks)
{
    constexpr double most = double(qint64(1) << 62);
    return ticks >= 0 ? qint64(std::min(ticks, most)) : 0; // NaN gives 0
}

} // namespace

qint64 TTiming::TickAt(double seconds) const
{
    double at = 0;
    qint64 from = 0, tempo = DefaultTempo;
    for (const TTempoChange& change : Tempos) {
        const double next = at + double(change.Tick - from) * double(tempo) / 1e6 / double(TicksPerQuarter);
        if (next > seconds)
            break;
        at = next;
        from = change.Tick;
        tempo = change.MicrosPerQuarter;
    }
    return from + ClampedTicks((seconds - at) * 1e6 * double(TicksPerQuarter) / double(std::max<qint64>(tempo, 1)));
}

} // namespace midi
