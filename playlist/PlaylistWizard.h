#pragma once

#include "widgets/FileDialog.h"

#include <QDialog>
#include <QDateTime>
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
// to collect their paths in CollectionEdit, load, save, edit or clear the collection, and append it
// to the main playlist. Made when first opened: the collection, the folder and the
// selection survive between openings.
class TPlaylistWizard : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 441;
    static constexpr int ClientHeight = 480;
    static const QString FilterName;

    // startFolder: the folder the wizard first lists (the program's folder at start); one
    // that has gone gives way to the home folder, then the root.
    explicit TPlaylistWizard(const QString& startFolder = QDir::currentPath(), QWidget* parent = nullptr);

    // The main playlist the collection is appended to (wired at start-up).
    void SetTargetPlaylist(TPlayListBox* playList) { PlayList = playList; }

    // The folder shown by the browser, and moving to another (false, with an error shown,
    // when it cannot be listed; the browser then stays where it was).
    QString Directory() const { return m_directory; }
    bool SetDirectory(const QString& folder);
    // Lists the folder again (files may have come and gone).
    void Refresh();

    void FileListDblClick();
    void AddAndCloseClick(); // "Добавить в плей-лист": append, then close
    void AddAllClick();      // "Добавить все": append, stay open
    void LoadClick();        // "Загрузить..."
    void SaveClick();        // "Сохранить..."
    void ClearClick();       // "Очистить"
    void CancelClick();      // "Отмена"

    const TFileDialog& CollectionLoadDialog() const { return LoadDialog; }

    // The collection's text, every character as typed or collected, and its lines as bytes
    // (a line loaded from a file keeps the file's bytes while it stands unchanged).
    QString CollectionText() const;
    QList<QByteArray> CollectionLines() const;
    // The folder is being read or its files put in the list (which then is not complete yet).
    bool Listing() const { return m_listingPending; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // What a folder holds: its subfolders and its files of the mask, as last read.
    struct TListing {
        QString Path;
        QStringList Masks;
        QDateTime Modified;
        QDateTime ReadAt;
        QStringList Folders, Files;
    };
    static TListing ReadListing(const QString& path, const QStringList& masks);
    // The folder's listing: read again on a worker unless it has not changed since it was
    // read, then shown (ShowListing); while it is on its way, Listing() holds.
    void StartListing();
    void ShowListing(quint64 refresh, int from);
    TListing m_listing;
    quint64 m_refreshes = 0; // counts the refreshes: a listing for an older one is dropped
    bool m_listingPending = false;
    QString m_reselect; // the file to select again once listed
    QHash<QString, QByteArray> m_lineBytes; // loaded lines that are not UTF-8, by their text
    void FillDrives();
    void DriveBoxChange();
    void FolderListDblClick(QListWidgetItem* item);
    void FilterBoxChange();
    void AppendCollection();

    QString m_directory;
    QStringList m_masks;

private:
    // Its controls, its own.
    QComboBox* DriveBox;
    QListWidget* FolderList;
    QLabel* FolderLabel;
    QListWidget* FileList;
    QComboBox* FilterBox;
    QPlainTextEdit* CollectionEdit;
    QPushButton* AddAndCloseButton;
    QPushButton* AddAllButton;
    QPushButton* LoadButton;
    QPushButton* SaveButton;
    QPushButton* ClearButton;
    QPushButton* CancelButton;
    TPlayListBox* PlayList = nullptr;
    TFileDialog LoadDialog{TFileDialog::Mode::Open};
    TFileDialog SaveDialog{TFileDialog::Mode::Save};
};

