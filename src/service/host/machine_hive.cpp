#include "service/host/machine_hive.h"

#include "platform/registry/registry_helpers.h"
#include "service/install/service_display_name.h"
#include "service/install/uninstall_entry.h"

namespace service {

bool PrepareMachineHive(std::string* error) {
  namespace reg = platform::registry;
  for (const char* key : {kUninstallKey, kServiceKey}) {
    const reg::LONG rc = reg::CreateKey(reg::kHkeyLocalMachine, key);
    if (rc != reg::kErrorSuccess) {
      *error = "cannot create HKEY_LOCAL_MACHINE\\" + std::string(key) + " in the hive (error " +
               std::to_string(rc) + ")";
      return false;
    }
  }
  return true;
}

}  // namespace service
