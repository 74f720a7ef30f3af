#include "presentation/QtGifHost.h"

#include "core/Dialogs.h"
#include "core/Quit.h"
#include "widgets/ApplicationCursor.h"

#include <QCoreApplication>

void TQtGifHost::SetBusyCursor(bool busy) { SetApplicationWideCursor(busy ? crHourGlass : crDefault); }

void TQtGifHost::ShowNotice(const std::string& text) { Dialogs::ShowMessage(QString::fromStdString(text)); }

void TQtGifHost::ProcessMessages() { QCoreApplication::processEvents(); }

bool TQtGifHost::StopRequested() { return QuitRequested(); }

void TQtGifHost::ShowError(const std::string& text)
{
    if (!QuitRequested())
        Dialogs::ShowError(QString::fromStdString(text));
}

gif::IGifHost& ProgramGifHost()
{
    static TQtGifHost host;
    return host;
}
