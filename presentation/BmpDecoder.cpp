#include "presentation/BmpDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace bmp {
namespace {

enum : quint32 { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiOs2Rle24 = 4, BiAlphaBitfields = 6 };

// Little-endian reads within a range of bytes; a read past its end gives 0.
class TBytes {
public:
    TBytes(const uchar* data, qsizetype size) : m_data(data), m_size(std::max<qsizetype>(size, 0)) {}
    explicit TBytes(QByteArrayView view) : TBytes(reinterpret_cast<const uchar*>(view.data()), view.size()) {}
    qsizetype Size() const { return m_size; }
    bool Has(qint64 at, qint64 count) const { return at >= 0 && count >= 0 && at <= m_size && count <= m_size - at; }
    quint8 U8(qint64 at) const { return Has(at, 1) ? m_data[at] : 0; }
    quint16 U16(qint64 at) const { return Has(at, 2) ? qFromLittleEndian<quint16>(m_data + at) : 0; }
    quint32 U32(qint64 at) const { return Has(at, 4) ? qFromLittleEndian<quint32>(m_data + at) : 0; }
    qint32 I32(qint64 at) const { return qint32(U32(at)); }
    const uchar* At(qint64 at) const { return m_data + at; }
    TBytes From(qint64 at) const
    {
        at = std::clamp<qint64>(at, 0, m_size);
        return {m_data + at, m_size - at};
    }

private:
    const uchar* m_data;
    qsizetype m_size;
};

// One colour channel of a pixel given by a bit mask, scaled to 0..255: a 5-bit channel's 31
// is 255, not 248.
struct TChannel {
    quint32 Mask = 0;
    int Shift = 0;
    int Bits = 0;

    static TChannel Of(quint32 mask)
    {
        TChannel c;
        c.Mask = mask;
        if (mask) {
            c.Shift = std::countr_zero(mask);
            c.Bits = 32 - std::countl_zero(mask >> c.Shift);
        }
        return c;
    }
    int Value(quint32 pixel, int absent) const
    {
        if (!Mask)
            return absent;
        const quint32 v = (pixel & Mask) >> Shift;
        if (Bits >= 8)
            return int(v >> (Bits - 8));
        const quint32 top = (1u << Bits) - 1;
        return int((v * 255 + top / 2) / top);
    }
};

// What a bitmap's header says.
struct TDib {
    qint64 Width = 0;
    qint64 Height = 0;
    bool TopDown = false;
    int Bpp = 0;
    quint32 Compression = BiRgb;
    TChannel Red, Green, Blue, Alpha;
    std::vector<QRgb> Palette;
    qint64 HeaderEnd = 0;  // where the palette begins
    qint64 PaletteEnd = 0; // where the pixels begin when nothing else says
};

bool Fail(QString& reason, const char* text)
{
    reason = QString::fromLatin1(text);
    return false;
}

QImage Refuse(QString& reason, const char* text)
{
    Fail(reason, text);
    return QImage();
}

// Reads the header, bit fields and palette of a bitmap from its start (the header's size
// field). `bitsAt`: where its pixels begin, if known, which bounds the palette.
bool ReadHeader(const TBytes& dib, qint64 bitsAt, TDib& out, QString& reason)
{
    const quint32 headerSize = dib.U32(0);
    int entrySize = 4;
    quint32 colours = 0;
    bool os2 = false;
    if (headerSize == 12) { // OS/2 1.x: 16-bit sizes, three-byte palette entries
        if (!dib.Has(0, 12))
            return Fail(reason, "the header is cut short");
        out.Width = dib.U16(4);
        out.Height = dib.U16(6);
        out.Bpp = dib.U16(10);
        entrySize = 3;
    } else if (headerSize >= 16 && headerSize <= 124) {
        if (!dib.Has(0, std::min<quint32>(headerSize, 40)))
            return Fail(reason, "the header is cut short");
        // Fields past a short header (OS/2 2.x may end after 16 bytes) are 0.
        const auto field = [&](quint32 at) { return at + 4 <= headerSize ? dib.U32(at) : 0u; };
        out.Width = dib.I32(4);
        const qint32 height = dib.I32(8);
        out.TopDown = height < 0;
        out.Height = qAbs(qint64(height));
        out.Bpp = dib.U16(14);
        out.Compression = field(16);
        colours = field(32);
        // OS/2 2.x headers have sizes no Windows header has; their compression 4 is RLE24.
        os2 = headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124;
        if (os2 && out.Compression == 3)
            return Fail(reason, "Huffman-compressed bitmaps are not supported");
        if (!os2 && out.Compression == BiOs2Rle24)
            return Fail(reason, "JPEG-compressed bitmaps are not supported");
    } else {
        return Fail(reason, "the header's size is not one of a bitmap");
    }
    if (out.Width <= 0 || out.Height <= 0)
        return Fail(reason, "the picture has no size");
    if (out.Width > 1'000'000 || out.Height > 1'000'000 || out.Width * out.Height > MaxPixels)
        return Fail(reason, "the picture is too large");

    qint64 at = headerSize;
    // Default channels; bit fields replace them.
    if (out.Bpp == 16) {
        out.Red = TChannel::Of(0x7C00);
        out.Green = TChannel::Of(0x03E0);
        out.Blue = TChannel::Of(0x001F);
    } else {
        out.Red = TChannel::Of(0xFF0000);
        out.Green = TChannel::Of(0x00FF00);
        out.Blue = TChannel::Of(0x0000FF);
    }
    if (out.Compression == BiBitfields || out.Compression == BiAlphaBitfields) {
        if (out.Bpp != 16 && out.Bpp != 32)
            return Fail(reason, "bit fields need 16 or 32 bits a pixel");
        // In the header from 52 bytes on; after a 40-byte one.
        const qint64 masksAt = headerSize >= 52 ? 40 : headerSize;
        const bool withAlpha = headerSize >= 56 || out.Compression == BiAlphaBitfields;
        if (!dib.Has(masksAt, withAlpha ? 16 : 12))
            return Fail(reason, "the bit fields are cut short");
        out.Red = TChannel::Of(dib.U32(masksAt));
        out.Green = TChannel::Of(dib.U32(masksAt + 4));
        out.Blue = TChannel::Of(dib.U32(masksAt + 8));
        if (withAlpha)
            out.Alpha = TChannel::Of(dib.U32(masksAt + 12));
        if (headerSize < 52)
            at += withAlpha ? 16 : 12;
        const quint32 within = out.Bpp == 32 ? 0xFFFFFFFFu : 0xFFFFu;
        for (const TChannel* c : {&out.Red, &out.Green, &out.Blue, &out.Alpha})
            if (c->Mask & ~within)
                return Fail(reason, "a bit field lies outside the pixel");
    } else if (out.Compression == BiRle8) {
        if (out.Bpp != 8)
            return Fail(reason, "RLE8 needs 8 bits a pixel");
    } else if (out.Compression == BiRle4) {
        if (out.Bpp != 4)
            return Fail(reason, "RLE4 needs 4 bits a pixel");
    } else if (out.Compression == BiOs2Rle24) {
        if (out.Bpp != 24)
            return Fail(reason, "RLE24 needs 24 bits a pixel");
    } else if (out.Compression != BiRgb) {
        return Fail(reason, "the compression is not supported");
    }
    if (out.Bpp != 1 && out.Bpp != 2 && out.Bpp != 4 && out.Bpp != 8 && out.Bpp != 16 && out.Bpp != 24 &&
        out.Bpp != 32)
        return Fail(reason, "the number of bits a pixel is not supported");
    if ((out.Compression == BiRle4 || out.Compression == BiRle8 || out.Compression == BiOs2Rle24) && out.TopDown)
        return Fail(reason, "a compressed bitmap cannot be stored from the top down");

    out.HeaderEnd = at;
    if (out.Bpp <= 8) {
        // As many colours as the header says, at most as many as the pixels can name, and at
        // most as many as fit before the pixels.
        qint64 count = (colours == 0 || colours > (1u << out.Bpp)) ? (1 << out.Bpp) : colours;
        if (bitsAt >= at)
            count = std::min<qint64>(count, (bitsAt - at) / entrySize);
        count = std::min<qint64>(count, (dib.Size() - std::min<qint64>(at, dib.Size())) / entrySize);
        out.Palette.assign(size_t(1) << out.Bpp, qRgb(0, 0, 0));
        for (qint64 i = 0; i < count; ++i) {
            const qint64 e = at + i * entrySize;
            out.Palette[size_t(i)] = qRgb(dib.U8(e + 2), dib.U8(e + 1), dib.U8(e));
        }
        at += (colours == 0 ? (qint64(1) << out.Bpp) : std::min<qint64>(colours, 1 << 16)) * entrySize;
    } else if (colours) {
        at += std::min<qint64>(colours, 1 << 16) * entrySize; // a palette for other devices, not used
    }
    out.PaletteEnd = at;
    return true;
}

struct TRead {
    int Rows = 0;          // rows read, from the first stored
    bool AnyAlpha = false; // a pixel had an alpha value other than 0
};

// The picture's rows as they are stored, into an ARGB picture whose untouched pixels stay
// transparent.
TRead ReadPixels(const TDib& dib, const TBytes& bits, QImage& image)
{
    const qint64 stride = ((dib.Width * dib.Bpp + 31) / 32) * 4;
    const int width = int(dib.Width), height = int(dib.Height);
    const bool alpha = dib.Alpha.Mask != 0;
    TRead read;
    for (int row = 0; row < height; ++row, ++read.Rows) {
        const qint64 start = qint64(row) * stride;
        if (!bits.Has(start, stride))
            break; // cut short: the rest stays transparent
        const uchar* p = bits.At(start);
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(dib.TopDown ? row : height - 1 - row));
        if (dib.Bpp <= 8) {
            const int perByte = 8 / dib.Bpp, mask = (1 << dib.Bpp) - 1;
            for (int x = 0; x < width; ++x) {
                const int shift = 8 - dib.Bpp * (x % perByte + 1);
                line[x] = dib.Palette[size_t((p[x / perByte] >> shift) & mask)];
            }
            continue;
        }
        for (int x = 0; x < width; ++x) {
            if (dib.Bpp == 24) {
                line[x] = qRgb(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
                continue;
            }
            const quint32 v = dib.Bpp == 16 ? qFromLittleEndian<quint16>(p + 2 * x) : qFromLittleEndian<quint32>(p + 4 * x);
            const int a = dib.Alpha.Value(v, 255);
            read.AnyAlpha = read.AnyAlpha || (alpha && a != 0);
            line[x] = qRgba(dib.Red.Value(v, 0), dib.Green.Value(v, 0), dib.Blue.Value(v, 0), a);
        }
    }
    return read;
}

// Run-length coded pixels (RLE4, RLE8, OS/2's RLE24), stored from the bottom up. Pixels the
// codes skip stay transparent; a code that would write outside the picture ends it.
void ReadRunLengths(const TDib& dib, const TBytes& bits, QImage& image)
{
    const int width = int(dib.Width), height = int(dib.Height);
    const auto colour = [&](const uchar* p, int i) -> QRgb {
        if (dib.Bpp == 24)
            return qRgb(p[3 * i + 2], p[3 * i + 1], p[3 * i]);
        if (dib.Bpp == 8)
            return dib.Palette[p[i]];
        return dib.Palette[(p[i / 2] >> (i % 2 ? 0 : 4)) & 0x0F];
    };
    const int unitBytes = dib.Bpp == 24 ? 3 : 1;
    int x = 0, y = 0;
    qint64 at = 0;
    const auto put = [&](QRgb c) {
        if (x < width && y < height)
            reinterpret_cast<QRgb*>(image.scanLine(height - 1 - y))[x] = c;
        ++x;
    };
    while (y < height && bits.Has(at, 2)) {
        const int count = bits.U8(at), code = bits.U8(at + 1);
        at += 2;
        if (count > 0) { // a run of one value (two alternating ones in RLE4): the code byte
            const qint64 valueAt = at - 1;
            if (dib.Bpp == 24) { // RLE24's value is three bytes, the code byte the first
                if (!bits.Has(valueAt, 3))
                    break;
                at += 2;
            }
            const uchar* value = bits.At(valueAt);
            for (int i = 0; i < count && x < width; ++i)
                put(colour(value, dib.Bpp == 4 ? i % 2 : 0));
            continue;
        }
        if (code == 0) { // end of line
            x = 0;
            ++y;
        } else if (code == 1) { // end of picture
            break;
        } else if (code == 2) { // move right and up
            if (!bits.Has(at, 2))
                break;
            x += bits.U8(at);
            y += bits.U8(at + 1);
            at += 2;
        } else { // `code` values stored as they are, padded to two bytes
            const qint64 bytes = dib.Bpp == 4 ? (code + 1) / 2 : qint64(code) * unitBytes;
            if (!bits.Has(at, bytes))
                break;
            for (int i = 0; i < code && x < width; ++i)
                put(colour(bits.At(at), i));
            at += bytes + (bytes & 1);
        }
    }
}

// Decodes a bitmap whose header begins `dib`; its pixels at `bitsAt` (or after its palette
// when that is not a place within it). An icon's bitmap is twice as high as its picture:
// the colours, then the mask of transparent pixels.
QImage DecodeDib(const TBytes& dib, qint64 bitsAt, bool icon, QString& reason)
{
    TDib header;
    if (!ReadHeader(dib, bitsAt, header, reason))
        return QImage();
    if (icon) {
        header.Height /= 2;
        header.TopDown = false;
        if (header.Height <= 0)
            return Refuse(reason, "the picture has no size");
        if (header.Bpp == 32 && header.Compression == BiRgb)
            header.Alpha = TChannel::Of(0xFF000000);
    }
    if (bitsAt < header.HeaderEnd || bitsAt >= dib.Size())
        bitsAt = header.PaletteEnd;
    QImage image(int(header.Width), int(header.Height), QImage::Format_ARGB32);
    if (image.isNull())
        return Refuse(reason, "out of memory");
    image.fill(Qt::transparent);
    const TBytes bits = dib.From(bitsAt);
    TRead read;
    if (header.Compression == BiRle4 || header.Compression == BiRle8 || header.Compression == BiOs2Rle24)
        ReadRunLengths(header, bits, image);
    else
        read = ReadPixels(header, bits, image);
    if (header.Alpha.Mask && !read.AnyAlpha) { // an alpha channel left all 0 means no alpha at all
        for (int row = 0; row < read.Rows; ++row) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(header.TopDown ? row : image.height() - 1 - row));
            for (int x = 0; x < image.width(); ++x)
                line[x] |= 0xFF000000u;
        }
    }
    if (icon && !read.AnyAlpha && header.Compression == BiRgb) {
        // The mask: one bit a pixel, rows of whole 32-bit words, from the bottom up; a set bit
        // is a transparent pixel.
        const qint64 stride = ((header.Width + 31) / 32) * 4;
        const qint64 colourBytes = ((header.Width * header.Bpp + 31) / 32) * 4 * header.Height;
        const TBytes mask = bits.From(colourBytes);
        for (int row = 0; row < image.height(); ++row) {
            if (!mask.Has(row * stride, stride))
                break;
            const uchar* m = mask.At(row * stride);
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(image.height() - 1 - row));
            for (int x = 0; x < image.width(); ++x)
                if (m[x / 8] & (0x80 >> (x % 8)))
                    line[x] = 0;
        }
    }
    return image;
}

} // namespace

QImage DecodeBmp(QByteArrayView file, QString& reason)
{
    const TBytes bytes(file);
    if (!bytes.Has(0, 14) || bytes.U16(0) != 0x4D42) // "BM"
        return Refuse(reason, "the file does not begin as a bitmap");
    // The file's size field is often wrong; the offset of the pixels counts where it can.
    const qint64 bitsAt = qint64(bytes.U32(10)) - 14;
    return DecodeDib(bytes.From(14), bitsAt, false, reason);
}

QImage DecodeIco(QByteArrayView file, QString& reason)
{
    const TBytes bytes(file);
    const quint16 type = bytes.U16(2), count = bytes.U16(4);
    if (!bytes.Has(0, 6) || bytes.U16(0) != 0 || (type != 1 && type != 2) || count == 0)
        return Refuse(reason, "the file does not begin as an icon");

    // The sizes and depths the images themselves declare: directories are often wrong.
    struct TEntry {
        qint64 Offset = 0;
        qint64 Area = 0;
        int Depth = 0;
        bool Png = false;
    };
    std::vector<TEntry> entries;
    for (int i = 0; i < count && bytes.Has(6 + 16 * i, 16); ++i) {
        const qint64 entryAt = 6 + 16 * i;
        TEntry e;
        e.Offset = bytes.U32(entryAt + 12);
        const TBytes image = bytes.From(e.Offset);
        if (!bytes.Has(e.Offset, 16))
            continue;
        if (image.Size() >= 24 && std::memcmp(image.At(0), "\x89PNG\r\n\x1A\n", 8) == 0) {
            e.Png = true;
            e.Area = qint64(qFromBigEndian<quint32>(image.At(16))) * qFromBigEndian<quint32>(image.At(20));
            e.Depth = 32;
        } else {
            TDib header;
            QString ignored;
            if (!ReadHeader(image, -1, header, ignored))
                continue;
            e.Area = header.Width * (header.Height / 2);
            e.Depth = header.Bpp;
        }
        entries.push_back(e);
    }
    // The largest, and of those the deepest; the first of equals.
    const auto best = std::max_element(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
        return a.Area != b.Area ? a.Area < b.Area : a.Depth < b.Depth;
    });
    if (best == entries.end())
        return Refuse(reason, "the icon holds no image that can be read");
    if (best->Png) {
        // To the end of the file: the directory's size of the image is sometimes short.
        QByteArray png = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.At(best->Offset)),
                                                 bytes.Size() - best->Offset);
        QBuffer buffer(&png);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "png");
        if (qint64(reader.size().width()) * reader.size().height() > MaxPixels)
            return Refuse(reason, "the picture is too large");
        QImage image = reader.read();
        if (image.isNull())
            reason = reader.errorString();
        return image;
    }
    return DecodeDib(bytes.From(best->Offset), -1, true, reason);
}

} // namespace bmp
