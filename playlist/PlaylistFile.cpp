#include "playlist/PlaylistFile.h"

#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    QFile file(path);
    if (QFileInfo(path).isDir())
        throw EFOpenError(path, QStringLiteral("It is a folder, not a file"));
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(path, file.errorString());
    if (file.size() > MaxPlaylistFileSize)
        throw EFOpenError(path, QStringLiteral("The file is larger than %1 MB, too large for a playlist")
                                    .arg(MaxPlaylistFileSize / (1024 * 1024)));
    const QByteArray text = file.read(MaxPlaylistFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw EFOpenError(path, file.errorString());
    if (text.size() > MaxPlaylistFileSize) // a file that grew, or one without a size (a pipe)
        throw EFOpenError(path, QStringLiteral("The file is larger than %1 MB, too large for a playlist")
                                    .arg(MaxPlaylistFileSize / (1024 * 1024)));
    return ParsePlaylistText(text);
}

void SavePlaylistFile(const QString& path, const QStringList& entries)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(path, file.errorString());
    const QByteArray text = FormatPlaylistText(entries);
    if (file.write(text) != text.size() || !file.commit())
        throw EFCreateError(path, file.errorString());
}

QStringList TextLines(const QString& text) { return ParsePlaylistText(text.toUtf8()); }

QString LinesText(const QStringList& lines)
{
    QString text = lines.join(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        text += QLatin1Char('\n');
    return text;
}
