#include "settings/files/settings_file_base.h"

#include "contracts/support_objects.h"
#include "platform/basic/string_functions.h"
#include "settings/folders/folders.h"

namespace settings {

std::string SettingsFileBase(std::string_view owner) {
  return contracts::Support().Crypto()->DigestText(platform::LCase(std::string(kSettingsFileSalt) + std::string(owner)));
}

SettingsFilePaths SettingsFilePathsFor(std::string_view base) {
  const std::string stem = GetProfileFolder() + "/" + std::string(base);
  return SettingsFilePaths{stem + kLiveFileExtension, stem + kWorkFileExtension};
}

}  // namespace settings
