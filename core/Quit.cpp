#include "core/Quit.h"

#include <QCoreApplication>

#include <csignal>

namespace {
volatile std::sig_atomic_t g_quit = 0;
volatile std::sig_atomic_t g_signalled = 0;
}

void RequestQuit(int exitCode)
{
    g_quit = 1;
    QCoreApplication::exit(exitCode);
}

bool QuitRequested() { return g_quit != 0; }

void ClearQuitRequest()
{
    g_quit = 0;
    g_signalled = 0;
}

bool QuitBySignal() { return g_signalled != 0; }

void NoteTerminationSignal()
{
    g_quit = 1;
    g_signalled = 1;
}
