#include "systemlog/suite_folders.h"

#include "contracts/support_objects.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/folders.h"
#include "systemlog/ignore_errors.h"

namespace service {

std::string CommonFilesFolder() {
  std::string common;
  IgnoringErrors([&] { common = contracts::Support().Folders()->CommonFilesFolder(); });
  if (common.empty()) common = platform::fs::DefaultCommonFilesFolder();
  return common;
}

std::string SuiteFolder(std::string_view subpath) {
  std::string path;
  IgnoringErrors([&] {
    path = platform::fs::JoinPath(CommonFilesFolder(), std::string(subpath));
    if (!platform::fs::FolderExists(path)) {
      contracts::Support().Files()->PreparePath(path);
      MakeFolderTree(path);
    }
  });
  return path;
}

std::string LogFolder() { return SuiteFolder("Norvale/QORC/log"); }

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

}  // namespace service
