#pragma once

#include <QString>

#include <functional>

// Where the settings file lives: the executable's path with its extension replaced by
// ".INI" (the executable "lumivo" keeps "lumivo.INI" beside it). When the executable's
// folder cannot be written, or is a system folder that the package manager owns (under
// /usr, /bin, /sbin: writable for root, but no place for a user's settings), the same file
// name under configHome/lumivo/ is used for reading and writing. configHome empty means
// $XDG_CONFIG_HOME, or ~/.config when that is unset.
QString SettingsFilePath(const QString& executablePath, const QString& configHome = QString());

// The same, with the test for a writable folder given (the real one asks the system).
QString SettingsFilePath(const QString& executablePath, const QString& configHome,
                         const std::function<bool(const QString& folder)>& isWritableFolder);
