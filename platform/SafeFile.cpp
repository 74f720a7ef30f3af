#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safefile {
namespace {

QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

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

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
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

    // mkostemp creates its file exclusively, so it cannot be a planted link either.
    QByteArray temporary = folder + "/." + BaseNameOf(target) + ".XXXXXX";
    Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0)
        Fail(errno);
    try {
        const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
        if (::fchmod(fd.get(), mode) != 0)
            Fail(errno);
        WriteAll(fd.get(), bytes);
        if (::fsync(fd.get()) != 0)
            Fail(errno);
        if (fd.Close() != 0)
            Fail(errno);
        if (::rename(temporary.constData(), target.constData()) != 0)
            Fail(errno);
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
    // A folder of our own in the temporary folder, made 0700 by us. A name there that
    // someone else took first is not used.
    const QByteArray own = QFile::encodeName(QDir::tempPath()) + "/lumivo-" + QByteArray::number(::geteuid());
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST)
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
