#pragma once

// The command line: lumivo [--slideshow] [--show] [FILE...].

#include "playlist/PlayListBox.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>


struct TCommandLine {
    bool SlideShow = false; // start the slide show once the main window is shown
    bool Show = false;      // show the first of the files (opened from the desktop)
    QStringList Files;
};

// The parsed arguments (arguments[0] is the program), or nothing when the program is to
// end at once: after --help or --version (printed to standard output, exitCode 0) or a
// wrong option (printed to standard error, exitCode 2). Empty arguments are dropped; every
// argument after "--" is a file name.
std::optional<TCommandLine> ParseCommandLine(const QStringList& arguments, int& exitCode);

// Appends the files to the playlist: a playlist text file (".txt") with its lines, any
// other file as one line with its absolute path; empty names are skipped. A playlist that
// cannot be read does not stop the files after it: once all are in, the errors are raised
// together.
void AppendCommandLineFiles(TPlayListBox* playList, const QStringList& files);

// The same in two steps, the first of which may run on a worker (a playlist of hundreds of
// thousands of lines takes a few tenths of a second to read): what the files make, in their
// order (a file's absolute path, or a playlist's lines), and the errors of those that could
// not be read; then appended (raising those errors together).
struct TFilesRead {
    std::vector<std::variant<QString, TPlayListBox::TPreparedLines>> Parts;
    QStringList Errors;
};
TFilesRead ReadCommandLineFiles(const QStringList& files);
void AppendFilesRead(TPlayListBox* playList, const TFilesRead& read);
// Whether the files name a playlist file, which is read.
bool NamesPlaylistFile(const QStringList& files);
