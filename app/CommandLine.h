#pragma once

// The command line: lumivo [--slideshow] [FILE...].

#include <QString>
#include <QStringList>

#include <optional>

class TPlayListBox;

struct TCommandLine {
    bool SlideShow = false; // start the slide show once the main window is shown
    QStringList Files;
};

// The parsed arguments (arguments[0] is the program), or nothing when the program is to
// end at once: after --help or --version (printed to standard output, exitCode 0) or a
// wrong option (printed to standard error, exitCode 2).
std::optional<TCommandLine> ParseCommandLine(const QStringList& arguments, int& exitCode);

// Appends the files to the playlist: a playlist text file (".txt") with its lines, any
// other file as one line with its absolute path. A playlist that cannot be read raises its
// error after the files before it were added.
void AppendCommandLineFiles(TPlayListBox* playList, const QStringList& files);
