#include "core/Helpers.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

QString HelperPath(const char* variable, const QString& name)
{
    const QString chosen = qEnvironmentVariable(variable);
    if (!chosen.isEmpty())
        return chosen;
    // Also before the toolkit starts: the folder of the program's own file.
    const QString programDir = QCoreApplication::instance()
                                   ? QCoreApplication::applicationDirPath()
                                   : QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
    const QStringList candidates = {programDir + QLatin1Char('/') + name,
                                    programDir + QStringLiteral("/../libexec/lumivo/") + name};
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    return QStandardPaths::findExecutable(name);
}
