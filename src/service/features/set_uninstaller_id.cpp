#include <string>

#include "contracts/product_key.h"
#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/registry/registry_types.h"
#include "service/features/features.h"
#include "systemlog/system_log.h"

namespace service {

constexpr char kUninstallerIdValue[] = "UninstallerID";

void SetUninstallerID(bool enabled, std::string_view current_user_sid) {
  const std::string id = platform::Trim(current_user_sid);
  WriteSystemLog("Setting Uninstaller ID to '" + id + "' (Enabled=" + (enabled ? "True" : "False") + ")");
  platform::Step([&] {
    auto key = contracts::CreateSupportObject<contracts::RegistryObject>();
    if (key->OpenKey(platform::registry::kHkeyLocalMachine, contracts::kProductKey, contracts::kRegistryFullAccess)) {
      key->WriteString(kUninstallerIdValue, id);
    }
  });
}

}  // namespace service
