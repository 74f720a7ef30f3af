#include "playlist/PlaylistFile.h"

#include "platform/Errors.h"

#include "platform/SafeFile.h"

QStringList ParsePlaylistText(const QByteArray& text)
{
    QStringList lines;
    const qsizetype nul = text.indexOf('\0');
    const qsizetype end = nul < 0 ? text.size() : nul;
    const char* p = text.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        lines << QString::fromUtf8(p + start, i - start);
        if (p[i] == '\r' && i + 1 < end && p[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < end)
        lines << QString::fromUtf8(p + start, end - start);
    return lines;
}

QByteArray FormatPlaylistText(const QStringList& entries)
{
    QByteArray out;
    for (const QString& entry : entries) {
        out += entry.toUtf8();
        out += "\r\n";
    }
    return out;
}

QStringList LoadPlaylistFile(const QString& path)
{
    try {
        return ParsePlaylistText(safefile::ReadRegularFile(
            path, MaxPlaylistFileSize,
            QStringLiteral("The file is larger than %1 MB, too large for a playlist")
                .arg(MaxPlaylistFileSize / (1024 * 1024))));
    } catch (const ESafeFileError& e) {
        throw EFOpenError(path, e.Reason);
    }
}

void SavePlaylistFile(const QString& path, const QStringList& entries)
{
    try {
        safefile::ReplaceFile(path, FormatPlaylistText(entries));
    } catch (const ESafeFileError& e) {
        throw EFCreateError(path, e.Reason);
    }
}

QStringList TextLines(const QString& text) { return ParsePlaylistText(text.toUtf8()); }

QString LinesText(const QStringList& lines)
{
    QString text = lines.join(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        text += QLatin1Char('\n');
    return text;
}
