// The playlist text file: reading and writing rules, round trips, errors, the size limit,
// and atomic saving.

#include "TestFiles.h"
#include "core/Errors.h"
#include "playlist/PlaylistFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>


class TestPlaylistFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        m_dir.setPath(m_tmp->path());
    }
    void parse_data();
    void parse();
    void roundTrip_data();
    void roundTrip();
    void memoLines();
    void loadErrors();
    void binaryFileLoadsWithoutHarm();
    void saveReplacesWithoutAsking();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void saveNeverFollowsALinkInASharedFolder();
    void saveNeverReplacesAnotherUsersFileInASharedFolder();
    void loadRefusesWhatIsNotARegularFile();
    void saveIntoMissingFolder();

private:
    QString Write(const QString& name, const QByteArray& bytes) { return testfiles::Write(m_dir, name, bytes); }
    QByteArray Read(const QString& path) { return testfiles::Read(path); }
    std::unique_ptr<QTemporaryDir> m_tmp;
    QDir m_dir;
};

void TestPlaylistFile::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("CR LF only") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("no final line end") << QByteArray("/a.jpg") << QStringList{"/a.jpg"};
    QTest::newRow("CR LF") << QByteArray("/a.jpg\r\n/b.gif\r\n") << QStringList{"/a.jpg", "/b.gif"};
    QTest::newRow("LF only") << QByteArray("/a.jpg\n/b.gif\n") << QStringList{"/a.jpg", "/b.gif"};
    QTest::newRow("CR only") << QByteArray("/a.jpg\r/b.gif\r") << QStringList{"/a.jpg", "/b.gif"};
    QTest::newRow("empty line between") << QByteArray("/a\r\n\r\n/b\r\n") << QStringList{"/a", "", "/b"};
    QTest::newRow("LF CR is two ends") << QByteArray("/a\n\r/b") << QStringList{"/a", "", "/b"};
    QTest::newRow("blanks kept") << QByteArray("  /a b.jpg \t\r\n") << QStringList{"  /a b.jpg \t"};
    QTest::newRow("NUL ends the text") << QByteArray("/a\r\n/b\0/c\r\n", 12) << QStringList{"/a", "/b"};
    QTest::newRow("cyrillic") << QByteArray("/home/я/Фото лета.JPG\r\n") << QStringList{"/home/я/Фото лета.JPG"};
}

void TestPlaylistFile::parse()
{
    QFETCH(QByteArray, text);
    QTEST(ParsePlaylistText(text), "lines");
}

void TestPlaylistFile::roundTrip_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("empty list") << QStringList{} << QByteArray();
    QTest::newRow("one empty line") << QStringList{""} << QByteArray("\r\n");
    QTest::newRow("empty between") << QStringList{"/a", "", "/b"} << QByteArray("/a\r\n\r\n/b\r\n");
    QTest::newRow("names with blanks") << QStringList{" /x y.wav ", "/Музыка/песня №1.mp3"}
                                       << QByteArray(" /x y.wav \r\n/Музыка/песня №1.mp3\r\n");
}

void TestPlaylistFile::roundTrip()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, file);
    const QString path = m_dir.filePath("list.txt");
    SavePlaylistFile(path, lines);
    QCOMPARE(Read(path), file);
    QCOMPARE(LoadPlaylistFile(path), lines);
}

void TestPlaylistFile::memoLines()
{
    for (const QStringList& lines : {QStringList{}, QStringList{""}, QStringList{"a", ""}, QStringList{"", ""},
                                     QStringList{"a", "b"}, QStringList{"", "a"}})
        QCOMPARE(TextLines(LinesText(lines)), lines);
    QCOMPARE(TextLines("a\nb\n"), (QStringList{"a", "b"})); // a typed final line break adds no line
}

void TestPlaylistFile::loadErrors()
{
    const QString missing = m_dir.filePath("missing.txt");
    try {
        LoadPlaylistFile(missing);
        QFAIL("a missing file cannot be read");
    } catch (const EFOpenError& e) {
        QCOMPARE(e.Message, "Cannot open file \"" + missing + "\". No such file or directory");
    }
    QVERIFY_THROWS_EXCEPTION(EFOpenError, LoadPlaylistFile(m_dir.path())); // a folder

    // A 1 GB file (sparse: it takes no disk) is refused at once, not read into memory.
    const QString huge = m_dir.filePath("huge.txt");
    {
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(qint64(1) << 30));
    }
    try {
        LoadPlaylistFile(huge);
        QFAIL("a 1 GB playlist is refused");
    } catch (const EFOpenError& e) {
        QVERIFY(e.Message.contains("larger than 64 MB"));
    }
}

void TestPlaylistFile::binaryFileLoadsWithoutHarm()
{
    QByteArray bytes;
    for (int i = 1; i < 4096; ++i)
        bytes += char((i * 37) % 255 + 1); // no NUL: every byte is read
    const QStringList lines = LoadPlaylistFile(Write("binary.txt", bytes));
    QVERIFY(!lines.isEmpty());
}

void TestPlaylistFile::saveReplacesWithoutAsking()
{
    const QString path = Write("list.txt", "old contents that are longer\r\n");
    SavePlaylistFile(path, {"/new"});
    QCOMPARE(Read(path), QByteArray("/new\r\n"));
}

// A save cut short by a full disk leaves the previous playlist file as it was and says so,
// whether the playlist is larger or much smaller than any write buffer. The file size
// limit makes the disk "full" in a child process.
void TestPlaylistFile::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("lines");
    QTest::newRow("no room, one short line") << 0 << 1;
    QTest::newRow("no room, a few lines") << 0 << 3;
    QTest::newRow("1 KB room, 38 KB playlist") << 1024 << 1000;
    QTest::newRow("1 KB room, 2 KB playlist") << 1024 << 50;
}

void TestPlaylistFile::failedSaveKeepsTheOldFile()
{
    QFETCH(int, limit);
    QFETCH(int, lines);
    const QByteArray original = "/keep/me.jpg\r\n";
    const QString path = Write("list.txt", original);
    const int result = testfiles::WithFullDisk(rlim_t(limit), [&] {
        try {
            SavePlaylistFile(path, QStringList(lines, QStringLiteral("/a/rather/long/path/to/a/picture.jpg")));
        } catch (const EFCreateError& e) {
            return e.Message.startsWith("Cannot create file \"" + path + "\". ") ? 42 : 1;
        }
        return 0;
    });
    QCOMPARE(result, 42); // the failure was reported, not swallowed
    QCOMPARE(Read(path), original);
    QCOMPARE(m_dir.entryList(QDir::Files | QDir::Hidden), QStringList{"list.txt"});
}

// In a folder that others can write (a sticky /tmp), a name that is a link is never
// written through, whoever planted it; in the user's own folder the user's link is followed.
void TestPlaylistFile::saveNeverFollowsALinkInASharedFolder()
{
    const QString victim = Write("victim.txt", "precious\n");
    QVERIFY(m_dir.mkdir("shared"));
    QVERIFY(::chmod(QFile::encodeName(m_dir.filePath("shared")).constData(), 01777) == 0);
    const QString planted = m_dir.filePath("shared/list.txt");
    QVERIFY(QFile::link(victim, planted));
    QVERIFY_THROWS_EXCEPTION(EFCreateError, SavePlaylistFile(planted, {"/x.jpg"}));
    QCOMPARE(Read(victim), QByteArray("precious\n"));
    QVERIFY(QFileInfo(planted).isSymLink());
    QCOMPARE(QDir(m_dir.filePath("shared")).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{"list.txt"});

    // Not a regular file at all: refused, nothing created beside it.
    QVERIFY(::mkfifo(QFile::encodeName(m_dir.filePath("fifo.txt")).constData(), 0600) == 0);
    QVERIFY_THROWS_EXCEPTION(EFCreateError, SavePlaylistFile(m_dir.filePath("fifo.txt"), {"/x.jpg"}));

    // The user's own link in the user's own folder: the file it names is replaced.
    QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0700) == 0);
    QVERIFY(QFile::link(victim, m_dir.filePath("mine.txt")));
    SavePlaylistFile(m_dir.filePath("mine.txt"), {"/y.jpg"});
    QCOMPARE(Read(victim), QByteArray("/y.jpg\r\n"));
    QVERIFY(QFileInfo(m_dir.filePath("mine.txt")).isSymLink());
}

// Another user's file in a shared folder is not replaced (needs root to make one).
void TestPlaylistFile::saveNeverReplacesAnotherUsersFileInASharedFolder()
{
    if (::geteuid() != 0)
        QSKIP("making a file of another user needs root");
    QVERIFY(m_dir.mkdir("shared"));
    QVERIFY(::chmod(QFile::encodeName(m_dir.filePath("shared")).constData(), 01777) == 0);
    const QString theirs = Write("shared/list.txt", "theirs\n");
    QVERIFY(::chown(QFile::encodeName(theirs).constData(), 65534, 65534) == 0);
    QVERIFY_THROWS_EXCEPTION(EFCreateError, SavePlaylistFile(theirs, {"/x.jpg"}));
    QCOMPARE(Read(theirs), QByteArray("theirs\n"));
}

// Anything that is not a regular file is refused at once: a FIFO with no writer would
// otherwise block the program inside open() for good.
void TestPlaylistFile::loadRefusesWhatIsNotARegularFile()
{
    QVERIFY(::mkfifo(QFile::encodeName(m_dir.filePath("fifo.txt")).constData(), 0600) == 0);
    for (const QString& path : {m_dir.filePath("fifo.txt"), QStringLiteral("/dev/zero"), m_dir.path()}) {
        try {
            LoadPlaylistFile(path);
            QFAIL(qPrintable(path + " was read"));
        } catch (const EFOpenError& e) {
            QVERIFY2(e.Message.startsWith("Cannot open file \"" + path + "\". "), qPrintable(e.Message));
        }
    }
}

void TestPlaylistFile::saveIntoMissingFolder()
{
    const QString path = m_dir.filePath("no/such/folder/list.txt");
    try {
        SavePlaylistFile(path, {"/a"});
        QFAIL("the save should fail");
    } catch (const EFCreateError& e) {
        QVERIFY(e.Message.startsWith("Cannot create file \"" + path + "\". "));
    }
}

QTEST_GUILESS_MAIN(TestPlaylistFile)
#include "tst_playlistfile.moc"
