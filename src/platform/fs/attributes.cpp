#include "platform/fs/attributes.h"

#include <sys/stat.h>

#include "platform/fs/path_text.h"

namespace platform::fs {
namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

bool IsHiddenName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  std::string_view name = NameOf(path);
  return name.size() > 1 && name[0] == '.' && name != "..";
}

}  // namespace

int32_t FileAttributes(const std::string& path) {
  struct stat st {};
  if (!IsUsablePath(path) || ::stat(path.c_str(), &st) != 0) return kInvalidAttributes;
  int32_t attributes = kNormal;
  if (S_ISDIR(st.st_mode)) attributes |= kDirectory;
  if ((st.st_mode & kAnyWrite) == 0) attributes |= kReadOnly;
  if (IsHiddenName(path)) attributes |= kHidden;
  return attributes;
}

bool SetFileAttributes(const std::string& path, int32_t attributes) {
  struct stat st {};
  if (!IsUsablePath(path) || ::stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if ((attributes & kReadOnly) != 0) {
    mode &= ~kAnyWrite;
  } else if ((mode & kAnyWrite) == 0) {
    mode |= S_IWUSR;
  }
  return mode == (st.st_mode & 07777) || ::chmod(path.c_str(), mode) == 0;
}

}  // namespace platform::fs
