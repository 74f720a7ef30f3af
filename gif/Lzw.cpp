// The GIF variable-width LZW decoder: turns an image's compressed data into rows of colour
// indices, undoing interlacing. Fixed-size tables, no recursion, no allocation per code.
//
// Every entry of the string table keeps, besides its prefix code and last byte, the
// length of its string and its first byte, so a string is written straight into the row
// buffer from its end backwards; only a string that crosses the end of a row goes through
// the stack.

#include "gif/GifFile.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the code reader loads the stream as little-endian words");

#include <algorithm>
#include <cstring>
#include <memory>

namespace gif {
namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxCodeWidth = 12;

struct Tables {
    uint16_t Prefix[MaxCodes];
    uint8_t Suffix[MaxCodes];
    uint8_t First[MaxCodes];
    uint16_t Length[MaxCodes];
    uint8_t Stack[MaxCodes];
};

// Hands out codes of the current width from the data, least significant bit first. Bytes
// are taken only when a code needs them; where eight bytes remain, they come in one load.
class CodeReader {
public:
    CodeReader(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}

    // False when the data ends before the code is complete.
    bool Read(int width, int& code)
    {
        if (m_bits < width) {
            if (m_size - m_position >= 8) {
                uint64_t next;
                std::memcpy(&next, m_bytes + m_position, 8); // little-endian, as the stream
                m_accumulator |= next << m_bits;
                const int taken = (63 - m_bits) >> 3;
                m_position += size_t(taken);
                m_bits += taken * 8;
            } else {
                while (m_bits < width) {
                    if (m_position >= m_size)
                        return false;
                    m_accumulator |= uint64_t(m_bytes[m_position++]) << m_bits;
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
    const uint8_t* m_bytes;
    size_t m_size;
    size_t m_position = 0;
    uint64_t m_accumulator = 0;
    int m_bits = 0;
};

// Writes decoded bytes straight into the rows of the image's matrix, in the order the
// stream stores them (interlaced or not). Bytes past the last row go to a scratch row: a
// stream may carry a few extra pixels, but completing a row past the last one is an error.
class RowWriter {
public:
    RowWriter(TGifSubImage& image, TMessagePump& pump)
        : m_pixels(*image.Pixels), m_pump(pump), m_scratch(image.Width), m_width(image.Width),
          m_height(image.Height), m_interlaced(image.Interlaced)
    {
        StartRow();
    }
    // Only complete rows are kept: the pixels of a row the data did not finish go again
    // (the matrix is cleared storage, written once).
    ~RowWriter()
    {
        if (m_column > 0 && m_row != m_scratch.Data())
            std::memset(m_row, 0, size_t(m_column));
    }
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // Writes the string of code, whose entry chain is in t.
    void Write(const Tables& t, int code, int highestRoot, uint8_t* stack)
    {
        const int length = t.Length[code];
        if (m_column + length <= m_width) {
            // Fits the current row: write it from its end backwards.
            uint8_t* out = m_row + m_column + length - 1;
            int c = code;
            while (c > highestRoot) {
                *out-- = t.Suffix[c];
                c = t.Prefix[c];
            }
            *out = uint8_t(c);
            m_column += length;
            if (m_column == m_width)
                CompleteRow();
            return;
        }
        if (m_width == 0)
            throw EIndexOutOfBounds(); // a pixel, and no room for it
        int depth = 0;
        int c = code;
        while (c > highestRoot) {
            stack[depth++] = t.Suffix[c];
            c = t.Prefix[c];
        }
        stack[depth++] = uint8_t(c);
        while (depth > 0) {
            const int take = std::min(depth, m_width - m_column);
            for (int i = 0; i < take; ++i)
                m_row[m_column + i] = stack[depth - 1 - i];
            depth -= take;
            m_column += take;
            if (m_column == m_width)
                CompleteRow();
        }
    }

private:
    void StartRow()
    {
        m_row = m_rowIndex < m_height && m_rowIndex < m_pixels.Rows() && m_width == m_pixels.Columns()
                    ? m_pixels.MutableRowData(m_rowIndex + 1)
                    : m_scratch.Data();
        m_column = 0;
    }

    void CompleteRow()
    {
        m_pump.RowDone(m_width);
        if (m_row == m_scratch.Data())
            throw EIndexOutOfBounds(); // a whole row past the last one
        m_rowIndex = m_interlaced ? TGifSubImage::NextInterlacedRow(m_rowIndex, m_height, m_pass) : m_rowIndex + 1;
        StartRow();
    }

    TByteArray2D& m_pixels;
    TMessagePump& m_pump;
    TBigByteArray m_scratch;
    const int m_width;
    const int m_height;
    const bool m_interlaced;
    uint8_t* m_row = nullptr;
    int m_column = 0;
    int m_rowIndex = 0;
    int m_pass = 1;
};

// The decoder's tables, made once per thread: only the roots need setting for each image,
// every other entry is written before it is read.
Tables& DecoderTables()
{
    thread_local std::unique_ptr<Tables> tables = std::make_unique<Tables>();
    return *tables;
}

} // namespace

void TGifSubImage::Decode(IGifHost& host)
{
    TMessagePump pump(host);
    Decode(pump);
    pump.Finish();
}

void TGifSubImage::Decode(TMessagePump& pump)
{
    if (CodeSize < 2 || CodeSize > 9)
        throw EGifException("Bad code Size");
    const int clearCode = 1 << CodeSize;
    const int endCode = clearCode + 1;
    const int highestRoot = clearCode - 1;
    Data.Rewind(); // no data sub-block at all: the chunk list's index error ends the load

    Tables& t = DecoderTables();
    for (int c = 0; c <= highestRoot; ++c) {
        t.Suffix[c] = t.First[c] = uint8_t(c);
        t.Length[c] = 1;
    }
    RowWriter writer(*this, pump);
    CodeReader reader(Data.Bytes(), Data.ByteCount());

    // A stream that does not start with a clear code decodes as if it did.
    int codeWidth = CodeSize + 1;
    int nextFree = endCode + 1;
    int limit = 1 << codeWidth;
    int oldCode = 0;

    // Adds the entry oldCode + first byte, and widens the codes when the table needs it.
    // Once the table holds 4096 entries it is frozen until the next clear code: encoders
    // may defer the clear code, and such files decode as they do elsewhere.
    auto addEntry = [&](uint8_t first) {
        if (nextFree > limit || nextFree >= MaxCodes)
            return;
        t.Prefix[nextFree] = uint16_t(oldCode);
        t.Suffix[nextFree] = first;
        t.First[nextFree] = t.First[oldCode];
        t.Length[nextFree] = uint16_t(t.Length[oldCode] + 1);
        ++nextFree;
        if (nextFree >= limit && codeWidth < MaxCodeWidth) {
            limit *= 2;
            ++codeWidth;
        }
    };

    int code;
    if (!reader.Read(codeWidth, code))
        return; // data ended: what was stored stays
    // The first code of a stream that does not begin with a clear code is taken as the
    // first code after a clear: it defines no entry.
    bool firstAfterClear = true;
    while (code != endCode) {
        if (code == clearCode) {
            codeWidth = CodeSize + 1;
            nextFree = endCode + 1;
            limit = 1 << codeWidth;
            do {
                if (!reader.Read(codeWidth, code))
                    return;
            } while (code == clearCode);
            if (code == endCode)
                throw EGifException("Bad code");
            firstAfterClear = true;
        }
        if (firstAfterClear) {
            if (code >= nextFree)
                code = 0;
            oldCode = code;
            writer.Write(t, code & 0xFF, 0xFF, t.Stack); // a root: its low 8 bits
            firstAfterClear = false;
        } else if (code < nextFree) {
            addEntry(t.First[code]);
            oldCode = code;
            writer.Write(t, code, highestRoot, t.Stack);
        } else {
            if (code != nextFree)
                throw EGifException("Bad code");
            addEntry(t.First[oldCode]);
            oldCode = code;
            writer.Write(t, code, highestRoot, t.Stack);
        }
        if (!reader.Read(codeWidth, code))
            return;
    }
}

} // namespace gif
