#include "core/Dialogs.h"

#include "core/AppTitle.h"

#include <QApplication>
#include <QMessageBox>

namespace Dialogs {
namespace {

Handler& CurrentHandler()
{
    static Handler handler;
    return handler;
}

void ShowReal(Kind kind, const QString& text)
{
    QMessageBox box(kind == Kind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, ApplicationTitle(),
                    text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void Show(Kind kind, const QString& text)
{
    if (const Handler& handler = CurrentHandler())
        handler(kind, text);
    else
        ShowReal(kind, text);
}

} // namespace

Handler SetHandler(Handler handler)
{
    Handler previous = std::move(CurrentHandler());
    CurrentHandler() = std::move(handler);
    return previous;
}

void ShowError(const QString& text) { Show(Kind::Error, text); }
void ShowMessage(const QString& text) { Show(Kind::Message, text); }

} // namespace Dialogs
