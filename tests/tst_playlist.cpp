// The playlist in the main window and the playlist wizard: commands, dragging, the backup
// of a cleared list, file errors, the wizard's browser, collection and keys, and files
// from the command line. File dialogs and message boxes are answered by the test.

#include "TestFiles.h"
#include "tests/ProgramWindows.h"
#include "app/AboutDialog.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/HelpDialog.h"
#include "app/LinksDialog.h"
#include "app/MainForm.h"
#include "core/Dialogs.h"
#include "core/Errors.h"
#include "playlist/PlayListBox.h"
#include "playlist/PlaylistFile.h"
#include "playlist/PlaylistWizard.h"
#include "presentation/DisplayWindow.h"
#include "presentation/GifImage.h"
#include "slideshow/SlideIntervalDialog.h"
#include "system/SafeFile.h"
#include "widgets/FileDialog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

QStringList Numbered(int n)
{
    QStringList lines;
    for (int i = 0; i < n; ++i)
        lines << QString::number(i);
    return lines;
}

} // namespace

class TestPlaylist : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void dragMovesTheSelectedLine_data();
    void dragMovesTheSelectedLine();
    void dragFromElsewhereIsRefused();
    void addAndDelete();
    void clearWritesTheBackupFirst();
    void clearKeepsTheListWhenTheBackupFails_data();
    void clearKeepsTheListWhenTheBackupFails();
    void loadAndSave();
    void loadOfAMissingFileLeavesTheList();
    void shortcutsReachTheCommands();

    void wizardBrowsesAndCollects();
    void wizardRootFolderPath();
    void wizardAppendsAndCloses();
    void wizardLoadSaveClearCancel();
    void wizardKeys();
    void wizardRefusesAnUnreadableFolder();
    void wizardCollectionKeepsEveryCharacter();
    void wizardStartsQuietlyFromAFolderThatHasGone();
    void wizardListsItsFolderWhenShown();

    void commandLineFiles();
    void linesKeepTheirBytes();
    void windows1251LinesOpenTheirFiles();

private:
    QString Write(const QString& name, const QByteArray& bytes) { return testfiles::Write(m_dir, name, bytes); }
    QByteArray Read(const QString& name) { return testfiles::Read(m_dir.filePath(name)); }
    void AnswerDialogs(const QString& path)
    {
        SetFileDialogHandler([path, this](const TFileDialog& d) -> std::optional<QString> {
            m_dialogTitles << d.Title;
            if (path.isEmpty())
                return std::nullopt;
            return path;
        });
    }

    std::unique_ptr<QTemporaryDir> m_tmp;
    QDir m_dir;
    QString m_startDir;
    QStringList m_errors;
    QStringList m_dialogTitles;
    TPlayListBox* m_list = nullptr;
};

void TestPlaylist::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    m_dir.setPath(m_tmp->path());
    m_startDir = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    m_errors.clear();
    m_dialogTitles.clear();
    Dialogs::SetHandler([this](Dialogs::Kind, const QString& text) { m_errors << text; });
    CreateApplicationWindows(m_dir.filePath("lumivo.INI"));
    m_list = Main()->Playlist();
}

void TestPlaylist::cleanup()
{
    DestroyApplicationWindows();
    SetFileDialogHandler(nullptr);
    Dialogs::SetHandler(nullptr);
    QDir::setCurrent(m_startDir);
}

void TestPlaylist::dragMovesTheSelectedLine_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("onto"); // -1: below the last line
    QTest::addColumn<QStringList>("order");
    QTest::newRow("0 onto 3") << 0 << 3 << QStringList{"1", "2", "3", "0", "4"};
    QTest::newRow("4 onto 1") << 4 << 1 << QStringList{"0", "4", "1", "2", "3"};
    QTest::newRow("1 below the last") << 1 << -1 << QStringList{"0", "2", "3", "4", "1"};
    QTest::newRow("onto itself") << 2 << 2 << Numbered(5);
    QTest::newRow("last below the last") << 4 << -1 << Numbered(5);
}

void TestPlaylist::dragMovesTheSelectedLine()
{
    QFETCH(int, from);
    QFETCH(int, onto);
    m_list->resize(300, 300);
    m_list->SetLines(Numbered(5));
    m_list->SetSelectedIndex(from);
    const QPoint pos = onto >= 0 ? m_list->visualItemRect(m_list->item(onto)).center()
                                 : QPoint(10, m_list->visualItemRect(m_list->item(4)).bottom() + 6);
    QVERIFY(m_list->PlayListDragOver(m_list));
    m_list->PlayListDragDrop(m_list, pos);
    QTEST(m_list->Lines(), "order");

    // Without a selected line nothing moves.
    m_list->SetSelectedIndex(-1);
    const QStringList before = m_list->Lines();
    m_list->PlayListDragDrop(m_list, m_list->visualItemRect(m_list->item(0)).center());
    QCOMPARE(m_list->Lines(), before);
}

void TestPlaylist::dragFromElsewhereIsRefused()
{
    m_list->SetLines(Numbered(3));
    m_list->SetSelectedIndex(0);
    QVERIFY(!m_list->PlayListDragOver(MainControl<QFrame>("ControlPanel")));
    QVERIFY(!m_list->PlayListDragOver(nullptr)); // from another program
    m_list->PlayListDragDrop(MainControl<QFrame>("ControlPanel"), m_list->visualItemRect(m_list->item(2)).center());
    QCOMPARE(m_list->Lines(), Numbered(3));

    // A drop from outside the program, as the window system delivers it, changes nothing.
    QMimeData data;
    data.setText(QStringLiteral("/elsewhere.jpg"));
    const QPoint pos = m_list->visualItemRect(m_list->item(1)).center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_list->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_list->viewport(), &drop);
    QCOMPARE(m_list->Lines(), Numbered(3));
}

void TestPlaylist::addAndDelete()
{
    AnswerDialogs(m_dir.filePath("Фото/лето.JPG"));
    MainControl<QAction>("AddFileItem")->trigger();
    MainControl<QToolButton>("AddFileButton")->click();
    QCOMPARE(m_list->Lines(), QStringList(2, m_dir.filePath("Фото/лето.JPG")));
    AnswerDialogs(QString()); // Cancel
    MainControl<QAction>("AddFileItem")->trigger();
    QCOMPARE(m_list->count(), 2);

    m_list->SetLines(Numbered(3));
    MainControl<QAction>("DeleteFileItem")->trigger(); // no selection: nothing happens
    QCOMPARE(m_list->count(), 3);
    m_list->SetSelectedIndex(1);
    MainControl<QToolButton>("DeleteFileButton")->click();
    QCOMPARE(m_list->Lines(), (QStringList{"0", "2"}));
    QCOMPARE(m_list->SelectedIndex(), -1); // no other line is selected afterwards
    QVERIFY(m_errors.isEmpty());
}

void TestPlaylist::clearWritesTheBackupFirst()
{
    MainControl<QAction>("ClearPlayListItem")->trigger(); // an empty list: an empty backup
    QCOMPARE(Read(TMainForm::ClearedPlaylistBackup), QByteArray());
    m_list->SetLines({"/a.jpg", "", "/b c.gif"});
    MainControl<QAction>("ClearPlayListItem")->trigger();
    QCOMPARE(m_list->count(), 0);
    QCOMPARE(Read(TMainForm::ClearedPlaylistBackup), QByteArray("/a.jpg\r\n\r\n/b c.gif\r\n"));
    QVERIFY(m_errors.isEmpty());
}

void TestPlaylist::clearKeepsTheListWhenTheBackupFails_data()
{
    QTest::addColumn<bool>("plantedLink");
    QTest::newRow("a folder of that name") << false;
    QTest::newRow("a link planted in a shared current folder") << true;
}

void TestPlaylist::clearKeepsTheListWhenTheBackupFails()
{
    QFETCH(bool, plantedLink);
    if (plantedLink) {
        // Another user's link in a sticky folder like /tmp, where a file dialog left the
        // current folder: the file it points to must not be replaced.
        const QString victim = Write("victim.txt", "precious\n");
        QVERIFY(m_dir.mkdir("shared"));
        QVERIFY(::chmod(QFile::encodeName(m_dir.filePath("shared")).constData(), 01777) == 0);
        QVERIFY(QDir::setCurrent(m_dir.filePath("shared")));
        QVERIFY(QFile::link(victim, TMainForm::ClearedPlaylistBackup));
        m_list->SetLines({"/a.jpg"});
        MainControl<QAction>("ClearPlayListItem")->trigger();
        QCOMPARE(Read("victim.txt"), QByteArray("precious\n"));
        QCOMPARE(m_list->Lines(), QStringList{"/a.jpg"});
        QCOMPARE(m_errors.size(), 1);
        return;
    }
    QVERIFY(m_dir.mkdir(TMainForm::ClearedPlaylistBackup)); // a folder of that name: no file can be made
    m_list->SetLines({"/a.jpg"});
    MainControl<QAction>("ClearPlayListItem")->trigger();
    QCOMPARE(m_list->Lines(), QStringList{"/a.jpg"});
    QCOMPARE(m_errors.size(), 1);
    QVERIFY(m_errors[0].startsWith("Cannot create file \"" + m_dir.filePath(TMainForm::ClearedPlaylistBackup)));
}

void TestPlaylist::loadAndSave()
{
    const QString list = Write("list.txt", "/one.jpg\n\n/two.wav");
    AnswerDialogs(list);
    MainControl<QAction>("LoadPlayListItem")->trigger();
    QCOMPARE(m_list->Lines(), (QStringList{"/one.jpg", "", "/two.wav"}));
    QCOMPARE(QDir::currentPath(), m_dir.path()); // the dialog moved the current folder

    AnswerDialogs(m_dir.filePath("saved")); // typed without extension
    MainControl<QToolButton>("SavePlayListButton")->click();
    QCOMPARE(Read("saved.txt"), QByteArray("/one.jpg\r\n\r\n/two.wav\r\n"));
    m_list->SetLines({"/three.mid"});
    MainControl<QAction>("SavePlayListItem")->trigger(); // over the existing file, without a question
    QCOMPARE(Read("saved.txt"), QByteArray("/three.mid\r\n"));
    QVERIFY(m_errors.isEmpty());
}

void TestPlaylist::loadOfAMissingFileLeavesTheList()
{
    m_list->SetLines({"/kept.jpg"});
    AnswerDialogs(m_dir.filePath("gone.txt"));
    MainControl<QToolButton>("LoadPlayListButton")->click();
    QCOMPARE(m_list->Lines(), QStringList{"/kept.jpg"});
    QCOMPARE(m_errors, QStringList{"Cannot open file \"" + m_dir.filePath("gone.txt") +
                                   "\". No such file or directory"});
}

void TestPlaylist::shortcutsReachTheCommands()
{
    Main()->show();
    Main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Main()));
    m_list->SetLines(Numbered(2));
    m_list->SetSelectedIndex(0);
    m_list->setFocus();
    QTest::keyClick(m_list, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(m_list->Lines(), QStringList{"1"});
    AnswerDialogs(m_dir.filePath("x.bmp"));
    QTest::keyClick(m_list, Qt::Key_A, Qt::ControlModifier); // Add, not "select all"
    QCOMPARE(m_list->Lines(), (QStringList{"1", m_dir.filePath("x.bmp")}));
}

void TestPlaylist::wizardBrowsesAndCollects()
{
    for (const char* name : {"b.mp4", "A.JPG", "notes.txt", "c.Gif", "d.dib"})
        Write(name, "x");
    QVERIFY(m_dir.mkdir("sub"));
    QVERIFY(Wizard()->SetDirectory(m_dir.path()));
    QTRY_VERIFY(!Wizard()->Listing()); // read on a worker
    QStringList files;
    for (int i = 0; i < ChildOf<QListWidget>(Wizard().Get(), "FileList")->count(); ++i)
        files << ChildOf<QListWidget>(Wizard().Get(), "FileList")->item(i)->text();
    QCOMPARE(files, (QStringList{"A.JPG", "b.mp4", "c.Gif", "d.dib"})); // the mask, any case, by name
    QVERIFY(!ChildOf<QLabel>(Wizard().Get(), "FolderLabel")->text().isEmpty());
    QVERIFY(ChildOf<QLabel>(Wizard().Get(), "FolderLabel")->fontMetrics().horizontalAdvance(ChildOf<QLabel>(Wizard().Get(), "FolderLabel")->text()) <= 205);
    QVERIFY(!ChildOf<QListWidget>(Wizard().Get(), "FolderList")->findItems("sub", Qt::MatchEndsWith).isEmpty());

    ChildOf<QListWidget>(Wizard().Get(), "FileList")->setCurrentRow(1);
    Wizard()->FileListDblClick();
    Wizard()->FileListDblClick(); // the same file twice: collected twice
    QCOMPARE(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->toPlainText(), m_dir.filePath("b.mp4") + '\n' + m_dir.filePath("b.mp4"));

    // The folder list moves into a sub-folder on a double-click.
    QListWidgetItem* sub = ChildOf<QListWidget>(Wizard().Get(), "FolderList")->findItems("sub", Qt::MatchEndsWith).constFirst();
    Q_EMIT ChildOf<QListWidget>(Wizard().Get(), "FolderList")->itemDoubleClicked(sub);
    QCOMPARE(Wizard()->Directory(), m_dir.filePath("sub"));
    QTRY_VERIFY(!Wizard()->Listing());
    QCOMPARE(ChildOf<QListWidget>(Wizard().Get(), "FileList")->count(), 0);

    // Closed and opened again, the collection and the folder are still there.
    Wizard()->show();
    ChildOf<QPushButton>(Wizard().Get(), "CancelButton")->click();
    Wizard()->show();
    QCOMPARE(Wizard()->Directory(), m_dir.filePath("sub"));
    QCOMPARE(TextLines(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->toPlainText()).size(), 2);
    Wizard()->hide();
}

void TestPlaylist::wizardRootFolderPath()
{
    QVERIFY(Wizard()->SetDirectory("/"));
    ChildOf<QListWidget>(Wizard().Get(), "FileList")->clear();
    ChildOf<QListWidget>(Wizard().Get(), "FileList")->addItem("x.jpg");
    ChildOf<QListWidget>(Wizard().Get(), "FileList")->setCurrentRow(0);
    Wizard()->FileListDblClick();
    QCOMPARE(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->toPlainText(), QStringLiteral("/x.jpg")); // one "/" between folder and name
    ChildOf<QListWidget>(Wizard().Get(), "FileList")->setCurrentRow(-1);
    ChildOf<QListWidget>(Wizard().Get(), "FileList")->setCurrentItem(nullptr);
    Wizard()->FileListDblClick(); // no file selected: an empty line
    QCOMPARE(TextLines(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->toPlainText()), (QStringList{"/x.jpg", ""}));
}

void TestPlaylist::wizardAppendsAndCloses()
{
    m_list->SetLines({"/first"});
    ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->setPlainText("/a\n\n/b");
    Wizard()->show();
    ChildOf<QPushButton>(Wizard().Get(), "AddAllButton")->click(); // "Добавить все": stays open
    ChildOf<QPushButton>(Wizard().Get(), "AddAllButton")->click(); // twice: appended twice
    QVERIFY(Wizard()->isVisible());
    QCOMPARE(m_list->Lines(), (QStringList{"/first", "/a", "", "/b", "/a", "", "/b"}));
    ChildOf<QPushButton>(Wizard().Get(), "AddAndCloseButton")->click(); // "Добавить в плей-лист": append and close
    QVERIFY(!Wizard()->isVisible());
    QCOMPARE(Wizard()->result(), int(QDialog::Accepted));
    QCOMPARE(m_list->count(), 10);
    QCOMPARE(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->toPlainText(), QStringLiteral("/a\n\n/b")); // the collection stays

    ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->clear();
    Wizard()->show();
    ChildOf<QPushButton>(Wizard().Get(), "AddAndCloseButton")->click(); // an empty collection appends nothing
    QCOMPARE(m_list->count(), 10);
}

void TestPlaylist::wizardLoadSaveClearCancel()
{
    const QString list = Write("Список1.txt", "/x.jpg\r\n/y.gif\r\n");
    AnswerDialogs(list);
    ChildOf<QPushButton>(Wizard().Get(), "LoadButton")->click();
    QCOMPARE(m_dialogTitles, QStringList{"Загрузить плей-лист"});
    QCOMPARE(TextLines(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->toPlainText()), (QStringList{"/x.jpg", "/y.gif"}));
    QCOMPARE(Wizard()->CollectionLoadDialog().DefaultExt, QStringLiteral("txt"));

    AnswerDialogs(m_dir.filePath("collected")); // ".txt" is added
    ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->setPlainText("/z.wav\n");
    ChildOf<QPushButton>(Wizard().Get(), "SaveButton")->click();
    QCOMPARE(Read("collected.txt"), QByteArray("/z.wav\r\n"));

    // The wizard's file and the main window's playlist file are one format.
    AnswerDialogs(m_dir.filePath("collected.txt"));
    MainControl<QAction>("LoadPlayListItem")->trigger();
    QCOMPARE(m_list->Lines(), QStringList{"/z.wav"});

    AnswerDialogs(m_dir.filePath("missing.txt"));
    ChildOf<QPushButton>(Wizard().Get(), "LoadButton")->click(); // an error, and the collection stays
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(TextLines(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->toPlainText()), QStringList{"/z.wav"});

    ChildOf<QPushButton>(Wizard().Get(), "ClearButton")->click();
    QVERIFY(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->toPlainText().isEmpty());

    ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->setPlainText("/never");
    Wizard()->show();
    ChildOf<QPushButton>(Wizard().Get(), "CancelButton")->click(); // "Отмена": nothing appended
    QVERIFY(!Wizard()->isVisible());
    QCOMPARE(m_list->Lines(), QStringList{"/z.wav"});
}

void TestPlaylist::wizardKeys()
{
    QVERIFY(QDir(m_dir.path()).mkdir("sub"));
    QVERIFY(QFile(m_dir.filePath("sub/k.jpg")).open(QIODevice::WriteOnly));
    Wizard()->show();
    QVERIFY(QTest::qWaitForWindowExposed(Wizard().Get()));
    QVERIFY(Wizard()->SetDirectory(m_dir.path()));
    QTRY_VERIFY(!Wizard()->Listing());

    // A folder's name typed in the folder list goes to it; Enter opens the folder, in the
    // file list collects the file.
    ChildOf<QListWidget>(Wizard().Get(), "FolderList")->setFocus();
    QTest::keyClicks(ChildOf<QListWidget>(Wizard().Get(), "FolderList"), "su");
    QCOMPARE(ChildOf<QListWidget>(Wizard().Get(), "FolderList")->currentItem()->text(), QStringLiteral("sub"));
    QTest::keyClick(ChildOf<QListWidget>(Wizard().Get(), "FolderList"), Qt::Key_Return);
    QCOMPARE(Wizard()->Directory(), m_dir.filePath("sub"));
    QTRY_VERIFY(!Wizard()->Listing());
    ChildOf<QListWidget>(Wizard().Get(), "FileList")->setFocus();
    ChildOf<QListWidget>(Wizard().Get(), "FileList")->setCurrentRow(0);
    QTest::keyClick(ChildOf<QListWidget>(Wizard().Get(), "FileList"), Qt::Key_Return);
    QVERIFY(Wizard()->isVisible());
    QCOMPARE(TextLines(Wizard()->CollectionText()), QStringList{m_dir.filePath("sub/k.jpg")});

    ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->setFocus();
    QTest::keyClick(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit"), Qt::Key_Return); // a new line in the text
    QVERIFY(Wizard()->isVisible());

    // Escape cancels: nothing is appended.
    QTest::keyClick(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit"), Qt::Key_Escape);
    QVERIFY(!Wizard()->isVisible());
    QCOMPARE(m_list->count(), 0);

    Wizard()->show();
    Wizard()->close(); // the close box: nothing appended
    QCOMPARE(m_list->count(), 0);

    // Tab goes from top left to bottom right.
    const QList<QWidget*> expected = {ChildOf<QComboBox>(Wizard().Get(), "DriveBox"),       ChildOf<QListWidget>(Wizard().Get(), "FolderList"),
                                      ChildOf<QListWidget>(Wizard().Get(), "FileList"),       ChildOf<QComboBox>(Wizard().Get(), "FilterBox"),
                                      ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit"), ChildOf<QPushButton>(Wizard().Get(), "AddAllButton"),
                                      ChildOf<QPushButton>(Wizard().Get(), "LoadButton"),     ChildOf<QPushButton>(Wizard().Get(), "SaveButton"),
                                      ChildOf<QPushButton>(Wizard().Get(), "ClearButton"),    ChildOf<QPushButton>(Wizard().Get(), "CancelButton"),
                                      ChildOf<QPushButton>(Wizard().Get(), "AddAndCloseButton")};
    QList<QWidget*> order;
    for (QWidget* w = expected.first(); order.size() < expected.size(); w = w->nextInFocusChain())
        if (expected.contains(w))
            order << w;
    QCOMPARE(order, expected);
}

void TestPlaylist::wizardRefusesAnUnreadableFolder()
{
    QVERIFY(Wizard()->SetDirectory(m_dir.path()));
    QVERIFY(!Wizard()->SetDirectory(m_dir.filePath("no such folder")));
    QCOMPARE(Wizard()->Directory(), m_dir.path());
    QCOMPARE(m_errors.size(), 1);
    if (::geteuid() != 0) {
        QVERIFY(m_dir.mkdir("locked"));
        QFile::setPermissions(m_dir.filePath("locked"), QFile::WriteOwner);
        QVERIFY(!Wizard()->SetDirectory(m_dir.filePath("locked")));
        QCOMPARE(Wizard()->Directory(), m_dir.path());
        QFile::setPermissions(m_dir.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

// The collection is read as typed: a non-breaking space stays one, Tab moves the focus
// instead of typing a tab, and a double-click on empty space in the file list collects too.
void TestPlaylist::wizardCollectionKeepsEveryCharacter()
{
    const QString name = QStringLiteral("/media/nb\u00A0sp.jpg");
    ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->setPlainText(name);
    m_list->clear();
    ChildOf<QPushButton>(Wizard().Get(), "AddAllButton")->click();
    QCOMPARE(m_list->Lines(), QStringList{name});
    AnswerDialogs(m_dir.filePath("nbsp.txt"));
    ChildOf<QPushButton>(Wizard().Get(), "SaveButton")->click();
    QCOMPARE(Read("nbsp.txt"), QByteArray("/media/nb\xC2\xA0sp.jpg\r\n"));

    QVERIFY(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->tabChangesFocus());
    Wizard()->show();
    ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->setFocus();
    QTest::keyClick(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit"), Qt::Key_Tab);
    QCOMPARE(Wizard()->CollectionText(), name);

    // One file in the list, none selected: a double-click below it adds an empty line.
    Write("only.jpg", "x");
    QVERIFY(Wizard()->SetDirectory(m_dir.path()));
    ChildOf<QListWidget>(Wizard().Get(), "FileList")->setCurrentItem(nullptr);
    ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->clear();
    QWidget* viewport = ChildOf<QListWidget>(Wizard().Get(), "FileList")->viewport();
    const QPoint empty(5, viewport->height() - 5);
    QVERIFY(!ChildOf<QListWidget>(Wizard().Get(), "FileList")->itemAt(empty));
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, empty);
    QCOMPARE(ChildOf<QPlainTextEdit>(Wizard().Get(), "CollectionEdit")->toPlainText(), QStringLiteral("\n"));
    QCOMPARE(TextLines(Wizard()->CollectionText()), QStringList{QString()});
    Wizard()->hide();
}

// A current folder that was deleted before the start: the wizard opens at home, silently.
void TestPlaylist::wizardStartsQuietlyFromAFolderThatHasGone()
{
    DestroyApplicationWindows();
    QVERIFY(m_dir.mkdir("gone"));
    QVERIFY(QDir::setCurrent(m_dir.filePath("gone")));
    QVERIFY(QDir(m_dir.path()).rmdir("gone"));
    m_errors.clear();
    CreateApplicationWindows(m_dir.filePath("lumivo.INI"));
    m_list = Main()->Playlist();
    QCOMPARE(m_errors, QStringList());
    QCOMPARE(Wizard()->Directory(), QDir::cleanPath(QDir::homePath()));
    QDir::setCurrent(m_dir.path());
}

// The wizard is made when it is first reached and lists its folder when it is shown, not
// while the program starts; its folder is the one the program started in, even when a
// file dialog has moved the current folder before the wizard's first opening.
void TestPlaylist::wizardListsItsFolderWhenShown()
{
    DestroyApplicationWindows();
    Write("one.jpg", "x");
    CreateApplicationWindows(m_dir.filePath("lumivo.INI"));
    m_list = Main()->Playlist();
    QVERIFY(!Wizard().Made() && !SlideInterval().Made() && !About().Made() && !Help().Made() &&
            !Links().Made());
    QTemporaryDir elsewhere;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QCOMPARE(Wizard()->Directory(), m_dir.path());
    QCOMPARE(ChildOf<QListWidget>(Wizard().Get(), "FileList")->count(), 0);
    Wizard()->show();
    QTRY_COMPARE(ChildOf<QListWidget>(Wizard().Get(), "FileList")->count(), 1);
    Wizard()->hide();
    QCOMPARE(ChildOf<QListWidget>(Wizard().Get(), "FileList")->count(), 0); // its lines go while it is closed
    Write("two.JPG", "x"); // a file that came meanwhile is there at the next opening
    Wizard()->show();
    QTRY_COMPARE(ChildOf<QListWidget>(Wizard().Get(), "FileList")->count(), 2);
    Wizard()->hide();
    QDir::setCurrent(m_dir.path());
}

// An old playlist written by Windows software (Windows-1251), and bytes of no encoding at
// all: every line keeps its exact bytes through load, reordering, save, and the wizard's
// load, save and append; a Windows-1251 line shows as its Cyrillic text.
void TestPlaylist::linesKeepTheirBytes()
{
    const QByteArray cp1251("/\xEC\xF3\xE7\xFB\xEA\xE0/\xEF\xE5\xF1\xED\xFF.mp3"); // /музыка/песня.mp3
    const QByteArray arbitrary("/raw/\xFF\xFE\x80\x98\xC3(.wav");
    const QByteArray utf8("/utf8/\xD0\xBA\xD0\xBE\xD1\x82.gif");
    const QByteArray file = cp1251 + "\r\n" + arbitrary + "\r\n\r\n" + utf8 + "\r\n";
    const QString list = Write("old.txt", file);
    AnswerDialogs(list);
    MainControl<QAction>("LoadPlayListItem")->trigger();
    QCOMPARE(m_list->count(), 4);
    QCOMPARE(m_list->item(0)->text(), QStringLiteral("/музыка/песня.mp3"));
    QCOMPARE(m_list->item(3)->text(), QStringLiteral("/utf8/кот.gif"));
    AnswerDialogs(m_dir.filePath("same.txt"));
    MainControl<QAction>("SavePlayListItem")->trigger();
    QCOMPARE(Read("same.txt"), file);

    m_list->MoveLine(0, 4); // dragged to the end
    AnswerDialogs(m_dir.filePath("moved.txt"));
    MainControl<QAction>("SavePlayListItem")->trigger();
    QCOMPARE(Read("moved.txt"), arbitrary + "\r\n\r\n" + utf8 + "\r\n" + cp1251 + "\r\n");

    // The wizard: load, save and append keep the bytes of lines left as they are.
    AnswerDialogs(list);
    ChildOf<QPushButton>(Wizard().Get(), "LoadButton")->click();
    AnswerDialogs(m_dir.filePath("wizard.txt"));
    ChildOf<QPushButton>(Wizard().Get(), "SaveButton")->click();
    QCOMPARE(Read("wizard.txt"), file);
    m_list->clear();
    ChildOf<QPushButton>(Wizard().Get(), "AddAllButton")->click();
    QCOMPARE(m_list->LineBytes(), (QList<QByteArray>{cp1251, arbitrary, QByteArray(), utf8}));
    // The backup of a cleared list too.
    MainControl<QAction>("ClearPlayListItem")->trigger();
    QCOMPARE(Read(TMainForm::ClearedPlaylistBackup), file);
}

// A Windows-1251 line opens the file whose name on disk is that text in UTF-8; a line
// whose exact bytes name a file opens that file.
void TestPlaylist::windows1251LinesOpenTheirFiles()
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QVERIFY(picture.save(m_dir.filePath("картинка.bmp"), "BMP"));
    const QByteArray dir = QFile::encodeName(m_dir.path());
    const QByteArray rawName = dir + "/\xE0\xE1.bmp"; // "аб.bmp" in Windows-1251, as bytes on disk
    {
        const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        QFile raw;
        QVERIFY(raw.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        QImage red(4, 4, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(&raw, "BMP"));
    }
    const struct {
        QByteArray line;
        QSize size;
    } cases[] = {{dir + "/\xEA\xE0\xF0\xF2\xE8\xED\xEA\xE0.bmp", QSize(8, 8)}, {rawName, QSize(4, 4)}};
    for (const auto& c : cases) {
        m_list->SetLineBytes({c.line});
        m_list->SetSelectedIndex(0);
        Q_EMIT m_list->DblClick();
        QCOMPARE(m_errors, QStringList());
        QCOMPARE(DisplayWin()->windowTitle(), QStringLiteral("Картинка"));
        QCOMPARE(DisplayControl<TImage>("Image")->Picture().size(), c.size);
    }

    // The same line reached again keeps its one link; a link left by a program that ended
    // goes; an error names the line the user sees, not the link.
    const QString folder = safefile::PrivateRuntimeFolder();
    const QString stale = folder + QStringLiteral("/lumivo-line-999999999-1.bmp");
    QFile::remove(stale);
    QVERIFY(QFile::link(QStringLiteral("/nonexistent"), stale));
    const QString link = MakeOpenablePath(rawName);
    QCOMPARE(MakeOpenablePath(rawName), link);
    RemoveLinksOfEndedPrograms();
    QVERIFY(!QFileInfo(stale).isSymLink());
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(::truncate(rawName.constData(), 10) == 0); // no longer a picture
    m_list->SetLineBytes({rawName});
    m_list->SetSelectedIndex(0);
    Q_EMIT m_list->DblClick();
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(!m_errors[0].contains(QLatin1String("lumivo-line-")), qPrintable(m_errors[0]));
}

void TestPlaylist::commandLineFiles()
{
    int exitCode = -1;
    std::optional<TCommandLine> parsed =
        ParseCommandLine({"lumivo", "--slideshow", "a.jpg", "list.TXT"}, exitCode);
    QVERIFY(parsed);
    QVERIFY(parsed->SlideShow && !parsed->Show);
    QVERIFY(ParseCommandLine({"lumivo", "--show", "a.jpg"}, exitCode)->Show);
    QCOMPARE(parsed->Files, (QStringList{"a.jpg", "list.TXT"}));
    QVERIFY(!ParseCommandLine({"lumivo", "--no-such-option"}, exitCode));
    QCOMPARE(exitCode, 2);
    // After "--" everything is a file name, toolkit options included; empty names are dropped.
    parsed = ParseCommandLine({"lumivo", "", "--", "-platform", "-reverse", "", "--slideshow"}, exitCode);
    QVERIFY(parsed);
    QVERIFY(!parsed->SlideShow);
    QCOMPARE(parsed->Files, (QStringList{"-platform", "-reverse", "--slideshow"}));

    Write("list.TXT", "/p.gif\r\n/q.avi\r\n");
    AppendCommandLineFiles(m_list, {"a.jpg", "list.TXT", "/abs/b.wav", ""});
    QCOMPARE(m_list->Lines(), (QStringList{m_dir.filePath("a.jpg"), "/p.gif", "/q.avi", "/abs/b.wav"}));

    // An unreadable playlist is reported, and the arguments after it still load.
    m_list->clear();
    QVERIFY(::mkfifo(QFile::encodeName(m_dir.filePath("fifo.txt")).constData(), 0600) == 0);
    try {
        AppendCommandLineFiles(m_list, {"a.jpg", "missing.txt", "fifo.txt", "list.TXT", "c.jpg"});
        QFAIL("the unreadable playlists were not reported");
    } catch (const ELumivoError& e) {
        QVERIFY2(e.Message.contains("missing.txt") && e.Message.contains("fifo.txt"), qPrintable(e.Message));
    }
    QCOMPARE(m_list->Lines(), (QStringList{m_dir.filePath("a.jpg"), "/p.gif", "/q.avi", m_dir.filePath("c.jpg")}));
}

QTEST_MAIN(TestPlaylist)
#include "tst_playlist.moc"
