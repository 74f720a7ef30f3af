#pragma once

// A tiny command-string layer for the CD drive's tray: "Set cdaudio door open wait" and
// "Set cdaudio door closed wait" (without regard to case) open and close the tray of the
// first optical drive that answers: drives that cannot be opened or refuse are passed by.
// The call returns when the drive has finished. Any failure (no drive, no disc drive that
// can move its tray, a busy device, an unknown command) is an error code; nothing is shown.

#include <QString>
#include <QStringList>

namespace Mci {
inline constexpr int NoError = 0;
inline constexpr int UnrecognizedCommand = 261;
inline constexpr int DeviceNotReady = 276;
inline constexpr int CannotOpenDevice = 279;

// Optical drives, in the order they are tried: /dev/cdrom, then every drive the system
// lists as an optical one (sysBlock/sr0, sr1, ... as /dev/sr0, /dev/sr1, ...).
QStringList DefaultDrives(const QString& sysBlock = QStringLiteral("/sys/class/block"));
} // namespace Mci

int MciSendString(const QString& command, const QStringList& drives = Mci::DefaultDrives());
