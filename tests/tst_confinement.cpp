// The helpers' confinement, tried from inside: a child process confines itself as a helper
// does and then tries one way out. Every way out must be refused (or end the child), and what
// a helper needs (threads, reading the system's files, writing to its output) must work.
// A plain program without Qt: the children are forked from a single thread.

#include "../tools/Confinement.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/io_uring.h>
#include <sched.h>
#include <string>
#include <sys/mman.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string g_dir;    // a folder of the test's, outside what a helper may read
pid_t g_parent = 0;   // the test itself: another process of the same user
int g_passed = 0, g_failed = 0;

// Runs `attempt` in a confined child. `escapes`: whether it is a way out (then it must
// fail or end the child) or a need (then it must succeed).
void Try(const char* what, bool escapes, const std::function<bool()>& attempt, const TConfinement* clips = nullptr)
{
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        if (clips)
            Confine(*clips);
        else
            ConfineHelper({});
        ::_exit(attempt() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const bool ok = escapes ? !succeeded : succeeded;
    std::printf("%s: %s %s\n", ok ? "PASS" : "FAIL", escapes ? "refused:" : "allowed:", what);
    (ok ? g_passed : g_failed)++;
}

long Raw(long nr, long a = 0, long b = 0, long c = 0, long d = 0, long e = 0)
{
    return ::syscall(nr, a, b, c, d, e);
}

std::string Path(const char* name) { return g_dir + "/" + name; }

} // namespace

int main()
{
    char dir[] = "/tmp/tst_confinement-XXXXXX";
    if (!::mkdtemp(dir))
        return 1;
    g_dir = dir;
    g_parent = ::getpid();
    const std::string existing = Path("existing");
    ::close(::open(existing.c_str(), O_CREAT | O_WRONLY, 0600));

    // What a helper needs.
    Try("a thread", false, [] {
        bool ran = false;
        std::thread([&] { ran = true; }).join();
        return ran;
    });
    Try("reading the system's files", false, [] { return ::open("/etc/ld.so.cache", O_RDONLY) >= 0; });
    Try("writing to standard output", false, [] { return ::write(1, "", 0) == 0; });
    Try("a pipe of its own", false, [] {
        int fds[2];
        return ::pipe2(fds, O_CLOEXEC) == 0 && ::write(fds[1], "x", 1) == 1;
    });

    // Files: nothing written, made, renamed, removed or changed; nothing read outside the
    // system's folders where the kernel offers Landlock.
    Try("opening for writing", true, [&] { return ::open(existing.c_str(), O_WRONLY) >= 0; });
    Try("making a file", true, [] { return ::open(Path("made").c_str(), O_CREAT | O_RDONLY, 0600) >= 0; });
    Try("openat2", true, [&] { return Raw(SYS_openat2, AT_FDCWD, long(existing.c_str()), 0, 0) >= 0; });
    Try("renaming", true, [&] { return ::rename(existing.c_str(), Path("renamed").c_str()) == 0; });
    Try("removing", true, [&] { return ::unlink(existing.c_str()) == 0; });
    Try("chmod", true, [&] { return ::chmod(existing.c_str(), 0777) == 0; });
    Try("fchmodat2", true, [&] { return Raw(452, AT_FDCWD, long(existing.c_str()), 0777, 0) == 0; });
    Try("setxattr", true, [&] { return ::setxattr(existing.c_str(), "user.x", "1", 1, 0) == 0; });
    Try("utimensat", true, [&] { return ::utimensat(AT_FDCWD, existing.c_str(), nullptr, 0) == 0; });
    Try("truncate", true, [&] { return ::truncate(existing.c_str(), 0) == 0; });
    Try("memfd_create", true, [] { return Raw(SYS_memfd_create, long("x"), 0) >= 0; });
    if (Raw(SYS_landlock_create_ruleset, 0, 0, 1) > 0)
        Try("reading outside the system's folders", true, [&] { return ::open(existing.c_str(), O_RDONLY) >= 0; });

    // Processes, signals, other programs' descriptors and memory.
    Try("fork", true, [] { return ::fork() >= 0; });
    Try("clone3", true, [] {
        unsigned long long args[11] = {};
        args[4] = SIGCHLD; // exit_signal
        return Raw(SYS_clone3, long(args), sizeof args) >= 0;
    });
    Try("clone making a user namespace", true, [] { return Raw(SYS_clone, CLONE_NEWUSER | SIGCHLD, 0, 0, 0, 0) >= 0; });
    Try("unshare", true, [] { return ::unshare(CLONE_NEWUSER) == 0; });
    Try("execve", true, [] {
        char* const argv[] = {const_cast<char*>("/bin/true"), nullptr};
        ::execve("/bin/true", argv, nullptr);
        return false; // not reached when it runs; /bin/true would exit 0
    });
    Try("execveat", true, [] { return Raw(SYS_execveat, AT_FDCWD, long("/bin/true"), 0, 0, 0) == 0; });
    Try("kill another process", true, [] { return ::kill(g_parent, 0) == 0; });
    Try("tgkill another process", true, [] { return Raw(SYS_tgkill, g_parent, g_parent, 0) == 0; });
    Try("tkill", true, [] { return Raw(SYS_tkill, g_parent, 0) == 0; });
    Try("rt_sigqueueinfo", true, [] {
        siginfo_t info{};
        info.si_code = SI_QUEUE;
        return Raw(SYS_rt_sigqueueinfo, g_parent, 0, long(&info)) == 0;
    });
    Try("pidfd_open", true, [] { return Raw(SYS_pidfd_open, g_parent, 0) >= 0; });
    Try("pidfd_getfd", true, [] { return Raw(SYS_pidfd_getfd, 3, 0, 0) >= 0; });
    Try("pidfd_send_signal", true, [] { return Raw(SYS_pidfd_send_signal, 3, 0, 0, 0) == 0; });
    Try("ptrace", true, [] { return ::ptrace(PTRACE_ATTACH, g_parent, nullptr, nullptr) == 0; });
    Try("process_vm_writev", true, [] {
        char byte = 0;
        iovec local{&byte, 1}, remote{&byte, 1};
        return Raw(SYS_process_vm_writev, g_parent, long(&local), 1, long(&remote), 1) >= 0;
    });
    Try("prctl beyond names", true, [] { return ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0) == 0; });

    // The network and io_uring, whose operations would never pass the filter.
    Try("socket", true, [] { return ::socket(AF_INET, SOCK_STREAM, 0) >= 0; });
    Try("socketpair", true, [] {
        int fds[2];
        return ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0;
    });
    Try("io_uring_setup", true, [] {
        io_uring_params params{};
        return Raw(SYS_io_uring_setup, 4, long(&params)) >= 0;
    });

    // Calls of other architectures' numbers.
    Try("an x32 call", true, [] { return Raw(SYS_getpid | 0x40000000) >= 0; });
    Try("a 32-bit call", true, [] {
        long result = 0;
        asm volatile("int $0x80" : "=a"(result) : "a"(20) : "memory"); // getpid on i386
        return result >= 0;
    });

    // The clip process: Unix sockets for the sound server and device calls, but still no file
    // written outside the sound devices, no network, no input pushed into a terminal.
    TConfinement clips;
    clips.Devices = clips.LocalSockets = true;
    clips.Writable = {"/dev/snd"};
    Try("clips: a Unix socket", false, [] { return ::socket(AF_UNIX, SOCK_STREAM, 0) >= 0; }, &clips);
    Try("clips: a network socket", true, [] { return ::socket(AF_INET, SOCK_STREAM, 0) >= 0; }, &clips);
    Try("clips: pushing input into a terminal", true, [] {
        const char c = 'x';
        return ::ioctl(0, TIOCSTI, &c) == 0;
    }, &clips);
    Try("clips: making a folder", true,
        [] { return ::mkdir(Path("folder").c_str(), 0700) == 0 || ::access(Path("folder").c_str(), F_OK) == 0; }, &clips);
    Try("clips: fork", true, [] { return ::fork() >= 0; }, &clips);
    if (Raw(SYS_landlock_create_ruleset, 0, 0, 1) > 0)
        Try("clips: writing a file", true, [&] { return ::open(existing.c_str(), O_WRONLY) >= 0; }, &clips);
    // Servers of the session (a display server, a session bus) listen on sockets in /tmp or
    // /run, or abstract ones: none is reached but the sound server's, given by path.
    const auto listening = [](const std::string& path, bool abstract) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path + (abstract ? 1 : 0), path.c_str(), sizeof address.sun_path - 2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 4);
        return address;
    };
    const sockaddr_un session = listening(Path("session"), false), abstract = listening(g_dir, true);
    std::string sound = Path("sound");
    ::mkdir(sound.c_str(), 0700);
    const sockaddr_un server = listening(sound + "/native", false);
    const auto reaches = [](const sockaddr_un& address) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    };
    if (const pid_t probe = ::fork(); probe == 0) {
        ::_exit(::unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) == 0 ? 0 : 1);
    } else {
        int status = 0;
        ::waitpid(probe, &status, 0);
        clips.Readable = {sound};
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) { // the system offers user namespaces
            Try("clips: a socket in /tmp", true, [&] { return reaches(session); }, &clips);
            Try("clips: an abstract socket", true, [&] { return reaches(abstract); }, &clips);
        }
        Try("clips: the sound server's socket", false, [&] { return reaches(server); }, &clips);
    }
    ::unlink(session.sun_path);
    ::unlink(server.sun_path);
    ::rmdir(sound.c_str());

    ::unlink(existing.c_str());
    ::rmdir(Path("folder").c_str());
    ::rmdir(dir);
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
