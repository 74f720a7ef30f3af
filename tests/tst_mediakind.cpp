#include "playlist/MediaKind.h"

#include <QTest>

Q_DECLARE_METATYPE(TMediaKind)

class TestMediaKind : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void classify_data();
    void classify();
    void everyListedSpelling();
    void captions();
};

void TestMediaKind::classify_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<TMediaKind>("kind");
    QTest::addColumn<bool>("video");
    QTest::addColumn<QString>("extension");

    QTest::newRow("cyrillic JPG") << "C:\\Фото\\лето.JPG" << mkPicture << false << ".JPG";
    QTest::newRow("jPEG is no kind") << "C:\\Фото\\лето.jPEG" << mkNone << false << ".jPEG";
    QTest::newRow("Jpeg") << "C:\\Фото\\лето.Jpeg" << mkPicture << false << ".Jpeg";
    QTest::newRow("jpEG is no kind") << "/home/u/a.jpEG" << mkNone << false << ".jpEG";
    QTest::newRow("mpeg video") << "clip.mpeg" << mkClip << true << ".mpeg";
    QTest::newRow("MPEG video") << "clip.MPEG" << mkClip << true << ".MPEG";
    QTest::newRow("Mpeg video") << "clip.Mpeg" << mkClip << true << ".Mpeg";
    QTest::newRow("mpeg4 audio") << "clip.mpeg4" << mkClip << false << ".mpeg4";
    QTest::newRow("Mpeg4 none") << "clip.Mpeg4" << mkNone << false << ".Mpeg4";
    QTest::newRow("MPEG4 none") << "clip.MPEG4" << mkNone << false << ".MPEG4";
    QTest::newRow("mpg video") << "clip.mpg" << mkClip << true << ".mpg";
    QTest::newRow("mp4 video") << "clip.mp4" << mkClip << true << ".mp4";
    QTest::newRow("mixed-case avi none") << "clip.aVi" << mkNone << false << ".aVi";
    QTest::newRow("Avi video") << "clip.Avi" << mkClip << true << ".Avi";
    QTest::newRow("wav audio") << "/snd/a.wav" << mkClip << false << ".wav";
    QTest::newRow("MID audio") << "a.MID" << mkClip << false << ".MID";
    QTest::newRow("mId none") << "a.mId" << mkNone << false << ".mId";
    QTest::newRow("second extension counts") << "song.mp3.bak" << mkNone << false << ".bak";
    QTest::newRow("dot before backslash") << "C:\\dir.gif\\file" << mkNone << false << "";
    QTest::newRow("dot before slash") << "/home/a.gif/file" << mkNone << false << "";
    QTest::newRow("dot before colon") << "C:a.gif:stream" << mkNone << false << "";
    QTest::newRow("dot alone") << "name." << mkNone << false << ".";
    QTest::newRow("no dot") << "README" << mkNone << false << "";
    QTest::newRow("empty name") << "" << mkNone << false << "";
    QTest::newRow("trailing blank") << "photo.jpg " << mkNone << false << ".jpg ";
    QTest::newRow("GIF is animated") << "x.GIF" << mkAnimatedPicture << false << ".GIF";
    QTest::newRow("GiF is animated") << "x.GiF" << mkAnimatedPicture << false << ".GiF";
    QTest::newRow("hidden file") << "/home/u/.gif" << mkAnimatedPicture << false << ".gif";
    QTest::newRow("dib is a picture") << "x.dib" << mkPicture << false << ".dib";
}

void TestMediaKind::classify()
{
    QFETCH(QString, name);
    QFETCH(TMediaKind, kind);
    QFETCH(bool, video);
    QFETCH(QString, extension);
    QCOMPARE(MediaFileExtension(name), extension);
    QCOMPARE(ClassifyMediaFile(name), kind);
    QCOMPARE(IsVideoClip(name), video);
}

// Every case form of the three-letter extensions counts; of "jpeg" only three do.
void TestMediaKind::everyListedSpelling()
{
    auto caseForms = [](const QString& ext) {
        QStringList forms;
        for (int mask = 0; mask < (1 << ext.size()); ++mask) {
            QString f = ext;
            for (int i = 0; i < ext.size(); ++i)
                if (mask & (1 << i))
                    f[i] = f[i].toUpper();
            forms << QLatin1Char('.') + f;
        }
        forms.removeDuplicates();
        return forms;
    };
    for (const QString ext : {"bmp", "jpg", "ico", "emf", "wmf", "dib"})
        for (const QString& form : caseForms(ext))
            QVERIFY2(ClassifyMediaFile("a" + form) == mkPicture, qPrintable(form));
    for (const QString& form : caseForms("gif"))
        QVERIFY2(ClassifyMediaFile("a" + form) == mkAnimatedPicture, qPrintable(form));

    int jpegPictures = 0;
    for (const QString& form : caseForms("jpeg"))
        jpegPictures += ClassifyMediaFile("a" + form) == mkPicture;
    QCOMPARE(jpegPictures, 3);

    // Clips come in three case forms only: lower, upper and capital initial.
    for (const QString ext : {"avi", "wav", "mp3", "mid", "mpeg", "mpg", "mp4"}) {
        int clips = 0;
        for (const QString& form : caseForms(ext))
            clips += ClassifyMediaFile("a" + form) == mkClip;
        QCOMPARE(clips, 3);
    }

    // Whatever the open dialog and the wizard offer is of a kind.
    QStringList masks = MediaFolderMask.split(';');
    const QStringList filter = MediaOpenFilter.split('|');
    for (int i = 1; i < filter.size(); i += 2)
        masks += filter[i].split(';');
    for (const QString& mask : masks)
        QVERIFY2(ClassifyMediaFile("a" + mask.trimmed().mid(1)) != mkNone, qPrintable(mask));
}

void TestMediaKind::captions()
{
    QCOMPARE(MediaKindCaption(mkPicture), QStringLiteral("Картинка"));
    QCOMPARE(MediaKindCaption(mkAnimatedPicture), QStringLiteral("Анимированная картинка"));
    QCOMPARE(MediaKindCaption(mkClip), QStringLiteral("Клип"));
    QVERIFY(MediaKindCaption(mkNone).isEmpty());
}

QTEST_APPLESS_MAIN(TestMediaKind)
#include "tst_mediakind.moc"
