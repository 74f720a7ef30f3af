#include "system/UnixSignals.h"

#include "core/Quit.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalFds[2] = {-1, -1};
constexpr int TerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int signal)
{
    // Only async-signal-safe calls here; a full pipe means a signal is already pending.
    // write() may set errno, which the interrupted code may be about to read.
    const int savedErrno = errno;
    NoteTerminationSignal();
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t n = ::write(g_signalFds[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

UnixTerminationSignals::UnixTerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0)
        return;
    for (int fd : g_signalFds)
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &UnixTerminationSignals::ReadSignal);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : TerminationSignals)
        ::sigaction(signal, &action, nullptr);
}

UnixTerminationSignals::~UnixTerminationSignals()
{
    for (int signal : TerminationSignals)
        ::signal(signal, SIG_DFL);
    for (int& fd : g_signalFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void UnixTerminationSignals::ReadSignal()
{
    char buffer[16];
    while (::read(g_signalFds[1], buffer, sizeof buffer) > 0) {
    }
    if (m_onSignal)
        m_onSignal();
}
