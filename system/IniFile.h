#pragma once

// A small initialisation-file module with the semantics of the Windows profile functions:
// "[Section]" headers and "key=value" lines; section and key names compared without regard
// to case; the first matching section and key win; values trimmed of blanks and tabs, and a
// value in matching quotes loses them; at most 2047 characters of a value are read. A write
// creates the file and the section as needed and changes nothing else in the file. Text is
// UTF-8 and bytes we do not touch stay as they are. Every write replaces the file atomically
// (temporary file + rename), so a crash or a full disk never leaves it half-written.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace Ini {

// Longest value that is read, in characters.
inline constexpr int MaxValueLength = 2047;
// Larger files are not read (defaults apply) and not rewritten (a write fails).
inline constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

// The value of key in section of the file text, trimmed and unquoted but not cut to length;
// nothing when the section or key is missing.
std::optional<QByteArray> FindValue(const QByteArray& text, const QString& section, const QString& key);

// The file text with key in section set to value; the section is appended when missing and
// the key added at the end of the section when missing. Line breaks in value become blanks.
QByteArray SetValue(const QByteArray& text, const QString& section, const QString& key, const QString& value);

} // namespace Ini

class TIniFile {
public:
    explicit TIniFile(QString fileName) : m_fileName(std::move(fileName)) {}

    const QString& FileName() const { return m_fileName; }

    // Reads never fail: a missing or unreadable file, section or key gives the default.
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Decimal integer with an optional sign; anything else, or a value out of range, gives the default.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    // An integer value: set when not zero.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    // Throws EIniFileException ("Unable to write to %s") when the file cannot be written.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    // Several keys of a section in one replacement of the file: all of them or none.
    void WriteStrings(const QString& section, const QList<std::pair<QString, QString>>& values);

private:
    QString m_fileName;
};

// Parses a decimal integer the way the settings expect: surrounding blanks allowed, optional
// sign, digits only, within the range of int.
std::optional<int> ParseDecimalInt(const QString& text);
