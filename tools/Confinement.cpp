#include "Confinement.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/close_range.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct TCall {
    long Number;
    const char* Name;
};
#define LUMIVO_CALL(name) TCall{SYS_##name, #name}

bool g_landlocked = false; // Landlock is in force
int g_landlockAbi = 0;      // as the kernel said before the filter was in force

#if defined(__x86_64__)
constexpr unsigned NativeArch = AUDIT_ARCH_X86_64;
// x32 calls share the architecture and set this bit of the number.
constexpr unsigned X32Bit = 0x40000000;

// Allowed whatever their arguments: reading, memory, waiting, time, and what a thread of this
// process does to itself. Writes reach only descriptors already open or made here (pipes,
// eventfds): nothing can be opened for writing.
constexpr TCall Allowed[] = {
    LUMIVO_CALL(read), LUMIVO_CALL(pread64), LUMIVO_CALL(readv), LUMIVO_CALL(preadv), LUMIVO_CALL(preadv2),
    LUMIVO_CALL(write), LUMIVO_CALL(writev), LUMIVO_CALL(pwrite64), LUMIVO_CALL(lseek), LUMIVO_CALL(close),
    LUMIVO_CALL(close_range), LUMIVO_CALL(fstat), LUMIVO_CALL(stat), LUMIVO_CALL(lstat), LUMIVO_CALL(newfstatat),
    LUMIVO_CALL(statx), LUMIVO_CALL(statfs), LUMIVO_CALL(fstatfs), LUMIVO_CALL(access), LUMIVO_CALL(faccessat),
    LUMIVO_CALL(faccessat2), LUMIVO_CALL(readlink), LUMIVO_CALL(readlinkat), LUMIVO_CALL(getdents64),
    LUMIVO_CALL(getcwd), LUMIVO_CALL(fadvise64), LUMIVO_CALL(fcntl), LUMIVO_CALL(dup), LUMIVO_CALL(dup2),
    LUMIVO_CALL(dup3), LUMIVO_CALL(pipe), LUMIVO_CALL(pipe2), LUMIVO_CALL(eventfd2), LUMIVO_CALL(poll),
    LUMIVO_CALL(ppoll), LUMIVO_CALL(select), LUMIVO_CALL(pselect6), LUMIVO_CALL(epoll_create1),
    LUMIVO_CALL(epoll_ctl), LUMIVO_CALL(epoll_wait), LUMIVO_CALL(epoll_pwait), LUMIVO_CALL(epoll_pwait2),
    LUMIVO_CALL(timerfd_create), LUMIVO_CALL(timerfd_settime), LUMIVO_CALL(timerfd_gettime),
    LUMIVO_CALL(mmap), LUMIVO_CALL(munmap), LUMIVO_CALL(mprotect), LUMIVO_CALL(mremap), LUMIVO_CALL(brk),
    LUMIVO_CALL(madvise), LUMIVO_CALL(mincore), LUMIVO_CALL(membarrier), LUMIVO_CALL(futex),
    LUMIVO_CALL(futex_waitv), LUMIVO_CALL(set_robust_list), LUMIVO_CALL(get_robust_list),
    LUMIVO_CALL(set_tid_address), LUMIVO_CALL(rseq), LUMIVO_CALL(sched_yield), LUMIVO_CALL(sched_getaffinity),
    LUMIVO_CALL(sched_getparam), LUMIVO_CALL(sched_getscheduler), LUMIVO_CALL(sched_get_priority_max),
    LUMIVO_CALL(sched_get_priority_min), LUMIVO_CALL(getpriority), LUMIVO_CALL(getrandom),
    LUMIVO_CALL(clock_gettime), LUMIVO_CALL(clock_getres), LUMIVO_CALL(clock_nanosleep),
    LUMIVO_CALL(nanosleep), LUMIVO_CALL(gettimeofday), LUMIVO_CALL(time), LUMIVO_CALL(times),
    LUMIVO_CALL(getrusage), LUMIVO_CALL(sysinfo), LUMIVO_CALL(uname), LUMIVO_CALL(getpid), LUMIVO_CALL(gettid),
    LUMIVO_CALL(getppid), LUMIVO_CALL(getuid), LUMIVO_CALL(geteuid), LUMIVO_CALL(getgid), LUMIVO_CALL(getegid),
    LUMIVO_CALL(getresuid), LUMIVO_CALL(getresgid), LUMIVO_CALL(getgroups), LUMIVO_CALL(getpgrp),
    LUMIVO_CALL(getpgid), LUMIVO_CALL(getsid), LUMIVO_CALL(umask), LUMIVO_CALL(getrlimit),
    LUMIVO_CALL(rt_sigaction), LUMIVO_CALL(rt_sigprocmask), LUMIVO_CALL(rt_sigreturn), LUMIVO_CALL(rt_sigpending),
    LUMIVO_CALL(rt_sigtimedwait), LUMIVO_CALL(rt_sigsuspend), LUMIVO_CALL(sigaltstack), LUMIVO_CALL(restart_syscall),
    LUMIVO_CALL(exit), LUMIVO_CALL(exit_group),
};

// Every namespace a clone could make.
constexpr unsigned NamespaceFlags = CLONE_NEWNS | CLONE_NEWUTS | CLONE_NEWIPC | CLONE_NEWUSER | CLONE_NEWPID |
                                    CLONE_NEWNET | CLONE_NEWCGROUP;
// Opening for anything but reading.
constexpr unsigned WritingFlags = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;

constexpr unsigned ArgLow(int i) { return unsigned(offsetof(seccomp_data, args) + sizeof(__u64) * unsigned(i)); }

// A filter program: a list of checks of the call number, each of which may look at the
// call's arguments and ends in a verdict, so that the number stays loaded for the next check.
class TFilter {
public:
    void Load(unsigned offset) { m_program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset)); }
    void LoadNumber() { Load(unsigned(offsetof(seccomp_data, nr))); }
    void Return(unsigned action) { m_program.push_back(BPF_STMT(BPF_RET | BPF_K, action)); }
    void Jump(unsigned short code, unsigned value, unsigned char whenTrue, unsigned char whenFalse)
    {
        m_program.push_back(BPF_JUMP(code, value, whenTrue, whenFalse));
    }
    // The next `block` instructions run for this call number only.
    void For(long nr, unsigned char block) { Jump(BPF_JMP | BPF_JEQ | BPF_K, unsigned(nr), 0, block); }

    void Allow(long nr)
    {
        For(nr, 1);
        Return(SECCOMP_RET_ALLOW);
    }
    void RefuseWith(long nr, int error)
    {
        For(nr, 1);
        Return(SECCOMP_RET_ERRNO | unsigned(error));
    }
    // Allowed when none of `bits` is set in the argument, else EPERM.
    void AllowWithout(long nr, int argument, unsigned bits)
    {
        For(nr, 4);
        Load(ArgLow(argument));
        Jump(BPF_JMP | BPF_JSET | BPF_K, bits, 1, 0);
        Return(SECCOMP_RET_ALLOW);
        Return(SECCOMP_RET_ERRNO | EPERM);
    }
    // Allowed when the argument is one of `values` (or, with `unless`, none of them), else EPERM.
    void AllowIfOneOf(long nr, int argument, std::initializer_list<unsigned> values, bool unless = false)
    {
        const auto count = static_cast<unsigned char>(values.size());
        For(nr, static_cast<unsigned char>(count + 3));
        Load(ArgLow(argument));
        unsigned char after = count;
        for (unsigned value : values)
            Jump(BPF_JMP | BPF_JEQ | BPF_K, value, after--, 0); // to the last verdict, past the rest
        Return(unless ? SECCOMP_RET_ALLOW : SECCOMP_RET_ERRNO | EPERM);
        Return(unless ? SECCOMP_RET_ERRNO | EPERM : SECCOMP_RET_ALLOW);
    }
    // clone only for a thread of this process, and making no namespace.
    void AllowThreadClone()
    {
        For(SYS_clone, 5);
        Load(ArgLow(0));
        Jump(BPF_JMP | BPF_JSET | BPF_K, NamespaceFlags, 2, 0);
        Jump(BPF_JMP | BPF_JSET | BPF_K, CLONE_THREAD, 0, 1);
        Return(SECCOMP_RET_ALLOW);
        Return(SECCOMP_RET_ERRNO | EPERM);
    }
    bool Install() const
    {
        const sock_fprog filter{static_cast<unsigned short>(m_program.size()), const_cast<sock_filter*>(m_program.data())};
        return ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
    }

private:
    std::vector<sock_filter> m_program;
};

bool InstallFilter(const TConfinement& c)
{
    const auto self = unsigned(::getpid());
    TFilter f;
    // Another architecture's calls (32-bit int 0x80) and x32 numbers end the process: their
    // numbers mean other calls.
    f.Load(unsigned(offsetof(seccomp_data, arch)));
    f.Jump(BPF_JMP | BPF_JEQ | BPF_K, NativeArch, 1, 0);
    f.Return(SECCOMP_RET_KILL_PROCESS);
    f.LoadNumber();
    f.Jump(BPF_JMP | BPF_JGE | BPF_K, X32Bit, 0, 1);
    f.Return(SECCOMP_RET_KILL_PROCESS);
    for (const TCall& call : Allowed)
        f.Allow(call.Number);
    if (c.Devices) {
        // Opening for writing, bounded by Landlock to what may be written; devices' own
        // calls, but for pushing input into a terminal.
        f.Allow(SYS_open);
        f.Allow(SYS_openat);
        f.AllowIfOneOf(SYS_ioctl, 1, {TIOCSTI, TIOCLINUX}, true);
        f.Allow(SYS_memfd_create);
        f.Allow(SYS_mlock); // buffers kept in memory, within the process's limit
        f.Allow(SYS_munlock);
        f.Allow(SYS_ftruncate); // sizing shared memory; files only where Landlock lets them be written
        // No folder is made. Where Landlock is in force, it refuses making one while a folder
        // that is there already is told so, which is what the sound server's client checks of
        // its own folders before it uses them. Without it, every folder is said to be there
        // (a client that makes folders of random names until one is new then never ends: the
        // program ends a clip process that stops answering).
        if (g_landlocked) {
            f.Allow(SYS_mkdir);
            f.Allow(SYS_mkdirat);
        } else {
            f.RefuseWith(SYS_mkdir, EEXIST);
            f.RefuseWith(SYS_mkdirat, EEXIST);
        }
    } else {
        f.AllowWithout(SYS_open, 1, WritingFlags);
        f.AllowWithout(SYS_openat, 2, WritingFlags);
    }
    if (c.LocalSockets) {
        f.AllowIfOneOf(SYS_socket, 0, {AF_UNIX});
        for (long nr : {SYS_connect, SYS_sendto, SYS_sendmsg, SYS_recvfrom, SYS_recvmsg, SYS_getsockopt,
                        SYS_setsockopt, SYS_getsockname, SYS_getpeername, SYS_shutdown})
            f.Allow(nr);
    }
    f.AllowThreadClone();
    f.AllowIfOneOf(SYS_kill, 0, {self});
    f.AllowIfOneOf(SYS_tgkill, 0, {self});
    f.AllowIfOneOf(SYS_prlimit64, 0, {0, self});
    f.AllowIfOneOf(SYS_prctl, 0, {PR_SET_NAME, PR_GET_NAME, PR_GET_DUMPABLE, PR_SET_DUMPABLE, PR_GET_NO_NEW_PRIVS});
    // Said not to exist, so that the C library falls back to the calls checked above.
    f.RefuseWith(SYS_clone3, ENOSYS);
    f.RefuseWith(SYS_openat2, ENOSYS);
    f.Return(SECCOMP_RET_ERRNO | EPERM);
    return f.Install();
}

// Landlock's rights to the file system, as many as the kernel knows of (its ABI version).
__u64 HandledAccess(int abi)
{
    __u64 rights = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1; // ABI 1: execute .. make symbolic links
    if (abi >= 2)
        rights |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3)
        rights |= 1ULL << 14; // truncate
    if (abi >= 5)
        rights |= 1ULL << 15; // ioctl on devices
    return rights;
}

int LandlockAbi() { return int(::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION)); }


// Reading only beneath the readable paths, and writing only beneath the writable ones.
bool RestrictFileSystem(const std::vector<std::string>& readable, const std::vector<std::string>& writable)
{
    const int abi = g_landlockAbi = std::max(LandlockAbi(), 0);
    if (abi == 0)
        return false;
    const __u64 handled = HandledAccess(abi);
    const landlock_ruleset_attr ruleset{handled};
    const int rules = int(::syscall(SYS_landlock_create_ruleset, &ruleset, sizeof ruleset, 0));
    if (rules < 0)
        return false;
    const auto allow = [&](const std::string& path, bool write) {
        const int beneath = ::open(path.c_str(), O_PATH | O_CLOEXEC);
        if (beneath < 0)
            return;
        struct stat st {};
        const bool folder = ::fstat(beneath, &st) == 0 && S_ISDIR(st.st_mode);
        // Rights to a file's contents; to a folder's, also its listing (and, to write, making
        // and removing files in it).
        __u64 rights = LANDLOCK_ACCESS_FS_READ_FILE | (folder ? __u64(LANDLOCK_ACCESS_FS_READ_DIR) : 0);
        if (write)
            rights |= handled & (LANDLOCK_ACCESS_FS_WRITE_FILE | (1ULL << 14) | (1ULL << 15) |
                                 (folder ? __u64(LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_REMOVE_FILE) : 0));
        const landlock_path_beneath_attr rule{rights, beneath};
        ::syscall(SYS_landlock_add_rule, rules, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        ::close(beneath);
    };
    for (const std::string& path : readable)
        allow(path, false);
    for (const std::string& path : writable)
        allow(path, true);
    const bool done = ::syscall(SYS_landlock_restrict_self, rules, 0) == 0;
    ::close(rules);
    return done;
}

// Where a helper's libraries, locale data, fonts and settings are read from.
std::vector<std::string> SystemReadable()
{
    std::vector<std::string> paths = {"/usr", "/lib", "/lib64", "/etc", "/var/cache/fontconfig", "/proc/self",
                                      "/sys/devices/system/cpu", "/dev/null", "/dev/urandom"};
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        for (const char* under : {"/.cache/fontconfig", "/.fonts", "/.local/share/fonts", "/.config/fontconfig"})
            paths.push_back(std::string(home) + under);
    return paths;
}
#else
bool InstallFilter(const TConfinement&) { return false; }
bool RestrictFileSystem(const std::vector<std::string>&, const std::vector<std::string>&) { return false; }
std::vector<std::string> SystemReadable() { return {}; }
int LandlockAbi() { return 0; }
#endif

} // namespace

namespace {

bool WriteTo(const char* path, const std::string& text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return written;
}

// Whether `path` is `folder` or beneath it.
bool Beneath(const std::string& path, const std::string& folder)
{
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

// The folders where sockets of the user's session live (the display server's, the session
// bus's, agents'), made empty for a process that may use Unix sockets.
const char* const SocketFolders[] = {"/run", "/tmp"};

bool g_isolated = false;

// A process that may use Unix sockets reaches only the servers whose sockets it is given: in a
// network namespace of its own it sees no abstract socket (an X server's, a session bus's),
// and in a mount namespace of its own /run and /tmp are empty but for the paths of `c` beneath
// them, brought back as they were. Needs unprivileged user namespaces; false where the system
// has none (the process stays where it was).
bool Isolate(const TConfinement& c)
{
    std::vector<std::string> kept; // what stays beneath those folders, resolved
    for (const auto* list : {&c.Readable, &c.Writable})
        for (const std::string& given : *list) {
            char resolved[PATH_MAX];
            if (::realpath(given.c_str(), resolved))
                for (const char* folder : SocketFolders)
                    if (Beneath(resolved, folder) && resolved != std::string(folder))
                        kept.emplace_back(resolved);
        }
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0 || !WriteTo("/proc/self/setgroups", "deny") ||
        !WriteTo("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
        !WriteTo("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1") ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    // Held open in this namespace, to be brought back once covered.
    std::vector<int> fds;
    for (const std::string& path : kept)
        fds.push_back(::open(path.c_str(), O_PATH | O_CLOEXEC));
    bool done = true;
    for (const char* folder : SocketFolders)
        done = done && ::mount("tmpfs", folder, "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "mode=0755,size=64k") == 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        const std::string& path = kept[i];
        struct stat st {};
        if (done && fds[i] >= 0 && ::fstat(fds[i], &st) == 0) {
            // The mount point, and the folders above it, in the empty folder.
            for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
                ::mkdir(path.substr(0, slash).c_str(), 0755);
            if (S_ISDIR(st.st_mode))
                ::mkdir(path.c_str(), 0755);
            else
                ::close(::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
            const std::string source = "/proc/self/fd/" + std::to_string(fds[i]);
            ::mount(source.c_str(), path.c_str(), nullptr, MS_BIND | MS_REC, nullptr);
        }
        if (fds[i] >= 0)
            ::close(fds[i]);
    }
    return done;
}

} // namespace

bool Confine(const TConfinement& c)
{
    // Whatever the program that started this one left open (without close-on-exec).
    if (c.FirstClosed >= 0 && ::syscall(SYS_close_range, unsigned(c.FirstClosed), ~0u, 0u) != 0)
        for (int fd = c.FirstClosed; fd < 1024; ++fd)
            ::close(fd);
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    if (c.LocalSockets)
        g_isolated = Isolate(c);
    std::vector<std::string> readable = SystemReadable();
    readable.insert(readable.end(), c.Readable.begin(), c.Readable.end());
    g_landlocked = RestrictFileSystem(readable, c.Writable);
    return InstallFilter(c);
}

bool ConfineHelper(std::initializer_list<const char*> readable)
{
    TConfinement c;
    for (const char* path : readable)
        if (path)
            c.Readable.emplace_back(path);
    return Confine(c);
}

std::string ConfinementReport()
{
    std::string report = "allowed calls:";
#if defined(__x86_64__)
    for (const TCall& call : Allowed)
        report += std::string(" ") + call.Name;
    report += "\nallowed with their arguments checked: open openat (for reading), clone (a thread), kill tgkill "
              "(itself), prlimit64 (itself), prctl (names, dumpable)\n";
#endif
    report += "landlock: ABI " + std::to_string(g_landlocked ? g_landlockAbi : std::max(LandlockAbi(), 0)) +
              (g_landlocked ? ", in force: files are read only beneath the system's folders and the file drawn\n"
                            : ", not in force\n");
    if (g_isolated)
        report += "namespaces: network and mounts of its own, /run and /tmp empty but for the sound server's socket\n";
    return report;
}
