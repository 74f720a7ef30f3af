#include "system/SettingsLocation.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace {

QString DefaultConfigHome()
{
    QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

} // namespace

QString SettingsFilePath(const QString& executablePath, const QString& configHome)
{
    return SettingsFilePath(executablePath, configHome, [](const QString& folder) {
        return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
    });
}

QString SettingsFilePath(const QString& executablePath, const QString& configHome,
                         const std::function<bool(const QString& folder)>& isWritableFolder)
{
    QFileInfo exe(executablePath);
    QString fileName = exe.completeBaseName() + QStringLiteral(".INI");
    QString folder = exe.absolutePath();
    const bool systemFolder = folder == QLatin1String("/usr") || folder.startsWith(QLatin1String("/usr/")) ||
                              folder == QLatin1String("/bin") || folder == QLatin1String("/sbin");
    if (!systemFolder && isWritableFolder(folder))
        return folder + QLatin1Char('/') + fileName;
    QString home = configHome.isEmpty() ? DefaultConfigHome() : configHome;
    return home + QStringLiteral("/lumivo/") + fileName;
}
