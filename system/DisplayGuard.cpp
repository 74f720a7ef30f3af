#include "system/DisplayGuard.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

struct THeldMessage {
    QtMsgType type;
    QByteArray category, file, function;
    int line;
    QString text;
};

QtMessageHandler g_previous = nullptr;
QList<THeldMessage>& Held()
{
    static QList<THeldMessage> held;
    return held;
}

QString DisplayName()
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        return qEnvironmentVariable("DISPLAY");
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return qEnvironmentVariable("WAYLAND_DISPLAY");
    return QString();
}

void Handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        const QString display = DisplayName();
        if (display.isEmpty())
            std::fprintf(stderr, "lumivo: no display to show windows on (DISPLAY is not set); "
                                 "Lumivo runs in a graphical desktop session\n");
        else
            std::fprintf(stderr, "lumivo: cannot open the display \"%s\"; Lumivo runs in a graphical desktop session\n",
                         qPrintable(display));
        std::fflush(stderr);
        std::_Exit(1);
    }
    Held().append({type, context.category, context.file, context.function, context.line, text});
}

} // namespace

TDisplayGuard::TDisplayGuard() { g_previous = qInstallMessageHandler(Handle); }

TDisplayGuard::~TDisplayGuard()
{
    qInstallMessageHandler(g_previous);
    for (const THeldMessage& m : std::as_const(Held())) {
        const QMessageLogContext context(m.file.constData(), m.line, m.function.constData(), m.category.constData());
        if (g_previous)
            g_previous(m.type, context, m.text);
        else
            qt_message_output(m.type, context, m.text);
    }
    Held().clear();
}
