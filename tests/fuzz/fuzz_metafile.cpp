// libFuzzer target: what the metafile helper does with a file, on arbitrary bytes: the
// first byte picks WMF or EMF, the rest is the metafile; its SVG is then drawn. The
// metafile libraries are known to fail on damaged files, which is why the program runs
// them in a helper process; this target counts and keeps those findings.

#include "MetafileToSvg.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_metafile";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = (qputenv("QT_QPA_PLATFORM", "offscreen"), new QGuiApplication(argc, argv));
    Q_UNUSED(app);
    if (size < 1)
        return 0;
    const TMetafileKind kind = data[0] & 1 ? TMetafileKind::Emf : TMetafileKind::Wmf;
    QString error;
    const QByteArray svg =
        MetafileToSvg(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)), kind, error);
    if (svg.isEmpty())
        return 0;
    QSvgRenderer renderer(svg);
    if (renderer.isValid()) {
        QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
    }
    return 0;
}
