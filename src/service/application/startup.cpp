#include <string>
#include <utility>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/win32/thread_ids.h"
#include "service/application/application.h"
#include "service/application/required_collection.h"
#include "service/features/features.h"
#include "service/init/save_all_settings.h"
#include "systemlog/system_log.h"

namespace service {

using detail::Required;

void Application::Startup(settings::SettingsPtr system, settings::SettingsPtr user) {
  // Err= below reports what failed here, not before.
  platform::Err::Clear();
  system_settings_ = std::move(system);
  user_settings_ = std::move(user);
  platform::Step([&] {
    current_user_sid_ = platform::CStr(Required(user_settings_).GetValue("user.SID"));
  });
  platform::Step([&] {
    Required(system_settings_).SetValue("sys.uiactive", platform::Variant(false));
  });
  platform::Step([&] {
    Required(system_settings_).SetValue(kFeaturesDisabled, platform::Variant(""));
  });
  platform::Step([&] { RecalculateFeatures(Required(system_settings_)); });
  RaiseEvent(kDispIdOnStartup, kEventOnStartup);

  std::string signature;
  platform::Step([&] { signature = platform::CStr(Required(system_settings_).GetValue("legacy.Signature")); });
  WriteSystemLog("ShApplication.Startup: my thread=0x" + platform::win32::ThreadIdHex() + " sig=" + signature +
                 " User SID=" + current_user_sid_ + " Err=" + platform::Err::Description());
  platform::Err::Clear();
}

void Application::Shutdown() {
  platform::Err::Clear();
  SaveAllSettings();
  RaiseEvent(kDispIdOnShutdown, kEventOnShutdown);
  WriteSystemLog("ShApplication.Shutdown: my thread=0x" + platform::win32::ThreadIdHex() +
                 " Err=" + platform::Err::Description());
}

void Application::SaveAllSettings() { platform::Step([] { service::SaveAllSettings(); }); }

}  // namespace service
