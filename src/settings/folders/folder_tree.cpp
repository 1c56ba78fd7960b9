#include "settings/folders/folder_tree.h"

#include "platform/fs/file_ops.h"
#include "service/contracts/support_objects.h"
#include "settings/folders/ignore_errors.h"

namespace settings {

void MakeFolderTree(const std::string& path) {
  // Part by part, so that every missing level is made; a level that exists
  // as a file stops the tree there (the later parts then fail quietly).
  IgnoringErrors([&] {
    std::string built;
    size_t start = 0;
    while (start <= path.size()) {
      size_t slash = path.find('/', start);
      if (slash == std::string::npos) slash = path.size();
      built = path.substr(0, slash);
      if (!built.empty() && !platform::fs::FolderExists(built)) platform::fs::MakeFolder(built);
      start = slash + 1;
    }
  });
}

void EnsureFolder(const std::string& path) {
  IgnoringErrors([&] {
    if (platform::fs::FileExists(path)) return;
    contracts::Support().Files()->PreparePath(path);
    platform::fs::MakeFolder(path);
  });
}

}  // namespace settings
