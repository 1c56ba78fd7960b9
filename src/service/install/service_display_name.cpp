#include "service/install/service_display_name.h"

#include <string>

#include "contracts/support_objects.h"
#include "systemlog/system_log.h"

namespace service {

void SetServiceDisplayName() {
  if (!contracts::Support().Environment()->EnvironmentFlag()) return;
  const std::string name = contracts::Support().Branding()->LookupString("{%strings%}/qorhearth",
                                                                        kDefaultServiceDisplayName);
  auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
  if (!registry->OpenKey(platform::registry::kHkeyLocalMachine, kServiceKey, contracts::kRegistryFullAccess)) return;
  WriteSystemLog("Setting Service display name to '" + name + "'");
  registry->WriteString("DisplayName", name);
}

}  // namespace service
