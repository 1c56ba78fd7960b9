#include "plugins/notify/notify_feature_plugins.h"

#include <string>

#include "contracts/lifecycle/lifecycle_state.h"
#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/host/plugin_call_watch.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/settings_changed_follow_up.h"
#include "plugins/notify/shared_io_notify.h"
#include "plugins/notify/wmi_info.h"
#include "systemlog/system_log.h"

namespace plugins {
namespace {

using platform::com::ObjectPtr;

constexpr char kLinePrefix[] = "IoCoreEvents::NotifyFeaturePlugins: ";

// The word of the log lines; null for the types that reach no plug-in.
const char* EventWord(typelib::NotifyType nt) {
  switch (nt) {
    case typelib::OnStartup: return "OnStartup";
    case typelib::OnShutdown: return "OnShutdown";
    case typelib::OnUserSwitch: return "OnUserSwitch";
    case typelib::OnSettingsChange: return "OnSettingsChange";
    case typelib::OnUserSettingsChange: return "OnUserSettingsChange";
    case typelib::OnGuiShutdown: return "OnGuiShutdown";
    case typelib::OnDeviceChange: return "OnDeviceChange";
    case typelib::OnUserLogoff: return "OnUserLogoff";
    case typelib::OnUserLogon: return "OnUserLogon";
    default: return nullptr;
  }
}

void CallHost(cPluginHost& host, typelib::NotifyType nt, ObjectPtr& Settings, ObjectPtr& UserSettings,
              ObjectPtr& IoNotify, ObjectPtr& data, bool fUserSettingsAlsoChanged) {
  switch (nt) {
    case typelib::OnStartup: host.OnStartup(Settings, UserSettings, IoNotify, data); break;
    case typelib::OnShutdown: host.OnShutdown(Settings, UserSettings, IoNotify, data); break;
    case typelib::OnUserSwitch:
    case typelib::OnUserLogon: host.OnUserSwitch(Settings, UserSettings, IoNotify, data); break;
    case typelib::OnSettingsChange:
      host.OnSettingsChange(Settings, UserSettings, IoNotify, data, fUserSettingsAlsoChanged);
      break;
    case typelib::OnUserSettingsChange: host.OnUserSettingsChange(Settings, UserSettings, IoNotify, data); break;
    case typelib::OnGuiShutdown: host.OnGuiShutdown(Settings, UserSettings, IoNotify, data); break;
    case typelib::OnDeviceChange: host.OnDeviceChange(Settings, UserSettings, IoNotify, data); break;
    case typelib::OnUserLogoff: host.OnUserLogoff(Settings, UserSettings, IoNotify, data); break;
    default: break;
  }
}

void NotifyEach(typelib::NotifyType nt, ObjectPtr Settings, ObjectPtr UserSettings, bool fUserSettingsAlsoChanged) {
  service::WriteSystemLog("Notifying " + std::to_string(FeaturePluginCount()) + " plugins");
  const char* word = EventWord(nt);
  ObjectPtr io_notify;
  if (word != nullptr) platform::Step([&] { io_notify = GetSharedIoNotify(); });
  // A copy of the collection: a plug-in may load, or drop, plug-ins while it
  // is being told.
  for (const std::shared_ptr<cPluginHost>& host : FeaturePluginHosts()) {
    if (word == nullptr) break;
    if (nt == typelib::OnStartup && io_notify) {
      platform::Step([&] {
        platform::com::LetProperty(io_notify, "ResClient", platform::Variant(contracts::Support().BrandingObject()));
      });
    }
    service::WriteSystemLog(std::string(kLinePrefix) + "Sending " + word + " to " + host->ProgID());
    ObjectPtr data = host->PlugInData();
    platform::Step([&] {
      // A plug-in that hangs is named in the log (once) while it hangs.
      PluginCallWatch watch("IoCoreEvents::NotifyFeaturePlugins", host->ProgID(), word);
      CallHost(*host, nt, Settings, UserSettings, io_notify, data, fUserSettingsAlsoChanged);
    });
    service::WriteSystemLog(std::string(kLinePrefix) + "Sent " + word + " to " + host->ProgID());
    if (nt == typelib::OnStartup || nt == typelib::OnUserSettingsChange) platform::Step([] { SyncSecureLogs(); });
  }
  service::WriteSystemLog("Error after event notification is '" + platform::Err::Description() + "'");
}

}  // namespace

void NotifyFeaturePlugins(typelib::NotifyType nt, const settings::SettingsPtr& Settings,
                          const settings::SettingsPtr& UserSettings, bool fUserSettingsAlsoChanged) {
  platform::Err::Clear();
  if (service::ClosingWindows()) {
    service::WriteSystemLog(std::string(kLinePrefix) + "Closing Windows - NOT Sending event to plugins");
  } else if (!FeaturePluginsExist()) {
    service::WriteSystemLog("No plugins to notify");
  } else {
    NotifyEach(nt, Settings, UserSettings, fUserSettingsAlsoChanged);
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
