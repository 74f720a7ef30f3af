#include "system/StartupWarmUp.h"

#include <QDBusConnection>
#include <QThreadPool>

#include <fontconfig/fontconfig.h>

#include <thread>

void WarmUpFonts()
{
    // fontconfig makes its configuration once, thread-safely: whichever caller comes
    // second finds it made (or, while it is being made, makes one too and keeps the first).
    std::thread([] { FcConfigGetCurrent(); }).detach();
}

void WarmUpSessionBus()
{
    // The connection is the toolkit's one shared session bus connection. The global pool's
    // work is waited for when the application ends, so the connection is never being made
    // while the toolkit is torn down.
    QThreadPool::globalInstance()->start([] { QDBusConnection::sessionBus(); });
}
