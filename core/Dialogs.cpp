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
    QWidget* active = QApplication::activeWindow();
    QMessageBox box(kind == Kind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, ApplicationTitle(),
                    text, QMessageBox::Ok, active);
    // While the user works in another program (a slide show runs behind it), the box does
    // not take the keyboard from it: a key typed there must not press OK unread.
    if (!active)
        box.setAttribute(Qt::WA_ShowWithoutActivating);
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
