// "Sharing denied" on Linux. Every open this folder makes takes a whole-file
// flock(2) lock without waiting: a shared open takes a shared lock, an open
// with sharing denied an exclusive one. flock locks belong to the open file
// description, so a second open of the same file, in this process or any
// other, conflicts just as on Windows: while a file is held with sharing
// denied every other open through this layer is refused, and while it is
// held shared an open with sharing denied is refused. Nothing ever blocks.
//
// A file replaced through this layer (guarded_replace.h) is never swapped
// under a holder that denied sharing; an open that meets a replace under way
// waits for it and opens the new file.
//
// Programs that do not use this layer are not kept out (flock is advisory).
#pragma once

#include <sys/types.h>

#include <string>

namespace platform::fs {

enum class Share {
  kShared,    // others may open the file too (unless one denies sharing)
  kDenyAll,   // Basic "Lock Read Write": no other opener at all
};

// open(2) with `flags` (O_CLOEXEC is always added) plus the lock for `share`.
// Only regular files open; a folder fails with EISDIR, anything else with
// EINVAL, a lock conflict with EWOULDBLOCK. O_TRUNC is applied only once the
// lock is held, so a refused opener never cuts the holder's file. Returns the
// descriptor, or -1 with the reason in *error (errno values; may be null).
int OpenWithSharing(const std::string& path, int flags, mode_t mode, Share share, int* error);

// The same for `name` inside the folder open as `folder_fd` (AT_FDCWD: the
// current folder); `path` is the whole path, for the wait on a replace. With
// `fresh_when_linked`, a file with more than one hard link is unlinked from
// this name once locked and a new one created in its place (O_EXCL).
int OpenWithSharingAt(int folder_fd, const std::string& name, const std::string& path, int flags, mode_t mode,
                      Share share, int* error, bool fresh_when_linked = false);

// True when some opener holds the file with sharing denied.
bool IsHeldWithSharingDenied(const std::string& path);

}  // namespace platform::fs
