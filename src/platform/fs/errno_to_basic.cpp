#include "platform/fs/errno_to_basic.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/basic/err.h"
#include "platform/fs/path_text.h"

namespace platform::fs {

int32_t BasicErrorFromErrno(int error, const std::string& path) {
  switch (error) {
    case ENOENT: {
      struct stat st {};
      std::string folder = FolderOf(path);
      bool folder_there = ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      return folder_there ? kErrFileNotFound : kErrPathNotFound;
    }
    case ENOTDIR:
      return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EWOULDBLOCK:
    case ETXTBSY:
    case EBUSY:
      return kErrPermissionDenied;
    case EMFILE:
    case ENFILE:
      return kErrTooManyFiles;
    case ENOSPC:
    case EDQUOT:
      return kErrDiskFull;
    case EEXIST:
      return kErrFileExists;
    default:
      return kErrPathFileAccess;
  }
}

}  // namespace platform::fs
