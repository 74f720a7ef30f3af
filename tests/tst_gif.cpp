// The GIF library: byte containers, the stream reader, the LZW decoder and the bitmap,
// on hand-built streams. The control has a suite of its own (tst_gifimage).

#include "GifStreams.h"
#include "gif/GifFile.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace gif;
using namespace giftest;

namespace {

class Recorder : public IGifHost {
public:
    void SetBusyCursor(bool busy) override { cursor << busy; }
    void ShowNotice(const std::string& text) override { notices << QString::fromStdString(text); }
    void ProcessMessages() override { ++rows; }
    QList<bool> cursor;
    QStringList notices;
    int rows = 0;
};

// The message of the exception that f throws, or "<no error>".
template <class E = std::exception, class F>
QString ErrorOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return QString::fromStdString(e.what());
    }
    return QStringLiteral("<no error>");
}

void Load(TGifFile& file, const QByteArray& bytes)
{
    file.LoadFromBuffer(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

QString LoadError(const QByteArray& bytes)
{
    TGifFile file;
    return ErrorOf([&] { Load(file, bytes); });
}

// Row r (1-based) of an image's pixels.
QByteArray Row(const TGifSubImage& image, int r)
{
    return QByteArray(reinterpret_cast<const char*>(image.Pixels->RowData(r)), image.Width);
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b += char(v);
    return b;
}

// A one-image file around a code stream.
QByteArray OneImage(int width, int height, const QByteArray& data, int codeSize = 2, uint8_t packed = 0)
{
    return GifBuilder(width, height).Image(0, 0, width, height, data, codeSize, packed).Trailer();
}

} // namespace

class TestGif : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bigByteArray();
    void matrix();
    void byteBuffer();

    void versions_data();
    void versions();
    void emptyFileAndSingleImage();
    void animationInterval_data();
    void animationInterval();
    void extensions();
    void truncatedFilesAndCursor();
    void colourTables();
    void strayByteEndsTheLoad();
    void missingFileAndIndexErrors();
    void subImageCreate();
    void memoryCap();

    void lzwExampleRow();
    void lzwCodeEqualToNextFree();
    void lzwEndsEarly();
    void lzwCodeSizes();
    void lzwClearCases();
    void lzwDeferredClearCode();
    void interlaceOrder_data();
    void interlaceOrder();
    void interlacedDecode();
    void tooManyPixels();
    void bitmap();
};

void TestGif::bigByteArray()
{
    TBigByteArray empty(0);
    QCOMPARE(empty.Size(), 0);
    QCOMPARE(ErrorOf<ENotEnoughMemory>([] { TBigByteArray a(-5); }),
             QStringLiteral("error in TBigByteArray.create: Not enough contiguous memory available\r\n"
                            " requested memory block: -5 bytes"));
    TBigByteArray a(3);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(a.Data()), 3), Bytes({0, 0, 0})); // starts cleared
}

void TestGif::matrix()
{
    TByteArray2D m(3, 2);
    std::memcpy(m.MutableRowData(2), "\x0a\x14\x1e", 3);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(m.RowData(2)), 3), Bytes({10, 20, 30}));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(m.RowData(1)), 3), Bytes({0, 0, 0}));
    QVERIFY_THROWS_EXCEPTION(EIndexOutOfBounds, m.MutableRowData(3));
    QVERIFY_THROWS_EXCEPTION(EIndexOutOfBounds, m.RowData(0));

    TByteArray2D none(0, 0);
    QCOMPARE(none.Rows(), 0);
    // The product of two 16-bit sizes beyond int: refused cleanly, never overflowed.
    QCOMPARE(ErrorOf<ENotEnoughMemory>([] { TByteArray2D huge(65535, 65535); }).right(16),
             QStringLiteral("4294836225 bytes"));
}

void TestGif::byteBuffer()
{
    TByteBuffer empty;
    QCOMPARE(ErrorOf<EStringListError>([&] { empty.Rewind(); }), QStringLiteral("List index out of bounds (0)"));
    TByteBuffer b;
    std::memcpy(b.AppendChunk(2), "ab", 2);
    std::memcpy(b.AppendChunk(1), "c", 1);
    b.Rewind();
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(b.Bytes()), int(b.ByteCount())), QByteArray("abc"));
}

void TestGif::versions_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("error");
    const QString bad = QStringLiteral("Gif Version must be 87a or 89a");
    QTest::newRow("89a") << QByteArray("GIF89a") << "<no error>";
    QTest::newRow("87a") << QByteArray("GIF87a") << "<no error>";
    QTest::newRow("89A") << QByteArray("GIF89A") << "<no error>";
    QTest::newRow("87A") << QByteArray("GIF87A") << "<no error>";
    QTest::newRow("any signature") << QByteArray("XYZ89a") << "<no error>";
    QTest::newRow("89b") << QByteArray("GIF89b") << bad;
    QTest::newRow("8 9") << QByteArray("GIF8 9") << bad;
    QTest::newRow("88a") << QByteArray("GIF88a") << bad;
}

void TestGif::versions()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, error);
    const QByteArray file = header + GifBuilder(1, 1).Trailer().mid(6);
    QCOMPARE(LoadError(file), error);
}

void TestGif::emptyFileAndSingleImage()
{
    Recorder host;
    TGifFile empty(host);
    Load(empty, GifBuilder(1, 1, 0).Trailer());
    QCOMPARE(empty.SubImageCount(), 0);
    QCOMPARE(empty.AnimationInterval(), 0);

    TGifFile one(host);
    Load(one, OneImage(4, 1, CodeStream(2).Clear().Code(0).Code(1).Code(2).Code(3).End().Bytes()));
    QCOMPARE(one.SubImageCount(), 1);
    QVERIFY(one.SubImage(1).Extensions.empty());
    QCOMPARE(one.AnimationInterval(), 0);
    QVERIFY(host.notices.isEmpty());
}

void TestGif::animationInterval_data()
{
    QTest::addColumn<QList<int>>("delays");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QStringList>("notices");
    const QString none = QStringLiteral("Multiple subimages; no animation time interval found");
    const QString differ = QStringLiteral("Multiple subimages; animation time intervals not equal");
    QTest::newRow("10 10") << QList<int>{10, 10} << 10 << QStringList{};
    QTest::newRow("10 20 20") << QList<int>{10, 20, 20} << 20 << QStringList{differ};
    QTest::newRow("0 5") << QList<int>{0, 5} << 5 << QStringList{none};
    QTest::newRow("5 0") << QList<int>{5, 0} << 5 << QStringList{none, differ};
    QTest::newRow("0 0 0: one notice, not one per image") << QList<int>{0, 0, 0} << 0 << QStringList{none};
    QTest::newRow("10 0 20 0 30: each kind once") << QList<int>{10, 0, 20, 0, 30} << 30 << QStringList{none, differ};
    QTest::newRow("7 no extension") << QList<int>{7, -1} << 7 << QStringList{none, differ};
}

void TestGif::animationInterval()
{
    QFETCH(QList<int>, delays);
    GifBuilder b(2, 1);
    for (int d : delays) {
        if (d >= 0)
            b.GraphicControl(d);
        b.Image(0, 0, 2, 1, CodeStream(2).Clear().Code(0).Code(1).End().Bytes());
    }
    Recorder host;
    TGifFile file(host);
    Load(file, b.Trailer());
    QCOMPARE(file.SubImageCount(), int(delays.size()));
    QTEST(int(file.AnimationInterval()), "interval");
    QTEST(host.notices, "notices");
}

void TestGif::extensions()
{
    const QByteArray data = CodeStream(2).Clear().Code(1).End().Bytes();
    TGifFile file;
    Load(file, GifBuilder(1, 1)
                   .GraphicControl(4)
                   .GraphicControl(9)
                   .Comment({"abc", "defgh"})
                   .Raw(Bytes({0x21, 0xFF, 11}) + "NETSCAPE2.0" + Bytes({3, 1, 0, 0, 0}))
                   .Raw(Bytes({0x21, 0x01, 12}) + QByteArray(12, 'p') + Bytes({2, 'h', 'i', 0}))
                   .Image(0, 0, 1, 1, data)
                   .GraphicControl(50) // before the trailer: belongs to no image
                   .Trailer());
    const TGifSubImage& image = file.SubImage(1);
    QCOMPARE(image.Extensions.size(), size_t(5));
    QCOMPARE(image.Delay(), 9); // the last graphic control extension counts
    QCOMPARE(image.Extensions[2].Kind, ekComment);
    QCOMPARE(image.Extensions[2].Lines, (std::vector<std::string>{"abc", "defgh"}));
    QCOMPARE(image.Extensions[3].Kind, ekApplication);
    QCOMPARE(image.Extensions[3].Fixed.size(), size_t(12));
    QCOMPARE(image.Extensions[4].Kind, ekPlainText);
    QCOMPARE(image.Extensions[4].Lines, std::vector<std::string>{"hi"});

    const QByteArray unknown = GifBuilder(1, 1).Raw(Bytes({0x21, 0x2C, 0})).Trailer();
    QCOMPARE(LoadError(unknown), QStringLiteral("Unrecognized extension block.\r\nCode = $2C"));
}

void TestGif::truncatedFilesAndCursor()
{
    const QByteArray whole = OneImage(4, 1, CodeStream(2).Clear().Code(0).Code(1).Code(2).Code(3).End().Bytes());
    // Cut anywhere (inside header, screen, table, image, data, or before the trailer).
    for (qsizetype cut = 0; cut < whole.size(); ++cut) {
        Recorder host;
        TGifFile file(host);
        QCOMPARE(ErrorOf([&] { Load(file, whole.left(cut)); }), QStringLiteral("Read beyond end of file"));
        QCOMPARE(host.cursor, (QList<bool>{true, false})); // hourglass, then back to the default
    }
}

void TestGif::colourTables()
{
    // Size bits 7 with the flag: 768 bytes of table, read into 256 entries.
    TGifFile big;
    Load(big, GifBuilder(1, 1, 0x87).Trailer());
    QCOMPARE(big.GlobalColorTable.Count, 256);
    QCOMPARE(big.GlobalColorTable.Entries[200].Green, 55);
    // Without the flag no table bytes are read, but the count still follows the size bits.
    TGifFile none;
    Load(none, GifBuilder(1, 1, 0x05).Trailer());
    QCOMPARE(none.GlobalColorTable.Count, 64);
    QVERIFY(!none.GlobalColorTableFlag);
    QCOMPARE(none.GlobalColorTable.Entries[1].Red, 255); // the default black and white stay

    TColorTable t;
    t.SetDefaultColors(16);
    QCOMPARE(t.Entries[8].Red, 192);
    QCOMPARE(t.Entries[12].Blue, 255);
    t.SetDefaultColors(256);
    QCOMPARE(t.Entries[77].Green, 77);
    t.SetDefaultColors(4); // other counts leave the entries as they were
    QCOMPARE(t.Count, 4);
    QCOMPARE(t.Entries[3].Red, 3);
}

void TestGif::strayByteEndsTheLoad()
{
    const QString error = LoadError(GifBuilder(1, 1).Raw(Bytes({0x00, 0x00, 0x00})).Trailer());
    QVERIFY2(error.startsWith(QStringLiteral("Unexpected block introducer")), qPrintable(error));
}

void TestGif::missingFileAndIndexErrors()
{
    TGifFile file;
    QCOMPARE(ErrorOf<EInOutError>([&] { file.LoadFromFile("/nonexistent/x.gif"); }), QStringLiteral("File not found"));
    QTemporaryDir dir;
    QVERIFY(!ErrorOf<EInOutError>([&] { file.LoadFromFile(dir.path().toStdString()); }).contains("no error"));

    Load(file, OneImage(1, 1, CodeStream(2).Clear().Code(1).End().Bytes()));
    QCOMPARE(ErrorOf<EListError>([&] { file.SubImage(0); }), QStringLiteral("List index out of bounds (-1)"));
    QCOMPARE(ErrorOf<EListError>([&] { file.SubImage(2); }), QStringLiteral("List index out of bounds (1)"));
}

void TestGif::subImageCreate()
{
    QCOMPARE(ErrorOf<EGifException>([] { TGifSubImage(3, nullptr); }),
             QStringLiteral("Number of colors (3) wrong; must be a power of 2"));
    TGifSubImage two(2, nullptr);
    QCOMPARE(two.BitsPerPixel, 1);
    QCOMPARE(two.CodeSize, 2);
    TGifSubImage many(256, nullptr);
    QCOMPARE(many.CodeSize, 8);
    QCOMPARE(many.ColorTable.Entries[9].Red, 9);
    QCOMPARE(many.ImagePackedFields, 0);
}

void TestGif::memoryCap()
{
    // A 30000 x 30000 image is refused at once, with what it needs: its indices and the
    // 32-bit picture it would be composed into.
    const QByteArray huge = OneImage(30000, 30000, CodeStream(2).Clear().Code(1).End().Bytes());
    QCOMPARE(LoadError(huge), QStringLiteral("The GIF's images need 4 292 MB, more than the 768 MB this program allows."));

    // Frames that together would pass the budget decoded are kept compressed, each decoded
    // when it is drawn: the file needs one frame's indices besides its picture.
    const int side = 8000; // 64 MB a frame
    GifBuilder many(side, side);
    const QByteArray tiny = CodeStream(2).Clear().Code(1).End().Bytes();
    for (int i = 0; i < 20; ++i)
        many.Image(0, 0, side, side, tiny);
    TGifFile file;
    Load(file, many.Trailer());
    QVERIFY(file.FramesOnDemand() && !file.SubImage(20).Pixels);
    QCOMPARE(file.NeededBytes() / (1024 * 1024), 305); // 64 MB of indices, 244 MB of picture
    QVERIFY(file.SubImage(20).DecodeIfCompressed());
    QCOMPARE(file.SubImage(20).Pixels->Columns(), side);

    // Ten thousand small frames are fine, and so is a file just within the budget.
    GifBuilder frames(2, 2);
    for (int i = 0; i < 10000; ++i)
        frames.Image(0, 0, 2, 2, tiny);
    TGifFile ok;
    Load(ok, frames.Trailer());
    QCOMPARE(ok.SubImageCount(), 10000);
    QVERIFY(ok.NeededBytes() > 10000 * ImageRecordBytes);
    GifBuilder within(side, side);
    for (int i = 0; i < 6; ++i) // 64 MB x 6 + 256 MB composed
        within.Image(0, 0, side, side, tiny);
    TGifFile fits;
    Load(fits, within.Trailer());
    QCOMPARE(fits.SubImageCount(), 6);
    QVERIFY(fits.NeededBytes() <= MaxDecodedBytes);
}

void TestGif::lzwExampleRow()
{
    // Clear, 0, 1, 2 at 3 bits; 3 and end at 4 bits, since defining entry 7 widened the codes.
    QByteArray data;
    CodeStream s(2);
    s.Clear().Code(0).Code(1).Code(2);
    QCOMPARE(s.Width(), 4);
    s.Code(3).End();
    Recorder host;
    TGifFile file(host);
    Load(file, OneImage(4, 1, s.Bytes()));
    QCOMPARE(Row(file.SubImage(1), 1), Bytes({0, 1, 2, 3}));
    QCOMPARE(host.rows, 1); // messages run after the last row (and every 10 ms before it)
}

void TestGif::lzwCodeEqualToNextFree()
{
    // "KwKwK": codes 6 and 7 arrive before they are defined: 6 means 0 + 0, 7 means 00 + 0.
    TGifFile file;
    Load(file, OneImage(7, 1, CodeStream(2).Clear().Code(2).Code(6).Code(7).Code(1).End().Bytes()));
    QCOMPARE(Row(file.SubImage(1), 1), Bytes({2, 2, 2, 2, 2, 2, 1}));
}

void TestGif::lzwEndsEarly()
{
    // Directly the end code: nothing stored, no error.
    Recorder host;
    TGifFile file(host);
    Load(file, OneImage(2, 2, CodeStream(2).End().Bytes()));
    QCOMPARE(Row(file.SubImage(1), 1), Bytes({0, 0}));
    QCOMPARE(host.rows, 1); // only the pass once the file is read

    // Data that ends before the end code keeps the complete rows only.
    CodeStream s(2);
    s.Clear().Code(1).Code(1).Code(1).Code(1); // four pixels of a 3 x 2 image, no end code
    QCOMPARE(s.Bytes().size(), 2);             // 16 bits: no padding that could read as a code
    TGifFile shortFile;
    Load(shortFile, OneImage(3, 2, s.Bytes()));
    QCOMPARE(Row(shortFile.SubImage(1), 1), Bytes({1, 1, 1}));
    QCOMPARE(Row(shortFile.SubImage(1), 2), Bytes({0, 0, 0}));

    // An image without any data sub-block fails with the chunk list's error.
    QByteArray noData = GifBuilder(1, 1).Raw(Bytes({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 0})).Trailer();
    QCOMPARE(LoadError(noData), QStringLiteral("List index out of bounds (0)"));
}

void TestGif::lzwCodeSizes()
{
    QCOMPARE(LoadError(OneImage(1, 1, Bytes({0}), 1)), QStringLiteral("Bad code Size"));
    QCOMPARE(LoadError(OneImage(1, 1, Bytes({0}), 10)), QStringLiteral("Bad code Size"));
    // Code size 9: 10-bit codes; a root above 255 gives its low 8 bits.
    TGifFile file;
    Load(file, OneImage(3, 1, CodeStream(9).Clear().Code(300).Code(5).Code(511).End().Bytes(), 9));
    QCOMPARE(Row(file.SubImage(1), 1), Bytes({44, 5, 255}));
}

void TestGif::lzwClearCases()
{
    TGifFile file;
    Load(file, OneImage(2, 1, CodeStream(2).Clear().Clear().Clear().Code(3).Code(2).End().Bytes()));
    QCOMPARE(Row(file.SubImage(1), 1), Bytes({3, 2}));

    QCOMPARE(LoadError(OneImage(1, 1, CodeStream(2).Clear().End().Bytes())), QStringLiteral("Bad code"));

    // The first code after a clear that is not a root is colour 0.
    TGifFile notRoot;
    Load(notRoot, GifBuilder(2, 1, 0x83)
                      .Image(0, 0, 2, 1, CodeStream(3).Clear().Raw(9 + 5, 4).Code(1).End().Bytes(), 3)
                      .Trailer());
    QCOMPARE(Row(notRoot.SubImage(1), 1), Bytes({0, 1}));

    // A code above the next free entry.
    QCOMPARE(LoadError(OneImage(4, 1, CodeStream(2).Clear().Code(1).Raw(7, 3).End().Bytes())),
             QStringLiteral("Bad code"));

    // A stream that does not begin with a clear code decodes as if it did: its first code
    // defines no entry, so the width grows at the same place as after a clear.
    CodeStream noClear(2);
    noClear.Code(0).Code(1).Code(2).Code(3).End();
    TGifFile start;
    Load(start, OneImage(4, 1, noClear.Bytes()));
    QCOMPARE(Row(start.SubImage(1), 1), Bytes({0, 1, 2, 3}));
}

// Codes of root 0 after a clear until the table holds 4096 entries; returns the pixels.
static int FillTable(CodeStream& s)
{
    s.Clear().Code(0);
    int pixels = 1;
    while (s.NextFree() < 4096) {
        s.Code(0);
        ++pixels;
    }
    return pixels;
}

void TestGif::lzwDeferredClearCode()
{
    // Fill the table to 4096 entries at width 12, then go on without a clear code: the
    // table stays frozen, code 4095 (defined as 0 + 0) is still good, and the end code ends.
    CodeStream s(8);
    int pixels = FillTable(s);
    QCOMPARE(s.Width(), 12);
    s.Code(4095).Code(5).End();
    pixels += 2 + 1;
    TGifFile file;
    Load(file, GifBuilder(pixels, 1, 0x87).Image(0, 0, pixels, 1, s.Bytes(), 8).Trailer());
    QByteArray expected(pixels, '\0');
    expected[pixels - 1] = 5;
    QCOMPARE(Row(file.SubImage(1), 1), expected);

    // A full table followed by the end code ends normally too.
    CodeStream e(8);
    const int n = FillTable(e);
    e.End();
    TGifFile ended;
    Load(ended, GifBuilder(n, 1, 0x87).Image(0, 0, n, 1, e.Bytes(), 8).Trailer());
    QCOMPARE(ended.SubImageCount(), 1);
}

void TestGif::interlaceOrder_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("1") << 1 << QList<int>{0};
    QTest::newRow("2") << 2 << QList<int>{0, 1};
    QTest::newRow("3") << 3 << QList<int>{0, 2, 1};
    QTest::newRow("4") << 4 << QList<int>{0, 2, 1, 3};
    QTest::newRow("5") << 5 << QList<int>{0, 4, 2, 1, 3};
    QTest::newRow("8") << 8 << QList<int>{0, 4, 2, 6, 1, 3, 5, 7};
    QTest::newRow("9") << 9 << QList<int>{0, 8, 4, 2, 6, 1, 3, 5, 7};
    QTest::newRow("10") << 10 << QList<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
}

void TestGif::interlaceOrder()
{
    QFETCH(int, height);
    QFETCH(QList<int>, order);
    QList<int> seen{0};
    int pass = 1;
    for (int row = 0;;) {
        row = TGifSubImage::NextInterlacedRow(row, height, pass);
        if (row >= height)
            break;
        seen << row;
    }
    QCOMPARE(seen, order);
    QCOMPARE(pass, 5);
}

void TestGif::interlacedDecode()
{
    // Row k of the stream is filled with colour k: each stored row shows where it went.
    const int height = 10;
    CodeStream s(4);
    s.Clear();
    for (int k = 0; k < height; ++k)
        s.Code(k).Code(k);
    s.End();
    TGifFile file;
    Load(file, GifBuilder(2, height, 0x83).Image(0, 0, 2, height, s.Bytes(), 4, 0x40).Trailer());
    const QList<int> order{0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    for (int k = 0; k < height; ++k)
        QCOMPARE(Row(file.SubImage(1), order[k] + 1), Bytes({k, k}));
    // Interlaced heights 1..4 decode without error.
    for (int h = 1; h <= 4; ++h) {
        TGifFile small;
        Load(small, GifBuilder(1, h).Image(0, 0, 1, h, SolidData(h), 2, 0x40).Trailer());
        QCOMPARE(small.SubImageCount(), 1);
    }
}

void TestGif::tooManyPixels()
{
    const QString outOfBounds = QStringLiteral("Dynamic array index out of bounds");
    QCOMPARE(LoadError(OneImage(2, 1, SolidData(4))), outOfBounds); // a whole row too many
    QCOMPARE(LoadError(OneImage(2, 1, SolidData(3))), QStringLiteral("<no error>")); // half a row is dropped
    QCOMPARE(LoadError(OneImage(0, 1, SolidData(1))), outOfBounds); // width 0 and a pixel
    QCOMPARE(LoadError(OneImage(0, 0, CodeStream(2).Clear().End().Bytes())), QStringLiteral("Bad code"));
    QCOMPARE(LoadError(OneImage(0, 0, CodeStream(2).End().Bytes())), QStringLiteral("<no error>"));
}

void TestGif::bitmap()
{
    // No local table: the palette comes from the global table, always 256 entries.
    TGifFile file;
    Load(file, GifBuilder(3, 2, 0x81)
                   .Image(0, 0, 3, 2, CodeStream(2).Clear().Code(0).Code(1).Code(2).Code(3).Code(2).Code(1).End().Bytes())
                   .Image(0, 0, 4, 1, CodeStream(2).Clear().Code(3).Code(0).Code(0).Code(3).End().Bytes(), 2, 0x81,
                          QByteArray("\x10\x20\x30\x40\x50\x60\x70\x80\x90\xA0\xB0\xC0", 12))
                   .Trailer());
    const QImage& a = file.SubImage(1).AsBitmap();
    QCOMPARE(a.format(), QImage::Format_Indexed8);
    QCOMPARE(a.size(), QSize(3, 2));
    QCOMPARE(a.colorCount(), 256);
    QCOMPARE(a.color(2), qRgb(2, 253, 1));
    QCOMPARE(a.color(200), qRgb(0, 0, 0)); // entries past the table's count are written too
    QCOMPARE(a.pixelIndex(0, 1), 3);
    QCOMPARE(a.pixelIndex(2, 1), 1);
    QCOMPARE(a.bytesPerLine(), 3); // a view of the image's own rows: no copy, no padding
    QCOMPARE(a.constBits(), file.SubImage(1).Pixels->RowData(1));
    QCOMPARE(&file.SubImage(1).AsBitmap(), &a); // built once, then cached

    const QImage& b = file.SubImage(2).AsBitmap();
    QCOMPARE(b.color(3), qRgb(0xA0, 0xB0, 0xC0)); // the local table when the image has one
    QCOMPARE(b.bytesPerLine(), 4);
    QCOMPARE(b.pixelIndex(3, 0), 3);
    QImage copy = b.copy(); // a copy is the caller's own
    copy.setPixel(0, 0, 1);
    QCOMPARE(b.pixelIndex(0, 0), 3);
}

QTEST_GUILESS_MAIN(TestGif)
#include "tst_gif.moc"
