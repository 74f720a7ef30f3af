#include "system/IniFile.h"

#include "core/Errors.h"

#include "system/SafeFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace Ini {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray TrimBlanks(QByteArray s)
{
    qsizetype begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.mid(begin, end - begin);
}

bool SameName(const QByteArray& bytes, const QString& name)
{
    return QString::fromUtf8(bytes).compare(name, Qt::CaseInsensitive) == 0;
}

// One line of the file: where it starts, where its text ends (before CR LF / LF) and where
// the next line starts.
struct Line {
    qsizetype begin, textEnd, next;
};

class Lines {
public:
    explicit Lines(const QByteArray& text) : m_text(text) {}
    bool Next(Line& line)
    {
        if (m_pos >= m_text.size())
            return false;
        qsizetype nl = m_text.indexOf('\n', m_pos);
        qsizetype next = nl < 0 ? m_text.size() : nl + 1;
        qsizetype end = nl < 0 ? m_text.size() : nl;
        if (end > m_pos && m_text[end - 1] == '\r')
            --end;
        line = {m_pos, end, next};
        m_pos = next;
        return true;
    }

private:
    const QByteArray& m_text;
    qsizetype m_pos = 0;
};

// The name of a section header line, or nothing when the line is not a header.
std::optional<QByteArray> SectionName(const QByteArray& lineText)
{
    QByteArray t = TrimBlanks(lineText);
    if (!t.startsWith('['))
        return std::nullopt;
    qsizetype close = t.indexOf(']');
    return TrimBlanks(t.mid(1, close < 0 ? -1 : close - 1));
}

// Key and raw value of a "key=value" line.
std::optional<std::pair<QByteArray, QByteArray>> KeyValue(const QByteArray& lineText)
{
    qsizetype eq = lineText.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return std::make_pair(TrimBlanks(lineText.left(eq)), lineText.mid(eq + 1));
}

QByteArray Unquote(QByteArray v)
{
    v = TrimBlanks(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

// Location of a key inside a section: the key's line, or where a new key line goes.
struct Place {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine{};
    qsizetype insertAt = -1; // after the section's last non-blank line
};

Place Locate(const QByteArray& text, const QString& section, const QString& key)
{
    Place place;
    bool inSection = false;
    Lines lines(text);
    Line line;
    while (lines.Next(line)) {
        QByteArray lineText = text.mid(line.begin, line.textEnd - line.begin);
        if (auto name = SectionName(lineText)) {
            if (inSection)
                break; // only the first matching section counts
            inSection = SameName(*name, section);
            if (inSection) {
                place.sectionFound = true;
                place.insertAt = line.next;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (auto kv = KeyValue(lineText); kv && SameName(kv->first, key)) {
            place.keyFound = true;
            place.keyLine = line;
            return place;
        }
        if (!TrimBlanks(lineText).isEmpty())
            place.insertAt = line.next;
    }
    return place;
}

QByteArray LineBreakOf(const QByteArray& text)
{
    qsizetype nl = text.indexOf('\n');
    if (nl > 0 && text[nl - 1] == '\r')
        return "\r\n";
    return nl >= 0 ? QByteArray("\n") : QByteArray("\r\n");
}

} // namespace

std::optional<QByteArray> FindValue(const QByteArray& text, const QString& section, const QString& key)
{
    Place place = Locate(text, section, key);
    if (!place.keyFound)
        return std::nullopt;
    QByteArray lineText = text.mid(place.keyLine.begin, place.keyLine.textEnd - place.keyLine.begin);
    return Unquote(KeyValue(lineText)->second);
}

QByteArray SetValue(const QByteArray& text, const QString& section, const QString& key, const QString& value)
{
    QString clean = value;
    clean.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    clean.replace(QChar(0), QLatin1Char(' '));
    const QByteArray keyLine = key.toUtf8() + '=' + clean.toUtf8();
    const QByteArray br = LineBreakOf(text);

    Place place = Locate(text, section, key);
    QByteArray out = text;
    if (place.keyFound) {
        out.replace(place.keyLine.begin, place.keyLine.textEnd - place.keyLine.begin, keyLine);
    } else if (place.sectionFound) {
        QByteArray insert = keyLine + br;
        // A section that ends the file without a final line break needs one first.
        if (place.insertAt == out.size() && !out.isEmpty() && !out.endsWith('\n'))
            insert.prepend(br);
        out.insert(place.insertAt, insert);
    } else {
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += br;
        out += '[' + section.toUtf8() + ']' + br + keyLine + br;
    }
    return out;
}

} // namespace Ini

namespace {

enum class LoadResult { Loaded, Missing, Unusable };

LoadResult LoadFile(const QString& path, QByteArray& text)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT)
        return LoadResult::Missing;
    try {
        text = safefile::ReadRegularFile(path, Ini::MaxFileSize, QString());
    } catch (const ESafeFileError&) {
        return LoadResult::Unusable; // not a regular file, unreadable, or too large
    }
    return LoadResult::Loaded;
}

} // namespace

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    QByteArray text;
    if (LoadFile(m_fileName, text) != LoadResult::Loaded)
        return defaultValue;
    std::optional<QByteArray> raw = Ini::FindValue(text, section, key);
    if (!raw)
        return defaultValue;
    QString value = QString::fromUtf8(*raw);
    if (value.size() > Ini::MaxValueLength) {
        qsizetype cut = Ini::MaxValueLength;
        if (value[cut - 1].isHighSurrogate())
            --cut; // never split a character in two
        value.truncate(cut);
    }
    return value;
}

std::optional<int> ParseDecimalInt(const QString& text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    qsizetype i = (t[0] == QLatin1Char('+') || t[0] == QLatin1Char('-')) ? 1 : 0;
    if (i == t.size())
        return std::nullopt;
    for (qsizetype j = i; j < t.size(); ++j)
        if (t[j] < QLatin1Char('0') || t[j] > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    int value = t.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    return ParseDecimalInt(ReadString(section, key, QString())).value_or(defaultValue);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    WriteStrings(section, {{key, value}});
}

void TIniFile::WriteStrings(const QString& section, const QList<std::pair<QString, QString>>& values)
{
    QByteArray text;
    if (LoadFile(m_fileName, text) == LoadResult::Unusable)
        throw EIniFileException(m_fileName); // never replace a file we could not read whole
    for (const auto& [key, value] : values)
        text = Ini::SetValue(text, section, key, value);

    safefile::MakePrivatePath(QFileInfo(m_fileName).absolutePath());
    try {
        safefile::ReplaceFile(m_fileName, text);
    } catch (const ESafeFileError&) {
        throw EIniFileException(m_fileName);
    }
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
