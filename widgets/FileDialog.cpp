#include "widgets/FileDialog.h"

#include "widgets/WindowGeometry.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

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
    // Over the window it was opened from, not wherever the window system puts a new window.
    dialog.adjustSize();
    CenterOverParent(&dialog, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

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
