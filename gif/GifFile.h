#pragma once

// Reading GIF files (versions 87a and 89a) into images of decoded colour indices.
//
//   gif::TGifFile file(host);
//   file.LoadFromFile("anim.gif");            // throws on any error
//   for (int i = 1; i <= file.SubImageCount(); ++i)
//       show(file.SubImage(i).AsBitmap());
//
// Counts start at 1, as do indices. Every read is length-checked. Everything one file
// keeps in memory counts against one budget (MaxDecodedBytes): the decoded indices, the
// compressed data and extensions kept, a record per image, and the one 32-bit picture of
// the first image's size into which the program composes the animation. The whole file is
// measured before anything is decoded, and a file over the budget is refused at once with
// ENotEnoughMemory::OverBudget.

#include "gif/ByteArrays.h"
#include "gif/GifErrors.h"
#include "gif/GifHost.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gif {

inline constexpr int64_t MaxDecodedBytes = int64_t(768) * 1024 * 1024;
// Bytes per pixel of the canvas the program composes the animation on (a 32-bit picture;
// twice that in a file with frames that restore what was under them, which needs a copy),
// and what one image's record costs besides its pixels and data.
inline constexpr int64_t ComposedBytesPerPixel = 4;
inline constexpr int64_t ImageRecordBytes = 1024;
// A file whose images' pixels together take more than this keeps its images compressed
// (their data only) and decodes an image when it is drawn: a long 1080p animation then
// takes tens of megabytes instead of hundreds.
inline constexpr int64_t FramesOnDemandAbove = int64_t(64) * 1024 * 1024;

// Runs the host's pending messages during decoding: at most every PumpIntervalMs of work,
// and once when asked to Finish; and stops the load when the host asks for it.
class TMessagePump {
public:
    static constexpr int PumpIntervalMs = 10;
    explicit TMessagePump(IGifHost& host);
    // A row of `pixels` pixels is complete; may throw EGifCancelled. The clock and the host
    // are asked only every CheckPixels pixels, so tiny rows cost next to nothing.
    void RowDone(int pixels)
    {
        m_pixelsSinceCheck += pixels;
        if (m_pixelsSinceCheck >= CheckPixels)
            Check();
    }
    void Finish();

private:
    static constexpr int CheckPixels = 16384;
    void Check();
    IGifHost& m_host;
    int64_t m_lastNs;
    int m_pixelsSinceCheck = 0;
};

struct TRgb {
    uint8_t Red = 0, Green = 0, Blue = 0;
};

struct TColorTable {
    std::array<TRgb, 256> Entries{};
    int32_t Count = 0;

    // Count := count; 2 gives black and white, 16 the sixteen standard colours, 256 a grey
    // ramp; other counts leave the entries as they are.
    void SetDefaultColors(int32_t count);
};

enum TExtensionKind { ekGraphicControl, ekPlainText, ekApplication, ekComment };

struct TExtension {
    TExtensionKind Kind = ekGraphicControl;
    std::vector<uint8_t> Fixed;           // the fixed bytes after the label, as read
    std::vector<std::string> Lines;       // one per data sub-block, bytes unchanged

    // Graphic control extension only: delay in hundredths of a second, disposal method
    // (0 and 1 keep the frame, 2 restores the background, 3 what was under it), and the
    // transparent colour index (-1 for none).
    uint16_t DelayTime() const;
    int Disposal() const;
    int TransparentIndex() const;
};

// A rectangle in the logical screen's coordinates.
struct TGifRect {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    int64_t Pixels() const { return int64_t(Width) * Height; }
};

class TGifFile;

class TGifSubImage {
public:
    // colorCount must be a power of two from 2 to 256, else EGifException.
    TGifSubImage(uint16_t colorCount, TGifFile* parent);

    // The delay of the last graphic control extension, 0 without one.
    uint16_t Delay() const;
    bool HasGraphicControl() const;
    // The last graphic control extension's disposal method (0 without one) and transparent
    // colour index (-1 without one).
    int Disposal() const;
    int TransparentIndex() const;

    // Decodes Data into Pixels (the LZW decoder); pump lets messages run during it.
    void Decode(TMessagePump& pump);
    // Pixels, decoded again from Data if the file keeps its images compressed (then Pixels
    // is null after the load); the caller lets them go with Pixels.reset() once drawn.
    // Returns whether it decoded them.
    bool DecodeIfCompressed();

    // The colour table that applies: the local one when the image has one, else the file's.
    const TColorTable& Colors() const;

    // The image as an 8-bit indexed picture with a 256-entry palette (Colors()). It shares
    // the memory of Pixels, so it costs nothing extra and is valid while this image lives:
    // take a copy() to keep it longer. An image kept compressed is decoded for it, and keeps
    // its pixels.
    const QImage& AsBitmap();

    // The next row of an interlaced image after row (0-based); pass (1..4) is updated.
    static int32_t NextInterlacedRow(int32_t row, int32_t height, int32_t& pass);

    TGifFile* Parent;
    uint8_t CodeSize;
    TByteBuffer Data;
    uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
    uint8_t ImagePackedFields = 0;
    bool Interlaced = false;
    bool LocalColorTableFlag = false;
    std::vector<TExtension> Extensions;
    uint8_t BitsPerPixel;
    std::unique_ptr<TByteArray2D> Pixels;
    TColorTable ColorTable;

private:
    QImage m_bitmap;
    bool m_bitmapBuilt = false;
};

class TGifFile {
public:
    explicit TGifFile(IGifHost& host = NullGifHost());

    // Reads and decodes a whole file. Errors travel to the caller; the images read before
    // the error stay in the file.
    void LoadFromFile(const std::string& fileName);
    // The same, from bytes in memory.
    void LoadFromBuffer(const uint8_t* bytes, size_t length);

    int32_t SubImageCount() const { return int32_t(m_subImages.size()); }
    // index 1..SubImageCount, else EListError with the 0-based index.
    TGifSubImage& SubImage(int32_t index);
    const TGifSubImage& SubImage(int32_t index) const;

    // The single frame interval of an animation, in hundredths of a second, with notices
    // through the host where the images' delays are missing or differ: each kind of
    // notice at most once.
    uint16_t AnimationInterval() const;

    // What the file needs of the memory budget (known once a load has measured it).
    int64_t NeededBytes() const { return m_neededBytes; }
    // Whether the images are kept compressed and decoded when drawn (a file whose pixels
    // together pass FramesOnDemandAbove).
    bool FramesOnDemand() const { return m_framesOnDemand; }

    // Where an animation is composed, as a browser composes it: the logical screen, grown to
    // hold the first image. Should that not fit the budget (a tiny image on a huge declared
    // screen), the first image's own rectangle. Known once a load has measured the file.
    TGifRect Canvas() const { return m_canvas; }

    // Called once the file has been measured and before anything is decoded, with what it
    // needs: the program can let go of what it no longer needs to make room.
    std::function<void(int64_t neededBytes)> BeforeDecode;

    char Signature[3] = {'G', 'I', 'F'};
    char Version[3] = {'8', '7', 'a'};
    uint16_t ScreenWidth = 0, ScreenHeight = 0;
    uint8_t ScreenPackedFields = 0;
    uint8_t BackgroundColorIndex = 0;
    uint8_t PixelAspectRatio = 0;
    bool GlobalColorTableFlag = true;
    TColorTable GlobalColorTable;
    uint8_t BitsPerPixel = 1;

    class Reader; // a byte source, internal to the reader

private:
    void Load(Reader& reader);
    int64_t Measure(Reader& reader);
    void Count(int64_t bytes);
    void ReadExtensions(Reader& reader, uint8_t& b, std::vector<TExtension>& list);
    void ReadImage(Reader& reader, TGifSubImage& image);

    IGifHost& m_host;
    std::vector<std::unique_ptr<TGifSubImage>> m_subImages;
    int64_t m_decodedBytes = 0;
    int64_t m_neededBytes = 0;
    TGifRect m_canvas;
    int64_t m_canvasBytesPerPixel = ComposedBytesPerPixel;
    bool m_framesOnDemand = false;
    int64_t m_largestCounted = 0; // of the images kept compressed, the largest counted so far
    std::vector<std::pair<size_t, size_t>> m_measuredData; // each image's data bytes and sub-blocks
    size_t m_pixelArenaBytes = 0, m_dataArenaBytes = 0;       // what all images' pixels and data take
    std::shared_ptr<TByteArena> m_arena;                      // during a load only
};

} // namespace gif
