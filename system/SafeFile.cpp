#include "system/SafeFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libgen.h>
#include <climits>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace safefile {
namespace {

// The system's words for an error, in English whatever the locale: they follow the
// program's own English text in one message.
QString SystemReason(int error)
{
    const char* text = ::strerrordesc_np(error);
    return text ? QString::fromLatin1(text) : QStringLiteral("Unknown error %1").arg(error);
}

[[noreturn]] void Fail(int error) { throw ESafeFileError(SystemReason(error)); }

QString NotRegularReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("It is a folder, not a file");
    return QStringLiteral("It is not a regular file");
}

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports close's own failure (some file systems report a full disk only here).
    int Close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

QByteArray FolderOf(const QByteArray& path)
{
    QByteArray copy = path;
    return QByteArray(::dirname(copy.data()));
}

QByteArray BaseNameOf(const QByteArray& path)
{
    QByteArray copy = path;
    return QByteArray(::basename(copy.data()));
}

// A folder that someone other than the user may write into: a link or file planted there
// is not the user's doing.
bool OthersCanWrite(const QByteArray& folder)
{
    struct stat st = {};
    if (::stat(folder.constData(), &st) != 0)
        return true; // unknown: assume the worst
    return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 || st.st_uid != ::geteuid();
}

// The process's file-creation mask, read without changing it (setting it to read it back
// would let a file another thread creates meanwhile get the wrong permissions).
mode_t CurrentUmask()
{
    const mode_t mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("Umask:")) {
                    bool ok = false;
                    const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                    if (ok)
                        return mode_t(value & 0777);
                }
            }
        }
        return mode_t(022); // a kernel that does not say: the usual mask
    }();
    return mask;
}

// The replacement keeps what the file was: its owner and group where the system lets the
// user give them, its permissions, and its extended attributes (access control lists among
// them) where they can be copied.
void KeepIdentity(const QByteArray& original, const struct stat& st, int fd)
{
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        const int groupKept = ::fchown(fd, uid_t(-1), st.st_gid); // a group of the user's own
        static_cast<void>(groupKept);
    }
    if (::fchmod(fd, st.st_mode & 07777) != 0)
        Fail(errno);
    const ssize_t size = ::llistxattr(original.constData(), nullptr, 0);
    if (size <= 0)
        return;
    QByteArray names(size, '\0');
    const ssize_t got = ::llistxattr(original.constData(), names.data(), size_t(names.size()));
    for (qsizetype at = 0; got > 0 && at < got;) {
        const char* name = names.constData() + at;
        at += qsizetype(std::strlen(name)) + 1;
        const ssize_t length = ::lgetxattr(original.constData(), name, nullptr, 0);
        if (length < 0 || length > 65536)
            continue;
        QByteArray value(length, '\0');
        if (::lgetxattr(original.constData(), name, value.data(), size_t(value.size())) == length)
        {
            const int copied = ::fsetxattr(fd, name, value.constData(), size_t(value.size()), 0);
            static_cast<void>(copied); // as far as the system allows
        }
    }
}

void WriteAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
        }
        if (n == 0)
            Fail(ENOSPC);
        p += n;
        left -= n;
    }
}

// Writes the bytes over the file itself, keeping its inode (and so its other names).
void WriteInPlace(const QByteArray& target, const QByteArray& bytes)
{
    Fd fd(::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() < 0)
        Fail(errno);
    struct stat st = {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw ESafeFileError(NotRegularReason(st.st_mode));
    WriteAll(fd.get(), bytes);
    if (::ftruncate(fd.get(), bytes.size()) != 0 || ::fsync(fd.get()) != 0)
        Fail(errno);
    if (fd.Close() != 0)
        Fail(errno);
}

// A descriptor open for reading on a regular file, refused otherwise; st is its status.
int OpenRegular(const QString& path, struct stat& st)
{
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0)
        Fail(errno);
    if (!S_ISREG(st.st_mode))
        throw ESafeFileError(NotRegularReason(st.st_mode));
    // O_NONBLOCK: should the name have been swapped for a FIFO since the check, open
    // returns at once instead of waiting for a writer; fstat then tells.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        Fail(errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw ESafeFileError(NotRegularReason(st.st_mode));
    }
    return fd;
}

// A folder that exists, is no link, belongs to the user and that nobody else may enter.
bool IsPrivateFolder(const QByteArray& path)
{
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

} // namespace

void RequireRegularFileOrMissing(const QString& path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        throw ESafeFileError(NotRegularReason(st.st_mode));
}

void RequireReadableRegularFile(const QString& path)
{
    struct stat st = {};
    Fd fd(OpenRegular(path, st));
}

QByteArray ReadRegularFile(const QString& path, qint64 maxSize, const QString& tooLargeReason)
{
    struct stat st = {};
    Fd fd(OpenRegular(path, st));
    if (st.st_size > maxSize)
        throw ESafeFileError(tooLargeReason);

    QByteArray data;
    data.resize(qsizetype(st.st_size));
    qsizetype have = 0;
    for (;;) {
        if (have == data.size()) {
            if (have > maxSize)
                throw ESafeFileError(tooLargeReason); // the file grew while being read
            data.resize(qMin<qint64>(maxSize + 1, have + 65536));
            if (have == data.size())
                break;
        }
        const ssize_t n = ::read(fd.get(), data.data() + have, size_t(data.size() - have));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
        }
        if (n == 0)
            break;
        have += n;
    }
    if (have > maxSize)
        throw ESafeFileError(tooLargeReason);
    data.truncate(have);
    return data;
}

void ReplaceFile(const QString& path, const QByteArray& bytes)
{
    QByteArray target = QFile::encodeName(path);
    struct stat st = {};
    bool exists = false;
    // Follow the user's own links (a settings file linked from elsewhere), at most a few,
    // but never a link in a folder that others can write.
    for (int hops = 0;; ++hops) {
        exists = ::lstat(target.constData(), &st) == 0;
        if (!exists && errno != ENOENT)
            Fail(errno);
        if (!exists || !S_ISLNK(st.st_mode))
            break;
        if (OthersCanWrite(FolderOf(target)))
            throw ESafeFileError(QStringLiteral("It is a symbolic link in a folder that other users can write"));
        if (hops == 8)
            Fail(ELOOP);
        QByteArray link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.constData(), link.data(), size_t(link.size()));
        if (n < 0)
            Fail(errno);
        link.truncate(n);
        target = link.startsWith('/') ? link : FolderOf(target) + '/' + link;
    }
    const QByteArray folder = FolderOf(target);
    if (exists && !S_ISREG(st.st_mode))
        throw ESafeFileError(NotRegularReason(st.st_mode));
    if (exists && st.st_uid != ::geteuid() && OthersCanWrite(folder))
        throw ESafeFileError(QStringLiteral("The file belongs to another user"));

    // A file the user may not write is not replaced behind its back (renaming over it
    // needs only the folder).
    if (exists && ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
        Fail(errno);

    // mkostemp creates its file exclusively, so it cannot be a planted link either. The
    // name fits the system's limit however long the file's own name is.
    QByteArray temporary = folder + "/." + BaseNameOf(target).left(NAME_MAX - 8) + ".XXXXXX";
    Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0)
        Fail(errno);
    bool keepTemporary = false;
    try {
        if (exists)
            KeepIdentity(target, st, fd.get());
        else if (::fchmod(fd.get(), 0666 & ~CurrentUmask()) != 0)
            Fail(errno);
        WriteAll(fd.get(), bytes);
        if (::fsync(fd.get()) != 0)
            Fail(errno);
        if (fd.Close() != 0)
            Fail(errno);
        if (exists && st.st_nlink > 1) {
            // Other names share this file: it is written in place, now that the whole of it
            // is safely in the temporary file, so that every name sees the new contents.
            keepTemporary = true;
            WriteInPlace(target, bytes);
            keepTemporary = false;
            ::unlink(temporary.constData());
            return;
        }
        if (::rename(temporary.constData(), target.constData()) != 0)
            Fail(errno);
    } catch (const ESafeFileError& e) {
        if (!keepTemporary) {
            ::unlink(temporary.constData());
            throw;
        }
        throw ESafeFileError(e.Reason + QStringLiteral("; the new contents are kept in ") + QFile::decodeName(temporary));
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
}

QString PrivateRuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && IsPrivateFolder(runtime))
        return QFile::decodeName(runtime);
    // A folder of our own under the user's cache folder ($XDG_CACHE_HOME, by default
    // ~/.cache), made 0700 by us: no other user can take its name first, as one could a
    // guessable name in the shared temporary folder.
    QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (!cache.startsWith('/'))
        cache = QFile::encodeName(QDir::homePath()) + "/.cache";
    const QByteArray own = cache + "/lumivo-runtime";
    if (!MakePrivatePath(QFile::decodeName(cache)) || (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST))
        return QString();
    return IsPrivateFolder(own) ? QFile::decodeName(own) : QString();
}

bool MakePrivatePath(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (name.isEmpty() || ::stat(name.constData(), &st) == 0)
        return !name.isEmpty() && S_ISDIR(st.st_mode);
    const QByteArray parent = FolderOf(name);
    if (parent != name && !MakePrivatePath(QFile::decodeName(parent)))
        return false;
    return ::mkdir(name.constData(), 0700) == 0 || errno == EEXIST;
}

} // namespace safefile
