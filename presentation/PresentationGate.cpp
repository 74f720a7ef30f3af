#include "presentation/PresentationGate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QPointer>

#include <atomic>
#include <deque>
#include <vector>

namespace presentation {
namespace {

struct Deferred {
    QPointer<QObject> context;
    std::function<void()> action;
};

int g_busy = 0;
std::deque<Deferred> g_deferred;
bool g_flushPosted = false;

// The waits in progress, innermost last, each by what makes it look again; and the object
// on the user interface's thread that a worker's wake-up is posted to.
std::vector<std::function<void()>> g_waits;
std::atomic<QObject*> g_waker{nullptr};

QObject* Waker()
{
    if (!g_waker.load()) // made, and never destroyed, on the user interface's thread
        g_waker.store(new QObject);
    return g_waker.load();
}

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

bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs, bool userInput)
{
    Waker(); // before the first look, so that a wake-up after it is not missed
    if (done())
        return true;
    TBusyScope busy;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    const auto check = [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    };
    QTimer poll;
    poll.setInterval(pollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    poll.start();
    g_waits.push_back(check);
    const struct TListed {
        ~TListed() { g_waits.pop_back(); }
    } listed;
    loop.exec(userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return done();
}

void WakeWaits()
{
    if (QObject* waker = g_waker.load())
        QMetaObject::invokeMethod(
            waker,
            [] {
                for (const std::function<void()>& check : std::vector(g_waits))
                    check();
            },
            Qt::QueuedConnection);
}

} // namespace presentation
