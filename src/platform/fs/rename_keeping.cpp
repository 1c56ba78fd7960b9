#include "platform/fs/rename_keeping.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fs/path_text.h"
#include "platform/fs/sharing.h"

namespace platform::fs {

bool RenameKeeping(const std::string& from, const std::string& to) {
  if (!IsUsablePath(from) || !IsUsablePath(to)) return false;
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) return false;
  if (S_ISREG(st.st_mode) && IsHeldWithSharingDenied(from)) return false;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // No RENAME_NOREPLACE here: link(2) refuses an existing name too.
  if (S_ISDIR(st.st_mode) || ::link(from.c_str(), to.c_str()) != 0) return false;
  return ::unlink(from.c_str()) == 0;
}

}  // namespace platform::fs
