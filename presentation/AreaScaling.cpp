#include "presentation/AreaScaling.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One pass of an area-averaging reduction along one axis: each output sample is the
// average of the input samples it covers, partly covered ones weighted by how much.
// Works on premultiplied pixels as four 16.16 fixed-point channels.
QImage ReduceAlong(const QImage& in, int outLength, bool horizontal)
{
    const int inLength = horizontal ? in.width() : in.height();
    const int other = horizontal ? in.height() : in.width();
    QImage out(horizontal ? outLength : other, horizontal ? other : outLength, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    out.setDevicePixelRatio(in.devicePixelRatio());
    // Weights in 1/65536 of an output sample, the source span of each output sample.
    const double scale = double(inLength) / outLength;
    struct TSpan {
        int First;
        std::vector<quint32> Weights;
    };
    std::vector<TSpan> spans(static_cast<size_t>(outLength));
    for (int o = 0; o < outLength; ++o) {
        const double from = o * scale, to = (o + 1) * scale;
        TSpan& span = spans[size_t(o)];
        span.First = int(from);
        const int last = std::min(inLength - 1, int(std::ceil(to)) - 1);
        quint32 total = 0;
        for (int i = span.First; i <= last; ++i) {
            const double cover = std::min<double>(i + 1, to) - std::max<double>(i, from);
            const quint32 w = quint32(cover / scale * 65536.0 + 0.5);
            span.Weights.push_back(w);
            total += w;
        }
        if (!span.Weights.empty()) // the weights add up to exactly one
            span.Weights.back() += 65536 - std::min<quint32>(total, 65536);
    }
    // Straight alpha is premultiplied as it is read, so that no premultiplied copy of a large
    // picture is made.
    const bool straight = in.format() == QImage::Format_ARGB32;
    const auto premultiply = [straight](QRgb p) { return straight ? qPremultiply(p) : p; };
    const qsizetype inStride = in.bytesPerLine() / 4, outStride = out.bytesPerLine() / 4;
    const QRgb* src = reinterpret_cast<const QRgb*>(in.constBits());
    QRgb* dst = reinterpret_cast<QRgb*>(out.bits());
    const qsizetype inStep = horizontal ? 1 : inStride, inLine = horizontal ? inStride : 1;
    const qsizetype outStep = horizontal ? 1 : outStride, outLine = horizontal ? outStride : 1;
    for (int line = 0; line < other; ++line) {
        const QRgb* s = src + line * inLine;
        QRgb* d = dst + line * outLine;
        for (int o = 0; o < outLength; ++o) {
            const TSpan& span = spans[size_t(o)];
            quint64 a = 0, r = 0, g = 0, b = 0;
            for (size_t k = 0; k < span.Weights.size(); ++k) {
                const QRgb p = premultiply(s[(span.First + qsizetype(k)) * inStep]);
                const quint64 w = span.Weights[k];
                a += qAlpha(p) * w;
                r += qRed(p) * w;
                g += qGreen(p) * w;
                b += qBlue(p) * w;
            }
            const auto channel = [](quint64 v) { return int(std::min<quint64>((v + 32768) >> 16, 255)); };
            const int alpha = channel(a);
            d[o * outStep] = qRgba(std::min(channel(r), alpha), std::min(channel(g), alpha), std::min(channel(b), alpha), alpha);
        }
    }
    return out;
}

} // namespace

QImage AreaScaled(const QImage& picture, const QSize& size)
{
    if (picture.isNull() || size.isEmpty() || (size.width() >= picture.width() && size.height() >= picture.height()))
        return picture;
    const QSize target = picture.size().scaled(size, Qt::KeepAspectRatio).expandedTo({1, 1});
    const bool opaque = !picture.hasAlphaChannel();
    // Read as it is where it is 32-bit; other formats are converted first.
    QImage image = picture;
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_ARGB32_Premultiplied &&
        image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (target.width() < image.width())
        image = ReduceAlong(image, target.width(), true);
    if (!image.isNull() && target.height() < image.height())
        image = ReduceAlong(image, target.height(), false);
    if (image.isNull())
        return picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return opaque ? image.convertToFormat(QImage::Format_RGB32) : image;
}
