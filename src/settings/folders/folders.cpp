#include "settings/folders/folders.h"

#include "contracts/product_key.h"
#include "contracts/support_objects.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/folders.h"
#include "platform/registry/registry_types.h"
#include "systemlog/ignore_errors.h"
#include "systemlog/suite_folders.h"

namespace settings {

// The common files folder and the folders below it are worked out where the
// system log finds its own folder (it cannot depend on the settings store).
std::string GetCommonFilesFolder() { return service::CommonFilesFolder(); }

std::string GetProfileFolder() { return service::SuiteFolder("Norvale/QORC/prf"); }

std::string GetLogFolder() { return service::LogFolder(); }

std::string GetAppFolder() {
  std::string folder;
  service::IgnoringErrors([&] {
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
