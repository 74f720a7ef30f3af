// Every GIF of the test data and of the fuzz corpus, read with the GIF library built
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
    struct Root {
        QString path;
        int expected; // files the repository holds there
    };
    const Root roots[] = {{QStringLiteral(LUMIVO_TESTDATA_DIR "/gif"), LUMIVO_GIF_TESTDATA_COUNT},
                          {QStringLiteral(LUMIVO_FUZZ_CORPUS), LUMIVO_GIF_FUZZ_CORPUS_COUNT}};
    int files = 0, loaded = 0;
    for (const Root& root : roots) {
        QVERIFY2(root.expected > 0, qPrintable("no files in " + root.path));
        int found = 0;
        QDirIterator it(root.path, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(QLatin1String(".md")))
                continue;
            ++files;
            ++found;
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
        QVERIFY2(found >= root.expected, qPrintable(QStringLiteral("%1: %2 files, the repository holds %3")
                                                        .arg(root.path).arg(found).arg(root.expected)));
    }
    qInfo("%d files, %d read whole", files, loaded);
}

QTEST_GUILESS_MAIN(TestGifCorpus)
#include "tst_gif_corpus.moc"
