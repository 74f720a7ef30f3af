#include "clips/MidiFile.h"

#include <QtEndian>

#include <algorithm>
#include <unordered_map>

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

// One event of a track: its delta, its status (0xFF meta, 0xF0/0xF7 system exclusive, else a
// channel's) and the bytes after the status byte as they stand in the file.
struct TEvent {
    qint64 Delta = 0;
    quint8 Status = 0;
    quint8 Meta = 0;
    const char* Bytes = nullptr;
    qint64 Size = 0;
    const char* Body = nullptr; // a meta event's data
    qint64 BodySize = 0;
};

// Reads the next event; `running` carries the running status from one event to the next.
bool NextEvent(TReader& r, quint8& running, TEvent& e)
{
    quint8 b;
    if (!r.VarLen(e.Delta) || !r.Byte(b))
        return false;
    e.Bytes = r.Here();
    if (b == 0xFF) { // meta event
        qint64 length;
        if (!r.Byte(e.Meta) || !r.VarLen(length))
            return false;
        e.Body = r.Here();
        e.BodySize = length;
        if (!r.Skip(length))
            return false;
        e.Status = b;
        running = 0; // cancels running status, for the synthesizer as for the standard
    } else if (b == 0xF0 || b == 0xF7) { // system exclusive
        qint64 length;
        if (!r.VarLen(length) || !r.Skip(length))
            return false;
        e.Status = b;
        running = 0;
    } else {
        int dataBytes = 0;
        if (b & 0x80) {
            running = b;
        } else if (running) {
            e.Bytes -= 1; // the byte read is the first data byte
            dataBytes = -1;
        } else {
            return false; // running status with no status before it
        }
        e.Status = running;
        dataBytes += (running & 0xE0) == 0xC0 ? 1 : 2;
        if (!r.Skip(dataBytes))
            return false;
    }
    e.Size = r.Here() - e.Bytes;
    return true;
}

// Reads one track: its end tick, and its tempo changes into `tempos`.
bool ReadTrack(const char* data, qint64 size, qint64& endTick, std::vector<TTempoChange>& tempos)
{
    TReader r(data, size);
    qint64 tick = 0;
    quint8 running = 0;
    TEvent e;
    while (!r.AtEnd()) {
        if (!NextEvent(r, running, e))
            return false;
        tick += e.Delta;
        if (e.Status == 0xFF && e.Meta == 0x51 && e.BodySize == 3) {
            const qint64 micros = (quint8(e.Body[0]) << 16) | (quint8(e.Body[1]) << 8) | quint8(e.Body[2]);
            if (micros > 0)
                tempos.push_back({tick, micros});
        }
        if (e.Status == 0xFF && e.Meta == 0x2F)
            break;
    }
    endTick = tick;
    return true;
}

void PutVarLen(QByteArray& out, quint32 value)
{
    char bytes[4];
    int n = 0;
    bytes[n++] = char(value & 0x7F);
    while (value >>= 7)
        bytes[n++] = char(0x80 | (value & 0x7F));
    while (n)
        out.append(bytes[--n]);
}

// Seconds at ticks that only grow, the tempo map walked once.
class TClock {
public:
    explicit TClock(const TTiming& timing) : m_timing(timing) {}
    double At(qint64 tick)
    {
        const auto& tempos = m_timing.Tempos;
        while (m_next < tempos.size() && tempos[m_next].Tick < tick) {
            m_at += Span(tempos[m_next].Tick);
            m_from = tempos[m_next].Tick;
            m_tempo = tempos[m_next].MicrosPerQuarter;
            ++m_next;
        }
        return m_at + Span(tick);
    }

private:
    double Span(qint64 to) const { return double(to - m_from) * double(m_tempo) / 1e6 / double(m_timing.TicksPerQuarter); }
    const TTiming& m_timing;
    size_t m_next = 0;
    qint64 m_from = 0;
    qint64 m_tempo = DefaultTempo;
    double m_at = 0;
};

// How many channel and system exclusive events the synthesizer is given in a tenth of a second
// (about a block it renders): twenty thousand a second is far beyond music, a full orchestra's
// chord is a few hundred, and it bounds the work of a block whatever a file crams into an
// instant (millions of notes at one tick).
constexpr double WindowSeconds = 0.1;
constexpr int EventsPerWindow = 2000;

// Track `data` written again without the events beyond the windows' share. A note that is
// kept keeps its release; the release of a note left out is left out with it.
QByteArray ThinTrack(const char* data, qint64 size, const TTiming& timing, std::unordered_map<qint64, int>& windows)
{
    TReader r(data, size);
    TClock clock(timing);
    std::vector<int> sounding(16 * 128), dropped(16 * 128);
    QByteArray out;
    qint64 tick = 0;
    qint64 carried = 0; // the deltas of events left out
    quint8 running = 0;
    TEvent e;
    while (!r.AtEnd() && NextEvent(r, running, e)) {
        tick += e.Delta;
        carried += e.Delta;
        bool keep = true;
        if (e.Status != 0xFF) {
            const int kind = e.Status & 0xF0;
            const int note = (e.Status & 0x0F) * 128 + (e.Size >= 2 ? quint8(e.Bytes[e.Size - 2]) & 0x7F : 0);
            const bool on = kind == 0x90 && e.Size >= 2 && quint8(e.Bytes[e.Size - 1]) != 0;
            const bool off = kind == 0x80 || (kind == 0x90 && !on);
            int& count = windows[qint64(std::min(clock.At(tick) / WindowSeconds, 1e15))];
            if (off && sounding[note] > 0) {
                --sounding[note];
            } else if (off && dropped[note] > 0) {
                --dropped[note];
                keep = false;
            } else if (count >= EventsPerWindow) {
                keep = false;
                if (on)
                    ++dropped[note];
            } else if (on) {
                ++sounding[note];
            }
            count += keep;
        }
        if (!keep)
            continue;
        for (; carried > 0x0FFFFFFF; carried -= 0x0FFFFFFF) // a wait too long for one delta
            out.append(QByteArray("\x8F\xFF\xFF\x7F\xFF\x01\x00", 7));
        PutVarLen(out, quint32(carried));
        carried = 0;
        out.append(char(e.Status));
        out.append(e.Bytes, e.Size);
        if (e.Status == 0xFF && e.Meta == 0x2F)
            break;
    }
    return out;
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
    std::vector<std::pair<qint64, qint64>> spans; // where the tracks are
    while (found < tracks && at + 8 <= m.size()) {
        const qint64 size = Be32(m.constData() + at + 4);
        if (size > m.size() - at - 8)
            return std::nullopt;
        if (m.mid(at, 4) == "MTrk") {
            qint64 end = 0;
            if (!ReadTrack(m.constData() + at + 8, size, end, timing.Tempos))
                return std::nullopt;
            timing.EndTick = std::max(timing.EndTick, end);
            spans.emplace_back(at + 8, size);
            ++found;
        }
        at += 8 + size;
    }
    if (!found)
        return std::nullopt;
    std::stable_sort(timing.Tempos.begin(), timing.Tempos.end(),
                     [](const TTempoChange& a, const TTempoChange& b) { return a.Tick < b.Tick; });
    // The music the synthesizer plays: the header as it stands, then the tracks thinned.
    QByteArray music = m.left(8 + headerSize);
    qToBigEndian<quint16>(quint16(found), music.data() + 10);
    std::unordered_map<qint64, int> windows;
    for (const auto& [start, size] : spans) {
        const QByteArray track = ThinTrack(m.constData() + start, size, timing, windows);
        char length[4];
        qToBigEndian<quint32>(quint32(track.size()), length);
        music += QByteArray("MTrk") + QByteArray(length, 4) + track;
    }
    timing.Music = music;
    return timing;
}

double TTiming::SecondsAt(qint64 tick) const { return TClock(*this).At(tick); }

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
