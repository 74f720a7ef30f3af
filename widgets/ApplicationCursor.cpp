#include "widgets/ApplicationCursor.h"

#include <QGuiApplication>
#include <QHash>

namespace {

QHash<int, QCursor>& Table()
{
    static QHash<int, QCursor> table;
    return table;
}

int g_wideCursor = crDefault;

} // namespace

void RegisterApplicationCursor(int index, const QCursor& cursor)
{
    if (index > 0)
        Table().insert(index, cursor);
}

bool IsApplicationCursorRegistered(int index) { return Table().contains(index); }

QCursor ApplicationCursorAt(int index)
{
    if (index == crHourGlass)
        return QCursor(Qt::WaitCursor);
    return Table().value(index, QCursor(Qt::ArrowCursor));
}

void SetApplicationWideCursor(int index)
{
    g_wideCursor = index;
    if (index == crDefault) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        return;
    }
    const QCursor cursor = ApplicationCursorAt(index);
    if (QGuiApplication::overrideCursor())
        QGuiApplication::changeOverrideCursor(cursor);
    else
        QGuiApplication::setOverrideCursor(cursor);
}

int ApplicationWideCursor() { return g_wideCursor; }
