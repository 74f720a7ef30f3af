#pragma once

// The program's open and save dialogs. Their filters keep the "Description|*.a; *.b" form;
// patterns match without regard to case. After OK the process's current directory moves to
// the chosen file's folder, as users of the old dialogs rely on (the playlist backup is
// written there). Every dialog goes through one seam that a test can answer.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

class TFileDialog {
public:
    enum class Mode { Open, Save };

    explicit TFileDialog(Mode mode) : DialogMode(mode) {}

    Mode DialogMode;
    QString Title;             // empty: the toolkit's own title
    QString Filter;            // "Description|patterns|Description|patterns..."
    int FilterIndex = 1;       // preselected filter, from 1
    QString DefaultExt;        // added, after a dot, to a chosen name without extension
    QString FileName;          // initial name; after OK the chosen file's full path
    bool OverwritePrompt = false;
    bool FileMustExist = false;

    // Runs the dialog; true when the user confirmed a file.
    bool Execute(QWidget* parent = nullptr);
};

// The answer of a dialog: the chosen path, or nothing for Cancel.
using FileDialogHandler = std::function<std::optional<QString>(const TFileDialog&)>;

// Replaces the real dialog; an empty handler restores it. Returns the previous handler.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

// "Images|*.bmp; *.JPG" -> {"Images (*.[bB][mM][pP] *.[jJ][pP][gG])"}: Qt's filter form with
// patterns that ignore case.
QStringList QtNameFilters(const QString& filter);

// The name with ".ext" appended when it has no extension of its own.
QString WithDefaultExtension(const QString& path, const QString& defaultExt);

// Sets up the real dialog as Execute shows it: its mode, filters, folder and file, and a size
// that shows the columns of its file list whole, over the parent's window.
void PrepareFileDialog(QFileDialog& dialog, const TFileDialog& d, QWidget* parent);
