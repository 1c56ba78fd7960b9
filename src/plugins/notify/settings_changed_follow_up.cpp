#include "plugins/notify/settings_changed_follow_up.h"

#include <vector>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "settings/folders/fill_placeholders.h"
#include "systemlog/system_log.h"

namespace plugins {

void HandlePendingSettingsChange(typelib::NotifyType nt, const settings::SettingsPtr& Settings) {
  if (nt == typelib::OnSettingsChange) return;
  if (Settings == nullptr) platform::RaiseError(platform::kErrObjectNotSet, {}, "NotifyFeaturePlugins");
  if (!Settings->GetValueB(kSettingsChangedFlag)) return;
  service::WriteSystemLog(settings::FillPlaceholders(
      "IoCoreEvents::NotifyFeaturePlugins: Settings changed; notifying applications and plug-ins...", "", "", "", "",
      ""));
  Settings->RemoveValue(kSettingsChangedFlag);
  std::vector<platform::Variant> args{platform::Variant(true)};
  platform::com::CallByName(service::GetApplicationObject(), "SettingsChanged", args);
}

}  // namespace plugins
