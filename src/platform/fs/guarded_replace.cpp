#include "platform/fs/guarded_replace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "platform/fs/path_text.h"

namespace platform::fs {
namespace {

struct Hooks {
  std::mutex mutex;
  std::function<void()> before_rename;
  std::function<void()> opener_waits;
};

Hooks& TheHooks() {
  static Hooks* hooks = new Hooks;
  return *hooks;
}

void RunHook(std::function<void()> Hooks::*which) {
  std::function<void()> hook;
  {
    std::lock_guard lock(TheHooks().mutex);
    hook = TheHooks().*which;
  }
  if (hook) hook();
}

// Closes a descriptor when it goes, keeping errno.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void Close() {
    if (fd_ < 0) return;
    int saved = errno;
    ::close(fd_);
    errno = saved;
    fd_ = -1;
  }

 private:
  int fd_;
};

// Retries after EINTR; false with errno on failure.
bool Flock(int fd, int operation) {
  while (::flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Puts `from` at `to` unless something is there (EEXIST).
bool RenameNoReplace(int from_folder, const char* from, int to_folder, const char* to) {
  if (::renameat2(from_folder, from, to_folder, to, RENAME_NOREPLACE) == 0) return true;
  // File systems without RENAME_NOREPLACE: link(2) refuses an existing name
  // just as atomically.
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::linkat(from_folder, from, to_folder, to, 0) != 0) return false;
  ::unlinkat(from_folder, from, 0);
  return true;
}

constexpr int kMaxTries = 16;

// The replace itself, `to` a name in the open folder `to_folder`. With
// `follow`, a link in `to`'s place is looked through (its target's holders
// are asked); without, it is never opened and is replaced like any file.
bool RenameGuardedIn(int from_folder, const char* from, int to_folder, const char* to, bool replace, bool follow) {
  // Where folders cannot be locked (some network file systems) the replace
  // still checks and holds the file's own lock.
  if (!Flock(to_folder, LOCK_EX) && errno != ENOLCK && errno != EOPNOTSUPP) return false;
  const int no_follow = follow ? 0 : O_NOFOLLOW;
  for (int attempt = 0; attempt < kMaxTries; ++attempt) {
    struct stat st {};
    Descriptor held(::openat(to_folder, to, O_RDONLY | O_CLOEXEC | O_NONBLOCK | no_follow));
    if (held.get() < 0) {
      if (errno == ELOOP && !follow) {
        // A link in the place: nobody can hold it; it is replaced, never followed.
        if (::fstatat(to_folder, to, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) return false;
        if (!replace) {
          errno = EEXIST;
          return false;
        }
        RunHook(&Hooks::before_rename);
        return ::renameat(from_folder, from, to_folder, to) == 0;
      }
      if (errno != ENOENT) return false;
      // Nothing there: a file someone creates meanwhile is not replaced
      // unseen; look at it on the next round.
      if (RenameNoReplace(from_folder, from, to_folder, to)) return true;
      if (errno != EEXIST || !replace) return false;
      continue;
    }
    if (!replace) {
      errno = EEXIST;
      return false;
    }
    if (::fstat(held.get(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (S_ISREG(st.st_mode) && !Flock(held.get(), LOCK_SH | LOCK_NB)) {
      if (errno == EWOULDBLOCK) return false;  // held with sharing denied
      if (errno != ENOLCK && errno != EOPNOTSUPP) return false;
    }
    struct stat now {};
    if (::fstatat(to_folder, to, &now, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0 || now.st_dev != st.st_dev ||
        now.st_ino != st.st_ino) {
      continue;
    }
    RunHook(&Hooks::before_rename);
    bool renamed = ::renameat(from_folder, from, to_folder, to) == 0;
    // The file's lock goes before the folder's: an opener refused by the
    // first still finds the replace under way.
    held.Close();
    return renamed;
  }
  errno = EAGAIN;
  return false;
}

}  // namespace

bool RenameGuarded(const std::string& from, const std::string& to, bool replace) {
  if (!IsUsablePath(from) || !IsUsablePath(to)) {
    errno = ENOENT;
    return false;
  }
  Descriptor folder(::open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) return false;
  return RenameGuardedIn(AT_FDCWD, from.c_str(), folder.get(), std::string(NameOf(to)).c_str(), replace,
                         /*follow=*/true);
}

bool RenameGuardedAt(int from_folder, const std::string& from_name, int to_folder, const std::string& to_name,
                     bool replace) {
  Descriptor folder(::openat(to_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) return false;
  return RenameGuardedIn(from_folder, from_name.c_str(), folder.get(), to_name.c_str(), replace, /*follow=*/false);
}

bool WaitForReplaceIn(const std::string& folder) {
  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return false;
  if (Flock(dir.get(), LOCK_SH | LOCK_NB)) return false;  // no replace under way
  if (errno != EWOULDBLOCK) return false;
  RunHook(&Hooks::opener_waits);
  // A replace holds the folder only for a check and a rename.
  Flock(dir.get(), LOCK_SH);
  return true;
}

void SetReplaceHooksForTesting(std::function<void()> before_rename, std::function<void()> opener_waits) {
  std::lock_guard lock(TheHooks().mutex);
  TheHooks().before_rename = std::move(before_rename);
  TheHooks().opener_waits = std::move(opener_waits);
}

}  // namespace platform::fs
