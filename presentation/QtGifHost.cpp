#include "presentation/QtGifHost.h"

#include "core/Dialogs.h"
#include "core/Quit.h"
#include "widgets/ApplicationCursor.h"

#include <QCoreApplication>

void TQtGifHost::SetBusyCursor(bool busy) { SetApplicationWideCursor(busy ? crHourGlass : crDefault); }

void TQtGifHost::ShowNotice(const std::string& text) { Dialogs::ShowMessage(QString::fromStdString(text)); }

void TQtGifHost::ProcessMessages() { QCoreApplication::processEvents(); }

namespace {
bool g_cancelled = false;
} // namespace

void CancelGifLoad() { g_cancelled = true; }
bool GifLoadCancelled() { return g_cancelled; }
void ClearGifLoadCancel() { g_cancelled = false; }

bool TQtGifHost::StopRequested() { return QuitRequested() || g_cancelled; }

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
