#include "settings/folders/folder_tree.h"

#include "contracts/support_objects.h"
#include "platform/fs/file_ops.h"
#include "systemlog/ignore_errors.h"
#include "systemlog/suite_folders.h"

namespace settings {

void MakeFolderTree(const std::string& path) { service::MakeFolderTree(path); }

void EnsureFolder(const std::string& path) {
  service::IgnoringErrors([&] {
    if (platform::fs::FileExists(path)) return;
    contracts::Support().Files()->PreparePath(path);
    platform::fs::MakeFolder(path);
  });
}

}  // namespace settings
