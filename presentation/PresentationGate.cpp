#include "presentation/PresentationGate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QPointer>

#include <deque>

namespace presentation {
namespace {

struct Deferred {
    QPointer<QObject> context;
    std::function<void()> action;
};

int g_busy = 0;
std::deque<Deferred> g_deferred;
bool g_flushPosted = false;

void Flush()
{
    g_flushPosted = false;
    // Each action may itself present (and so defer later ones again): take them one by one.
    while (g_busy == 0 && !g_deferred.empty()) {
        Deferred next = std::move(g_deferred.front());
        g_deferred.pop_front();
        if (next.context)
            next.action();
    }
}

void PostFlush()
{
    if (g_flushPosted || g_deferred.empty() || !QCoreApplication::instance())
        return;
    g_flushPosted = true;
    // After the presentation has returned to the event loop, not inside it.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &Flush, Qt::QueuedConnection);
}

} // namespace

TBusyScope::TBusyScope() { ++g_busy; }

TBusyScope::~TBusyScope()
{
    if (--g_busy == 0)
        PostFlush();
}

void RunWhenIdle(QObject* context, std::function<void()> action)
{
    if (g_busy == 0 && g_deferred.empty()) {
        action();
        return;
    }
    g_deferred.push_back({context, std::move(action)});
    if (g_busy == 0)
        PostFlush();
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs)
{
    if (done())
        return true;
    TBusyScope busy;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(pollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done();
}

} // namespace presentation
