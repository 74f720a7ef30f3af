#include "system/OpticalDrive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace OpticalDrive {

QStringList Drives(const QString& sysBlock)
{
    QStringList drives{QStringLiteral("/dev/cdrom")};
    QStringList names = QDir(sysBlock).entryList({QStringLiteral("sr*")}, QDir::AllEntries | QDir::System);
    // sr2 before sr10
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const QString& name : names) {
        bool number = false;
        name.mid(2).toUInt(&number);
        if (number)
            drives << QStringLiteral("/dev/") + name;
    }
    return drives;
}

namespace {

TResult MoveTray(unsigned long request, const QStringList& drives)
{
    TResult outcome = TResult::NoDrive;
    QStringList tried;
    for (const QString& drive : drives) {
        // /dev/cdrom is usually a link to one of the others: each device once.
        const QString device = QFileInfo(drive).canonicalFilePath();
        if (device.isEmpty() || tried.contains(device))
            continue;
        tried << device;
        // O_NONBLOCK opens a drive without a disc in it.
        const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        const int result = ::ioctl(fd, request, 0);
        ::close(fd);
        if (result == 0)
            return TResult::Done;
        outcome = TResult::NotReady; // and the next drive is tried
    }
    return outcome;
}

} // namespace

TResult OpenTray(const QStringList& drives) { return MoveTray(CDROMEJECT, drives); }

TResult CloseTray(const QStringList& drives) { return MoveTray(CDROMCLOSETRAY, drives); }

} // namespace OpticalDrive
