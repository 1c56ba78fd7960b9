#include "service/install/check_uninstall_marker.h"

#include <memory>
#include <string>

#include "contracts/product_key.h"
#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/registry/registry_types.h"
#include "settings/folders/uninstall_pending.h"
#include "settings/shared/shared_settings.h"

namespace service {
namespace {

constexpr char kMarkerValue[] = "DoUninstall";
constexpr char kMarkerText[] = "true";

}  // namespace

void CheckUninstallMarker() {
  std::shared_ptr<contracts::RegistryObject> registry;
  bool marked = false;
  platform::Step([&] {
    registry = contracts::CreateSupportObject<contracts::RegistryObject>();
    if (!registry->OpenKey(platform::registry::kHkeyLocalMachine, contracts::kProductKey,
                           contracts::kRegistryFullAccess)) {
      registry.reset();
      return;
    }
    marked = registry->ReadString(kMarkerValue) == kMarkerText;
  });
  if (!marked) return;
  platform::Step([&] { registry->DeleteValue(kMarkerValue); });
  platform::Step([&] {
    if (settings::SettingsPtr system = settings::GetSystemSettings()) {
      system->SetValue("legacy.DoUninstall", platform::Variant(true));
    }
  });
  settings::SetUninstallPending(true);
}

}  // namespace service
