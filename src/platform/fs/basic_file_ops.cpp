#include "platform/fs/basic_file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/basic/err.h"
#include "platform/fs/attributes.h"
#include "platform/fs/delete_file.h"
#include "platform/fs/dir.h"
#include "platform/fs/errno_to_basic.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/folders.h"
#include "platform/fs/path_text.h"
#include "platform/fs/sharing.h"
#include "platform/fs/temp_sibling.h"

namespace platform::fs {
namespace {

[[noreturn]] void RaiseFor(int error, const std::string& path, const char* source) {
  RaiseError(BasicErrorFromErrno(error, path), {}, source);
}

}  // namespace

void Kill(const std::string& pattern) {
  if (!IsUsablePath(pattern) || pattern.back() == '/') RaiseError(kErrFileNotFound, {}, "Kill");
  const bool has_folder = pattern.find('/') != std::string::npos;
  const std::string folder = has_folder ? FolderOf(pattern) : ".";
  const std::string mask(NameOf(pattern));
  if (!FolderExists(folder)) RaiseError(kErrPathNotFound, {}, "Kill");

  std::vector<std::string> paths;
  if (mask.find_first_of("*?") != std::string::npos) {
    for (const DirEntry& entry : ListDirectory(folder, mask, kNormal)) paths.push_back(JoinPath(folder, entry.name));
  } else if (FileExists(pattern)) {
    paths.push_back(pattern);
  }
  if (paths.empty()) RaiseError(kErrFileNotFound, {}, "Kill");

  for (const std::string& path : paths) {
    int32_t attributes = FileAttributes(path);
    if (attributes != kInvalidAttributes && (attributes & kReadOnly) != 0) {
      RaiseError(kErrPathFileAccess, {}, "Kill");
    }
    if (int error = DeleteFileReason(path); error != 0) RaiseFor(error, path, "Kill");
  }
}

void Name(const std::string& from, const std::string& to) {
  if (!IsUsablePath(from)) RaiseError(kErrFileNotFound, {}, "Name");
  if (!IsUsablePath(to)) RaiseError(kErrPathFileAccess, {}, "Name");
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) RaiseFor(errno, from, "Name");
  if (S_ISREG(st.st_mode) && IsHeldWithSharingDenied(from)) RaiseError(kErrPermissionDenied, {}, "Name");
  if (PathExists(to)) RaiseError(kErrFileExists, {}, "Name");
  if (!FolderExists(FolderOf(to))) RaiseError(kErrPathNotFound, {}, "Name");

  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // No RENAME_NOREPLACE on this file system: the check above must do.
    if (::rename(from.c_str(), to.c_str()) == 0) return;
    error = errno;
  }
  if (error == EEXIST) RaiseError(kErrFileExists, {}, "Name");
  if (error != EXDEV) RaiseFor(error, to, "Name");
  if (!S_ISREG(st.st_mode)) RaiseError(kErrPathFileAccess, {}, "Name");

  // A file moving to another file system: copy, then remove the original.
  int open_error = 0;
  int source = OpenWithSharing(from, O_RDONLY, 0, Share::kShared, &open_error);
  if (source < 0) RaiseFor(open_error, from, "Name");
  bool copied = ::fstat(source, &st) == 0 && CopyIntoPlace(source, st, to, /*replace=*/false);
  ::close(source);
  if (!copied) RaiseError(kErrPathFileAccess, {}, "Name");
  if (::unlink(from.c_str()) != 0) RaiseFor(errno, from, "Name");
}

}  // namespace platform::fs
