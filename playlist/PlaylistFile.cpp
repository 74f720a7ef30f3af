#include "playlist/PlaylistFile.h"

#include "core/Errors.h"
#include "system/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Windows-1251 from 0x80 up; 0xC0 to 0xFF are А to я in order. 0x98 has no character.
constexpr char16_t Cp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

QString FromCp1251(const QByteArray& line)
{
    QString text;
    text.reserve(line.size());
    for (const char c : line) {
        const auto b = uchar(c);
        if (b < 0x80)
            text += QChar(b);
        else if (b < 0xC0)
            text += QChar(Cp1251High[b - 0x80]);
        else
            text += QChar(char16_t(0x0410 + (b - 0xC0)));
    }
    return text;
}

// Links made for lines whose bytes are not UTF-8: the newest few stay (a clip may still
// be playing through one), and all go when the program ends.
struct LineLinks {
    struct Link {
        QByteArray target; // the file's bytes, as the link names it
        QString path, text; // the link, and the line as the user sees it
    };
    QList<Link> made; // oldest first
    int counter = 0;
    ~LineLinks()
    {
        for (const Link& link : made)
            QFile::remove(link.path);
    }
};

LineLinks& Links()
{
    static LineLinks links;
    return links;
}

} // namespace

bool IsUtf8(const QByteArray& line)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(line);
    Q_UNUSED(text);
    return !decoder.hasError();
}

QString LineText(const QByteArray& line) { return IsUtf8(line) ? QString::fromUtf8(line) : FromCp1251(line); }

QString MakeOpenablePath(const QByteArray& line)
{
    if (IsUtf8(line))
        return QString::fromUtf8(line);
    const QString text = FromCp1251(line);
    QByteArray raw = line;
    if (!raw.startsWith('/'))
        raw = QFile::encodeName(QDir::currentPath()) + '/' + raw;
    struct stat st = {};
    const QString folder = safefile::PrivateRuntimeFolder();
    if (::stat(raw.constData(), &st) != 0 || folder.isEmpty())
        return text; // no file under those bytes: the name as Windows-1251 text
    LineLinks& links = Links();
    // The same line reached again (the double-click, then the GIF it shows) keeps its link.
    for (const LineLinks::Link& made : std::as_const(links.made))
        if (made.target == raw && QFileInfo(made.path).isSymLink())
            return made.path;
    const QString suffix = QFileInfo(text).suffix();
    const QString link = QStringLiteral("%1/lumivo-line-%2-%3%4")
                             .arg(folder)
                             .arg(::getpid())
                             .arg(++links.counter)
                             .arg(suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    QFile::remove(link);
    if (::symlink(raw.constData(), QFile::encodeName(link).constData()) != 0)
        return text;
    links.made.append({raw, link, text});
    while (links.made.size() > 4)
        QFile::remove(links.made.takeFirst().path);
    return link;
}

void RemoveLinksOfEndedPrograms()
{
    const QString folder = safefile::PrivateRuntimeFolder();
    if (folder.isEmpty())
        return;
    const QStringList names = QDir(folder).entryList({QStringLiteral("lumivo-line-*")}, QDir::System | QDir::Files);
    for (const QString& name : names) {
        const pid_t pid = pid_t(name.section(QLatin1Char('-'), 2, 2).toLongLong());
        if (pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            QFile::remove(folder + QLatin1Char('/') + name);
    }
}

QString WithLinesForLinks(QString message)
{
    for (const LineLinks::Link& link : std::as_const(Links().made))
        message.replace(link.path, link.text);
    return message;
}

QList<QByteArray> ParsePlaylistLines(const QByteArray& text)
{
    QList<QByteArray> lines;
    const qsizetype nul = text.indexOf('\0');
    const qsizetype end = nul < 0 ? text.size() : nul;
    const char* p = text.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        lines << QByteArray(p + start, i - start);
        if (p[i] == '\r' && i + 1 < end && p[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < end)
        lines << QByteArray(p + start, end - start);
    return lines;
}

QByteArray FormatPlaylistLines(const QList<QByteArray>& lines)
{
    QByteArray out;
    for (const QByteArray& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

QStringList ParsePlaylistText(const QByteArray& text)
{
    QStringList lines;
    for (const QByteArray& line : ParsePlaylistLines(text))
        lines << LineText(line);
    return lines;
}

QByteArray FormatPlaylistText(const QStringList& entries)
{
    QList<QByteArray> lines;
    for (const QString& entry : entries)
        lines << entry.toUtf8();
    return FormatPlaylistLines(lines);
}

QList<QByteArray> LoadPlaylistLines(const QString& path)
{
    try {
        return ParsePlaylistLines(safefile::ReadRegularFile(
            path, MaxPlaylistFileSize,
            QStringLiteral("The file is larger than %1 MB, too large for a playlist")
                .arg(MaxPlaylistFileSize / (1024 * 1024))));
    } catch (const ESafeFileError& e) {
        throw EFOpenError(path, e.Reason);
    }
}

void SavePlaylistLines(const QString& path, const QList<QByteArray>& lines)
{
    try {
        safefile::ReplaceFile(path, FormatPlaylistLines(lines));
    } catch (const ESafeFileError& e) {
        throw EFCreateError(path, e.Reason);
    }
}

QStringList LoadPlaylistFile(const QString& path)
{
    QStringList lines;
    for (const QByteArray& line : LoadPlaylistLines(path))
        lines << LineText(line);
    return lines;
}

void SavePlaylistFile(const QString& path, const QStringList& entries)
{
    QList<QByteArray> lines;
    for (const QString& entry : entries)
        lines << entry.toUtf8();
    SavePlaylistLines(path, lines);
}

QStringList TextLines(const QString& text) { return ParsePlaylistText(text.toUtf8()); }

QString LinesText(const QStringList& lines)
{
    QString text = lines.join(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        text += QLatin1Char('\n');
    return text;
}
