#include "core/Quit.h"

#include <QCoreApplication>

#include <atomic>

namespace {
// Read by worker threads and written by the signal handler: lock-free atomics are safe in both.
std::atomic<bool> g_quit{false};
std::atomic<bool> g_signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);
}

void RequestQuit(int exitCode)
{
    g_quit = true;
    QCoreApplication::exit(exitCode);
}

bool QuitRequested() { return g_quit; }

void ClearQuitRequest()
{
    g_quit = false;
    g_signalled = false;
}

bool QuitBySignal() { return g_signalled; }

void NoteTerminationSignal()
{
    g_quit = true;
    g_signalled = true;
}
