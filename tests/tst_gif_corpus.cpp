// Every GIF of the shared test data and of the fuzz corpus, read with the GIF library built
// with AddressSanitizer and UndefinedBehaviorSanitizer: refusals are fine, a sanitizer
// report ends the run with a failure.

#include "gif/GifFile.h"

#include <QDirIterator>
#include <QTest>

class TestGifCorpus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyFile();
};

void TestGifCorpus::everyFile()
{
    int files = 0, loaded = 0;
    for (const QString root : {QStringLiteral(LUMIVO_TESTDATA_DIR "/gif"), QStringLiteral(LUMIVO_FUZZ_CORPUS)}) {
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(QLatin1String(".md")))
                continue;
            ++files;
            gif::TGifFile file;
            try {
                file.LoadFromFile(QFile::encodeName(path).toStdString());
                file.AnimationInterval();
                ++loaded;
            } catch (const std::exception&) {
            }
            for (int32_t n = 1; n <= file.SubImageCount(); ++n)
                file.SubImage(n).AsBitmap();
        }
    }
    qInfo("%d files, %d read whole", files, loaded);
    QVERIFY(files > 500);
}

QTEST_GUILESS_MAIN(TestGifCorpus)
#include "tst_gif_corpus.moc"
