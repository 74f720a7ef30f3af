#pragma once

// Reading and writing whole files without the hazards of the file system:
// - only regular files are read: a FIFO, device, socket or folder is refused at once,
//   never opened in a way that blocks;
// - a write replaces the file atomically (temporary file in the same folder, every write
//   checked, flushed to disk, then renamed), so a full disk, a quota or a file-size limit
//   is reported and the previous file stays as it was;
// - in a folder that other users can write (/tmp, a shared folder), a write never follows
//   a symbolic link and never replaces a file that is not the user's own.
// Failures throw ESafeFileError with the reason in the system's words.

#include <QByteArray>
#include <QString>

#include <stdexcept>

class ESafeFileError : public std::runtime_error {
public:
    explicit ESafeFileError(const QString& reason)
        : std::runtime_error(reason.toUtf8().toStdString()), Reason(reason) {}
    QString Reason;
};

namespace safefile {

// The whole file, at most maxSize bytes (larger: ESafeFileError with tooLargeReason).
QByteArray ReadRegularFile(const QString& path, qint64 maxSize, const QString& tooLargeReason);

// Throws ESafeFileError when path names something that exists and is not a regular file.
void RequireRegularFileOrMissing(const QString& path);
// Throws ESafeFileError unless path is a regular file that can be opened for reading.
void RequireReadableRegularFile(const QString& path);

// Replaces (or creates) the file with exactly these bytes. A file that exists keeps its
// permissions; a new one gets the usual ones (0666 less the umask).
void ReplaceFile(const QString& path, const QByteArray& bytes);

// Creates a folder and its missing parents, each new one readable by the user only.
bool MakePrivatePath(const QString& path);

// A folder only the user can enter, for sockets and links of the running program:
// $XDG_RUNTIME_DIR when it is such a folder, else a 0700 folder of the user's own under
// the user's cache folder; empty when none can be had safely.
QString PrivateRuntimeFolder();

} // namespace safefile
