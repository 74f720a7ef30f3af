// The settings file: the INI module's reading and writing rules, the main window's four
// keys, where the file lives, and that no failure ever leaves it damaged.

#include "TestFiles.h"
#include "app/FormSettings.h"
#include "core/Errors.h"
#include "system/IniFile.h"
#include "system/SafeFile.h"
#include "system/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
        m_dir.setPath(m_tmp->path());
        m_path = m_dir.filePath(QStringLiteral("lumivo.INI"));
    }

    void findValue_data();
    void findValue();
    void setValueKeepsTheRest_data();
    void setValueKeepsTheRest();

    void formSettings_data();
    void formSettings();
    void captionIsCutAt2047Characters();
    void editedCaptionIsWrittenBackUnchanged();
    void firstWriteCreatesAllFourKeys();
    void badFilesGiveDefaultsAndNeverHang();

    void writeIntoFolderThatCannotBeCreatedFails();
    void writeIntoReadOnlyFolderFails();
    void interruptedWriteLeavesOldFileIntact_data();
    void interruptedWriteLeavesOldFileIntact();
    void plantedFilesAreNeverWrittenThrough();
    void savingKeepsWhatTheFileIs_data();
    void savingKeepsWhatTheFileIs();
    void failingKeyStopsTheKeysAfterIt();

    void settingsLocation();

private:
    std::unique_ptr<QTemporaryDir> m_tmp; // a fresh folder for every test
    QDir m_dir;
    QString m_path;
};

void TestSettings::findValue_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("value"); // "<none>" for a missing key

    const QByteArray none = "<none>";
    QTest::newRow("plain") << QByteArray("[Form]\r\nTop=5\r\n") << "Form" << "Top" << QByteArray("5");
    QTest::newRow("names ignore case") << QByteArray("[fORM]\nTOP=7\n") << "Form" << "top" << QByteArray("7");
    QTest::newRow("blanks trimmed") << QByteArray("  [ Form ]  \n  Top  = \t 9 \t\n") << "Form" << "Top"
                                    << QByteArray("9");
    QTest::newRow("double quotes") << QByteArray("[Form]\nCaption=\" a b \"\n") << "Form" << "Caption"
                                   << QByteArray(" a b ");
    QTest::newRow("single quotes") << QByteArray("[Form]\nCaption='x'\n") << "Form" << "Caption" << QByteArray("x");
    QTest::newRow("unmatched quote kept") << QByteArray("[Form]\nCaption=\"x\n") << "Form" << "Caption"
                                          << QByteArray("\"x");
    QTest::newRow("empty value") << QByteArray("[Form]\nCaption=\n") << "Form" << "Caption" << QByteArray("");
    QTest::newRow("value with =") << QByteArray("[Form]\nCaption=a=b\n") << "Form" << "Caption" << QByteArray("a=b");
    QTest::newRow("first duplicate key wins") << QByteArray("[Form]\nTop=1\nTop=2\n") << "Form" << "Top"
                                              << QByteArray("1");
    QTest::newRow("first section wins") << QByteArray("[Form]\nLeft=1\n[Form]\nTop=2\n") << "Form" << "Top" << none;
    QTest::newRow("other section") << QByteArray("[Other]\nTop=3\n[Form]\nLeft=4\n") << "Form" << "Top" << none;
    QTest::newRow("missing section") << QByteArray("Top=3\n") << "Form" << "Top" << none;
    QTest::newRow("no final line break") << QByteArray("[Form]\nTop=12") << "Form" << "Top" << QByteArray("12");
    QTest::newRow("cyrillic") << QByteArray("[Form]\nCaption=Мой просмотрщик\n") << "Form" << "Caption"
                              << QByteArray("Мой просмотрщик");
    QTest::newRow("binary bytes kept") << QByteArray("[Form]\nCaption=\xff\x01z\n", 18) << "Form" << "Caption"
                                       << QByteArray("\xff\x01z");
}

void TestSettings::findValue()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, value);
    std::optional<QByteArray> found = Ini::FindValue(text, section, key);
    QCOMPARE(found.value_or("<none>"), value);
}

void TestSettings::setValueKeepsTheRest_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << "Top" << "5" << QByteArray("[Form]\r\nTop=5\r\n");
    QTest::newRow("replace, other lines untouched")
        << QByteArray("; note\n[Other]\nTop=1\n[Form]\nTop=2\nLeft=3\n") << "Top" << "7"
        << QByteArray("; note\n[Other]\nTop=1\n[Form]\nTop=7\nLeft=3\n");
    QTest::newRow("add key at end of section")
        << QByteArray("[Form]\r\nTop=2\r\n\r\n[Next]\r\nA=1\r\n") << "Left" << "4"
        << QByteArray("[Form]\r\nTop=2\r\nLeft=4\r\n\r\n[Next]\r\nA=1\r\n");
    QTest::newRow("section at end without line break")
        << QByteArray("[Form]\nTop=2") << "Left" << "4" << QByteArray("[Form]\nTop=2\nLeft=4\n");
    QTest::newRow("append section") << QByteArray("[Other]\nA=1") << "Top" << "1"
                                    << QByteArray("[Other]\nA=1\n[Form]\nTop=1\n");
    QTest::newRow("line breaks in value become blanks")
        << QByteArray() << "Caption" << "a\r\nb" << QByteArray("[Form]\r\nCaption=a  b\r\n");
    QTest::newRow("binary elsewhere untouched")
        << QByteArray("\x00\xfe[x\n[Form]\nTop=1\n", 18) << "Top" << "2"
        << QByteArray("\x00\xfe[x\n[Form]\nTop=2\n", 18);
}

void TestSettings::setValueKeepsTheRest()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QCOMPARE(Ini::SetValue(before, QStringLiteral("Form"), key, value), after);
}

void TestSettings::formSettings_data()
{
    QTest::addColumn<QByteArray>("file"); // "<missing>": no file at all
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("initMax");

    QTest::newRow("missing file") << QByteArray("<missing>") << 100 << 100 << "Lumivo" << false;
    QTest::newRow("empty file") << QByteArray() << 100 << 100 << "Lumivo" << false;
    QTest::newRow("all keys") << QByteArray("[Form]\nTop=-20\nLeft=3000\nCaption=Мой\nInitMax=1\n") << -20 << 3000
                              << "Мой" << true;
    QTest::newRow("missing keys") << QByteArray("[Form]\nLeft=7\n") << 100 << 7 << "Lumivo" << false;
    QTest::newRow("empty values") << QByteArray("[Form]\nTop=\nLeft=\nCaption=\nInitMax=\n") << 100 << 100 << ""
                                  << false;
    QTest::newRow("non-numeric") << QByteArray("[Form]\nTop=abc\nLeft=12px\nInitMax=yes\n") << 100 << 100
                                 << "Lumivo" << false;
    QTest::newRow("out of range") << QByteArray("[Form]\nTop=99999999999\nLeft=+15\n") << 100 << 15 << "Lumivo"
                                  << false;
    QTest::newRow("InitMax non-zero") << QByteArray("[Form]\nInitMax=-3\n") << 100 << 100 << "Lumivo" << true;
    QTest::newRow("InitMax zero") << QByteArray("[Form]\nInitMax=0\n") << 100 << 100 << "Lumivo" << false;
    QTest::newRow("InitMax quoted") << QByteArray("[Form]\nInitMax=\"1\"\n") << 100 << 100 << "Lumivo" << true;
    QTest::newRow("section missing") << QByteArray("[Window]\nTop=1\n") << 100 << 100 << "Lumivo" << false;
    QTest::newRow("duplicate keys") << QByteArray("[Form]\nTop=1\nTop=2\n") << 1 << 100 << "Lumivo" << false;
}

void TestSettings::formSettings()
{
    QFETCH(QByteArray, file);
    if (file != "<missing>")
        WriteAll(m_path, file);
    TFormSettings s = ReadFormSettings(TIniFile(m_path));
    QTEST(s.Top, "top");
    QTEST(s.Left, "left");
    QTEST(s.Caption, "caption");
    QTEST(s.InitMax, "initMax");
    QCOMPARE(QFile::exists(m_path), file != "<missing>"); // reading never creates the file
}

void TestSettings::captionIsCutAt2047Characters()
{
    const QString caption = QString(3000, QChar(u'Ж'));
    WriteAll(m_path, "[Form]\nCaption=" + caption.toUtf8() + "\n");
    QCOMPARE(ReadFormSettings(TIniFile(m_path)).Caption, caption.left(Ini::MaxValueLength));
}

void TestSettings::editedCaptionIsWrittenBackUnchanged()
{
    const QByteArray original = "; mine\r\n[Form]\r\nTop=30\r\nLeft=40\r\nCaption=Просмотр «фото» & видео\r\n"
                                "InitMax=0\r\n[Extra]\r\nKeep=me\r\n";
    WriteAll(m_path, original);
    TIniFile ini(m_path);
    WriteFormSettings(ini, ReadFormSettings(ini));
    QCOMPARE(ReadAll(m_path), original);
}

void TestSettings::firstWriteCreatesAllFourKeys()
{
    TIniFile ini(m_path);
    TFormSettings s;
    s.Top = 11;
    s.Left = -5;
    s.Caption = QStringLiteral("Lumivo");
    s.InitMax = true;
    WriteFormSettings(ini, s);
    QCOMPARE(ReadAll(m_path), QByteArray("[Form]\r\nTop=11\r\nLeft=-5\r\nCaption=Lumivo\r\nInitMax=1\r\n"));
}

void TestSettings::badFilesGiveDefaultsAndNeverHang()
{
    // Binary garbage, a 1 MB line, a file larger than the INI module reads, and a folder.
    QByteArray garbage(64 * 1024, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919) % 251);
    WriteAll(m_path, garbage);
    QCOMPARE(ReadFormSettings(TIniFile(m_path)).Top, 100);

    WriteAll(m_path, "[Form]\nCaption=" + QByteArray(1024 * 1024, 'x') + "\nTop=5\n");
    TFormSettings s = ReadFormSettings(TIniFile(m_path));
    QCOMPARE(s.Top, 5);
    QCOMPARE(s.Caption.size(), Ini::MaxValueLength);

    WriteAll(m_path, "[Form]\nTop=5\n" + QByteArray(Ini::MaxFileSize, '#'));
    QCOMPARE(ReadFormSettings(TIniFile(m_path)).Top, 100);
    // ... and such a file is not replaced by a write, which would lose its contents.
    TIniFile big(m_path);
    QVERIFY_THROWS_EXCEPTION(EIniFileException, big.WriteInteger("Form", "Top", 1));
    QVERIFY(QFileInfo(m_path).size() > Ini::MaxFileSize);

    QFile::remove(m_path);
    QVERIFY(QDir().mkdir(m_path));
    QCOMPARE(ReadFormSettings(TIniFile(m_path)).Caption, QStringLiteral("Lumivo"));
    QVERIFY(QDir().rmdir(m_path));
}

void TestSettings::writeIntoFolderThatCannotBeCreatedFails()
{
    WriteAll(m_dir.filePath("plainfile"), "x");
    TIniFile ini(m_dir.filePath("plainfile/lumivo.INI"));
    try {
        ini.WriteInteger("Form", "Top", 1);
        QFAIL("the write should have failed");
    } catch (const EIniFileException& e) {
        QCOMPARE(e.Message, "Unable to write to " + m_dir.filePath("plainfile/lumivo.INI"));
    }
}

void TestSettings::writeIntoReadOnlyFolderFails()
{
    if (::geteuid() == 0)
        QSKIP("permissions do not bind root; the unwritable case is covered by the other write tests");
    m_dir.mkdir("ro");
    const QString path = m_dir.filePath("ro/lumivo.INI");
    WriteAll(path, "[Form]\nTop=1\n");
    QFile::setPermissions(m_dir.filePath("ro"), QFile::ReadOwner | QFile::ExeOwner);
    TIniFile ini(path);
    QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.WriteInteger("Form", "Top", 2));
    QFile::setPermissions(m_dir.filePath("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(ReadAll(path), QByteArray("[Form]\nTop=1\n"));
}

// A write cut short by a full disk leaves the previous file as it was, with no temporary
// file behind. The file size limit makes the disk "full" in a child process.
void TestSettings::interruptedWriteLeavesOldFileIntact_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("captionLength");
    // Small files matter most: a write smaller than any buffer must fail as loudly.
    QTest::newRow("no room, short caption") << 0 << 3;
    QTest::newRow("10 bytes of room, short caption") << 10 << 3;
    QTest::newRow("4 KB of room, 100 KB caption") << 4096 << 100000;
}

void TestSettings::interruptedWriteLeavesOldFileIntact()
{
    QFETCH(int, limit);
    QFETCH(int, captionLength);
    const QByteArray original = "[Form]\r\nTop=1\r\nLeft=2\r\nCaption=Old\r\nInitMax=0\r\n";
    WriteAll(m_path, original);

    const int result = testfiles::WithFullDisk(rlim_t(limit), [&] {
        TIniFile ini(m_path);
        try {
            ini.WriteString("Form", "Caption", QString(captionLength, QLatin1Char('y')));
        } catch (const EIniFileException&) {
            return 42;
        }
        return 0;
    });
    QCOMPARE(result, 42); // the failure was reported, not swallowed
    QCOMPARE(ReadAll(m_path), original);
    QCOMPARE(m_dir.entryList(QDir::Files | QDir::Hidden), QStringList{"lumivo.INI"});
}

// A settings file in a folder others can write is never written through a link; a FIFO
// in its place is neither read (defaults, at once) nor written.
void TestSettings::plantedFilesAreNeverWrittenThrough()
{
    const QString victim = m_dir.filePath("victim");
    WriteAll(victim, "precious\n");
    QVERIFY(m_dir.mkdir("shared"));
    QVERIFY(::chmod(QFile::encodeName(m_dir.filePath("shared")).constData(), 01777) == 0);
    const QString planted = m_dir.filePath("shared/lumivo.INI");
    QVERIFY(QFile::link(victim, planted));
    TIniFile ini(planted);
    QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.WriteInteger("Form", "Top", 5));
    QCOMPARE(ReadAll(victim), QByteArray("precious\n"));

    const QString fifo = m_dir.filePath("fifo.INI");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    TIniFile pipe(fifo);
    QCOMPARE(pipe.ReadInteger("Form", "Top", 77), 77);
    QVERIFY_THROWS_EXCEPTION(EIniFileException, pipe.WriteInteger("Form", "Top", 5));
    QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
}

void TestSettings::savingKeepsWhatTheFileIs_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"read-only", "shared group", "hard-linked", "long name", "extended attribute"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

// A save replaces the contents and nothing else: a file the user may not write is refused,
// the group and mode of a shared file stay, other names of the file see the new contents,
// a name near the system's limit can be saved, extended attributes are copied.
void TestSettings::savingKeepsWhatTheFileIs()
{
    QFETCH(QString, kind);
    const QByteArray folder = QFile::encodeName(m_dir.path());
    QByteArray name = folder + "/saved.txt";
    if (kind == "long name")
        name = folder + '/' + QByteArray(NAME_MAX - 2, 'n');
    WriteAll(QFile::decodeName(name), "old\n");
    const auto save = [&] { safefile::ReplaceFile(QFile::decodeName(name), "new\n"); };
    struct stat st = {};
    if (kind == "read-only") {
        // As a user of its own (root may write anything): the save fails, the file stays.
        if (::geteuid() != 0)
            QSKIP("needs root to become another user");
        QVERIFY(::chown(folder.constData(), 65534, 65534) == 0 && ::chown(name.constData(), 65534, 65534) == 0);
        QVERIFY(::chmod(name.constData(), 0444) == 0);
        const pid_t child = ::fork();
        if (child == 0) {
            bool refused = false;
            if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
                try {
                    save();
                } catch (const ESafeFileError&) {
                    refused = true;
                }
            }
            ::_exit(refused ? 0 : 1);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(ReadAll(QFile::decodeName(name)), QByteArray("old\n"));
        return;
    }
    if (kind == "shared group") {
        QVERIFY(::chmod(name.constData(), 0660) == 0);
        if (::geteuid() == 0)
            QVERIFY(::chown(name.constData(), uid_t(-1), 100) == 0);
        QVERIFY(::stat(name.constData(), &st) == 0);
    }
    const QByteArray other = folder + "/other-name.txt";
    if (kind == "hard-linked")
        QVERIFY(::link(name.constData(), other.constData()) == 0);
    if (kind == "extended attribute" && ::setxattr(name.constData(), "user.lumivo", "kept", 4, 0) != 0)
        QSKIP("the file system takes no extended attributes");
    save();
    QCOMPARE(ReadAll(QFile::decodeName(name)), QByteArray("new\n"));
    struct stat after = {};
    QVERIFY(::stat(name.constData(), &after) == 0);
    if (kind == "shared group") {
        QCOMPARE(after.st_gid, st.st_gid);
        QCOMPARE(after.st_mode & 07777, mode_t(0660));
    }
    if (kind == "hard-linked")
        QCOMPARE(ReadAll(QFile::decodeName(other)), QByteArray("new\n"));
    if (kind == "extended attribute") {
        char value[8] = {};
        QCOMPARE(::getxattr(name.constData(), "user.lumivo", value, sizeof value), ssize_t(4));
        QCOMPARE(QByteArray(value, 4), QByteArray("kept"));
    }
    QCOMPARE(m_dir.entryList(QDir::Files | QDir::Hidden).size(), kind == "hard-linked" ? 2 : 1); // no temporary left
}

void TestSettings::failingKeyStopsTheKeysAfterIt()
{
    // A file over the size limit refuses the write: WriteFormSettings ends with the error and
    // the file stays as it was.
    const QByteArray big(Ini::MaxFileSize + 1, ';');
    WriteAll(m_path, big);
    TIniFile ini(m_path);
    QVERIFY_THROWS_EXCEPTION(EIniFileException, WriteFormSettings(ini, TFormSettings()));
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == big);
}

void TestSettings::settingsLocation()
{
    auto writable = [](const QString&) { return true; };
    auto readOnly = [](const QString&) { return false; };
    QCOMPARE(SettingsFilePath("/opt/lumivo/bin/lumivo", "/home/u/.config", writable),
             QStringLiteral("/opt/lumivo/bin/lumivo.INI"));
    QCOMPARE(SettingsFilePath("/opt/tools/viewer.exe", "/home/u/.config", writable),
             QStringLiteral("/opt/tools/viewer.INI"));
    QCOMPARE(SettingsFilePath("/usr/bin/lumivo", "/home/u/.config", readOnly),
             QStringLiteral("/home/u/.config/lumivo/lumivo.INI"));
    // An installed program run by root: /usr/bin is writable, but belongs to the packages.
    QCOMPARE(SettingsFilePath("/usr/bin/lumivo", "/root/.config", writable),
             QStringLiteral("/root/.config/lumivo/lumivo.INI"));
    QCOMPARE(SettingsFilePath("/usr/local/bin/lumivo", "/root/.config", writable),
             QStringLiteral("/root/.config/lumivo/lumivo.INI"));

    // The real check: a folder we can write keeps the file beside the executable.
    QCOMPARE(SettingsFilePath(m_dir.filePath("lumivo")), m_dir.filePath("lumivo.INI"));
    qputenv("XDG_CONFIG_HOME", m_dir.filePath("cfg").toUtf8());
    QCOMPARE(SettingsFilePath("/usr/bin/lumivo", QString(), readOnly), m_dir.filePath("cfg/lumivo/lumivo.INI"));
    qunsetenv("XDG_CONFIG_HOME");

    // The fallback folder is created by the first write, private to the user.
    TIniFile ini(m_dir.filePath("cfg/lumivo/lumivo.INI"));
    ini.WriteInteger("Form", "Top", 3);
    QCOMPARE(TIniFile(ini.FileName()).ReadInteger("Form", "Top", 0), 3);
    for (const char* folder : {"cfg", "cfg/lumivo"}) {
        struct stat st = {};
        QVERIFY(::stat(QFile::encodeName(m_dir.filePath(folder)).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
    }
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
