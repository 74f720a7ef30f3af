#include "playlist/PlaylistWizard.h"

#include "core/Errors.h"
#include "core/HandlerGuard.h"
#include "playlist/MediaKind.h"
#include "playlist/PlayListBox.h"
#include "playlist/PlaylistFile.h"
#include "widgets/ApplicationCursor.h"
#include "widgets/FitCaptions.h"
#include "widgets/ReadableColours.h"
#include "widgets/WindowGeometry.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QMouseEvent>
#include <QTextDocument>
#include <QFileIconProvider>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>

#include <malloc.h>
#include <unistd.h>


const QString TPlaylistWizard::FilterName = QStringLiteral("Все поддерживаемые программой");

namespace {

constexpr int FolderDepthRole = Qt::UserRole + 1;

// Draws each folder of the tree indented by its depth. The indent is drawn, not typed into
// the text, so that typing a folder's name in the list jumps to it.
class TFolderIndent : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int Step = 8;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.adjust(Step * index.data(FolderDepthRole).toInt(), 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(Step * index.data(FolderDepthRole).toInt(), 0);
    }
};

QFrame* Frame(QWidget* parent, const QRect& geometry)
{
    auto* f = new QFrame(parent);
    f->setFrameStyle(QFrame::Box | QFrame::Sunken);
    f->setGeometry(geometry);
    return f;
}

QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, const QString& tip,
                    QStyle::StandardPixmap picture, const QRect& geometry)
{
    auto* b = new QPushButton(parent->style()->standardIcon(picture), caption, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setGeometry(geometry);
    b->setAutoDefault(true);
    return b;
}

// The folder itself, with a "/" between it and a name unless it ends with one already.
QString Join(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

bool CanList(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), R_OK | X_OK) == 0 && QFileInfo(folder).isDir();
}

} // namespace

TPlaylistWizard::TPlaylistWizard(const QString& startFolder, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PlaylistWizard"));
    setWindowTitle(QStringLiteral("Мастер плей-листов"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    setFont(f);
    SetTextColour(this, Qt::blue);

    // Instructions.
    Frame(this, {4, 4, 433, 70});
    const QStringList instructions = {
        QStringLiteral("Мастер создания плей-листа позволит предельно быстро заполнить плей-лист"),
        QStringLiteral("программы. Выберите директорию, в которой находятся необходимые файлы."),
        QStringLiteral("Двойным щелчком по файлу Вы добавите его в поле, что снизу диалогового "),
        QStringLiteral("окна. Когда вы сформируете список файлов, нажмите \"Добавить\"; после этого"),
        QStringLiteral("созданный список будет добавлен в главный плей-лист программы."),
    };
    for (int i = 0; i < instructions.size(); ++i) {
        auto* label = new QLabel(instructions[i], this);
        label->setObjectName(QStringLiteral("InstructionLabel%1").arg(i + 1));
        label->move(12, 8 + 12 * i);
        label->adjustSize();
    }

    // Browser. Its controls carry tooltips that are never shown, as the design has it.
    Frame(this, {4, 78, 433, 214});
    DriveBox = new QComboBox(this);
    DriveBox->setObjectName(QStringLiteral("DriveBox"));
    DriveBox->setGeometry(13, 84, 413, 19);
    FolderList = new QListWidget(this);
    FolderList->setObjectName(QStringLiteral("FolderList"));
    FolderList->setItemDelegate(new TFolderIndent(FolderList));
    FolderList->setGeometry(12, 104, 205, 165);
    FolderLabel = new QLabel(this);
    FolderLabel->setObjectName(QStringLiteral("FolderLabel"));
    FolderLabel->setGeometry(12, 272, 205, 14);
    FileList = new QListWidget(this);
    FileList->setObjectName(QStringLiteral("FileList"));
    FileList->setGeometry(225, 104, 201, 141);
    FileList->setSelectionMode(QAbstractItemView::SingleSelection);
    for (QListWidget* list : {FolderList, FileList}) {
        list->setIconSize({16, 16});
        // Every line is as high as the first: a list of 100 000 files is laid out at once.
        list->setUniformItemSizes(true);
    }
    FilterBox = new QComboBox(this);
    FilterBox->setObjectName(QStringLiteral("FilterBox"));
    FilterBox->setGeometry(224, 248, 206, 19);
    FilterBox->addItem(FilterName, MediaFolderMask);
    const QStringList hiddenTips = {QStringLiteral("Выбор устройства с содержанием мультимедиа..."),
                                    QStringLiteral("Навигация по файловой структуре устройства..."),
                                    QStringLiteral("Список мультимедиа-файлов..."), QStringLiteral("Это фильтр...")};
    const QList<QWidget*> browser = {DriveBox, FolderList, FileList, FilterBox};
    const QStringList spoken = {QStringLiteral("Устройство"), QStringLiteral("Папки"), QStringLiteral("Файлы"),
                                QStringLiteral("Фильтр")};
    for (int i = 0; i < browser.size(); ++i) {
        browser[i]->setProperty("hint", hiddenTips[i]);
        browser[i]->setAccessibleName(spoken[i]);
        browser[i]->setAccessibleDescription(hiddenTips[i]);
    }

    // Collection.
    Frame(this, {4, 296, 433, 141});
    CollectionEdit = new QPlainTextEdit(this);
    CollectionEdit->setObjectName(QStringLiteral("CollectionEdit"));
    CollectionEdit->setAccessibleName(QStringLiteral("Плей-лист"));
    CollectionEdit->setGeometry(12, 304, 301, 125);
    CollectionEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    CollectionEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CollectionEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // The first button made is the one Enter and Escape reach: "Добавить в плей-лист".
    AddAndCloseButton = Button(this, QStringLiteral("AddAndCloseButton"), QStringLiteral("Добавить в плей-лист"),
                               QStringLiteral("Закрыть диалог"), QStyle::SP_DialogApplyButton, {228, 441, 205, 33});
    AddAllButton =
        Button(this, QStringLiteral("AddAllButton"), QStringLiteral("Добавить все"),
               QStringLiteral("Добавить список в основной плей-лист"), QStyle::SP_ArrowRight, {321, 304, 109, 29});
    LoadButton = Button(this, QStringLiteral("LoadButton"), QStringLiteral("Загрузить..."),
                        QStringLiteral("Загрузить плей-лист"), QStyle::SP_DialogOpenButton, {321, 336, 109, 29});
    SaveButton = Button(this, QStringLiteral("SaveButton"), QStringLiteral("Сохранить..."),
                        QStringLiteral("Сохранить плей-лист..."), QStyle::SP_DialogSaveButton, {321, 368, 109, 29});
    ClearButton = Button(this, QStringLiteral("ClearButton"), QStringLiteral("Очистить"),
                         QStringLiteral("Очистить список"), QStyle::SP_DialogResetButton, {321, 400, 109, 29});
    CancelButton = Button(this, QStringLiteral("CancelButton"), QStringLiteral("Отмена"), QString(),
                          QStyle::SP_DialogCancelButton, {8, 441, 205, 33});
    AddAndCloseButton->setDefault(true);
    // Tab goes through the window from top left to bottom right.
    const QList<QWidget*> tabOrder = {DriveBox,    FolderList, FileList,    FilterBox,   CollectionEdit,   AddAllButton,
                                      LoadButton,  SaveButton, ClearButton, CancelButton, AddAndCloseButton};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    for (TFileDialog* d : {&LoadDialog, &SaveDialog}) {
        d->Filter = QStringLiteral("Стандартный плей-лист|*.txt");
        d->DefaultExt = QStringLiteral("txt");
        d->FileName = QStringLiteral("Список1");
        d->OverwritePrompt = false;
        d->FileMustExist = false;
    }
    LoadDialog.Title = QStringLiteral("Загрузить плей-лист");
    SaveDialog.Title = QStringLiteral("Сохранить плей-лист");

    ConnectGuarded(AddAndCloseButton, &QPushButton::clicked, this, [this] { AddAndCloseClick(); });
    ConnectGuarded(AddAllButton, &QPushButton::clicked, this, [this] { AddAllClick(); });
    ConnectGuarded(LoadButton, &QPushButton::clicked, this, [this] { LoadClick(); });
    ConnectGuarded(SaveButton, &QPushButton::clicked, this, [this] { SaveClick(); });
    ConnectGuarded(ClearButton, &QPushButton::clicked, this, [this] { ClearClick(); });
    ConnectGuarded(CancelButton, &QPushButton::clicked, this, [this] { CancelClick(); });
    ConnectGuarded(FileList, &QListWidget::itemDoubleClicked, this, [this] { FileListDblClick(); });
    connect(FolderList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { Guarded([&] { FolderListDblClick(item); }); });
    ConnectGuarded(DriveBox, &QComboBox::activated, this, [this] { DriveBoxChange(); });
    ConnectGuarded(FilterBox, &QComboBox::activated, this, [this] { FilterBoxChange(); });

    // Tab moves on from the collection, as in every other field; it types no tab.
    CollectionEdit->setTabChangesFocus(true);
    // A double-click anywhere in the file list collects, on a file or not (with no file
    // selected, an empty line).
    FileList->viewport()->installEventFilter(this);
    FileList->installEventFilter(this);
    FolderList->installEventFilter(this);

    m_masks = MediaFolderMask.split(QLatin1Char(';'));
    FitCaptions(this);
    FillDrives();
    // The start folder; one that has gone (or cannot be listed) quietly gives way to the
    // home folder, then the root. It is listed when the wizard is shown, not here: a
    // folder of many files must not slow the wizard's first opening twice.
    for (const QString& start : {startFolder, QDir::homePath(), QDir::rootPath()}) {
        const QString path = start.isEmpty() ? QString() : QDir::cleanPath(QDir(start).absolutePath());
        if (!path.isEmpty() && CanList(path)) {
            m_directory = path;
            break;
        }
    }
}

bool TPlaylistWizard::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the folder list opens the folder, in the file list collects the file; the
    // dialog's default button is reached from the other controls only.
    if ((watched == FolderList || watched == FileList) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            if (watched == FolderList)
                Guarded([this] { FolderListDblClick(FolderList->currentItem()); });
            else if (FileList->currentItem())
                Guarded([this] { FileListDblClick(); });
            return true;
        }
    }
    if (watched == FileList->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        !FileList->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        Guarded([this] { FileListDblClick(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QList<QByteArray> TPlaylistWizard::CollectionLines() const
{
    QList<QByteArray> lines;
    for (const QString& text : TextLines(CollectionText()))
        lines << m_lineBytes.value(text, text.toUtf8());
    return lines;
}

QString TPlaylistWizard::CollectionText() const
{
    // toPlainText() would turn non-breaking spaces into plain ones: a collected name must
    // keep every character. Paragraph and line separators are line breaks.
    QString text = CollectionEdit->document()->toRawText();
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    return text;
}

void TPlaylistWizard::FillDrives()
{
    DriveBox->clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        QString name = volume.rootPath();
        if (volume.displayName() != volume.rootPath())
            name += QStringLiteral("  [") + volume.displayName() + QLatin1Char(']');
        DriveBox->addItem(name, volume.rootPath());
    }
}

bool TPlaylistWizard::SetDirectory(const QString& folder)
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    if (!CanList(path)) {
        Dialogs::ShowError(QStringLiteral("Не удаётся открыть папку \"%1\". %2")
                               .arg(path, QFileInfo(path).isDir() ? QStringLiteral("Нет доступа")
                                                                  : QStringLiteral("Папка не найдена")));
        return false;
    }
    m_directory = path;
    Refresh();
    return true;
}

TPlaylistWizard::TListing TPlaylistWizard::ReadListing(const QString& path, const QStringList& masks)
{
    TListing listing{path, masks, QFileInfo(path).lastModified(), QDateTime::currentDateTime(), {}, {}};
    // One read of the folder for its subfolders and its files of the mask (names of any
    // case), each sorted by name without regard to case.
    QStringList patterns;
    for (const QString& mask : masks)
        patterns << QRegularExpression::wildcardToRegularExpression(mask.trimmed());
    const QRegularExpression match(patterns.join(QLatin1Char('|')), QRegularExpression::CaseInsensitiveOption);
    QDirIterator entries(path, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        const QFileInfo info = entries.fileInfo();
        const QString name = info.fileName();
        if (info.isDir()) {
            if (!info.isHidden())
                listing.Folders << name;
        } else if (info.isFile() && !info.isHidden() && match.match(name).hasMatch()) {
            listing.Files << name;
        }
    }
    const auto byName = [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c ? c < 0 : a < b;
    };
    std::sort(listing.Folders.begin(), listing.Folders.end(), byName);
    std::sort(listing.Files.begin(), listing.Files.end(), byName);
    return listing;
}

void TPlaylistWizard::StartListing()
{
    const quint64 refresh = m_refreshes;
    const QString path = m_directory;
    // A folder that has not changed since it was read (its entries change its time) is not
    // read again: opening the wizard again on a folder of many files costs no reading. A
    // folder's time is coarse (a file made just after the reading may leave it as it was),
    // so a reading within two seconds of the folder's last change is not trusted.
    const QDateTime modified = QFileInfo(path).lastModified();
    if (m_listing.Path == path && m_listing.Masks == m_masks && m_listing.Modified == modified && modified.isValid() &&
        m_listing.Modified.msecsTo(m_listing.ReadAt) > 2000) {
        ShowListing(refresh, 0);
        return;
    }
    // Read on a worker: a folder of a hundred thousand files takes a few tenths of a second,
    // while the wizard goes on answering.
    QPointer<TPlaylistWizard> self(this);
    const QStringList masks = m_masks;
    QThreadPool::globalInstance()->start([self, refresh, path, masks] {
        TListing listing = ReadListing(path, masks);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, refresh, listing = std::move(listing)]() mutable {
                if (!self || refresh != self->m_refreshes)
                    return; // the wizard has gone, or another folder was asked for
                self->m_listing = std::move(listing);
                self->ShowListing(refresh, 0);
            },
            Qt::QueuedConnection);
    });
}

void TPlaylistWizard::ShowListing(quint64 refresh, int from)
{
    if (refresh != m_refreshes)
        return;
    const QString& path = m_listing.Path;
    QFileIconProvider icons;
    if (from == 0) {
        const int depth = int(path.split(QLatin1Char('/'), Qt::SkipEmptyParts).size()) + 1;
        const QIcon folderIcon = icons.icon(QFileIconProvider::Folder);
        for (const QString& name : m_listing.Folders) {
            auto* item = new QListWidgetItem(folderIcon, name);
            item->setData(Qt::UserRole, Join(path, name));
            item->setData(FolderDepthRole, depth);
            FolderList->addItem(item);
        }
    }
    // The files in batches, each a small part of a frame's time, the wizard answering between
    // them. Items made apart from the list and added one by one: an item made with the list
    // as its parent is looked up in the whole list, which made large folders take quadratic time.
    constexpr int Batch = 10000;
    const QIcon fileIcon = icons.icon(QFileIconProvider::File);
    const int to = std::min<int>(from + Batch, int(m_listing.Files.size()));
    FileList->setUpdatesEnabled(false);
    for (int i = from; i < to; ++i) {
        auto* item = new QListWidgetItem(fileIcon, m_listing.Files[i]);
        FileList->addItem(item);
        if (!m_reselect.isEmpty() && m_listing.Files[i] == m_reselect)
            FileList->setCurrentItem(item);
    }
    FileList->setUpdatesEnabled(true);
    if (to < m_listing.Files.size()) {
        QTimer::singleShot(0, this, [this, refresh, to] { ShowListing(refresh, to); });
        return;
    }
    m_listingPending = false;
    SetApplicationWideCursor(crDefault);
}

void TPlaylistWizard::Refresh()
{
    SetApplicationWideCursor(crHourGlass);
    ++m_refreshes;
    m_listingPending = true;
    const QString path = m_directory;
    QFileIconProvider icons;

    // Folder tree: the path from the root down; the folders inside the current one come
    // with its listing.
    FolderList->clear();
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString walked = QStringLiteral("/");
    QFont openFont = FolderList->font();
    openFont.setBold(true);
    auto addFolder = [&](const QString& text, const QString& full, int depth) {
        auto* item = new QListWidgetItem(icons.icon(QFileIconProvider::Folder), text);
        item->setData(Qt::UserRole, full);
        item->setData(FolderDepthRole, depth);
        item->setFont(openFont);
        FolderList->addItem(item);
        return item;
    };
    QListWidgetItem* current = addFolder(QStringLiteral("/"), walked, 0);
    for (int i = 0; i < parts.size(); ++i) {
        walked = Join(walked, parts[i]);
        current = addFolder(parts[i], walked, i + 1);
    }
    FolderList->setCurrentItem(current);

    FolderLabel->setText(FolderLabel->fontMetrics().elidedText(path, Qt::ElideMiddle, FolderLabel->width()));
    FolderLabel->setToolTip(path);

    // Files of the mask, without regard to case, sorted by name; the one selected stays so.
    m_reselect = FileList->currentItem() ? FileList->currentItem()->text() : QString();
    FileList->clear();

    // The volume the folder is on.
    const QString root = QStorageInfo(path).rootPath();
    const int drive = DriveBox->findData(root);
    if (drive >= 0)
        DriveBox->setCurrentIndex(drive);
    StartListing();
}

void TPlaylistWizard::DriveBoxChange()
{
    const QString root = DriveBox->currentData().toString();
    if (!root.isEmpty() && !SetDirectory(root))
        Refresh(); // back to the folder we are in, and its volume
}

void TPlaylistWizard::FolderListDblClick(QListWidgetItem* item)
{
    if (item)
        SetDirectory(item->data(Qt::UserRole).toString());
}

void TPlaylistWizard::FilterBoxChange()
{
    m_masks = FilterBox->currentData().toString().split(QLatin1Char(';'));
    Refresh();
}

void TPlaylistWizard::FileListDblClick()
{
    const QListWidgetItem* item = FileList->currentItem();
    const QString path = item ? Join(m_directory, item->text()) : QString();
    QStringList lines = TextLines(CollectionText());
    lines << path;
    CollectionEdit->setPlainText(LinesText(lines));
    CollectionEdit->moveCursor(QTextCursor::End);
}

void TPlaylistWizard::AppendCollection()
{
    if (PlayList)
        PlayList->AppendLineBytes(CollectionLines());
}

void TPlaylistWizard::AddAndCloseClick()
{
    AppendCollection();
    accept();
}

void TPlaylistWizard::AddAllClick() { AppendCollection(); }

void TPlaylistWizard::LoadClick()
{
    if (!LoadDialog.Execute(this))
        return;
    // Lines that are not UTF-8 are shown as text; their bytes are kept for as long as the
    // line stands unchanged in the collection.
    QStringList texts;
    for (const QByteArray& line : LoadPlaylistLines(LoadDialog.FileName)) {
        texts << LineText(line);
        if (!IsUtf8(line))
            m_lineBytes.insert(texts.constLast(), line);
    }
    CollectionEdit->setPlainText(LinesText(texts));
}

void TPlaylistWizard::SaveClick()
{
    if (!SaveDialog.Execute(this))
        return;
    SavePlaylistLines(SaveDialog.FileName, CollectionLines());
}

void TPlaylistWizard::ClearClick() { CollectionEdit->clear(); }

void TPlaylistWizard::CancelClick() { reject(); }

void TPlaylistWizard::keyPressEvent(QKeyEvent* event)
{
    // Escape cancels, adding nothing, wherever the focus is.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CancelClick();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TPlaylistWizard::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(this);
    Refresh();
}

void TPlaylistWizard::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // A listing on its way is not shown.
    ++m_refreshes;
    if (std::exchange(m_listingPending, false))
        SetApplicationWideCursor(crDefault);
    // The lists' items go while the wizard is closed (a folder of 100 000 files makes
    // tens of megabytes of them); the names read stay, for the next opening.
    FileList->clear();
    FolderList->clear();
    ::malloc_trim(0);
}
