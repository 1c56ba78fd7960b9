#include "platform/fs/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/fs/delete_file.h"
#include "platform/fs/guarded_replace.h"
#include "platform/fs/path_text.h"
#include "platform/fs/sharing.h"
#include "platform/fs/temp_sibling.h"

namespace platform::fs {
namespace {

bool StatPath(const std::string& path, struct stat* st) {
  return IsUsablePath(path) && ::stat(path.c_str(), st) == 0;
}

bool LstatPath(const std::string& path, struct stat* st) {
  return IsUsablePath(path) && ::lstat(path.c_str(), st) == 0;
}

// True when `path` is a regular file that another opener holds with sharing
// denied.
bool IsLockedFile(const std::string& path) {
  struct stat st {};
  return LstatPath(path, &st) && S_ISREG(st.st_mode) && IsHeldWithSharingDenied(path);
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st {};
  return StatPath(path, &st) && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return StatPath(path, &st) && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return LstatPath(path, &st);
}

int64_t FileSize(const std::string& path) {
  struct stat st {};
  if (!StatPath(path, &st) || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

int DeleteFileReason(const std::string& path) {
  struct stat st {};
  if (!LstatPath(path, &st)) return IsUsablePath(path) ? errno : ENOENT;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  int guard = -1;
  if (S_ISREG(st.st_mode)) {
    int error = 0;
    guard = OpenWithSharing(path, O_RDONLY, 0, Share::kShared, &error);
    if (guard < 0 && error == EWOULDBLOCK) return EWOULDBLOCK;
  }
  int result = ::unlink(path.c_str()) == 0 ? 0 : errno;
  if (guard >= 0) ::close(guard);
  return result;
}

bool DeleteFile(const std::string& path) { return DeleteFileReason(path) == 0; }

void DeleteFileQuietly(const std::string& path) { DeleteFileReason(path); }

bool RenameReplacing(const std::string& from, const std::string& to) {
  struct stat st {};
  if (!LstatPath(from, &st) || !IsUsablePath(to)) return false;
  if (IsLockedFile(from)) return false;
  // A file goes through the guarded rename, which refuses a held target
  // without a gap between the check and the rename.
  if (S_ISREG(st.st_mode)) {
    if (RenameGuarded(from, to, /*replace=*/true)) return true;
  } else {
    if (IsLockedFile(to)) return false;
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
  }
  if (errno != EXDEV || !S_ISREG(st.st_mode)) return false;
  int source = OpenWithSharing(from, O_RDONLY, 0, Share::kShared, nullptr);
  if (source < 0) return false;
  bool copied = ::fstat(source, &st) == 0 && CopyIntoPlace(source, st, to, /*replace=*/true);
  ::close(source);
  return copied && ::unlink(from.c_str()) == 0;
}

bool CopyFile(const std::string& from, const std::string& to, bool overwrite) {
  if (!IsUsablePath(to) || FolderExists(to)) return false;
  if (!overwrite && PathExists(to)) return false;
  // A held target is refused where the copy is renamed into place.
  int source = OpenWithSharing(from, O_RDONLY, 0, Share::kShared, nullptr);
  if (source < 0) return false;
  struct stat st {};
  bool copied = ::fstat(source, &st) == 0 && CopyIntoPlace(source, st, to, overwrite);
  ::close(source);
  return copied;
}

bool MakeFolder(const std::string& path) {
  if (!IsUsablePath(path)) return false;
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  return errno == EEXIST && FolderExists(path);
}

bool MakeFolderTree(const std::string& path) {
  if (!IsUsablePath(path)) return false;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return FolderExists(path);
}

bool RemoveFolder(const std::string& path) {
  return IsUsablePath(path) && FolderExists(path) && ::rmdir(path.c_str()) == 0;
}

}  // namespace platform::fs
