// The GIF variable-width LZW decoder: turns an image's compressed data into rows of colour
// indices, undoing interlacing. Fixed-size tables, no recursion, no allocation per code.
//
// The string table keeps every string as a chain of 8-byte chunks: an entry holds its
// string's last chunk (1 to 8 bytes, in one 64-bit word whose other bytes are 0), its
// length and the code of the string before that chunk, whose length is a multiple of 8.
// A string of up to 8 bytes (most of them) is written with one 64-bit store; a longer one
// with one store per chunk, from its end backwards. A store may write up to 7 zeros past
// the string's end: those bytes are rewritten by the strings that follow or lie in the
// slack every matrix has after its last row, and where neither holds (the end of an
// interlaced row, where another row may stand) the string is copied byte by byte.

#include "gif/GifFile.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the code reader and the chunks are little-endian words");

#include <algorithm>
#include <cstring>
#include <memory>

namespace gif {
namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxCodeWidth = 12;
constexpr int Chunk = 8;
static_assert(TBigByteArray::TailSlack >= Chunk - 1, "a chunk store may pass the matrix's end by 7 bytes");

// One entry per code, all it needs in one cache line's quarter.
struct Entry {
    uint64_t Last;         // the string's last chunk, little-endian
    uint16_t Prefix;       // the code of the string before that chunk
    uint16_t LengthMinus1;
    uint8_t First;         // the string's first byte
};
static_assert(sizeof(Entry) == 16);

struct Tables {
    Entry Entries[MaxCodes];
    uint8_t Expanded[MaxCodes + Chunk]; // one whole string, for the byte-by-byte path
};

inline void Store64(uint8_t* at, uint64_t value) { std::memcpy(at, &value, 8); }

// Writes the string of code at out with chunk stores; out must have room for its length
// plus 7 bytes.
inline void WriteChunks(const Tables& t, int code, uint8_t* out)
{
    const int lm1 = t.Entries[code].LengthMinus1;
    if (lm1 < Chunk) {
        Store64(out, t.Entries[code].Last);
        return;
    }
    uint8_t* at = out + (lm1 & ~(Chunk - 1));
    Store64(at, t.Entries[code].Last);
    int c = t.Entries[code].Prefix;
    while (at > out) {
        at -= Chunk;
        Store64(at, t.Entries[c].Last);
        c = t.Entries[c].Prefix;
    }
}

// Hands out codes of the current width from the data, least significant bit first. Bytes
// are taken only when a code needs them; where eight bytes remain, they come in one load.
class CodeReader {
public:
    CodeReader(const uint8_t* bytes, size_t size) : m_next(bytes), m_end(bytes + size) {}

    // False when the data ends before the code is complete.
    bool Read(int width, int& code)
    {
        if (m_bits < width) {
            if (m_end - m_next >= 8) [[likely]] {
                uint64_t next;
                std::memcpy(&next, m_next, 8); // little-endian, as the stream
                m_accumulator |= next << m_bits;
                const int taken = (63 - m_bits) >> 3;
                m_next += taken;
                m_bits += taken * 8;
            } else {
                while (m_bits < width) {
                    if (m_next == m_end)
                        return false;
                    m_accumulator |= uint64_t(*m_next++) << m_bits;
                    m_bits += 8;
                }
            }
        }
        code = int(m_accumulator & ((1u << width) - 1));
        m_accumulator >>= width;
        m_bits -= width;
        return true;
    }

private:
    const uint8_t* m_next;
    const uint8_t* m_end;
    uint64_t m_accumulator = 0;
    int m_bits = 0;
};

// Writes decoded strings straight into the image's matrix, in the order the stream stores
// the rows. A non-interlaced image is one run of Width x Height bytes; an interlaced one is
// written a row at a time. Past the last row, a stream may carry a few extra pixels, which
// are dropped, but completing a row past the last one is an error.
//
// The decoder keeps the position in locals of its own while it writes strings that fit
// (a byte store could otherwise change the writer's fields, as far as the compiler knows,
// and they would be read again after every store), and hands it here, and takes it back,
// at the end of a row and for the strings near an edge.
class RowWriter {
public:
    struct Position {
        uint8_t* cursor;  // next byte to write; null past the last row
        ptrdiff_t room;   // bytes from the cursor that chunk stores may fill; < 1 past the last row
        ptrdiff_t rowLeft; // bytes left in the current row
    };

    RowWriter(TGifSubImage& image, TMessagePump& pump)
        : m_pump(pump), m_width(image.Width), m_height(image.Height), m_interlaced(image.Interlaced)
    {
        TByteArray2D& pixels = *image.Pixels;
        m_rows = pixels.Columns() == m_width ? std::min<int>(m_height, pixels.Rows()) : 0;
        m_base = m_rows > 0 && m_width > 0 ? pixels.MutableRowData(1) : nullptr;
        if (!m_base) {
            m_rows = 0;
            StartPastTheEnd();
        } else if (m_interlaced) {
            StartRow(0);
        } else {
            // The whole image is one run; the slack after the matrix takes the overrun.
            m_at.cursor = m_base;
            m_end = m_base + size_t(m_width) * size_t(m_rows);
            m_at.room = m_end - m_base;
            m_at.rowLeft = m_width;
        }
    }
    // Only complete rows are kept: the pixels of a row the data did not finish go again.
    // What chunk stores wrote past the cursor is 0 already (an entry's bytes past its
    // string are 0), as is the rest of the matrix (cleared storage).
    ~RowWriter()
    {
        if (m_at.cursor && m_at.rowLeft < m_width)
            std::memset(m_at.cursor + m_at.rowLeft - m_width, 0, size_t(m_width - m_at.rowLeft));
    }
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    Position At() const { return m_at; }
    void Sync(Position at) { m_at = at; }

    // The string of code, of length bytes, did not fit: writes it through the expanded copy.
    [[gnu::noinline]] Position WriteNearEdge(Position at, Tables& t, int code, size_t length)
    {
        m_at = at;
        WriteChunks(t, code, t.Expanded);
        const uint8_t* from = t.Expanded;
        while (length > 0) {
            if (!m_at.cursor) {
                DropPastTheEnd(length);
                break;
            }
            const size_t take = std::min(length, size_t(m_end - m_at.cursor));
            std::memcpy(m_at.cursor, from, take);
            from += take;
            length -= take;
            Advance(ptrdiff_t(take));
            if (m_at.rowLeft <= 0)
                RowsCompleted();
        }
        return m_at;
    }

    // The cursor at has reached or passed the end of the current row.
    [[gnu::noinline]] Position RowsCompleted(Position at)
    {
        m_at = at;
        RowsCompleted();
        return m_at;
    }

private:
    void Advance(ptrdiff_t bytes)
    {
        m_at.cursor += bytes;
        m_at.room -= bytes;
        m_at.rowLeft -= bytes;
    }

    void RowsCompleted()
    {
        while (m_at.cursor && m_at.rowLeft <= 0) {
            m_pump.RowDone(m_width);
            ++m_rowsDone;
            if (m_interlaced) {
                m_rowIndex = TGifSubImage::NextInterlacedRow(m_rowIndex, m_height, m_pass);
                if (m_rowIndex < m_rows)
                    StartRow(m_rowIndex);
                else
                    StartPastTheEnd();
            } else if (m_rowsDone < m_rows) {
                m_at.rowLeft += m_width;
            } else {
                StartPastTheEnd();
            }
        }
    }

    void DropPastTheEnd(size_t pixels)
    {
        if (m_width == 0)
            throw EIndexOutOfBounds(); // a pixel, and no room for it
        m_extra += pixels;
        if (m_extra >= size_t(m_width)) {
            m_pump.RowDone(m_width);
            throw EIndexOutOfBounds(); // a whole row past the last one
        }
    }

    // An interlaced row: chunk stores must not pass its end, where another row may stand.
    void StartRow(int index)
    {
        m_at.cursor = m_base + size_t(index) * size_t(m_width);
        m_end = m_at.cursor + m_width;
        m_at.room = m_width - (Chunk - 1);
        m_at.rowLeft = m_width;
    }

    void StartPastTheEnd()
    {
        m_at = {nullptr, -1, 0};
        m_end = nullptr;
    }

    TMessagePump& m_pump;
    const int m_width;
    const int m_height;
    const bool m_interlaced;
    int m_rows = 0; // rows the matrix has for this image
    uint8_t* m_base = nullptr;
    Position m_at{};
    uint8_t* m_end = nullptr; // end of what may be written: the row, or the image
    int m_rowsDone = 0;
    int m_rowIndex = 0;
    int m_pass = 1;
    size_t m_extra = 0;
};

// The decoder's tables, made once per thread: only the roots need setting for each image,
// every other entry is written before it is read.
Tables& DecoderTables()
{
    thread_local std::unique_ptr<Tables> tables = std::make_unique<Tables>();
    return *tables;
}

} // namespace

bool TGifSubImage::DecodeIfCompressed()
{
    if (Pixels)
        return false;
    Pixels = std::make_unique<TByteArray2D>(Width, Height);
    try {
        TMessagePump pump(NullGifHost());
        Decode(pump);
        pump.Finish();
    } catch (...) {
        Pixels.reset();
        throw;
    }
    return true;
}

void TGifSubImage::Decode(TMessagePump& pump)
{
    if (CodeSize < 2 || CodeSize > 9)
        throw EGifException("Bad code Size");
    const int clearCode = 1 << CodeSize;
    const int endCode = clearCode + 1;
    Data.Rewind(); // no data sub-block at all: the chunk list's index error ends the load

    Tables& t = DecoderTables();
    for (int c = 0; c < clearCode; ++c)
        t.Entries[c] = {uint8_t(c), 0, 0, uint8_t(c)};
    RowWriter writer(*this, pump);
    CodeReader reader(Data.Bytes(), Data.ByteCount());

    // Where the next string goes, kept in plain locals (see RowWriter) and handed to the
    // writer, and back, only at the end of a row and near an edge.
    const RowWriter::Position start = writer.At();
    uint8_t* cursor = start.cursor;
    ptrdiff_t room = start.room;
    ptrdiff_t rowLeft = start.rowLeft;
    auto handOver = [&](RowWriter::Position at) {
        cursor = at.cursor;
        room = at.room;
        rowLeft = at.rowLeft;
    };

    // Writes the string of code: with chunk stores where it fits, else through the writer.
    auto write = [&](int code) {
        const ptrdiff_t length = ptrdiff_t(t.Entries[code].LengthMinus1) + 1;
        if (length <= room) [[likely]] {
            WriteChunks(t, code, cursor);
            cursor += length;
            room -= length;
            rowLeft -= length;
            if (rowLeft <= 0) [[unlikely]]
                handOver(writer.RowsCompleted({cursor, room, rowLeft}));
        } else {
            handOver(writer.WriteNearEdge({cursor, room, rowLeft}, t, code, size_t(length)));
        }
    };
    // The writer learns where the decoder stopped: on every way out of the loop but the
    // writer's own exceptions, which leave it where it stopped itself.
    auto fail = [&] {
        writer.Sync({cursor, room, rowLeft});
        throw EGifException("Bad code");
    };

    // A stream that does not start with a clear code decodes as if it did. oldCode is
    // the code before, or one of two marks: the first code of the stream, or the first
    // after a clear code.
    constexpr int StreamStart = -2, AfterClear = -1;
    int codeWidth = CodeSize + 1;
    int nextFree = endCode + 1;
    int oldCode = StreamStart;

    // Adds the entry oldCode + first byte, and widens the codes when the table needs it.
    // Once the table holds 4096 entries it is frozen until the next clear code: encoders
    // may defer the clear code, and such files decode as they do elsewhere.
    auto addEntry = [&](uint8_t first) {
        if (nextFree >= MaxCodes)
            return;
        const Entry& old = t.Entries[oldCode];
        Entry& added = t.Entries[nextFree];
        const int lm1 = old.LengthMinus1 + 1;
        added.LengthMinus1 = uint16_t(lm1);
        added.First = old.First;
        const int at = lm1 & (Chunk - 1);
        if (at != 0) {
            // The old string's last chunk has room (its bytes past the string are 0): the
            // new one is that chunk plus a byte.
            added.Prefix = old.Prefix;
            added.Last = old.Last | (uint64_t(first) << (8 * at));
        } else {
            added.Prefix = uint16_t(oldCode);
            added.Last = first;
        }
        ++nextFree;
        if (nextFree >= (1 << codeWidth) && codeWidth < MaxCodeWidth)
            ++codeWidth;
    };

    // The first code after a clear code (or of the stream) defines no entry. The data may
    // end anywhere: what was stored stays. An end code straight after a clear code is an
    // error.
    int code;
    while (reader.Read(codeWidth, code)) {
        if (unsigned(code - clearCode) < 2u) [[unlikely]] {
            if (code == endCode) {
                if (oldCode == AfterClear)
                    fail();
                break;
            }
            codeWidth = CodeSize + 1;
            nextFree = endCode + 1;
            oldCode = AfterClear;
            continue;
        }
        if (oldCode < 0) [[unlikely]] {
            if (code >= nextFree)
                code = 0; // a root
        } else if (code < nextFree) {
            addEntry(t.Entries[code].First);
        } else {
            if (code != nextFree)
                fail();
            addEntry(t.Entries[oldCode].First);
        }
        oldCode = code;
        write(code);
    }
    writer.Sync({cursor, room, rowLeft});
}

} // namespace gif
