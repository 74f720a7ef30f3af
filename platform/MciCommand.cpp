#include "platform/MciCommand.h"

#include <QFile>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

QStringList Mci::DefaultDrives() { return {QStringLiteral("/dev/cdrom"), QStringLiteral("/dev/sr0")}; }

int MciSendString(const QString& command, const QStringList& drives)
{
    const QString normal = command.simplified().toLower();
    unsigned long request;
    if (normal == QLatin1String("set cdaudio door open wait"))
        request = CDROMEJECT;
    else if (normal == QLatin1String("set cdaudio door closed wait"))
        request = CDROMCLOSETRAY;
    else
        return Mci::UnrecognizedCommand;

    for (const QString& drive : drives) {
        // O_NONBLOCK opens a drive without a disc in it.
        const int fd = ::open(QFile::encodeName(drive).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        const int result = ::ioctl(fd, request, 0);
        ::close(fd);
        return result == 0 ? Mci::NoError : Mci::DeviceNotReady;
    }
    return Mci::CannotOpenDevice;
}
