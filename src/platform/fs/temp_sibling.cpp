#include "platform/fs/temp_sibling.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/fs/folders.h"
#include "platform/fs/guarded_replace.h"
#include "platform/fs/path_text.h"
#include "platform/fs/stale_siblings.h"

namespace platform::fs {
namespace {

std::atomic<unsigned> sibling_counter{0};

// Keeps the work file's name within NAME_MAX however long the target's is.
constexpr size_t kMaxStemBytes = 180;

}  // namespace

TempSibling::TempSibling(const std::string& target, int mode) : target_(target) {
  if (!IsUsablePath(target)) return;
  std::string stem(NameOf(target).substr(0, kMaxStemBytes));
  std::string folder = FolderOf(target);
  SweepStaleSiblingsNowAndThen(folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = JoinPath(folder, "." + stem + ".tmp-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(sibling_counter.fetch_add(1)));
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return;
    }
    if (mode >= 0 && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
      ::close(fd);
      ::unlink(path.c_str());
      return;
    }
    fd_ = fd;
    path_ = std::move(path);
    return;
  }
}

TempSibling::~TempSibling() {
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool TempSibling::Write(std::string_view data) { return ok() && WriteAll(fd_, data); }

bool TempSibling::CopyFrom(int source_fd) {
  if (!ok()) return false;
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = ::read(source_fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(fd_, std::string_view(buffer, static_cast<size_t>(got)))) return false;
  }
}

bool TempSibling::Commit(bool replace) {
  if (!ok()) return false;
  bool flushed = ::fsync(fd_) == 0;
  bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!flushed || !closed) return false;
  if (!RenameGuarded(path_, target_, replace)) return false;
  path_.clear();
  return SyncFolder(FolderOf(target_));
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t put = ::write(fd, data.data(), data.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

namespace {

int (*folder_sync)(int fd) = &::fsync;

}  // namespace

bool SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = folder_sync(fd) == 0;
  // Some file systems cannot flush a folder at all: nothing was lost there.
  if (!synced && (errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP)) synced = true;
  ::close(fd);
  return synced;
}

void SetFolderSyncForTesting(int (*sync)(int fd)) { folder_sync = sync != nullptr ? sync : &::fsync; }

bool CopyIntoPlace(int source_fd, const struct stat& source_stat, const std::string& target, bool replace) {
  TempSibling sibling(target, static_cast<int>(source_stat.st_mode & 07777));
  if (!sibling.CopyFrom(source_fd)) return false;
  struct timespec times[2] = {source_stat.st_atim, source_stat.st_mtim};
  ::futimens(sibling.fd(), times);
  return sibling.Commit(replace);
}

}  // namespace platform::fs
