#pragma once

// Confines a helper before it touches a file's contents: the libraries it runs are not safe
// on damaged files, so whatever they are made to do stays harmless.
// - every descriptor but standard input, output and error is closed;
// - no new privileges can be gained (set-user-id programs do nothing);
// - a seccomp filter allows only the calls a helper needs: reading files, memory, threads
//   (clone only as a thread of this process), futexes, time, polling and writing to what is
//   already open, signals to itself. Everything else is refused with EPERM: opening for
//   writing, every name change in the file system, sockets, new processes, execve, ptrace,
//   io_uring, pidfds, namespaces, signals to other processes, permissions, attributes and
//   times. A call of another architecture (32-bit or x32 numbers) kills the process;
// - where the kernel offers Landlock, the file system is read-only and readable only where
//   a helper's libraries, fonts and settings live (/usr, /lib, /etc, the font caches, its
//   own /proc entries), and in the paths given.
// Returns false where the system offers no seccomp filter (the descriptors are closed and no
// new privileges granted all the same).

#include <initializer_list>
#include <string>
#include <vector>

// What a helper may do beyond reading the system's files, and which descriptors it keeps.
struct TConfinement {
    int FirstClosed = 3;                 // descriptors from this one on are closed (-1: none)
    std::vector<std::string> Readable;   // files or folders read besides the system's
    std::vector<std::string> Writable;   // files or folders that may be written (Landlock)
    bool Devices = false;                // opening for writing (where Landlock allows) and device calls
    bool LocalSockets = false;           // Unix sockets, to reach a local server (the sound server)
};

// Confines the calling process as described above, with what `c` allows besides.
bool Confine(const TConfinement& c);

// The metafile helper's confinement; `readable`: files or folders the helper must read
// besides the system's (the metafile it draws).
bool ConfineHelper(std::initializer_list<const char*> readable = {});

// What the confinement in force allows, for --confinement reports: the seccomp allow-list
// by call name, and the Landlock ABI the kernel offers (0: none) and whether it is in force.
std::string ConfinementReport();
