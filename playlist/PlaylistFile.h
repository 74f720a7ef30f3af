#pragma once

// The playlist text file: one entry per line, CR LF after every entry (the last one
// included). Reading takes CR, LF or CR LF as a line end, stops at a NUL byte, needs no
// line end after the last line, and keeps empty lines and blanks. Text is UTF-8.

#include <QByteArray>
#include <QString>
#include <QStringList>

// A playlist file larger than this is refused rather than read into memory.
inline constexpr qint64 MaxPlaylistFileSize = 64 * 1024 * 1024;

QStringList ParsePlaylistText(const QByteArray& text);
QByteArray FormatPlaylistText(const QStringList& entries);

// Reads a playlist file. Throws EFOpenError ("Cannot open file "%s". %s") with the
// system's reason when it cannot be read, for anything that is not a regular file (a FIFO
// is refused at once, never waited on) and for a file over the size limit.
QStringList LoadPlaylistFile(const QString& path);

// Writes a playlist file, replacing any file of that name atomically: a failed save leaves
// the previous file as it was, and every write error (a full disk) is reported. In a folder
// that others can write, a link or another user's file is refused, never written through.
// Throws EFCreateError ("Cannot create file "%s". %s").
void SavePlaylistFile(const QString& path, const QStringList& entries);

// The lines of a multi-line text box by the reading rule above, and the text that shows
// exactly those lines (an empty last line needs a line break of its own).
QStringList TextLines(const QString& text);
QString LinesText(const QStringList& lines);
