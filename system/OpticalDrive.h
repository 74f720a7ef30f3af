#pragma once

// The tray of the computer's optical drive. Opening or closing it acts on the first drive
// that answers (drives that cannot be opened or refuse are passed by) and returns when the
// drive has finished. Nothing is shown; the result says what happened.

#include <QString>
#include <QStringList>

namespace OpticalDrive {

enum class TResult {
    Done,
    NotReady, // a drive was found, but none of them would move its tray (busy, no tray)
    NoDrive,  // no optical drive could be opened
};

// Optical drives, in the order they are tried: /dev/cdrom, then every drive the system
// lists as an optical one (sysBlock/sr0, sr1, ... as /dev/sr0, /dev/sr1, ...).
QStringList Drives(const QString& sysBlock = QStringLiteral("/sys/class/block"));

TResult OpenTray(const QStringList& drives = Drives());
TResult CloseTray(const QStringList& drives = Drives());

} // namespace OpticalDrive
