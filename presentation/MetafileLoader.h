#pragma once

// WMF and EMF pictures, drawn by the helper program lumivo-metafile in a process of its
// own with a memory limit, a time limit and a cap on what it returns: a metafile that
// crashes or hangs the metafile libraries is an ordinary error, and the program goes on.

#include <QImage>
#include <QString>

namespace Metafile {
inline constexpr int MaxSide = 4096;                   // longer side of the drawn picture
inline constexpr int TimeLimitMs = 5000;               // wall clock, then the helper is killed
inline constexpr quint64 MemoryLimit = 1024ull << 20;  // address space of the helper

// The helper: $LUMIVO_METAFILE_HELPER, else lumivo-metafile beside the program (a build
// folder), else in ../libexec/lumivo/ from the program (an installed program), else on the
// PATH.
QString HelperPath();
} // namespace Metafile

// Throws ELumivoError with the helper's message, or one of its own when the helper
// crashed, ran out of time or returned something unusable.
QImage RenderMetafile(const QString& fileName, int maxSide = Metafile::MaxSide);
