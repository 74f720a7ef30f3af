#pragma once

// File helpers shared by the tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testfiles {

// Writes bytes to name in dir; returns the file's path (empty when it could not be written).
inline QString Write(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return f.fileName();
}

inline QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Runs work in a child process whose files may grow to at most `limit` bytes, as on a
// full disk; returns the child's exit status (work's result), or -1 when it did not end
// normally.
inline int WithFullDisk(rlim_t limit, const std::function<int()>& work)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &size);
        ::_exit(work());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace testfiles
