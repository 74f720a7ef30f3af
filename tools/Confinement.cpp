#include "Confinement.h"

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/close_range.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <vector>

namespace {

#if defined(__x86_64__)
constexpr unsigned NativeArch = AUDIT_ARCH_X86_64;

// Syscalls refused outright.
constexpr long Refused[] = {
    SYS_socket,   SYS_socketpair, SYS_connect,   SYS_bind,      SYS_listen,    SYS_accept,     SYS_accept4,
    SYS_execve,   SYS_execveat,   SYS_fork,      SYS_vfork,     SYS_ptrace,    SYS_process_vm_writev,
    SYS_unlink,   SYS_unlinkat,   SYS_rename,    SYS_renameat,  SYS_renameat2, SYS_mkdir,      SYS_mkdirat,
    SYS_rmdir,    SYS_link,       SYS_linkat,    SYS_symlink,   SYS_symlinkat, SYS_chmod,      SYS_fchmod,
    SYS_fchmodat, SYS_chown,      SYS_fchown,    SYS_fchownat,  SYS_lchown,    SYS_truncate,   SYS_ftruncate,
    SYS_creat,    SYS_mount,      SYS_umount2,   SYS_openat2,   SYS_mknod,     SYS_mknodat,    SYS_kill,
    SYS_tkill,
};

// Opening for anything but reading.
constexpr unsigned WritingFlags = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;

void Refuse(std::vector<sock_filter>& program, long nr)
{
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(nr), 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
}

// open(path, flags) and openat(dir, path, flags): refused when flags ask to write.
void ReadOnlyOpen(std::vector<sock_filter>& program, long nr, int flagsArgument)
{
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(nr), 0, 4));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, unsigned(offsetof(seccomp_data, args) + sizeof(__u64) * unsigned(flagsArgument))));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, WritingFlags, 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
}

bool InstallFilter()
{
    std::vector<sock_filter> program;
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, unsigned(offsetof(seccomp_data, arch))));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, NativeArch, 1, 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, unsigned(offsetof(seccomp_data, nr))));
    for (long nr : Refused)
        Refuse(program, nr);
    ReadOnlyOpen(program, SYS_open, 1);
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, unsigned(offsetof(seccomp_data, nr))));
    ReadOnlyOpen(program, SYS_openat, 2);
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    return ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
}
#else
bool InstallFilter() { return false; }
#endif

} // namespace

bool ConfineHelper()
{
    // Whatever the program that started this one left open (without close-on-exec).
    if (::syscall(SYS_close_range, 3u, ~0u, 0u) != 0)
        for (int fd = 3; fd < 1024; ++fd)
            ::close(fd);
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    return InstallFilter();
}
