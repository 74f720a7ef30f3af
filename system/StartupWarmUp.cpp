#include "system/StartupWarmUp.h"

#include <QDBusConnection>
#include <QThreadPool>

#include <fontconfig/fontconfig.h>

#include <clocale>
#include <locale.h>
#include <thread>

void WarmUpFonts()
{
    // fontconfig makes its configuration once, thread-safely: whichever caller comes
    // second finds it made (or, while it is being made, makes one too and keeps the first).
    // Its configuration holds numbers with a point, read with the C library while the toolkit
    // sets the user's locale (a decimal comma in many): this thread reads them in the C locale
    // of its own.
    std::thread([] {
        const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
        if (c)
            ::uselocale(c);
        FcConfigGetCurrent();
        if (c) {
            ::uselocale(LC_GLOBAL_LOCALE);
            ::freelocale(c);
        }
    }).detach();
}

void WarmUpSessionBus()
{
    // The connection is the toolkit's one shared session bus connection. The global pool's
    // work is waited for when the application ends, so the connection is never being made
    // while the toolkit is torn down.
    QThreadPool::globalInstance()->start([] { QDBusConnection::sessionBus(); });
}
