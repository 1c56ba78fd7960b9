#include "settings/folders/file_utilities.h"

#include "platform/basic/err.h"
#include "platform/fs/dir.h"
#include "platform/fs/file_ops.h"
#include "settings/folders/ignore_errors.h"

namespace settings {

void KillFileQuietly(const std::string& path) {
  platform::fs::DeleteFileQuietly(path);
  platform::Err::Clear();
}

std::string SafeDir(const std::string& path, int32_t attributes) {
  std::string found;
  IgnoringErrors([&] { found = platform::fs::Dir(path, attributes); });
  return found;
}

}  // namespace settings
