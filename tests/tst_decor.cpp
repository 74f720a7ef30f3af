// The clock's geometry, hand end points, time texts and drawing, the built-in pictures, and
// the CD tray command layer.

#include "decor/AnimatedPointer.h"
#include "decor/Clock.h"
#include "system/OpticalDrive.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QTemporaryFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(THandTime)

namespace {
const TClockGeometry G = TClockGeometry::From(53, 53);
}

class TestDecor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void geometry();
    void handEnds_data();
    void handEnds();
    void facePixels();
    void clockTimeFormat_data();
    void clockTimeFormat();
    void handsFromAnyLocale();
    void builtInPicturesLoad();
    void cdCommands();
};

void TestDecor::geometry()
{
    QCOMPARE(G.CentreX, 26);
    QCOMPARE(G.CentreY, 26);
    QCOMPARE(G.HourLength, 13);
    QCOMPARE(G.MinuteLength, 17);
    QCOMPARE(G.SecondLength, 20);
    QCOMPARE(G.TickLength, 6);
    const TClockGeometry tall = TClockGeometry::From(40, 90); // lengths follow the width only
    QCOMPARE(tall.CentreY, 45);
    QCOMPARE(tall.SecondLength, 16);
}

void TestDecor::handEnds_data()
{
    QTest::addColumn<THandTime>("time");
    QTest::addColumn<QPoint>("hour");
    QTest::addColumn<QPoint>("minute");
    QTest::addColumn<QPoint>("second");
    QTest::newRow("12:00:00") << THandTime{12, 0, 0} << QPoint(26, 13) << QPoint(26, 9) << QPoint(26, 6);
    QTest::newRow("15:00:00") << THandTime{15, 0, 0} << QPoint(39, 26) << QPoint(26, 9) << QPoint(26, 6);
    QTest::newRow("3:00:00") << THandTime{3, 0, 0} << QPoint(39, 26) << QPoint(26, 9) << QPoint(26, 6);
    // 195 degrees: x = 26 + trunc(13 sin 195) = 23, y = 26 - trunc(13 cos 195) = 38.
    QTest::newRow("6:30:00") << THandTime{6, 30, 0} << QPoint(23, 38) << QPoint(26, 43) << QPoint(26, 6);
    // Hour hand at 310 degrees: (26 + trunc(-9.96), 26 - trunc(8.36)); minute hand at 123
    // degrees: (26 + trunc(14.26), 26 - trunc(-9.26)).
    QTest::newRow("10:20:30") << THandTime{10, 20, 30} << QPoint(17, 18) << QPoint(40, 35) << QPoint(26, 46);
}

void TestDecor::handEnds()
{
    QFETCH(THandTime, time);
    const THandEnds ends = HandEnds(G, time);
    QTEST(ends.Hour, "hour");
    QTEST(ends.Minute, "minute");
    QTEST(ends.Second, "second");
}

void TestDecor::facePixels()
{
    QImage face = NewClockLayer(G);
    DrawClockFace(face, G);
    QCOMPARE(face.pixel(26, 26), ClockColors::Face);
    // The 12 o'clock tick runs from (26, 6) towards (26, 0), the 3 o'clock one from (46, 26)
    // towards (52, 26), each stopping short of its end on the bounding box: nothing is drawn
    // outside the disc.
    QCOMPARE(face.pixel(26, 6), ClockColors::Outline);
    QCOMPARE(face.pixel(26, 2), ClockColors::Outline);
    QCOMPARE(face.pixel(46, 26), ClockColors::Outline);
    QCOMPARE(face.pixel(51, 26), ClockColors::Outline);
    QCOMPARE(face.pixel(26, 0), ClockColors::Transparent);
    QCOMPARE(face.pixel(0, 26), ClockColors::Transparent);
    QCOMPARE(StopShort({6, 26}, {0, 26}), QPoint(1, 26));
    QCOMPARE(StopShort({26, 46}, {26, 52}), QPoint(26, 51));
    QCOMPARE(StopShort({0, 0}, {4, 2}), QPoint(3, 2)); // 1.5 rounds away from zero
    QCOMPARE(face.pixel(0, 52), ClockColors::Transparent); // bottom-left: never painted
    QCOMPARE(face.pixel(20, 20), ClockColors::Face);
    // The picture shown makes white transparent, and the outline stays visible.
    const QImage shown = LayerPixmap(face).toImage();
    QCOMPARE(qAlpha(shown.pixel(0, 52)), 0);
    QCOMPARE(qAlpha(shown.pixel(26, 6)), 255);
}

void TestDecor::clockTimeFormat_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("clock");
    QTest::newRow("zone at the end") << "HH:mm:ss t" << "HH:mm:ss";
    QTest::newRow("long zone name") << "HH:mm:ss tttt" << "HH:mm:ss";
    QTest::newRow("zone first") << "t HH:mm:ss" << "HH:mm:ss";
    QTest::newRow("quoted text with t") << "H 'Uhr' mm 'tot' ss t" << "H 'Uhr' mm 'tot' ss";
    QTest::newRow("literal quote") << "HH'' mm 'o''t' t" << "HH'' mm 'o''t'";
    QTest::newRow("no zone") << "h:mm:ss AP" << "h:mm:ss AP";
}

void TestDecor::clockTimeFormat()
{
    QFETCH(QString, locale);
    QTEST(ClockTimeFormat(locale), "clock");
    QCOMPARE(QTime(21, 5, 7).toString(ClockTimeFormat("H 'Uhr' mm 'tot' ss t")), QStringLiteral("21 Uhr 05 tot 07"));
}

void TestDecor::handsFromAnyLocale()
{
    QImage hands = NewClockLayer(G);
    const QTime t(21, 5, 7);
    DrawClockHands(hands, G, t);
    const THandEnds ends = HandEnds(G, {21, 5, 7});
    QCOMPARE(hands.pixel(ends.Second), ClockColors::Second);
    QCOMPARE(hands.pixel(0, 52), ClockColors::Transparent);
    for (const QLocale& locale : {QLocale(QLocale::Russian, QLocale::Russia), QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::Finnish, QLocale::Finland), QLocale::c()}) {
        const QString text = LongTimeText(t, locale);
        QVERIFY2(!text.isEmpty(), qPrintable(locale.name()));
        QVERIFY2(!text.contains("UTC"), qPrintable(text));
    }
    QCOMPARE(LongTimeText(t, QLocale(QLocale::Russian, QLocale::Russia)), QStringLiteral("21:05:07"));
    QCOMPARE(LongTimeText(t, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("9:05:07 PM"));
}

// A picture missing from the resources would only show as a default pointer or an empty
// clock place, so every one is loaded here.
void TestDecor::builtInPicturesLoad()
{
    LoadDecorResources();
    for (int n = 1; n <= TCursorAnimation::FrameCount; ++n)
        QVERIFY2(!QPixmap(TAnimatedPointer::FramePath(n)).isNull(), qPrintable(TAnimatedPointer::FramePath(n)));
    QVERIFY(!ClockOffPicture().isNull());
}

void TestDecor::cdCommands()
{
    using OpticalDrive::TResult;
    QCOMPARE(OpticalDrive::OpenTray({"/nonexistent/cdrom"}), TResult::NoDrive);
    QCOMPARE(OpticalDrive::CloseTray({"/nonexistent/cdrom"}), TResult::NoDrive);
    QTemporaryFile notADrive;
    QVERIFY(notADrive.open());
    QCOMPARE(OpticalDrive::OpenTray({notADrive.fileName()}), TResult::NotReady);
    // A drive that opens but refuses does not end the search: the next is tried.
    QCOMPARE(OpticalDrive::OpenTray({"/nonexistent/cdrom", notADrive.fileName(), "/nonexistent/sr1"}), TResult::NotReady);

    // Every optical drive the system lists, after /dev/cdrom, in number order.
    QTemporaryDir sys;
    for (const char* name : {"sr0", "sr10", "sr2", "sda", "sr", "srx1", "loop0"})
        QVERIFY(QDir(sys.path()).mkdir(name));
    QCOMPARE(OpticalDrive::Drives(sys.path()),
             (QStringList{"/dev/cdrom", "/dev/sr0", "/dev/sr2", "/dev/sr10"}));
}

QTEST_MAIN(TestDecor)
#include "tst_decor.moc"
