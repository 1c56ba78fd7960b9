#include "service/lifecycle/lifecycle_steps.h"

#include <string>

#include "alerts/mod_alert.h"
#include "platform/basic/conversions.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "platform/basic/err.h"
#include "service/application/application.h"
#include "service/init/save_all_settings.h"
#include "service/init/shutdown_all.h"
#include "service/init/svc_init.h"
#include "service/install/check_uninstall_marker.h"
#include "service/install/register_type_lib_file.h"
#include "service/install/registry_permissions.h"
#include "service/install/service_display_name.h"
#include "service/install/uninstall_entry.h"

namespace service::steps {

Collections CurrentCollections() {
  Collections collections;
  collections.system = settings::GetSystemSettings();
  collections.user = settings::GetUserSettings();
  return collections;
}

void RegisterToolkitTypeLibrary() { service::RegisterToolkitTypeLibrary(); }
void SetServiceDisplayName() { service::SetServiceDisplayName(); }
void WriteUninstallEntries() { service::WriteUninstallEntry(); }
void GrantRegistryPermissions() { service::GrantRegistryAccess(); }
void CheckUninstallMarker() { service::CheckUninstallMarker(); }

platform::com::ObjectPtr CreateApplicationObject() { return std::make_shared<Application>(); }

namespace {

// The running Application behind the shared reference; a missing one is
// Basic's "object variable not set", recorded by the step that asked.
std::shared_ptr<Application> RequireApplication(const platform::com::ObjectPtr& application) {
  auto typed = platform::com::QueryInterface<Application>(application);
  if (!typed) platform::RaiseError(platform::kErrObjectNotSet);
  return typed;
}

}  // namespace

void StartApplication(const platform::com::ObjectPtr& application, const Collections& collections) {
  RequireApplication(application)->Startup(collections.system, collections.user);
}

void ShutdownApplication(const platform::com::ObjectPtr& application) {
  RequireApplication(application)->Shutdown();
}

void SvcInitInit() { SvcInit::Init(); }
void ShutdownAll() { service::ShutdownAll(); }
void SaveAllSettings() { service::SaveAllSettings(); }

void QueryFeaturePlugins() { plugins::QueryFeaturePlugins(); }
void NotifyFeaturePlugins(typelib::NotifyType event, const Collections& collections) {
  plugins::NotifyFeaturePlugins(event, collections.system, collections.user);
}

void CloseGDB() { alerts::CloseGDB(); }

}  // namespace service::steps
