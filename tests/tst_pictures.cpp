// Still pictures: JPEG through libjpeg with scaled decoding and its caps, BMP and ICO
// through Qt, and the errors of files that are missing, damaged or not what they say.

#include "MetafileStreams.h"
#include "TestFiles.h"
#include "core/Errors.h"
#include "core/Quit.h"
#include "presentation/JpegLoader.h"
#include "presentation/MetafileLoader.h"
#include "presentation/PictureLoader.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray Encode(const QImage& image, const char* format, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

// A picture with a recognisable layout: red left half, blue right half.
QImage Halves(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    return image;
}

bool Near(QRgb a, QRgb b) { return qAbs(qRed(a) - qRed(b)) < 40 && qAbs(qGreen(a) - qGreen(b)) < 40 && qAbs(qBlue(a) - qBlue(b)) < 40; }

} // namespace

class TestPictures : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void scaleDenominator_data();
    void scaleDenominator();
    void jpegFullAndScaled();
    void jpegColourModels();
    void jpegErrors_data();
    void jpegErrors();
    void jpegPixelCap();
    void jpegOrientation_data();
    void jpegOrientation();
    void bmpAndIco();
    void bitmapsAsBrowsersShowThem_data();
    void bitmapsAsBrowsersShowThem();
    void iconsAsBrowsersShowThem();
    void largePicturesReducedWithoutMoire();
    void unreadableFiles();
    void metafiles();
    void wmfAsWindowsProgramsWriteThem_data();
    void wmfAsWindowsProgramsWriteThem();
    void metafileHelperThatCrashesOrHangs();
    void metafileHelperIsConfined();
    void metafileFuzzFindingsAreContained();
    void preloadedPictureIsTheSame();

private:
    QString Write(const QString& name, const QByteArray& bytes) { return testfiles::Write(QDir(m_dir.path()), name, bytes); }
    QTemporaryDir m_dir;
};

void TestPictures::scaleDenominator_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("denominator");
    QTest::newRow("no screen given") << QSize(8000, 6000) << QSize() << 1;
    QTest::newRow("smaller than the screen") << QSize(800, 600) << QSize(1920, 1080) << 1;
    QTest::newRow("4000x3000 on 1280x1024") << QSize(4000, 3000) << QSize(1280, 1024) << 2;
    QTest::newRow("6000x4000 on 1920x1080") << QSize(6000, 4000) << QSize(1920, 1080) << 2;
    QTest::newRow("8000x6000 on 1024x768") << QSize(8000, 6000) << QSize(1024, 768) << 4;
    QTest::newRow("16000x12000 on 800x600") << QSize(16000, 12000) << QSize(800, 600) << 8;
    QTest::newRow("just too small at 1/2") << QSize(2000, 1000) << QSize(1001, 2000) << 1;
    QTest::newRow("tall panorama") << QSize(1000, 20000) << QSize(1920, 1080) << 8;
}

void TestPictures::scaleDenominator()
{
    QFETCH(QSize, size);
    QFETCH(QSize, screen);
    QTEST(Jpeg::ScaleDenominator(size, screen), "denominator");
}

void TestPictures::jpegFullAndScaled()
{
    const QString path = Write("photo.JPG", Encode(Halves(1600, 1200), "jpg"));
    const QImage full = LoadPicture(path);
    QCOMPARE(full.size(), QSize(1600, 1200));
    QVERIFY(Near(full.pixel(100, 600), qRgb(255, 0, 0)));
    QVERIFY(Near(full.pixel(1500, 600), qRgb(0, 0, 255)));
    // On a 400 x 400 screen the picture shows at 400 x 300: decoded at 1/4, no smaller.
    const QImage scaled = LoadPicture(path, QSize(400, 400));
    QCOMPARE(scaled.size(), QSize(400, 300));
    QVERIFY(Near(scaled.pixel(50, 150), qRgb(255, 0, 0)));
    QVERIFY(Near(scaled.pixel(350, 150), qRgb(0, 0, 255)));

    // Grey pictures come out as colour pictures too.
    QImage grey(64, 32, QImage::Format_Grayscale8);
    grey.fill(200);
    const QImage g = DecodeJpeg(Encode(grey, "jpg"));
    QCOMPARE(g.format(), QImage::Format_RGB32);
    QVERIFY(Near(g.pixel(10, 10), qRgb(200, 200, 200)));
}

// The seeds of the JPEG fuzz corpus: one picture in several encodings, all decoded alike.
void TestPictures::jpegColourModels()
{
    const QString seeds = QStringLiteral(LUMIVO_SOURCE_DIR "/tests/fuzz/corpus/jpeg/");
    auto load = [&](const char* name) {
        QFile f(seeds + name);
        return f.open(QIODevice::ReadOnly) ? DecodeJpeg(f.readAll()) : QImage();
    };
    const QImage baseline = load("baseline.jpg");
    QCOMPARE(baseline.size(), QSize(64, 48));
    for (const char* name : {"progressive.jpg", "cmyk.jpg", "restart.jpg"}) {
        const QImage other = load(name);
        QCOMPARE(other.size(), QSize(64, 48));
        for (const QPoint p : {QPoint(5, 5), QPoint(32, 24), QPoint(60, 44)})
            QVERIFY2(Near(other.pixel(p), baseline.pixel(p)), name);
    }
    QCOMPARE(load("grey.jpg").size(), QSize(64, 48));
}

void TestPictures::jpegErrors_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray png = Encode(Halves(8, 8), "png");
    QTest::newRow("a PNG named .jpg") << png;
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text") << QByteArray("this is not a picture\n");
    QByteArray damaged = Encode(Halves(64, 64), "jpg");
    damaged.replace(2, 40, QByteArray(40, '\xFF')); // the tables after the start marker
    QTest::newRow("damaged header") << damaged;
    QTest::newRow("only the start marker") << QByteArray("\xFF\xD8", 2);
}

void TestPictures::jpegErrors()
{
    QFETCH(QByteArray, bytes);
    const QString path = Write("bad.jpg", bytes);
    try {
        LoadPicture(path);
        QFAIL("the file should be refused");
    } catch (const ELumivoError& e) {
        QVERIFY2(e.Message.startsWith(QStringLiteral("JPEG error #")), qPrintable(e.Message));
    }
}

void TestPictures::jpegPixelCap()
{
    // A small JPEG whose frame header claims 60000 x 60000 pixels.
    QByteArray bytes = Encode(Halves(16, 16), "jpg");
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    QVERIFY(sof > 0);
    bytes[sof + 5] = char(60000 >> 8);
    bytes[sof + 6] = char(60000 & 0xFF);
    bytes[sof + 7] = char(60000 >> 8);
    bytes[sof + 8] = char(60000 & 0xFF);
    try {
        DecodeJpeg(bytes);
        QFAIL("the picture should be refused");
    } catch (const ELumivoError& e) {
        QCOMPARE(e.Message, QStringLiteral("The picture is too large to show (60000 x 60000 pixels)"));
    }

    // Budgets of memory and of work: a small progressive file that declares a huge picture
    // needs more coefficient memory than allowed; one of many scans over a large picture
    // needs too much work. Both are refused with their reasons.
    const auto declare = [](QByteArray jpeg, int width, int height) {
        const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC2", 2)); // progressive frame
        jpeg[sof + 5] = char(height >> 8);
        jpeg[sof + 6] = char(height & 0xFF);
        jpeg[sof + 7] = char(width >> 8);
        jpeg[sof + 8] = char(width & 0xFF);
        return jpeg;
    };
    QString script;
    script += QStringLiteral("0: 0 0 0 0;\n");
    for (int k = 1; k < 64; ++k)
        script += QStringLiteral("0: %1 %1 0 1;\n").arg(k);
    for (int k = 1; k <= 36; ++k) // 100 scans in all, as many as jpegtran writes
        script += QStringLiteral("0: %1 %1 1 0;\n").arg(k);
    QImage grey(16, 16, QImage::Format_Grayscale8);
    grey.fill(128);
    QVERIFY(QImageWriter(Write("grey.jpg", QByteArray()), "jpg").write(grey));
    Write("scans.txt", script.toLatin1());
    QProcess jpegtran;
    jpegtran.start(QStringLiteral("jpegtran"), {"-scans", m_dir.filePath("scans.txt"), "-outfile", m_dir.filePath("many.jpg"),
                                                m_dir.filePath("grey.jpg")});
    QVERIFY(jpegtran.waitForFinished(30000) && jpegtran.exitCode() == 0);
    QFile many(m_dir.filePath("many.jpg"));
    QVERIFY(many.open(QIODevice::ReadOnly));
    const QByteArray manyScans = many.readAll();
    QBuffer colourBuffer;
    colourBuffer.open(QIODevice::WriteOnly);
    QImageWriter colourWriter(&colourBuffer, "jpg");
    colourWriter.setProgressiveScanWrite(true);
    QVERIFY(colourWriter.write(Halves(16, 16)));
    const struct {
        QByteArray file;
        int width, height;
        const char* message;
    } budgets[] = {{colourBuffer.data(), 15800, 15800, "The picture needs more memory than this program allows"},
                   {manyScans, 14000, 14000, "The picture has too many scans for its size and is not read further"}};
    for (const auto& b : budgets) {
        try {
            DecodeJpeg(declare(b.file, b.width, b.height));
            QFAIL("the picture should be refused");
        } catch (const ELumivoError& e) {
            QCOMPARE(e.Message, QString::fromLatin1(b.message));
        }
    }

    // A decode that the program's end stops fails: half a picture is never shown as whole.
    NoteTerminationSignal();
    try {
        DecodeJpeg(Encode(Halves(64, 64), "jpg"));
        QFAIL("the stopped decode returned a picture");
    } catch (const ELumivoError& e) {
        QCOMPARE(e.Message, QStringLiteral("Loading the picture was stopped"));
    }
    ClearQuitRequest();
}

void TestPictures::bmpAndIco()
{
    const QImage bmp = LoadPicture(Write("p.Bmp", Encode(Halves(30, 20), "bmp")));
    QCOMPARE(bmp.size(), QSize(30, 20));
    QCOMPARE(QColor(bmp.pixel(1, 1)), QColor(Qt::red));
    const QImage ico = LoadPicture(Write("p.ICO", Encode(Halves(32, 32), "ico")));
    QCOMPARE(ico.size(), QSize(32, 32));

    // An icon of 16 x 16 and 48 x 48 images, the small one first: the large one is shown.
    const QByteArray small = Encode(Halves(16, 16), "ico"), large = Encode(Halves(48, 48), "ico");
    const int headerSize = 6, entrySize = 16;
    QByteArray twoSizes = small.left(headerSize);
    twoSizes[4] = 2;
    const auto entry = [&](const QByteArray& icon, int offset) {
        QByteArray e = icon.mid(headerSize, entrySize);
        qToLittleEndian<quint32>(quint32(offset), e.data() + 12);
        return e;
    };
    const int smallData = small.size() - headerSize - entrySize;
    twoSizes += entry(small, headerSize + 2 * entrySize);
    twoSizes += entry(large, headerSize + 2 * entrySize + smallData);
    twoSizes += small.mid(headerSize + entrySize) + large.mid(headerSize + entrySize);
    QCOMPARE(LoadPicture(Write("sizes.ico", twoSizes)).size(), QSize(48, 48));

    QByteArray damaged = Encode(Halves(30, 20), "bmp").left(20);
    QVERIFY_THROWS_EXCEPTION(ELumivoError, LoadPicture(Write("cut.bmp", damaged)));
    QVERIFY_THROWS_EXCEPTION(ELumivoError, LoadPicture(Write("text.ico", "not an icon")));
    // The extension decides the decoder: a JPEG named .bmp is not a bitmap.
    QVERIFY_THROWS_EXCEPTION(ELumivoError, LoadPicture(Write("jpeg.bmp", Encode(Halves(8, 8), "jpg"))));
}

// The suite's files: shown as the plain ones they vary (within a few levels where fewer bits
// are stored), every channel reaching 255 (no 5- or 6-bit channel left dim), or refused
// with the program's own message; the hostile ones refused or shown without harm.
void TestPictures::bitmapsAsBrowsersShowThem_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sameAs"); // empty: refused
    QTest::addColumn<int>("tolerance");
    const struct {
        const char *file, *sameAs;
        int tolerance;
    } rows[] = {
        {"q/pal8os2sp", "g/pal8", 0},          {"q/pal8os2v2-16", "g/pal8", 0}, {"q/pal8oversizepal", "g/pal8", 0},
        {"b/badpalettesize", "g/pal8", 0},     {"g/pal8topdown", "g/pal8", 0},  {"g/pal4rle", "g/pal4rle", 0},
        {"q/rgb32-111110", "g/rgb24", 8},     {"q/rgb32h52", "g/rgb24", 0},    {"q/rgb24rle24", "q/rgb24rle24", 0},
        {"q/rgb32fakealpha", "g/rgb24", 0},   {"g/rgb16-565", "g/rgb24", 8},   {"q/rgb16-231", "q/rgb16-231", 0},
        {"q/rgba32abf", "q/rgba32h56", 0},    {"q/rgba32-1", "q/rgba32h56", 0}, {"q/pal2", "q/pal2", 0},
        {"b/badplanes", "b/badplanes", 0},    {"b/reallybig", "", 0},           {"b/rletopdown", "", 0},
        {"b/badbitcount", "", 0},             {"b/badwidth", "", 0},            {"q/rgb24jpeg", "", 0},
    };
    for (const auto& row : rows)
        QTest::newRow(row.file) << row.file << row.sameAs << row.tolerance;
}

void TestPictures::bitmapsAsBrowsersShowThem()
{
    QFETCH(QString, file);
    QFETCH(QString, sameAs);
    QFETCH(int, tolerance);
    const QString dir = QStringLiteral(LUMIVO_TESTDATA_DIR "/bmp/");
    // Named .dib as often as .bmp: the same decoder.
    const QString path = Write(QString(file).replace('/', '-') + ".dib", testfiles::Read(dir + file + ".bmp"));
    if (sameAs.isEmpty()) {
        try {
            LoadPicture(path);
            QFAIL("refused");
        } catch (const ELumivoError& e) {
            QCOMPARE(e.Message, QStringLiteral("Bitmap image is not valid"));
        }
        return;
    }
    const QImage image = LoadPicture(path).convertToFormat(QImage::Format_ARGB32);
    const QImage reference = LoadPicture(dir + sameAs + ".bmp").convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), reference.size());
    int worst = 0, brightest[3] = {0, 0, 0};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb a = image.pixel(x, y), b = reference.pixel(x, y);
            worst = std::max({worst, qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b)),
                              qAbs(qAlpha(a) - qAlpha(b))});
            brightest[0] = std::max(brightest[0], qRed(a));
            brightest[1] = std::max(brightest[1], qGreen(a));
            brightest[2] = std::max(brightest[2], qBlue(a));
        }
    QVERIFY2(worst <= tolerance, qPrintable(QString::number(worst)));
    QCOMPARE(QList<int>(brightest, brightest + 3), QList<int>({255, 255, 255}));

    // Every hostile file of the suite is shown or refused, nothing else.
    if (file == QLatin1String("g/pal8"))
        for (const QFileInfo& hostile : QDir(dir + "b").entryInfoList({"*.bmp"}))
            try {
                LoadPicture(hostile.filePath());
            } catch (const ELumivoError& e) {
                QCOMPARE(e.Message, QStringLiteral("Bitmap image is not valid"));
            }
}

namespace {

// An icon file of the given images (each a BMP file's bitmap without its file header, or
// a PNG file), the directory naming each as `declared` says.
QByteArray Icon(const QList<QByteArray>& images, const QList<QSize>& declared)
{
    QByteArray file = QByteArray::fromHex("000001000000");
    qToLittleEndian<quint16>(quint16(images.size()), file.data() + 4);
    qint64 offset = 6 + 16 * images.size();
    for (int i = 0; i < images.size(); ++i) {
        QByteArray entry(16, '\0');
        entry[0] = char(declared[i].width());
        entry[1] = char(declared[i].height());
        qToLittleEndian<quint32>(quint32(images[i].size()), entry.data() + 8);
        qToLittleEndian<quint32>(quint32(offset), entry.data() + 12);
        file += entry;
        offset += images[i].size();
    }
    for (const QByteArray& image : images)
        file += image;
    return file;
}

// An icon's bitmap: a picture of `format` (Qt's BMP writer chooses the depth from it) made
// twice as high for the mask that follows it, every mask bit set in the left half.
QByteArray IconBitmap(const QImage& picture)
{
    QByteArray dib = Encode(picture, "bmp").mid(14);
    const int w = picture.width(), h = picture.height();
    qToLittleEndian<qint32>(2 * h, dib.data() + 8);
    const int stride = ((w + 31) / 32) * 4;
    for (int row = 0; row < h; ++row) {
        QByteArray line(stride, '\0');
        for (int x = 0; x < w / 2; ++x)
            line[x / 8] = char(line[x / 8] | (0x80 >> (x % 8)));
        dib += line;
    }
    return dib;
}

} // namespace

// Icons: the largest image, of those the deepest; the mask's transparent pixels; a PNG image
// whose directory size is a few bytes short; sizes that differ from the directory's.
void TestPictures::iconsAsBrowsersShowThem()
{
    QImage colour(32, 32, QImage::Format_RGB32);
    colour.fill(qRgb(0, 128, 255));
    const QByteArray four = IconBitmap(colour.convertToFormat(QImage::Format_Indexed8)); // Qt writes 4 bits
    // 32 bits a pixel with their own alpha, and a mask with nothing transparent.
    QByteArray deep(40, '\0');
    for (auto [at, value] : {std::pair{0, 40}, {4, 32}, {8, 64}, {12, 1 | 32 << 16}})
        qToLittleEndian<quint32>(quint32(value), deep.data() + at);
    for (int i = 0; i < 32 * 32; ++i)
        deep += QByteArray::fromHex("ff8000c8"); // blue, green, red, alpha 200
    deep += QByteArray(4 * 32, '\0');
    QImage picture = LoadPicture(Write("depths.ico", Icon({four, deep}, {{32, 32}, {32, 32}})));
    QCOMPARE(picture.size(), QSize(32, 32));
    QCOMPARE(qAlpha(picture.pixel(5, 5)), 200); // the 32-bit image, with its own alpha

    // 24-bit: the mask's left half transparent, the right half the picture.
    picture = LoadPicture(Write("masked.ico", Icon({IconBitmap(colour)}, {{32, 32}})));
    QCOMPARE(qAlpha(picture.pixel(3, 20)), 0);
    QCOMPARE(picture.pixel(28, 20), qRgb(0, 128, 255));

    // A PNG image whose size in the directory is short, declared 16 x 16 though 48 x 48,
    // beside a real 32 x 32 bitmap: the 48 x 48 one is shown.
    const QByteArray png = Encode(QImage(48, 48, QImage::Format_ARGB32), "png");
    QByteArray file = Icon({IconBitmap(colour), png}, {{32, 32}, {16, 16}});
    qToLittleEndian<quint32>(quint32(png.size() - 5), file.data() + 6 + 16 + 8);
    QCOMPARE(LoadPicture(Write("short.ico", file)).size(), QSize(48, 48));
    try {
        LoadPicture(Write("text.ico", "\0\0\1\0\1\0 not an icon at all"));
        QFAIL("refused");
    } catch (const ELumivoError& e) {
        QCOMPARE(e.Message, QStringLiteral("Icon image is not valid"));
    }
}

// A picture larger than it is shown is reduced by averaging: stripes a pixel wide become an
// even grey, not bands of moiré.
void TestPictures::largePicturesReducedWithoutMoire()
{
    QImage stripes(2000, 1200, QImage::Format_RGB32);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage reduced = LoadPicture(Write("stripes.bmp", Encode(stripes, "bmp")), {780, 580});
    QCOMPARE(reduced.size(), QSize(780, 468));
    int darkest = 255, lightest = 0;
    for (int x = 0; x < reduced.width(); ++x) {
        darkest = std::min(darkest, qGray(reduced.pixel(x, 200)));
        lightest = std::max(lightest, qGray(reduced.pixel(x, 200)));
    }
    QVERIFY2(darkest >= 90 && lightest <= 165, qPrintable(QStringLiteral("%1..%2").arg(darkest).arg(lightest)));
}

void TestPictures::unreadableFiles()
{
    const QString missing = m_dir.filePath("missing.jpg");
    try {
        LoadPicture(missing);
        QFAIL("a missing file cannot be read");
    } catch (const EFOpenError& e) {
        QCOMPARE(e.Message, "Cannot open file \"" + missing + "\". No such file or directory");
    }
    QVERIFY_THROWS_EXCEPTION(EFOpenError, LoadPicture(m_dir.path() + "/sub.jpg/.."));
}

void TestPictures::metafiles()
{
    // The picture is the frame the file declares (2 x 1 inches), the rectangle in its place
    // (a quarter to a half of each side), transparent around it.
    const QImage wmf = LoadPicture(Write("drawing.WMF", metatest::Wmf(2880, 1440)));
    QCOMPARE(wmf.size(), QSize(192, 96));
    QCOMPARE(QColor(wmf.pixel(72, 36)), QColor(Qt::red));
    QCOMPARE(qAlpha(wmf.pixel(20, 10)), 0);
    QCOMPARE(qAlpha(wmf.pixel(150, 70)), 0);
    QCOMPARE(qAlpha(wmf.pixel(44, 36)), 0);
    // Without the placeable header, the window's origin and extent make the frame.
    const QImage moved = LoadPicture(Write("moved.wmf", metatest::Wmf(400, 200, false, 1000, -500)));
    QVERIFY2(moved.width() > 0 && qAbs(moved.width() - 2 * moved.height()) <= 2, qPrintable(QString::number(moved.width())));
    const int w = moved.width(), h = moved.height();
    QCOMPARE(QColor(moved.pixel(3 * w / 8, 3 * h / 8)), QColor(Qt::red));
    QCOMPARE(qAlpha(moved.pixel(w / 8, h / 8)), 0);
    QCOMPARE(qAlpha(moved.pixel(7 * w / 8, 7 * h / 8)), 0);
    const QImage emf = LoadPicture(Write("drawing.emf", metatest::Emf(400, 200)));
    QVERIFY(qAbs(emf.width() - 400) <= 1 && qAbs(emf.height() - 200) <= 1);
    QCOMPARE(QColor(emf.pixel(150, 75)), QColor(Qt::red));
    QCOMPARE(qAlpha(emf.pixel(5, 5)), 0); // outside the drawing: transparent
    // Bounds that start before the frame: the picture is still the frame, the drawing in its
    // place in it.
    const QImage shifted = LoadPicture(Write("shifted.emf", metatest::Emf(400, 200, 256)));
    QVERIFY2(qAbs(shifted.width() - 400) <= 1 && qAbs(shifted.height() - 200) <= 1,
             qPrintable(QStringLiteral("%1 x %2").arg(shifted.width()).arg(shifted.height())));
    QCOMPARE(QColor(shifted.pixel(150, 75)), QColor(Qt::red));
    QCOMPARE(qAlpha(shifted.pixel(50, 25)), 0);
    QCOMPARE(qAlpha(shifted.pixel(300, 150)), 0);
    // A canvas of 100000 x 50000 pixels is drawn at a bounded size, proportions kept.
    const QImage huge = LoadPicture(Write("huge.emf", metatest::Emf(100000, 50000)));
    QVERIFY(huge.width() <= Metafile::MaxSide && huge.height() <= Metafile::MaxSide);
    QVERIFY(qAbs(huge.width() - 2 * huge.height()) <= 2);

    for (const char* name : {"text.wmf", "text.emf"})
        QVERIFY_THROWS_EXCEPTION(ELumivoError, LoadPicture(Write(name, "this is not a metafile\n")));
    QVERIFY_THROWS_EXCEPTION(ELumivoError, LoadPicture(Write("empty.emf", QByteArray())));
    QByteArray cut = metatest::Emf(400, 200);
    cut.truncate(60);
    QVERIFY_THROWS_EXCEPTION(ELumivoError, LoadPicture(Write("cut.emf", cut)));
    QVERIFY_THROWS_EXCEPTION(EFOpenError, LoadPicture(m_dir.filePath("missing.wmf")));
}

// Whatever the helper does (crash, hang, babble), the program gets an error in time.
void TestPictures::wmfAsWindowsProgramsWriteThem_data()
{
    QTest::addColumn<int>("mapMode");     // 0: none set (MM_TEXT)
    QTest::addColumn<bool>("viewport");   // a viewport extent after the window's
    QTest::addColumn<bool>("transparent"); // SetBkMode(TRANSPARENT)
    QTest::addColumn<QPoint>("origin");   // the window's origin
    QTest::addColumn<int>("unitsPerInch");
    QTest::addColumn<bool>("penFirst"); // the pen made before the mapping is set
    QTest::addColumn<int>("penWidth");  // pixels; 0 is the thinnest line the device draws
    QTest::newRow("plain") << 0 << false << false << QPoint(0, 0) << 96 << false << 13;
    QTest::newRow("transparent background") << 0 << false << true << QPoint(0, 0) << 96 << false << 13;
    QTest::newRow("anisotropic") << 8 << false << true << QPoint(0, 0) << 96 << false << 13;
    QTest::newRow("anisotropic, viewport") << 8 << true << true << QPoint(0, 0) << 96 << false << 13;
    QTest::newRow("anisotropic, moved origin") << 8 << false << true << QPoint(1000, -500) << 96 << false << 13;
    QTest::newRow("isotropic, twips") << 7 << false << false << QPoint(0, 0) << 1440 << false << 13;
    QTest::newRow("anisotropic, twips, moved origin") << 8 << true << true << QPoint(-3000, 200) << 1440 << false << 13;
    QTest::newRow("pen made before the mapping") << 8 << false << false << QPoint(0, 0) << 1440 << true << 13;
    QTest::newRow("pen made before the mapping, viewport") << 8 << true << false << QPoint(0, 0) << 1440 << true << 13;
    QTest::newRow("hairline pen") << 8 << false << false << QPoint(0, 0) << 1440 << false << 0;
}

// A circle drawn as a polygon, filled with a solid red brush and outlined with a black
// geometric pen (flat caps, mitred joins: style 0x2200), as programs on Windows write it:
// map mode, window origin and extent, often a transparent background mode. The picture is
// the placeable frame, 4 x 3 inches at 96 to the inch; the fill is opaque red, the outline
// black where the circle's edge is, nothing outside.
void TestPictures::wmfAsWindowsProgramsWriteThem()
{
    QFETCH(int, mapMode);
    QFETCH(bool, viewport);
    QFETCH(bool, transparent);
    QFETCH(QPoint, origin);
    QFETCH(int, unitsPerInch);
    QFETCH(bool, penFirst);
    QFETCH(int, penWidth);
    const int k = unitsPerInch / 96; // logical units per pixel
    QByteArray records, pen;
    metatest::WmfRecord(pen, 0x02FA, {0x2200, penWidth * k, 0, 0, 0}); // black pen
    metatest::WmfRecord(pen, 0x012D, {penFirst ? 0 : 1});
    if (penFirst)
        records += pen;
    if (mapMode != 0)
        metatest::WmfRecord(records, 0x0103, {mapMode});                       // SETMAPMODE
    metatest::WmfRecord(records, 0x020B, {origin.y(), origin.x()});            // SETWINDOWORG
    metatest::WmfRecord(records, 0x020C, {300 * k, 400 * k});                  // SETWINDOWEXT
    if (viewport)
        metatest::WmfRecord(records, 0x020E, {300, 400});                      // SETVIEWPORTEXT
    if (transparent)
        metatest::WmfRecord(records, 0x0102, {1});                             // SETBKMODE
    metatest::WmfRecord(records, 0x02FC, {0, 0x00FF, 0, 0});                   // solid red brush
    metatest::WmfRecord(records, 0x012D, {penFirst ? 1 : 0});
    if (!penFirst)
        records += pen;
    QList<int> polygon{64};
    for (int i = 0; i < 64; ++i) {
        const double angle = i * 2 * M_PI / 64;
        polygon << origin.x() + qRound((200 + 100 * std::cos(angle)) * k) << origin.y() + qRound((150 + 100 * std::sin(angle)) * k);
    }
    QByteArray polygonRecord;
    metatest::Put32(polygonRecord, quint32(3 + polygon.size()));
    metatest::Put16(polygonRecord, 0x0324); // POLYGON
    for (int v : polygon)
        metatest::Put16(polygonRecord, v);
    records += polygonRecord;
    metatest::WmfRecord(records, 0x0000, {});
    QByteArray file = metatest::WmfFile(records, 400 * k, 300 * k, true, unitsPerInch, 2);
    // The placeable header's frame is in the file's logical units.
    for (int i = 0; i < 4; ++i) {
        const int v = (i % 2 == 0 ? origin.x() : origin.y()) + (i < 2 ? 0 : (i == 2 ? 400 : 300) * k);
        file[6 + 2 * i] = char(v & 0xFF);
        file[7 + 2 * i] = char((v >> 8) & 0xFF);
    }
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= quint16(uchar(file[i]) | (uchar(file[i + 1]) << 8));
    file[20] = char(checksum & 0xFF);
    file[21] = char(checksum >> 8);

    QImage picture;
    try {
        picture = LoadPicture(Write("circle.wmf", file));
    } catch (const ELumivoError& e) {
        QFAIL(qPrintable(e.Message));
    }
    QCOMPARE(picture.size(), QSize(400, 300));
    for (const QPoint p : {QPoint(200, 150), QPoint(140, 150), QPoint(200, 90), QPoint(260, 200)})
        QCOMPARE(QColor(picture.pixel(p)), QColor(Qt::red)); // opaque, whatever the background mode
    for (const QPoint p : {QPoint(100, 150), QPoint(300, 150), QPoint(200, 50), QPoint(200, 250)}) {
        if (penWidth > 2)
            QCOMPARE(QColor(picture.pixel(p)), QColor(Qt::black));
        else // at least a pixel's line, however thin the pen
            QVERIFY2(qAlpha(picture.pixel(p)) > 0 && qRed(picture.pixel(p)) < 160,
                     qPrintable(QColor(picture.pixel(p)).name(QColor::HexArgb)));
    }
    for (const QPoint p : {QPoint(5, 5), QPoint(80, 150), QPoint(320, 150), QPoint(200, 30), QPoint(395, 295)})
        QCOMPARE(qAlpha(picture.pixel(p)), 0);
}

// The helper keeps none of the descriptors it was started with, can gain no privileges,
// and runs under a seccomp filter that refuses to write a file.
void TestPictures::metafileHelperIsConfined()
{
    const int leaked = ::open(QFile::encodeName(Write("leaked", "x")).constData(), O_RDONLY); // no close-on-exec
    QVERIFY(leaked >= 3);
    QProcess helper;
    helper.start(QString::fromLocal8Bit(qgetenv("LUMIVO_METAFILE_HELPER")), {"--confinement"});
    QVERIFY(helper.waitForFinished(10000));
    ::close(leaked);
    const QString report = QString::fromUtf8(helper.readAllStandardOutput());
    // 3: the folder the helper lists its descriptors from.
    for (const char* line : {"confined: yes\n", "descriptors: 0 1 2 3\n", "NoNewPrivs:\t1\n", "Seccomp:\t2\n",
                             "writing a file: refused\n", "allowed calls: read ", "landlock: ABI "})
        QVERIFY2(report.contains(QLatin1String(line)), qPrintable(report));
}

void TestPictures::metafileHelperThatCrashesOrHangs()
{
    const QString file = Write("any.wmf", metatest::Wmf(100, 100));
    const QByteArray real = qgetenv("LUMIVO_METAFILE_HELPER");
    auto withHelper = [&](const QByteArray& script) {
        const QString path = Write("helper.sh", "#!/bin/sh\n" + script + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("LUMIVO_METAFILE_HELPER", path.toLocal8Bit());
        QString message;
        try {
            LoadPicture(file);
        } catch (const ELumivoError& e) {
            message = e.Message;
        }
        return message;
    };
    QCOMPARE(withHelper("kill -SEGV $$"), QStringLiteral("Metafile is not valid"));
    QCOMPARE(withHelper("head -c 100000 /dev/zero"), QStringLiteral("Metafile is not valid"));
    QCOMPARE(withHelper("echo 'Enhanced metafile is not valid' >&2; exit 1"),
             QStringLiteral("Enhanced metafile is not valid"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(withHelper("exec sleep 60"), QStringLiteral("The metafile could not be drawn in time"));
    QVERIFY(clock.elapsed() < Metafile::TimeLimitMs + 3000);
    qputenv("LUMIVO_METAFILE_HELPER", real);
}

// A JPEG with an EXIF block holding the orientation tag (or a damaged block when
// orientation is 0): the segment goes right after the start-of-image marker.
static QByteArray WithOrientation(const QByteArray& jpeg, int orientation)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff += QByteArray("\x01\0", 2);                       // one entry
    tiff += QByteArray("\x12\x01\x03\0\x01\0\0\0", 8);    // Orientation, SHORT, 1 value
    tiff += char(orientation);
    tiff += QByteArray(3, '\0');
    tiff += QByteArray(4, '\0');                            // no next directory
    QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    if (orientation == 0)
        payload = QByteArray("Exif\0\0II*\0\xff\xff\xff\x7f\x09", 15); // a directory far past the end
    QByteArray segment("\xFF\xE1", 2);
    segment += char((payload.size() + 2) >> 8);
    segment += char((payload.size() + 2) & 0xFF);
    return jpeg.left(2) + segment + payload + jpeg.mid(2);
}

void TestPictures::jpegOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<QRgb>>("corners"); // top left, top right, bottom left, bottom right
    const QRgb r = qRgb(255, 0, 0), g = qRgb(0, 255, 0), b = qRgb(0, 0, 255), w = qRgb(255, 255, 255);
    const QSize wide(64, 32), tall(32, 64);
    QTest::newRow("damaged EXIF: as stored") << 0 << wide << QList<QRgb>{r, g, b, w};
    QTest::newRow("1 as stored") << 1 << wide << QList<QRgb>{r, g, b, w};
    QTest::newRow("2 mirrored") << 2 << wide << QList<QRgb>{g, r, w, b};
    QTest::newRow("3 half a turn") << 3 << wide << QList<QRgb>{w, b, g, r};
    QTest::newRow("4 upside down mirrored") << 4 << wide << QList<QRgb>{b, w, r, g};
    QTest::newRow("5 transposed") << 5 << tall << QList<QRgb>{r, b, g, w};
    QTest::newRow("6 a quarter clockwise") << 6 << tall << QList<QRgb>{b, r, w, g};
    QTest::newRow("7 transversed") << 7 << tall << QList<QRgb>{w, g, b, r};
    QTest::newRow("8 a quarter anticlockwise") << 8 << tall << QList<QRgb>{g, w, r, b};
}

// Photos are shown the way up their orientation tag says, before the size rules.
void TestPictures::jpegOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QList<QRgb>, corners);
    QImage stored(64, 32, QImage::Format_RGB32);
    const QRgb quadrant[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            stored.setPixel(x, y, quadrant[(y >= 16 ? 2 : 0) + (x >= 32 ? 1 : 0)]);
    QTemporaryDir dir;
    const QString path = testfiles::Write(QDir(dir.path()), "photo.jpg", WithOrientation(Encode(stored, "jpg", 95), orientation));
    const QImage shown = LoadPicture(path, QSize(1920, 1080));
    QCOMPARE(shown.size(), size);
    const int w = shown.width(), h = shown.height();
    const QPoint at[4] = {{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(Near(shown.pixel(at[i]), corners[i]), qPrintable(QString::number(i)));
}

// Files the metafile fuzzer found to crash or exhaust the libraries in its own process: the
// program's helper, with its limits, refuses or draws each; the program goes on.
void TestPictures::metafileFuzzFindingsAreContained()
{
    const QDir findings(QStringLiteral(LUMIVO_TESTDATA_DIR "/metafile-findings"));
    const QStringList files = findings.entryList({"*.wmf", "*.emf"}, QDir::Files);
    QVERIFY(files.size() >= 40);
    int refused = 0, drawn = 0;
    for (const QString& name : files) {
        try {
            const QImage image = LoadPicture(findings.filePath(name));
            QVERIFY(image.width() <= Metafile::MaxSide && image.height() <= Metafile::MaxSide);
            ++drawn;
        } catch (const ELumivoError&) {
            ++refused;
        }
    }
    qInfo("%d refused, %d drawn", refused, drawn);
}

// A picture loaded ahead on a worker thread is the same picture, or the same error, as a
// load at the time; a load of another file or size does not take it.
void TestPictures::preloadedPictureIsTheSame()
{
    const QString photo = Write("ahead.jpg", Encode(Halves(800, 600), "jpg"));
    const QImage direct = LoadPicture(photo, QSize(400, 300));
    PreloadPicture(photo, QSize(400, 300));
    QCOMPARE(LoadPicture(photo, QSize(400, 300)), direct);
    PreloadPicture(photo, QSize(1920, 1080));
    QCOMPARE(LoadPicture(photo, QSize(400, 300)), direct); // another size: loaded anew
    const QString damaged = Write("damaged-ahead.jpg", "\xFF\xD8\xFF\xE0 not a JPEG");
    PreloadPicture(damaged, QSize());
    QVERIFY_THROWS_EXCEPTION(ELumivoError, LoadPicture(damaged, QSize()));
    PreloadPicture(Write("x.wmf", "not taken ahead"), QSize()); // metafiles are not preloaded
    // Replaced after it was read ahead: read again, then and later.
    const QString replaced = Write("replaced.jpg", Encode(Halves(80, 60), "jpg"));
    PreloadPicture(replaced, QSize(400, 300));
    QVERIFY(PreloadSucceeds(replaced, QSize(400, 300), 5000));
    Write("replaced.jpg", Encode(Halves(60, 80), "jpg"));
    QCOMPARE(LoadPicture(replaced, QSize(400, 300)).size(), QSize(60, 80));
    QCOMPARE(LoadPicture(replaced, QSize(400, 300)).size(), QSize(60, 80));
}

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_pictures.moc"
