#include "service/lifecycle/lifecycle_steps.h"

#include <string>

#include "alerts/mod_alert.h"
#include "platform/basic/conversions.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"

namespace service::steps {

Collections CurrentCollections() {
  Collections collections;
  collections.system = settings::GetSystemSettings();
  collections.user = settings::GetUserSettings();
  return collections;
}

void RegisterToolkitTypeLibrary() {}
void SetServiceDisplayName() {}
void WriteUninstallEntries() {}
void GrantRegistryPermissions() {}
void CheckUninstallMarker() {}

platform::com::ObjectPtr CreateApplicationObject() { return nullptr; }

void StartApplication(const platform::com::ObjectPtr& application, const Collections& collections) {
  if (!application) return;
  application->Invoke("Startup", {platform::Variant(platform::com::ObjectPtr(collections.system)),
                                  platform::Variant(platform::com::ObjectPtr(collections.user))});
}

void ShutdownApplication(const platform::com::ObjectPtr& application) {
  if (!application) return;
  application->Invoke("Shutdown");
}

void SvcInitInit() {}
void ShutdownAll() {}

void SaveAllSettings() {
  if (settings::SettingsPtr system = settings::GetSystemSettings(); system && system->Dirty()) {
    system->WriteSnapshotToStored("");
  }
  if (settings::SettingsPtr user = settings::GetUserSettings()) {
    const std::string sid = platform::CStr(user->GetValue("user.sid"));
    if (!sid.empty() && user->Dirty()) user->WriteSnapshotToStored(sid);
  }
}

void QueryFeaturePlugins() {}
void NotifyFeaturePlugins(typelib::NotifyType, const Collections&) {}

void CloseGDB() { alerts::CloseGDB(); }

}  // namespace service::steps
