#include "playlist/Form7.h"

#include "platform/ApplicationCursor.h"
#include "platform/Errors.h"
#include "platform/HandlerGuard.h"
#include "platform/WindowGeometry.h"
#include "playlist/PlayListBox.h"
#include "playlist/PlaylistFile.h"

#include <QComboBox>
#include <QDir>
#include <QMouseEvent>
#include <QTextDocument>
#include <QFileIconProvider>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

#include <unistd.h>

TOnFirstUse<TForm7> Form7;

const QString TForm7::FileMask =
    QStringLiteral("*.bmp;*.jpg;*.jpeg;*.ico;*.dib;*.emf;*.wmf;*.avi;*.wav;*.mid;*.gif;*.mp3;*.mpeg;*.mp4");
const QString TForm7::FilterName = QStringLiteral("Все поддерживаемые программой");

namespace {

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

TForm7::TForm7(const QString& startFolder, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Мастер плей-листов"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    setFont(f);
    QPalette palette = this->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, Qt::blue);
    setPalette(palette);

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
    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(13, 84, 413, 19);
    DirectoryListBox1 = new QListWidget(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(12, 104, 205, 165);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 272, 205, 14);
    FileListBox1 = new QListWidget(this);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setGeometry(225, 104, 201, 141);
    FileListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    for (QListWidget* list : {DirectoryListBox1, FileListBox1})
        list->setIconSize({16, 16});
    FilterComboBox1 = new QComboBox(this);
    FilterComboBox1->setObjectName(QStringLiteral("FilterComboBox1"));
    FilterComboBox1->setGeometry(224, 248, 206, 19);
    FilterComboBox1->addItem(FilterName, FileMask);
    const QStringList hiddenTips = {QStringLiteral("Выбор устройства с содержанием мультимедиа..."),
                                    QStringLiteral("Навигация по файловой структуре устройства..."),
                                    QStringLiteral("Список мультимедиа-файлов..."), QStringLiteral("Это фильтр...")};
    const QList<QWidget*> browser = {DriveComboBox1, DirectoryListBox1, FileListBox1, FilterComboBox1};
    for (int i = 0; i < browser.size(); ++i)
        browser[i]->setProperty("hint", hiddenTips[i]);

    // Collection.
    Frame(this, {4, 296, 433, 141});
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(12, 304, 301, 125);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // The first button made is the one Enter and Escape reach: "Добавить в плей-лист".
    BitBtn1 = Button(this, QStringLiteral("BitBtn1"), QStringLiteral("Добавить в плей-лист"),
                     QStringLiteral("Закрыть диалог"), QStyle::SP_DialogApplyButton, {228, 441, 205, 33});
    BitBtn2 = Button(this, QStringLiteral("BitBtn2"), QStringLiteral("Добавить все"),
                     QStringLiteral("Добавить список в основной плей-лист"), QStyle::SP_ArrowRight, {321, 304, 109, 29});
    BitBtn3 = Button(this, QStringLiteral("BitBtn3"), QStringLiteral("Загрузить..."),
                     QStringLiteral("Загрузить плей-лист"), QStyle::SP_DialogOpenButton, {321, 336, 109, 29});
    BitBtn4 = Button(this, QStringLiteral("BitBtn4"), QStringLiteral("Сохранить..."),
                     QStringLiteral("Сохранить плей-лист..."), QStyle::SP_DialogSaveButton, {321, 368, 109, 29});
    BitBtn5 = Button(this, QStringLiteral("BitBtn5"), QStringLiteral("Очистить"), QStringLiteral("Очистить список"),
                     QStyle::SP_DialogResetButton, {321, 400, 109, 29});
    BitBtn6 = Button(this, QStringLiteral("BitBtn6"), QStringLiteral("Отмена"), QString(),
                     QStyle::SP_DialogCancelButton, {8, 441, 205, 33});
    BitBtn1->setDefault(true);
    setTabOrder(BitBtn1, DriveComboBox1);

    for (TFileDialog* d : {&OpenDialog1, &SaveDialog1}) {
        d->Filter = QStringLiteral("Стандартный плей-лист|*.txt");
        d->DefaultExt = QStringLiteral("txt");
        d->FileName = QStringLiteral("Список1");
        d->OverwritePrompt = false;
        d->FileMustExist = false;
    }
    OpenDialog1.Title = QStringLiteral("Загрузить плей-лист");
    SaveDialog1.Title = QStringLiteral("Сохранить плей-лист");

    ConnectGuarded(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ConnectGuarded(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    ConnectGuarded(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    ConnectGuarded(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
    ConnectGuarded(BitBtn5, &QPushButton::clicked, this, [this] { BitBtn5Click(); });
    ConnectGuarded(BitBtn6, &QPushButton::clicked, this, [this] { BitBtn6Click(); });
    ConnectGuarded(FileListBox1, &QListWidget::itemDoubleClicked, this, [this] { FileListBox1DblClick(); });
    connect(DirectoryListBox1, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { Guarded([&] { DirectoryListBox1DblClick(item); }); });
    ConnectGuarded(DriveComboBox1, &QComboBox::activated, this, [this] { DriveComboBox1Change(); });
    ConnectGuarded(FilterComboBox1, &QComboBox::activated, this, [this] { FilterComboBox1Change(); });

    // Tab moves on from the collection, as in every other field; it types no tab.
    Memo1->setTabChangesFocus(true);
    // A double-click anywhere in the file list collects, on a file or not (with no file
    // selected, an empty line).
    FileListBox1->viewport()->installEventFilter(this);

    m_masks = FileMask.split(QLatin1Char(';'));
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

bool TForm7::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FileListBox1->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        !FileListBox1->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        Guarded([this] { FileListBox1DblClick(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QList<QByteArray> TForm7::CollectionLines() const
{
    QList<QByteArray> lines;
    for (const QString& text : TextLines(CollectionText()))
        lines << m_lineBytes.value(text, text.toUtf8());
    return lines;
}

QString TForm7::CollectionText() const
{
    // toPlainText() would turn non-breaking spaces into plain ones: a collected name must
    // keep every character. Paragraph and line separators are line breaks.
    QString text = Memo1->document()->toRawText();
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    return text;
}

void TForm7::FillDrives()
{
    DriveComboBox1->clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        QString name = volume.rootPath();
        if (volume.displayName() != volume.rootPath())
            name += QStringLiteral("  [") + volume.displayName() + QLatin1Char(']');
        DriveComboBox1->addItem(name, volume.rootPath());
    }
}

bool TForm7::SetDirectory(const QString& folder)
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

void TForm7::Refresh()
{
    SetApplicationWideCursor(crHourGlass);
    const QString path = m_directory;
    QFileIconProvider icons;

    // Folder tree: the path from the root down, then the folders inside the current one.
    DirectoryListBox1->clear();
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString walked = QStringLiteral("/");
    QFont openFont = DirectoryListBox1->font();
    openFont.setBold(true);
    auto addFolder = [&](const QString& text, const QString& full, int depth, bool open) {
        auto* item = new QListWidgetItem(icons.icon(QFileIconProvider::Folder),
                                         QString(depth * 2, QLatin1Char(' ')) + text);
        item->setData(Qt::UserRole, full);
        if (open)
            item->setFont(openFont);
        DirectoryListBox1->addItem(item);
        return item;
    };
    QListWidgetItem* current = addFolder(QStringLiteral("/"), walked, 0, true);
    for (int i = 0; i < parts.size(); ++i) {
        walked = Join(walked, parts[i]);
        current = addFolder(parts[i], walked, i + 1, true);
    }
    const QDir dir(path);
    const QStringList folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : folders)
        addFolder(name, Join(path, name), int(parts.size()) + 1, false);
    DirectoryListBox1->setCurrentItem(current);

    Label1->setText(Label1->fontMetrics().elidedText(path, Qt::ElideMiddle, Label1->width()));
    Label1->setToolTip(path);

    // Files of the mask, without regard to case, sorted by name.
    const QString selected = FileListBox1->currentItem() ? FileListBox1->currentItem()->text() : QString();
    FileListBox1->clear();
    QDir files(path);
    files.setNameFilters(m_masks);
    files.setFilter(QDir::Files); // name filters ignore case without QDir::CaseSensitive
    files.setSorting(QDir::Name | QDir::IgnoreCase);
    const QIcon fileIcon = icons.icon(QFileIconProvider::File);
    // Items made apart from the list and added to it one by one: an item made with the
    // list as its parent is looked up in the whole list, which made large folders take
    // quadratic time.
    FileListBox1->setUpdatesEnabled(false);
    QListWidgetItem* reselected = nullptr;
    for (const QString& name : files.entryList()) {
        auto* item = new QListWidgetItem(fileIcon, name);
        FileListBox1->addItem(item);
        if (name == selected)
            reselected = item;
    }
    if (reselected)
        FileListBox1->setCurrentItem(reselected);
    FileListBox1->setUpdatesEnabled(true);

    // The volume the folder is on.
    const QString root = QStorageInfo(path).rootPath();
    const int drive = DriveComboBox1->findData(root);
    if (drive >= 0)
        DriveComboBox1->setCurrentIndex(drive);
    SetApplicationWideCursor(crDefault);
}

void TForm7::DriveComboBox1Change()
{
    const QString root = DriveComboBox1->currentData().toString();
    if (!root.isEmpty() && !SetDirectory(root))
        Refresh(); // back to the folder we are in, and its volume
}

void TForm7::DirectoryListBox1DblClick(QListWidgetItem* item)
{
    if (item)
        SetDirectory(item->data(Qt::UserRole).toString());
}

void TForm7::FilterComboBox1Change()
{
    m_masks = FilterComboBox1->currentData().toString().split(QLatin1Char(';'));
    Refresh();
}

void TForm7::FileListBox1DblClick()
{
    const QListWidgetItem* item = FileListBox1->currentItem();
    const QString path = item ? Join(m_directory, item->text()) : QString();
    QStringList lines = TextLines(CollectionText());
    lines << path;
    Memo1->setPlainText(LinesText(lines));
    Memo1->moveCursor(QTextCursor::End);
}

void TForm7::AppendCollection()
{
    if (PlayList)
        PlayList->AppendLineBytes(CollectionLines());
}

void TForm7::BitBtn1Click()
{
    AppendCollection();
    accept();
}

void TForm7::BitBtn2Click() { AppendCollection(); }

void TForm7::BitBtn3Click()
{
    if (!OpenDialog1.Execute(this))
        return;
    // Lines that are not UTF-8 are shown as text; their bytes are kept for as long as the
    // line stands unchanged in the collection.
    QStringList texts;
    for (const QByteArray& line : LoadPlaylistLines(OpenDialog1.FileName)) {
        texts << LineText(line);
        if (!IsUtf8(line))
            m_lineBytes.insert(texts.constLast(), line);
    }
    Memo1->setPlainText(LinesText(texts));
}

void TForm7::BitBtn4Click()
{
    if (!SaveDialog1.Execute(this))
        return;
    SavePlaylistLines(SaveDialog1.FileName, CollectionLines());
}

void TForm7::BitBtn5Click() { Memo1->clear(); }

void TForm7::BitBtn6Click() { reject(); }

void TForm7::keyPressEvent(QKeyEvent* event)
{
    // Escape, like Enter on no button, is "Добавить в плей-лист": the button is the dialog's
    // default and its cancel button. In the text box both keys belong to the text.
    const bool inMemo = focusWidget() == Memo1;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (!inMemo)
            BitBtn1->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm7::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(this);
    Refresh();
}
