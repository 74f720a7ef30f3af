#pragma once

// Builders for hand-made GIF streams in tests: LZW code streams packed least significant
// bit first with the code widths a decoder expects, and whole files around them.

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <vector>

namespace giftest {

// Emits codes with the width the decoder will read them at, following its table: every
// code but the first after a clear defines an entry, and the width grows as entries fill
// the current width (up to 12, where the table stays full until a clear code).
class CodeStream {
public:
    explicit CodeStream(int codeSize) : m_codeSize(codeSize) { Reset(); }

    CodeStream& Clear()
    {
        Put(ClearCode());
        Reset();
        return *this;
    }
    CodeStream& End()
    {
        Put(ClearCode() + 1);
        return *this;
    }
    // A data code: defines an entry unless it is the first after a clear.
    CodeStream& Code(int code)
    {
        Put(code);
        if (m_first) {
            m_first = false;
        } else if (m_nextFree < 4096) {
            ++m_nextFree;
            if (m_nextFree >= (1 << m_width) && m_width < 12)
                ++m_width;
        }
        return *this;
    }
    // Raw bits of a given width, outside the table's bookkeeping.
    CodeStream& Raw(int code, int width)
    {
        const int saved = m_width;
        m_width = width;
        Put(code);
        m_width = saved;
        return *this;
    }

    int NextFree() const { return m_nextFree; }
    int Width() const { return m_width; }
    int ClearCode() const { return 1 << m_codeSize; }

    QByteArray Bytes() const
    {
        QByteArray out = m_bytes;
        if (m_bits > 0)
            out += char(m_accumulator & 0xFF);
        return out;
    }

private:
    void Reset()
    {
        m_width = m_codeSize + 1;
        m_nextFree = ClearCode() + 2;
        m_first = true;
    }
    void Put(int code)
    {
        m_accumulator |= uint64_t(code) << m_bits;
        m_bits += m_width;
        while (m_bits >= 8) {
            m_bytes += char(m_accumulator & 0xFF);
            m_accumulator >>= 8;
            m_bits -= 8;
        }
    }

    int m_codeSize;
    int m_width = 0;
    int m_nextFree = 0;
    bool m_first = true;
    uint64_t m_accumulator = 0;
    int m_bits = 0;
    QByteArray m_bytes;
};

inline QByteArray Le16(int v)
{
    QByteArray b(1, char(v & 0xFF));
    b += char((v >> 8) & 0xFF);
    return b;
}

// Data sub-blocks of up to 255 bytes and the terminator.
inline QByteArray SubBlocks(const QByteArray& data, int blockSize = 255)
{
    QByteArray out;
    for (qsizetype i = 0; i < data.size(); i += blockSize) {
        const QByteArray part = data.mid(i, blockSize);
        out += char(part.size());
        out += part;
    }
    return out + char(0);
}

// A file: header, screen descriptor with a global table of 2^(bits+1) entries
// (colours i -> (i, 255 - i, i / 2)) when packed has bit 7, then blocks.
class GifBuilder {
public:
    explicit GifBuilder(int width = 4, int height = 4, uint8_t packed = 0x80, const QByteArray& version = "89a")
    {
        m_bytes = QByteArray("GIF") + version;
        m_bytes += Le16(width);
        m_bytes += Le16(height);
        m_bytes += char(packed);
        m_bytes += QByteArray(2, '\0');
        if (packed & 0x80)
            m_bytes += Table((packed & 7) + 1);
    }
    static QByteArray Table(int bits)
    {
        QByteArray t;
        for (int i = 0; i < (1 << bits); ++i)
        {
            t += char(i);
            t += char(255 - i);
            t += char(i / 2);
        }
        return t;
    }
    // disposal: 0 to 3; transparent: a colour index, or -1 for none.
    GifBuilder& GraphicControl(int delay, int disposal = 0, int transparent = -1)
    {
        m_bytes += "\x21\xF9\x04";
        m_bytes += char((disposal << 2) | (transparent >= 0 ? 1 : 0));
        m_bytes += Le16(delay);
        m_bytes += char(transparent >= 0 ? transparent : 0);
        m_bytes += '\0';
        return *this;
    }
    GifBuilder& Comment(const QList<QByteArray>& lines)
    {
        m_bytes += "\x21\xFE";
        for (const QByteArray& l : lines)
        {
            m_bytes += char(l.size());
            m_bytes += l;
        }
        m_bytes += char(0);
        return *this;
    }
    GifBuilder& Image(int left, int top, int width, int height, const QByteArray& data, int codeSize = 2,
                      uint8_t packed = 0, const QByteArray& localTable = QByteArray())
    {
        m_bytes += char(0x2C);
        for (int v : {left, top, width, height})
            m_bytes += Le16(v);
        m_bytes += char(packed);
        m_bytes += localTable;
        m_bytes += char(codeSize);
        m_bytes += SubBlocks(data);
        return *this;
    }
    GifBuilder& Raw(const QByteArray& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    QByteArray Trailer() const { return m_bytes + char(0x3B); }
    QByteArray Bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// A solid image of the given size in colour index 1, code size 2, in as few codes as the
// table allows (one code per pixel: simple and exact).
inline QByteArray SolidData(int pixels, int index = 1)
{
    CodeStream s(2);
    s.Clear();
    for (int i = 0; i < pixels; ++i) {
        if (s.Width() >= 12 && s.NextFree() >= 4096)
            s.Clear();
        s.Code(index);
    }
    return s.End().Bytes();
}

// An image of the given colour indices (below 4), code size 2, one code per pixel.
inline QByteArray IndexData(const QList<int>& indices)
{
    CodeStream s(2);
    s.Clear();
    for (int index : indices)
        s.Code(index);
    return s.End().Bytes();
}

// Data that decodes to `pixels` pixels of index 0 from as few bytes as LZW allows (an
// "LZW bomb"): every code is the next free one, one pixel longer than the last, until the
// table is full; then the longest string again and again; single pixels make up the rest.
inline QByteArray BombData(int64_t pixels)
{
    CodeStream s(2);
    s.Clear().Code(0);
    int64_t left = pixels - 1;
    int length = 1;
    while (s.NextFree() < 4096 && left >= length + 1) {
        s.Code(s.NextFree());
        left -= ++length;
    }
    const int longest = 4095;
    const int longestLength = length; // the string of code 4095, once the table is full
    while (s.NextFree() >= 4096 && left >= longestLength) {
        s.Code(longest);
        left -= longestLength;
    }
    for (; left > 0; --left)
        s.Code(0);
    return s.End().Bytes();
}

} // namespace giftest
