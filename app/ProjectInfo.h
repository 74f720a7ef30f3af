#pragma once

#include <QString>
#include <QStringList>

// Who makes the program and where to find them, shown in the About and links dialogs.
namespace ProjectInfo {
inline QString Author() { return QStringLiteral("Команда Lumivo"); }
inline QString Site() { return QStringLiteral("https://lumivo.org"); }
inline QString Mail() { return QStringLiteral("team@lumivo.org"); }
inline QStringList Terms()
{
    return {QStringLiteral("Программа распространяется бесплатно и «как есть»,"),
            QStringLiteral("без каких-либо гарантий. Копируйте и делитесь ею"),
            QStringLiteral("свободно; авторы не отвечают за последствия.")};
}
} // namespace ProjectInfo
