#include "settings/folders/folders.h"

#include "platform/fs/file_ops.h"
#include "platform/fs/folders.h"
#include "platform/registry/registry_types.h"
#include "service/contracts/product_key.h"
#include "service/contracts/support_objects.h"
#include "settings/folders/folder_tree.h"
#include "settings/folders/ignore_errors.h"

namespace settings {
namespace {

// common files + `subpath`, created with its parents when it is no folder yet.
std::string SuiteFolder(const char* subpath) {
  std::string path;
  IgnoringErrors([&] {
    path = platform::fs::JoinPath(GetCommonFilesFolder(), subpath);
    if (!platform::fs::FolderExists(path)) {
      contracts::Support().Files()->PreparePath(path);
      MakeFolderTree(path);
    }
  });
  return path;
}

}  // namespace

std::string GetCommonFilesFolder() {
  std::string common;
  IgnoringErrors([&] { common = contracts::Support().Folders()->CommonFilesFolder(); });
  if (common.empty()) common = platform::fs::DefaultCommonFilesFolder();
  return common;
}

std::string GetProfileFolder() { return SuiteFolder("Norvale/QORC/prf"); }

std::string GetLogFolder() { return SuiteFolder("Norvale/QORC/log"); }

std::string GetAppFolder() {
  std::string folder;
  IgnoringErrors([&] {
    // A registry object of our own: the thread's shared one may have a key
    // open that its user still needs.
    auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
    if (registry &&
        registry->OpenKey(platform::registry::kHkeyLocalMachine, contracts::kProductKey, contracts::kRegistryRead)) {
      std::string install_dir = registry->ReadString("installdir");
      if (!install_dir.empty() && install_dir.back() == '/') install_dir.pop_back();
      folder = install_dir + "/app";
    }
  });
  return folder;
}

}  // namespace settings
