// libFuzzer target: the playlist text file on arbitrary bytes. Reading never fails; what
// is read, written and read again must give the same lines (the file format's round trip).
// A crash, a sanitizer report, unbounded memory or a broken round trip is a finding.

#include "playlist/PlaylistFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = ParsePlaylistText(bytes);
    const QStringList again = ParsePlaylistText(FormatPlaylistText(lines));
    // A line may hold no line break, and none is lost or added by a save.
    for (const QString& line : lines)
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            std::abort();
    if (again != lines)
        std::abort();
    // Bytes: what is read is written back exactly, and read again the same.
    const QList<QByteArray> raw = ParsePlaylistLines(bytes);
    if (ParsePlaylistLines(FormatPlaylistLines(raw)) != raw)
        std::abort();
    for (const QByteArray& line : raw)
        if (LineText(line).isEmpty() != line.isEmpty())
            std::abort();
    // The wizard's text box keeps the same lines.
    if (TextLines(LinesText(lines)) != lines)
        std::abort();
    return 0;
}
