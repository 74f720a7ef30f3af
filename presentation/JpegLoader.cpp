#include "presentation/JpegLoader.h"

#include "core/Quit.h"

#include "core/Errors.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// libjpeg reports errors through a callback that must not return; it jumps back to the
// decoding function, which turns the code into an exception once libjpeg is cleaned up.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    // Written between setjmp and longjmp, read after: volatile.
    volatile int ownError; // 0, or one of the errors below
    volatile int width, height;
    volatile qint64 blocks; // 8 x 8 blocks of all components, once the header is read
};

enum OwnError { TooManyPixels = 1, TooManyScans = 2, OutOfMemory = 3, Stopped = 4, TooMuchWork = 5 };

[[noreturn]] void OnError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OnMessage(j_common_ptr, int) {} // warnings of damaged files are not shown

void OnProgress(j_common_ptr cinfo)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (d->input_scan_number > Jpeg::MaxScans) {
        errors->ownError = TooManyScans;
        OnError(cinfo);
    }
    if (qint64(d->input_scan_number) * errors->blocks > Jpeg::MaxBlockScans) {
        errors->ownError = TooMuchWork;
        OnError(cinfo);
    }
    if (QuitRequested()) { // the program is ending: stop decoding
        reinterpret_cast<ErrorManager*>(cinfo->err)->ownError = Stopped;
        OnError(cinfo);
    }
}

struct Outcome {
    int libjpegCode = 0; // set on a libjpeg failure
    int ownError = 0;
    int width = 0, height = 0;
};

// Plain C data only between setjmp and longjmp: the image is allocated by the caller's
// callback after the header is read.
Outcome Decode(const QByteArray& data, const QSize& fitInto, QImage& image)
{
    Outcome outcome;
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    jpeg_progress_mgr progress;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = OnMessage;
    errors.ownError = 0;
    errors.width = 0;
    errors.height = 0;
    errors.blocks = 0;
    if (setjmp(errors.jump)) {
        outcome.libjpegCode = errors.base.msg_code;
        outcome.ownError = errors.ownError;
        outcome.width = errors.width;
        outcome.height = errors.height;
        jpeg_destroy_decompress(&cinfo);
        return outcome;
    }
    jpeg_create_decompress(&cinfo);
    // Beyond this libjpeg fails (it has no backing store) rather than take more memory.
    cinfo.mem->max_memory_to_use = Jpeg::MaxMemory;
    progress.progress_monitor = OnProgress;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);

    if (qint64(cinfo.image_width) * cinfo.image_height > Jpeg::MaxPixels) {
        errors.ownError = TooManyPixels;
        errors.width = int(cinfo.image_width);
        errors.height = int(cinfo.image_height);
        OnError(reinterpret_cast<j_common_ptr>(&cinfo));
    }
    qint64 blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c)
        blocks += qint64(cinfo.comp_info[c].width_in_blocks) * cinfo.comp_info[c].height_in_blocks;
    errors.blocks = blocks;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(Jpeg::ScaleDenominator(QSize(int(cinfo.image_width), int(cinfo.image_height)), fitInto));
    if (cinfo.scale_denom > 1) {
        // Shown smaller than decoded anyway: the fast transform's rounding does not show.
        cinfo.dct_method = JDCT_IFAST;
    }
    jpeg_calc_output_dimensions(&cinfo);

    image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (image.isNull()) {
        errors.ownError = OutOfMemory;
        OnError(reinterpret_cast<j_common_ptr>(&cinfo));
    }
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (cmyk) {
            // Adobe writes CMYK inverted: each channel is already 255 - ink.
            uchar* p = row;
            QRgb* out = reinterpret_cast<QRgb*>(row);
            for (int x = 0; x < int(cinfo.output_width); ++x, p += 4) {
                const int k = p[3];
                out[x] = qRgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return outcome;
}

} // namespace

int Jpeg::ScaleDenominator(const QSize& size, const QSize& fitInto)
{
    if (fitInto.isEmpty() || size.isEmpty())
        return 1;
    const QSize fitted = size.scaled(fitInto, Qt::KeepAspectRatio).boundedTo(size);
    int denominator = 1;
    for (int d : {2, 4, 8}) {
        // libjpeg rounds a scaled dimension up.
        const int w = (size.width() + d - 1) / d, h = (size.height() + d - 1) / d;
        if (w < fitted.width() || h < fitted.height())
            break;
        denominator = d;
    }
    return denominator;
}

QImage DecodeJpeg(const QByteArray& data, const QSize& fitInto)
{
    QImage image;
    const Outcome outcome = Decode(data, fitInto, image);
    switch (outcome.ownError) {
    case TooManyPixels:
        throw ELumivoError(QStringLiteral("The picture is too large to show (%1 x %2 pixels)")
                               .arg(outcome.width)
                               .arg(outcome.height));
    case TooManyScans:
        throw ELumivoError(QStringLiteral("The picture has more than %1 scans and is not read further")
                               .arg(Jpeg::MaxScans));
    case OutOfMemory:
        throw ELumivoError(QStringLiteral("Out of memory"));
    case Stopped: // the picture is only partly decoded: never shown as if it were whole
        throw ELumivoError(QStringLiteral("Loading the picture was stopped"));
    case TooMuchWork:
        throw ELumivoError(QStringLiteral("The picture has too many scans for its size and is not read further"));
    default:
        break;
    }
    if (outcome.libjpegCode == JERR_NO_BACKING_STORE || outcome.libjpegCode == JERR_OUT_OF_MEMORY)
        throw ELumivoError(QStringLiteral("The picture needs more memory than this program allows"));
    if (outcome.libjpegCode != 0)
        throw ELumivoError(QStringLiteral("JPEG error #%1").arg(outcome.libjpegCode));
    return image;
}
