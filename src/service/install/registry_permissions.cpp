#include "service/install/registry_permissions.h"

#include <string>

#include "contracts/product_key.h"
#include "contracts/support_objects.h"
#include "systemlog/system_log.h"
#include "systemlog/time_stamped.h"

namespace service {

void GrantRegistryAccess() {
  if (!contracts::Support().Environment()->EnvironmentFlag()) return;
  std::string account = contracts::Support().Accounts()->EveryoneGroupName();
  if (account.empty()) account = "Everyone";
  auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
  if (registry->OpenKey(platform::registry::kHkeyLocalMachine, contracts::kProductKey,
                        contracts::kRegistryFullAccess)) {
    registry->GrantFullAccess(account);
  } else {
    WriteSystemLog(TimeStamped(std::string(": Could not open registry key '") + contracts::kProductKey +
                               "' to set permissions"));
  }
}

}  // namespace service
