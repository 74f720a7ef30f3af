// lumivo-metafile FILE MAXSIDE: draws a WMF or EMF file (the extension decides) and writes
// the picture to standard output as "LMF1", width and height (32-bit little-endian), then
// width x height premultiplied ARGB pixels. The picture keeps the metafile's proportions
// and is at most MAXSIDE pixels on its longer side. Errors: a message on standard error and
// exit status 1. Lumivo's picture loader runs this helper with memory, time and output
// limits, since the metafile libraries can crash or hang on damaged files.

#include "Confinement.h"
#include "MetafileToSvg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>

namespace {

int Fail(const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return 1;
}

// What the helper runs with once confined: its open descriptors and the kernel's own words
// on privileges and seccomp. For tests and package checks.
int ReportConfinement(bool confined)
{
    std::printf("confined: %s\n", confined ? "yes" : "no");
    QDir fds(QStringLiteral("/proc/self/fd"));
    std::printf("descriptors: %s\n", qPrintable(fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name).join(' ')));
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("NoNewPrivs:") || line.startsWith("Seccomp:"))
                std::printf("%s\n", line.constData());
    // A write anywhere is refused.
    QFile probe(QDir::tempPath() + QStringLiteral("/lumivo-metafile-probe"));
    std::printf("writing a file: %s\n", probe.open(QIODevice::WriteOnly) ? "allowed" : "refused");
    std::printf("%s", ConfinementReport().c_str());
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Confined before anything else runs, reading only the system's files and the metafile;
    // --confinement only says how.
    const bool confined = ConfineHelper({argc == 3 ? argv[1] : nullptr});
    if (argc == 2 && std::strcmp(argv[1], "--confinement") == 0)
        return ReportConfinement(confined);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // The toolkit set the user's locale; the metafile libraries write the SVG's numbers with
    // printf, which must give them a point, not the decimal comma of many locales.
    std::setlocale(LC_NUMERIC, "C");
    if (argc != 3)
        return Fail(QStringLiteral("usage: lumivo-metafile FILE MAXSIDE"));
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int maxSide = qBound(1, atoi(argv[2]), 16384);
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension != QLatin1String("wmf") && extension != QLatin1String("emf"))
        return Fail(QStringLiteral("Not a metafile name: %1").arg(path));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    const QByteArray data = file.read(64 * 1024 * 1024);

    QString error;
    const QByteArray svg =
        MetafileToSvg(data, extension == QLatin1String("wmf") ? TMetafileKind::Wmf : TMetafileKind::Emf, error);
    if (svg.isEmpty())
        return Fail(error);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid() || renderer.defaultSize().isEmpty())
        return Fail(QStringLiteral("Metafile is not valid"));

    const QSize size = renderer.defaultSize().width() > maxSide || renderer.defaultSize().height() > maxSide
                           ? renderer.defaultSize().scaled(maxSide, maxSide, Qt::KeepAspectRatio).expandedTo({1, 1})
                           : renderer.defaultSize();
    // A pen is never thinner than one pixel of the picture drawn.
    const QRectF view = renderer.viewBoxF();
    const double unitsPerPixel = std::max(view.width() / size.width(), view.height() / size.height());
    renderer.load(WithThinnestStroke(svg, unitsPerPixel));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return Fail(QStringLiteral("Out of memory"));
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();

    const quint32 header[] = {quint32(image.width()), quint32(image.height())};
    std::fwrite("LMF1", 1, 4, stdout);
    std::fwrite(header, sizeof header, 1, stdout);
    for (int y = 0; y < image.height(); ++y)
        std::fwrite(image.constScanLine(y), 4, size_t(image.width()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
