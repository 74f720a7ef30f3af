#pragma once

// Confines the metafile helper before it touches a file's contents: the libraries it runs
// are not safe on damaged files, so whatever they are made to do stays harmless.
// - every descriptor but standard input, output and error is closed;
// - no new privileges can be gained (set-user-id programs do nothing);
// - a seccomp filter refuses (EPERM) everything but reading files and writing to what is
//   already open: no network, no new processes, no file created, written, renamed or
//   removed, no change of permissions.
// Returns false where the system offers no such filter (the descriptors are closed and no
// new privileges granted all the same).
bool ConfineHelper();
