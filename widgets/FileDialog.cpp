#include "widgets/FileDialog.h"

#include "widgets/WindowGeometry.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QScreen>
#include <QTimer>
#include <QTreeView>

namespace {

FileDialogHandler& CurrentHandler()
{
    static FileDialogHandler handler;
    return handler;
}

QString CaseInsensitivePattern(const QString& pattern)
{
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

std::optional<QString> RunRealDialog(const TFileDialog& d, QWidget* parent)
{
    QFileDialog dialog(parent, d.Title);
    PrepareFileDialog(dialog, d, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

void PrepareFileDialog(QFileDialog& dialog, const TFileDialog& d, QWidget* parent)
{
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !d.OverwritePrompt);
    dialog.setAcceptMode(d.DialogMode == TFileDialog::Mode::Save ? QFileDialog::AcceptSave
                                                                 : QFileDialog::AcceptOpen);
    dialog.setFileMode(d.FileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = QtNameFilters(d.Filter);
    dialog.setNameFilters(filters);
    if (d.FilterIndex >= 1 && d.FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[d.FilterIndex - 1]);
    dialog.setDirectory(QDir::currentPath());
    if (!d.FileName.isEmpty())
        dialog.selectFile(d.FileName);
    // Each file's name, size, type and date whole: once a folder is read, each column is made
    // as wide as what it shows, the name's taking what room is left (the user may still drag
    // them, and a list wider than the dialog scrolls).
    dialog.setViewMode(QFileDialog::Detail);
    if (auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        const auto fit = [files] {
            QHeaderView* header = files->header();
            header->setSectionResizeMode(QHeaderView::Interactive);
            for (int column = 0; column < header->count(); ++column)
                files->resizeColumnToContents(column);
            const int spare = files->viewport()->width() - header->length();
            if (spare > 0)
                header->resizeSection(0, header->sectionSize(0) + spare);
        };
        // After the rows arrive and are sorted, once for all that arrive together.
        const auto later = [files, fit] { QTimer::singleShot(0, files, fit); };
        QObject::connect(files->model(), &QAbstractItemModel::rowsInserted, files, later);
        QObject::connect(files->model(), &QAbstractItemModel::layoutChanged, files, later);
    }
    const QScreen* screen = ScreenOf(parent ? parent->window() : &dialog);
    QSize size = QSize(920, 560).expandedTo(dialog.sizeHint());
    if (screen)
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size);
    // Over the window it was opened from, not wherever the window system puts a new window.
    CenterOverParent(&dialog, parent);
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler)
{
    FileDialogHandler previous = std::move(CurrentHandler());
    CurrentHandler() = std::move(handler);
    return previous;
}

QStringList QtNameFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!p.trimmed().isEmpty())
                patterns << CaseInsensitivePattern(p.trimmed());
        result << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

QString WithDefaultExtension(const QString& path, const QString& defaultExt)
{
    if (defaultExt.isEmpty() || path.isEmpty())
        return path;
    const QString name = QFileInfo(path).fileName();
    if (name.contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + defaultExt;
}

bool TFileDialog::Execute(QWidget* parent)
{
    std::optional<QString> chosen =
        CurrentHandler() ? CurrentHandler()(*this) : RunRealDialog(*this, parent);
    if (!chosen || chosen->isEmpty())
        return false;
    FileName = QFileInfo(WithDefaultExtension(*chosen, DefaultExt)).absoluteFilePath();
    QDir::setCurrent(QFileInfo(FileName).absolutePath());
    return true;
}
