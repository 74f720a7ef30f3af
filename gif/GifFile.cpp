#include "gif/GifFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gif {

IGifHost& NullGifHost()
{
    static TNullGifHost host;
    return host;
}

namespace {

constexpr uint8_t ExtensionIntroducer = 0x21;
constexpr uint8_t ImageSeparator = 0x2C;
constexpr uint8_t Trailer = 0x3B;

constexpr TRgb Standard16[16] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

// Extension label, kind, fixed bytes after the label, whether data sub-blocks follow.
struct ExtensionLayout {
    uint8_t label;
    TExtensionKind kind;
    size_t fixed;
    bool subBlocks;
};
constexpr ExtensionLayout ExtensionLayouts[] = {
    {0xF9, ekGraphicControl, 6, false},
    {0x01, ekPlainText, 13, true},
    {0xFF, ekApplication, 12, true},
    {0xFE, ekComment, 0, true},
};

const ExtensionLayout* FindExtensionLayout(uint8_t label)
{
    for (const ExtensionLayout& l : ExtensionLayouts)
        if (l.label == label)
            return &l;
    return nullptr;
}

// What one kept extension costs: its record, and each sub-block as a string of its own.
constexpr int64_t ExtensionRecordBytes = 96;
constexpr int64_t SubBlockRecordBytes = 32;

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string Hex2(uint8_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    return {digits[value >> 4], digits[value & 15]};
}

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

} // namespace

// ---------------------------------------------------------------------------------------
// The byte source: a file read through a buffer, or bytes in memory. Every read asks for an
// exact number of bytes; a source that ends before them fails with "Read beyond end of file".

namespace {
[[noreturn]] void ReadBeyondEnd() { throw EInOutError("Read beyond end of file"); }

// The system's words for an error, in English whatever the locale, as the rest of the
// message.
std::string SystemErrorText(int error)
{
    const char* text = ::strerrordesc_np(error);
    return text ? text : "Unknown error " + std::to_string(error);
}

std::string OpenErrorText(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "File not found";
    case EACCES:
    case EPERM:
        return "Access denied";
    default:
        return SystemErrorText(error);
    }
}
} // namespace

class TGifFile::Reader {
public:
    static constexpr size_t BufferSize = 64 * 1024;

    Reader(const uint8_t* bytes, size_t length) : m_memory(bytes), m_cursor(bytes), m_end(bytes + length) {}

    explicit Reader(const std::string& fileName)
    {
        // O_NONBLOCK: a FIFO must not block the open; only regular files are read.
        m_fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (m_fd < 0)
            throw EInOutError(OpenErrorText(errno));
        struct stat st = {};
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(m_fd);
            throw EInOutError(S_ISDIR(st.st_mode) ? "Access denied" : "Not a regular file");
        }
        m_buffer = std::make_unique<uint8_t[]>(BufferSize);
        m_cursor = m_end = m_buffer.get();
    }
    ~Reader()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // The next count bytes (at most BufferSize), valid until the next call.
    const uint8_t* Take(size_t count)
    {
        if (size_t(m_end - m_cursor) < count) [[unlikely]]
            Fill(count);
        const uint8_t* at = m_cursor;
        m_cursor += count;
        return at;
    }
    uint8_t Byte() { return *Take(1); }
    void Read(uint8_t* destination, size_t count) { std::memcpy(destination, Take(count), count); }
    void Skip(size_t count)
    {
        while (count > 0) {
            const size_t n = std::min(count, BufferSize);
            Take(n);
            count -= n;
        }
    }
    // Skips data sub-blocks up to their terminator; returns how many bytes they held and,
    // through blocks, how many there were.
    int64_t SkipSubBlocks(int64_t& blocks)
    {
        int64_t bytes = 0;
        for (uint8_t length = Byte(); length != 0; length = Byte()) {
            Take(length);
            bytes += length;
            ++blocks;
        }
        return bytes;
    }

    // Back to the first byte, for a second pass.
    void Restart()
    {
        if (m_fd < 0) {
            m_cursor = m_memory;
            return;
        }
        if (::lseek(m_fd, 0, SEEK_SET) != 0)
            throw EInOutError(SystemErrorText(errno));
        m_cursor = m_end = m_buffer.get();
    }

private:
    // Makes count bytes available from the cursor: what is left moves to the front of the
    // buffer, and the file is read until it has them.
    void Fill(size_t count)
    {
        if (m_fd < 0 || count > BufferSize)
            ReadBeyondEnd();
        const size_t left = size_t(m_end - m_cursor);
        std::memmove(m_buffer.get(), m_cursor, left);
        m_cursor = m_buffer.get();
        m_end = m_cursor + left;
        while (size_t(m_end - m_cursor) < count) {
            ssize_t n;
            do
                n = ::read(m_fd, m_buffer.get() + (m_end - m_cursor), BufferSize - size_t(m_end - m_cursor));
            while (n < 0 && errno == EINTR);
            if (n < 0)
                throw EInOutError(errno == EISDIR ? std::string("Access denied") : SystemErrorText(errno));
            if (n == 0)
                ReadBeyondEnd();
            m_end += n;
        }
    }

    const uint8_t* m_memory = nullptr;
    int m_fd = -1;
    std::unique_ptr<uint8_t[]> m_buffer;
    const uint8_t* m_cursor = nullptr;
    const uint8_t* m_end = nullptr;
};

namespace {

// The hourglass for the whole of a load, also when it fails.
class BusyCursor {
public:
    explicit BusyCursor(IGifHost& host) : m_host(host) { m_host.SetBusyCursor(true); }
    ~BusyCursor() { m_host.SetBusyCursor(false); }

private:
    IGifHost& m_host;
};

} // namespace

// ---------------------------------------------------------------------------------------

void TColorTable::SetDefaultColors(int32_t count)
{
    Count = count;
    if (count == 2) {
        Entries[0] = {0, 0, 0};
        Entries[1] = {255, 255, 255};
    } else if (count == 256) {
        for (int i = 0; i < 256; ++i)
            Entries[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
    } else if (count == 16) {
        std::copy(std::begin(Standard16), std::end(Standard16), Entries.begin());
    }
}

// The fixed bytes of a graphic control extension: block size, packed fields, delay (2),
// transparent colour index, block terminator.
uint16_t TExtension::DelayTime() const { return Fixed.size() >= 4 ? Le16(&Fixed[2]) : 0; }

int TExtension::Disposal() const { return Fixed.size() >= 2 ? (Fixed[1] >> 2) & 7 : 0; }

int TExtension::TransparentIndex() const { return Fixed.size() >= 5 && (Fixed[1] & 1) ? Fixed[4] : -1; }

TGifSubImage::TGifSubImage(uint16_t colorCount, TGifFile* parent) : Parent(parent)
{
    int bits = 0;
    for (int b = 1; b <= 8; ++b)
        if (colorCount == (1 << b))
            bits = b;
    if (bits == 0)
        throw EGifException("Number of colors (" + std::to_string(colorCount) + ") wrong; must be a power of 2");
    BitsPerPixel = uint8_t(bits);
    CodeSize = BitsPerPixel == 1 ? 2 : BitsPerPixel;
    Pixels = std::make_unique<TByteArray2D>(0, 0);
    ColorTable.SetDefaultColors(colorCount);
    ImagePackedFields = uint8_t((LocalColorTableFlag ? 0x80 : 0) + (Interlaced ? 0x40 : 0) +
                                (LocalColorTableFlag ? BitsPerPixel - 1 : 0));
}

uint16_t TGifSubImage::Delay() const
{
    for (auto it = Extensions.rbegin(); it != Extensions.rend(); ++it)
        if (it->Kind == ekGraphicControl)
            return it->DelayTime();
    return 0;
}

int TGifSubImage::Disposal() const
{
    for (auto it = Extensions.rbegin(); it != Extensions.rend(); ++it)
        if (it->Kind == ekGraphicControl)
            return it->Disposal();
    return 0;
}

int TGifSubImage::TransparentIndex() const
{
    for (auto it = Extensions.rbegin(); it != Extensions.rend(); ++it)
        if (it->Kind == ekGraphicControl)
            return it->TransparentIndex();
    return -1;
}

bool TGifSubImage::HasGraphicControl() const
{
    for (const TExtension& e : Extensions)
        if (e.Kind == ekGraphicControl)
            return true;
    return false;
}

int32_t TGifSubImage::NextInterlacedRow(int32_t row, int32_t height, int32_t& pass)
{
    static constexpr int32_t First[] = {0, 0, 4, 2, 1};
    static constexpr int32_t Step[] = {0, 8, 8, 4, 2};
    if (pass >= 1 && pass <= 4) {
        const int32_t next = row + Step[pass];
        if (next < height)
            return next;
    }
    while (pass < 5) {
        ++pass;
        if (pass <= 4 && First[pass] < height)
            return First[pass];
    }
    return height; // no rows left
}

const TColorTable& TGifSubImage::Colors() const
{
    return LocalColorTableFlag || !Parent ? ColorTable : Parent->GlobalColorTable;
}

const QImage& TGifSubImage::AsBitmap()
{
    if (m_bitmapBuilt)
        return m_bitmap;
    m_bitmapBuilt = true;
    DecodeIfCompressed(); // an image kept compressed keeps its pixels from now on
    if (Width == 0 || Height == 0 || Pixels->Columns() != Width || Pixels->Rows() != Height)
        return m_bitmap; // nothing to draw
    // A view of the indices, not a copy: read-only, so writing to a copy detaches it.
    QImage image(Pixels->RowData(1), Width, Height, Width, QImage::Format_Indexed8);
    if (image.isNull())
        throw ENotEnoughMemory(int64_t(Width) * Height);
    const TColorTable& table = Colors();
    QList<QRgb> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[i] = qRgb(table.Entries[i].Red, table.Entries[i].Green, table.Entries[i].Blue);
    image.setColorTable(palette);
    m_bitmap = std::move(image);
    return m_bitmap;
}

TMessagePump::TMessagePump(IGifHost& host) : m_host(host), m_lastNs(NowNs()) {}

void TMessagePump::Check()
{
    m_pixelsSinceCheck = 0;
    if (m_host.StopRequested())
        throw EGifCancelled();
    const int64_t now = NowNs();
    if (now - m_lastNs < int64_t(PumpIntervalMs) * 1000000)
        return;
    m_host.ProcessMessages();
    m_lastNs = NowNs();
    if (m_host.StopRequested())
        throw EGifCancelled();
}

void TMessagePump::Finish()
{
    m_host.ProcessMessages();
    m_lastNs = NowNs();
}

// ---------------------------------------------------------------------------------------

TGifFile::TGifFile(IGifHost& host) : m_host(host) { GlobalColorTable.SetDefaultColors(2); }

TGifSubImage& TGifFile::SubImage(int32_t index)
{
    if (index < 1 || index > SubImageCount())
        throw EListError(index - 1);
    return *m_subImages[size_t(index - 1)];
}

const TGifSubImage& TGifFile::SubImage(int32_t index) const
{
    return const_cast<TGifFile*>(this)->SubImage(index);
}

void TGifFile::LoadFromFile(const std::string& fileName)
{
    BusyCursor busy(m_host);
    m_subImages.clear();
    m_decodedBytes = 0;
    m_neededBytes = 0;
    Reader reader(fileName);
    Load(reader);
}

void TGifFile::LoadFromBuffer(const uint8_t* bytes, size_t length)
{
    BusyCursor busy(m_host);
    m_subImages.clear();
    m_decodedBytes = 0;
    m_neededBytes = 0;
    Reader reader(bytes, length);
    Load(reader);
}

void TGifFile::Count(int64_t bytes)
{
    m_decodedBytes += bytes;
    if (m_decodedBytes > MaxDecodedBytes)
        throw ENotEnoughMemory::OverBudget(std::max(m_decodedBytes, m_neededBytes), MaxDecodedBytes);
}

// Walks the whole stream without keeping anything and adds up what a load would keep. A
// damaged stream is measured up to the damage: the load then fails at the same place.
int64_t TGifFile::Measure(Reader& reader)
{
    int64_t need = 0, allPixels = 0, largestImage = 0;
    TGifRect screen, firstImage;
    bool restores = false; // a frame is to be disposed of by restoring what was under it
    m_measuredData.clear();
    m_pixelArenaBytes = m_dataArenaBytes = 0;
    try {
        uint8_t header[13];
        reader.Read(header, 13);
        screen = TGifRect{0, 0, Le16(header + 6), Le16(header + 8)};
        if (header[10] & 0x80)
            reader.Skip(size_t(3) << ((header[10] & 7) + 1));
        bool first = true;
        for (uint8_t b = reader.Byte(); b != Trailer; b = reader.Byte()) {
            int64_t blocks = 0;
            if (b == ExtensionIntroducer) {
                const ExtensionLayout* layout = FindExtensionLayout(reader.Byte());
                if (!layout)
                    break;
                if (layout->kind == ekGraphicControl) {
                    uint8_t fixed[6];
                    reader.Read(fixed, sizeof fixed);
                    restores = restores || ((fixed[1] >> 2) & 7) == 3;
                } else {
                    reader.Skip(layout->fixed);
                }
                const int64_t bytes = layout->subBlocks ? reader.SkipSubBlocks(blocks) : 0;
                need += ExtensionRecordBytes + int64_t(layout->fixed) + bytes + SubBlockRecordBytes * blocks;
            } else if (b == ImageSeparator) {
                uint8_t descriptor[9];
                reader.Read(descriptor, 9);
                const int64_t pixels = int64_t(Le16(descriptor + 4)) * Le16(descriptor + 6);
                if (descriptor[8] & 0x80)
                    reader.Skip(size_t(3) << ((descriptor[8] & 7) + 1));
                reader.Byte(); // code size
                const int64_t data = reader.SkipSubBlocks(blocks);
                need += ImageRecordBytes + pixels + data + int64_t(sizeof(size_t)) * blocks;
                allPixels += pixels;
                largestImage = std::max(largestImage, pixels);
                m_measuredData.emplace_back(size_t(data), size_t(blocks));
                if (pixels > 0)
                    m_pixelArenaBytes += ArenaSlice(size_t(pixels + TBigByteArray::TailSlack));
                m_dataArenaBytes += ArenaSlice(size_t(data));
                if (first)
                    firstImage = TGifRect{Le16(descriptor), Le16(descriptor + 2), Le16(descriptor + 4),
                                          Le16(descriptor + 6)};
                first = false;
            } else {
                break;
            }
        }
    } catch (const EInOutError&) {
        // the stream ends early: measured as far as it goes
    }
    // Kept compressed, the images need room for one decoded at a time only.
    m_framesOnDemand = allPixels > FramesOnDemandAbove;
    if (m_framesOnDemand) {
        need += largestImage - allPixels;
        m_pixelArenaBytes = 0;
    }
    m_canvasBytesPerPixel = restores ? 2 * ComposedBytesPerPixel : ComposedBytesPerPixel;
    m_canvas = firstImage;
    if (firstImage.Pixels() > 0) {
        const TGifRect grown{0, 0, std::max(screen.Width, firstImage.Left + firstImage.Width),
                             std::max(screen.Height, firstImage.Top + firstImage.Height)};
        if (need + m_canvasBytesPerPixel * grown.Pixels() <= MaxDecodedBytes)
            m_canvas = grown;
    }
    return need + m_canvasBytesPerPixel * m_canvas.Pixels();
}

void TGifFile::Load(Reader& reader)
{
    m_neededBytes = Measure(reader);
    reader.Restart();
    if (m_neededBytes > MaxDecodedBytes)
        throw ENotEnoughMemory::OverBudget(m_neededBytes, MaxDecodedBytes);
    if (BeforeDecode)
        BeforeDecode(m_neededBytes);
    // All images' pixels and data in one block: made now, let go of with the last image.
    if (m_pixelArenaBytes + m_dataArenaBytes > 0)
        m_arena = TByteArena::Make(m_pixelArenaBytes, m_dataArenaBytes);
    struct LetGo {
        std::shared_ptr<TByteArena>& arena;
        ~LetGo() { arena.reset(); }
    } letGo{m_arena};

    TMessagePump pump(m_host);
    uint8_t header[6];
    reader.Read(header, 6);
    std::memcpy(Signature, header, 3);
    std::memcpy(Version, header + 3, 3);
    const std::string version(Version, 3);
    if (version != "87a" && version != "89a" && version != "87A" && version != "89A")
        throw EGifException("Gif Version must be 87a or 89a");

    uint8_t screen[7];
    reader.Read(screen, 7);
    ScreenWidth = Le16(screen);
    ScreenHeight = Le16(screen + 2);
    ScreenPackedFields = screen[4];
    BackgroundColorIndex = screen[5];
    PixelAspectRatio = screen[6];
    GlobalColorTableFlag = ScreenPackedFields & 0x80;
    BitsPerPixel = uint8_t((ScreenPackedFields & 7) + 1);
    GlobalColorTable.Count = 1 << BitsPerPixel;
    if (GlobalColorTableFlag)
        reader.Read(reinterpret_cast<uint8_t*>(GlobalColorTable.Entries.data()), size_t(GlobalColorTable.Count) * 3);

    uint8_t b = reader.Byte();
    while (b != Trailer) {
        std::vector<TExtension> extensions;
        ReadExtensions(reader, b, extensions);
        if (b == ImageSeparator) {
            auto image = std::make_unique<TGifSubImage>(uint16_t(GlobalColorTable.Count), this);
            image->Extensions = std::move(extensions);
            Count(ImageRecordBytes);
            ReadImage(reader, *image);
            image->Decode(pump); // every image once, so that a damaged one fails the load
            if (m_framesOnDemand)
                image->Pixels.reset();
            m_subImages.push_back(std::move(image));
            b = reader.Byte();
        } else if (b != Trailer) {
            // Stray bytes between blocks: the stream is damaged; stop rather than guess.
            throw EGifException("Unexpected block introducer." "\r\n" "Code = $" + Hex2(b));
        }
    }
    pump.Finish();
}

void TGifFile::ReadExtensions(Reader& reader, uint8_t& b, std::vector<TExtension>& list)
{
    auto readSubBlocks = [this, &reader](TExtension& e) {
        uint8_t length = reader.Byte();
        while (length != 0) {
            std::string line(length, '\0');
            reader.Read(reinterpret_cast<uint8_t*>(line.data()), length);
            e.Lines.push_back(std::move(line));
            Count(length);
            length = reader.Byte();
        }
    };
    while (b == ExtensionIntroducer) {
        TExtension& e = list.emplace_back();
        const uint8_t label = reader.Byte();
        const ExtensionLayout* layout = FindExtensionLayout(label);
        if (!layout)
            throw EGifException("Unrecognized extension block." "\r\n" "Code = $" + Hex2(label));
        e.Kind = layout->kind;
        e.Fixed.resize(layout->fixed);
        if (layout->fixed > 0)
            reader.Read(e.Fixed.data(), layout->fixed);
        if (layout->subBlocks)
            readSubBlocks(e);
        Count(ExtensionRecordBytes + int64_t(layout->fixed) + SubBlockRecordBytes * int64_t(e.Lines.size()));
        b = reader.Byte();
    }
}

void TGifFile::ReadImage(Reader& reader, TGifSubImage& image)
{
    uint8_t descriptor[9];
    reader.Read(descriptor, 9);
    image.Left = Le16(descriptor);
    image.Top = Le16(descriptor + 2);
    image.Width = Le16(descriptor + 4);
    image.Height = Le16(descriptor + 6);
    image.ImagePackedFields = descriptor[8];
    image.LocalColorTableFlag = image.ImagePackedFields & 0x80;
    image.Interlaced = image.ImagePackedFields & 0x40;
    image.BitsPerPixel = uint8_t((image.ImagePackedFields & 7) + 1);
    image.ColorTable.Count = 1 << image.BitsPerPixel;
    if (image.LocalColorTableFlag)
        reader.Read(reinterpret_cast<uint8_t*>(image.ColorTable.Entries.data()), size_t(image.ColorTable.Count) * 3);

    // The budget is checked before any block is asked for; the first image's pixels are
    // also the composed picture's.
    const int64_t pixels = int64_t(image.Width) * image.Height;
    if (m_subImages.empty()) {
        m_largestCounted = 0;
        Count(m_canvasBytesPerPixel * m_canvas.Pixels());
    }
    if (!m_framesOnDemand) {
        Count(pixels);
    } else if (pixels > m_largestCounted) { // room for the largest image decoded at a time
        Count(pixels - m_largestCounted);
        m_largestCounted = pixels;
    }
    image.Pixels = std::make_unique<TByteArray2D>(image.Width, image.Height, m_framesOnDemand ? nullptr : m_arena);

    // The data is gathered once into storage of the size the measuring found.
    const size_t n = m_subImages.size();
    if (n < m_measuredData.size())
        image.Data.Reserve(m_measuredData[n].first, m_measuredData[n].second, m_arena);
    image.CodeSize = reader.Byte();
    for (uint8_t length = reader.Byte(); length != 0; length = reader.Byte()) {
        const uint8_t* block = reader.Take(length);
        Count(length + int64_t(sizeof(size_t)));
        std::memcpy(image.Data.AppendChunk(length), block, length);
        if (m_host.StopRequested())
            throw EGifCancelled();
    }
}

uint16_t TGifFile::AnimationInterval() const
{
    if (SubImageCount() < 2)
        return 0;
    uint16_t result = 0;
    bool noInterval = false, unequal = false;
    for (const auto& image : m_subImages) {
        const uint16_t delay = image->Delay();
        noInterval = noInterval || delay == 0;
        unequal = unequal || (result != 0 && delay != result);
        if (delay != 0)
            result = delay;
    }
    // One notice of each kind, however many images lack a delay or differ.
    if (noInterval)
        m_host.ShowNotice("Multiple subimages; no animation time interval found");
    if (unequal)
        m_host.ShowNotice("Multiple subimages; animation time intervals not equal");
    return result;
}

} // namespace gif
