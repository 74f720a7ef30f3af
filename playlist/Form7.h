#pragma once

#include "platform/OnFirstUse.h"
#include "platform/FileDialog.h"

#include <QDialog>
#include <QDir>
#include <QHash>

class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class TPlayListBox;

// The playlist wizard "Мастер плей-листов": browse volumes and folders, double-click files
// to collect their paths in Memo1, load, save, edit or clear the collection, and append it
// to the main playlist. Created once at start-up: the collection, the folder and the
// selection survive between openings.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 441;
    static constexpr int ClientHeight = 480;
    static const QString FileMask;
    static const QString FilterName;

    // startFolder: the folder the wizard first lists (the program's folder at start); one
    // that has gone gives way to the home folder, then the root.
    explicit TForm7(const QString& startFolder = QDir::currentPath(), QWidget* parent = nullptr);

    // The main playlist the collection is appended to (wired at start-up).
    TPlayListBox* PlayList = nullptr;

    // The folder shown by the browser, and moving to another (false, with an error shown,
    // when it cannot be listed; the browser then stays where it was).
    QString Directory() const { return m_directory; }
    bool SetDirectory(const QString& folder);
    // Lists the folder again (files may have come and gone).
    void Refresh();

    void FileListBox1DblClick();
    void BitBtn1Click(); // "Добавить в плей-лист": append, then close
    void BitBtn2Click(); // "Добавить все": append, stay open
    void BitBtn3Click(); // "Загрузить..."
    void BitBtn4Click(); // "Сохранить..."
    void BitBtn5Click(); // "Очистить"
    void BitBtn6Click(); // "Отмена"

    QComboBox* DriveComboBox1;
    QListWidget* DirectoryListBox1;
    QLabel* Label1;
    QListWidget* FileListBox1;
    QComboBox* FilterComboBox1;
    QPlainTextEdit* Memo1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QPushButton* BitBtn5;
    QPushButton* BitBtn6;
    TFileDialog OpenDialog1{TFileDialog::Mode::Open};
    TFileDialog SaveDialog1{TFileDialog::Mode::Save};

    // The collection's text, every character as typed or collected, and its lines as bytes
    // (a line loaded from a file keeps the file's bytes while it stands unchanged).
    QString CollectionText() const;
    QList<QByteArray> CollectionLines() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QHash<QString, QByteArray> m_lineBytes; // loaded lines that are not UTF-8, by their text
    void FillDrives();
    void DriveComboBox1Change();
    void DirectoryListBox1DblClick(QListWidgetItem* item);
    void FilterComboBox1Change();
    void AppendCollection();

    QString m_directory;
    QStringList m_masks;
};

extern TOnFirstUse<TForm7> Form7;
