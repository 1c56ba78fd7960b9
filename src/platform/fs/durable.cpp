#include "platform/fs/durable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fs/guarded_replace.h"
#include "platform/fs/path_text.h"
#include "platform/fs/sharing.h"
#include "platform/fs/temp_sibling.h"

namespace platform::fs {
namespace {

// True when the existing file at `path` can never be replaced: a folder.
// (A holder denying sharing is checked where the rename happens.)
bool TargetRefuses(const std::string& path, struct stat* st, bool* exists) {
  *exists = ::stat(path.c_str(), st) == 0;
  return *exists && S_ISDIR(st->st_mode);
}

// Reads from `fd` to its end into `bytes`; false on a read error. A regular
// file is read into room sized once from its length: growing the buffer as
// it fills would copy a large file about twice over and touch that much
// fresh memory besides.
template <class Buffer>
bool ReadToEnd(int fd, Buffer& bytes) {
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    bytes.reserve(static_cast<size_t>(st.st_size));
  }
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
}

template <class Buffer>
std::optional<Buffer> ReadWhole(const std::string& path) {
  int fd = OpenWithSharing(path, O_RDONLY, 0, Share::kShared, nullptr);
  if (fd < 0) return std::nullopt;
  Buffer bytes;
  const bool read = ReadToEnd(fd, bytes);
  ::close(fd);
  if (!read) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) { return ReadWhole<std::string>(path); }

std::optional<std::vector<uint8_t>> ReadWholeFileBytes(const std::string& path) {
  return ReadWhole<std::vector<uint8_t>>(path);
}

bool WriteFileDurably(const std::string& path, std::string_view data) {
  if (!IsUsablePath(path)) return false;
  struct stat st {};
  bool exists = false;
  if (TargetRefuses(path, &st, &exists)) return false;
  TempSibling sibling(path, exists ? static_cast<int>(st.st_mode & 07777) : -1);
  return sibling.Write(data) && sibling.Commit(/*replace=*/true);
}

bool ReplaceFileDurably(const std::string& from, const std::string& to) {
  if (!IsUsablePath(from) || !IsUsablePath(to)) return false;
  struct stat st {};
  bool exists = false;
  if (TargetRefuses(to, &st, &exists)) return false;
  if (!SyncPath(from)) return false;
  if (!RenameGuarded(from, to, /*replace=*/true)) return false;
  return SyncFolder(FolderOf(to));
}

bool SyncPath(const std::string& path) {
  if (!IsUsablePath(path)) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

bool AppendToFile(const std::string& path, std::string_view data) {
  int fd = OpenWithSharing(path, O_WRONLY | O_CREAT | O_APPEND, 0666, Share::kShared, nullptr);
  if (fd < 0) return false;
  bool written = WriteAll(fd, data);
  return ::close(fd) == 0 && written;
}

}  // namespace platform::fs
