#include "plugins/notify/notify_feature_plugins.h"

#include <string>

#include "platform/basic/err.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/settings_changed_follow_up.h"
#include "plugins/notify/wmi_info.h"
#include "service/lifecycle/state/lifecycle_state.h"
#include "service/log/system_log.h"

namespace plugins {

void NotifyFeaturePlugins(typelib::NotifyType nt, const settings::SettingsPtr& Settings,
                          const settings::SettingsPtr& UserSettings, bool fUserSettingsAlsoChanged) {
  (void)UserSettings;
  (void)fUserSettingsAlsoChanged;
  platform::Err::Clear();
  if (service::ClosingWindows()) {
    service::WriteSystemLog("IoCoreEvents::NotifyFeaturePlugins: Closing Windows - NOT Sending event to plugins");
  } else if (!FeaturePluginsExist()) {
    service::WriteSystemLog("No plugins to notify");
  } else {
    service::WriteSystemLog("Notifying " + std::to_string(FeaturePluginCount()) + " plugins");
    service::WriteSystemLog("Error after event notification is '" + platform::Err::Description() + "'");
  }
  platform::Step([&] { HandlePendingSettingsChange(nt, Settings); });
  UpdateWmiInfo(Settings);
  platform::Err::Clear();
}

void InstallBrandChangeListener() {
  settings::SetBrandChangeListener(
      [] { NotifyFeaturePlugins(typelib::OnUserLogoff, settings::GetSystemSettings(), settings::GetUserSettings()); });
}

}  // namespace plugins
