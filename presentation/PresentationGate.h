#pragma once

// One presentation at a time. The clip player has to let the event loop run while it
// waits for its media backend (opening a clip, its first video frame); while it does, the
// program is "busy presenting". Commands that would start another presentation or change
// the running one (a slide tick, a clip's completion report, a request from a second
// start, a tray command) go through RunWhenIdle: they run at once when nothing is being
// presented, and otherwise once the presentation has returned, in the order they came.
// (Decoding a GIF is not busy in this sense: it lets messages run by design.)

#include "core/HandlerGuard.h"

#include <QObject>

#include <functional>

namespace presentation {

// Marks the program busy presenting for its lifetime; scopes nest.
class TBusyScope {
public:
    TBusyScope();
    ~TBusyScope();
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;
};

// Runs action now when the program is not busy presenting, else after it is no longer
// busy. A deferred action is dropped when context is destroyed first.
void RunWhenIdle(QObject* context, std::function<void()> action);

// Lets the event loop run, without user input unless `userInput`, until done() holds, the time
// is up or the application is quitting; true when done() holds. done() is asked every pollMs, and at
// once after WakeWaits(). One loop and one timer per wait: once the application quits, a
// new loop returns at once, and so does the wait. While it runs, the program is busy
// presenting.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 10, bool userInput = false);

// Makes the waits in progress ask their done() again without waiting for their next poll.
// Safe from any thread: a worker calls it when it has finished what a wait is for.
void WakeWaits();

// RunWhenIdle for an event handler: the handler runs inside Guarded() whenever it runs.
template <class F>
void RunGuardedWhenIdle(QObject* context, F handler)
{
    RunWhenIdle(context, [handler] { Guarded(handler); });
}

} // namespace presentation
