#include "platform/fs/sharing.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fs/guarded_replace.h"
#include "platform/fs/path_text.h"

namespace platform::fs {

namespace {

// How often an open looks again after a replace took the name from under it.
constexpr int kMaxLooks = 8;

// True when `name` in `folder_fd` still names the file open as `st`.
bool StillNamed(int folder_fd, const std::string& name, int flags, const struct stat& st) {
  struct stat now {};
  const int follow = (flags & O_NOFOLLOW) != 0 ? AT_SYMLINK_NOFOLLOW : 0;
  return ::fstatat(folder_fd, name.c_str(), &now, follow) == 0 && now.st_dev == st.st_dev &&
         now.st_ino == st.st_ino;
}

}  // namespace

int OpenWithSharing(const std::string& path, int flags, mode_t mode, Share share, int* error) {
  return OpenWithSharingAt(AT_FDCWD, path, path, flags, mode, share, error);
}

int OpenWithSharingAt(int folder_fd, const std::string& name, const std::string& path, int flags, mode_t mode,
                      Share share, int* error, bool fresh_when_linked) {
  int ignored = 0;
  int& reason = error != nullptr ? *error : ignored;
  if (!IsUsablePath(name)) {
    reason = ENOENT;
    return -1;
  }
  const bool truncate = (flags & O_TRUNC) != 0;
  for (int look = 1;; ++look) {
    // O_NONBLOCK keeps a FIFO or device from holding us up before we know
    // what the path is.
    int fd = ::openat(folder_fd, name.c_str(), (flags & ~O_TRUNC) | O_CLOEXEC | O_NONBLOCK, mode);
    if (fd < 0) {
      reason = errno;
      return -1;
    }
    auto fail = [&](int why) {
      ::close(fd);
      reason = why;
      return -1;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail(errno);
    if (S_ISDIR(st.st_mode)) return fail(EISDIR);
    if (!S_ISREG(st.st_mode)) return fail(EINVAL);
    int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    int operation = (share == Share::kDenyAll ? LOCK_EX : LOCK_SH) | LOCK_NB;
    bool locked = true;
    while (::flock(fd, operation) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) return fail(errno);
      locked = false;
      break;
    }
    if (!locked) {
      ::close(fd);
      // A replace of this file holds its lock for a moment: wait for it and
      // open the file it put there. One that ended between our lock and our
      // look at the folder has given the name to another file: look again.
      if (look < kMaxLooks && (WaitForReplaceIn(FolderOf(path)) || !StillNamed(folder_fd, name, flags, st))) continue;
      reason = EWOULDBLOCK;
      return -1;
    }
    // A replace between our open and our lock gave the name to another file:
    // holding the old one would be holding nothing.
    if ((flags & O_EXCL) == 0 && !StillNamed(folder_fd, name, flags, st)) {
      ::close(fd);
      if (look < kMaxLooks) continue;
      reason = EWOULDBLOCK;
      return -1;
    }
    if (fresh_when_linked && st.st_nlink > 1 && (flags & O_CREAT) != 0) {
      ::close(fd);
      if (::unlinkat(folder_fd, name.c_str(), 0) != 0 && errno != ENOENT) {
        reason = errno;
        return -1;
      }
      flags |= O_EXCL;
      if (look < kMaxLooks) continue;
      reason = EWOULDBLOCK;
      return -1;
    }
    if (truncate) {
      // An empty file is left as it is: ext4 takes any truncation to zero for
      // a rewrite of the file and starts writing it out on its close, which
      // costs a new file more than all its other steps.
      struct stat held {};
      if (::fstat(fd, &held) != 0) return fail(errno);
      if (held.st_size != 0 && ::ftruncate(fd, 0) != 0) return fail(errno);
    }
    return fd;
  }
}

bool IsHeldWithSharingDenied(const std::string& path) {
  int error = 0;
  int fd = OpenWithSharing(path, O_RDONLY, 0, Share::kShared, &error);
  if (fd >= 0) {
    ::close(fd);
    return false;
  }
  return error == EWOULDBLOCK;
}

}  // namespace platform::fs
