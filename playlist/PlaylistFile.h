#pragma once

// The playlist text file: one entry per line, CR LF after every entry (the last one
// included). Reading takes CR, LF or CR LF as a line end, stops at a NUL byte, needs no
// line end after the last line, and keeps empty lines and blanks. Every line keeps its
// exact bytes from load to save. A line that is valid UTF-8 is that text; one that is not
// (an old playlist written by Windows software) is read as Windows-1251.

#include <QByteArray>
#include <QString>
#include <QStringList>

// A playlist file larger than this is refused rather than read into memory.
inline constexpr qint64 MaxPlaylistFileSize = 64 * 1024 * 1024;

// Lines as bytes, as the file holds them.
QList<QByteArray> ParsePlaylistLines(const QByteArray& text);
QByteArray FormatPlaylistLines(const QList<QByteArray>& lines);
QList<QByteArray> LoadPlaylistLines(const QString& path);
void SavePlaylistLines(const QString& path, const QList<QByteArray>& lines);

// The text of a line: UTF-8 when the line is valid UTF-8, else Windows-1251.
QString LineText(const QByteArray& line);
// The bytes of a line as text: none of a line that LineText would give differently.
bool IsUtf8(const QByteArray& line);

// The path of the file a line names, as Qt and the media libraries open it: the line's
// text when it is UTF-8; for a line that is not, the file under its exact bytes when there
// is one, else its Windows-1251 text. Such a file is reached through a link with a UTF-8
// name (Qt names files in UTF-8) that this makes in the user's private runtime folder, or
// reuses when the same line was reached before; the links go when the program ends.
QString MakeOpenablePath(const QByteArray& line);

// Removes the links that programs which no longer run left behind (killed before they could
// remove them). Run at start.
void RemoveLinksOfEndedPrograms();

// A message with every link MakeOpenablePath made replaced by the line the user sees.
QString WithLinesForLinks(QString message);

// Lines as text (LineText), and text written as UTF-8.
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
