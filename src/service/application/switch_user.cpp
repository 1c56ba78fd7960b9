#include <memory>
#include <string>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "service/application/application.h"
#include "service/application/required_collection.h"
#include "systemlog/system_log.h"
#include "settings/collection/c_settings.h"

namespace service {

using detail::Required;

void Application::LoadUserProfile(const settings::SettingsPtr& user, const std::string& sid) {
  // Loaded apart first: a profile that cannot be read must not leave the
  // previous user's settings standing as the new user's.
  auto loaded = std::make_shared<settings::cSettings>();
  loaded->CreateSnapshotFromStored(sid);
  if (loaded->Exists(settings::kUncorruptedSetting)) {
    Required(user).AdoptLoadedSettings(*loaded);
    Required(user).SetStoredFilePath(loaded->StoredFilePath());
  } else {
    Required(user).ClearAllSettings();
  }
}

void Application::SwitchUser(const std::string& oldUserSID, const std::string& NewUserSID) {
  const settings::SettingsPtr system = System();
  const settings::SettingsPtr user = User();
  WriteSystemLog("SwitchUser: current=" + current_user_sid_ + " old=" + oldUserSID + " new=" + NewUserSID);

  if (!current_user_sid_.empty()) {
    platform::Step([&] { plugins::NotifyFeaturePlugins(typelib::OnUserLogoff, system, user); });
    platform::Step([&] {
      if (platform::CStr(Required(user).GetValue("user.SID")) == current_user_sid_ && user->Dirty()) {
        user->WriteSnapshotToStored(current_user_sid_);
      }
    });
  }
  platform::Step([&] {
    if (Required(system).Dirty()) system->WriteSnapshotToStored("");
  });

  if (NewUserSID == current_user_sid_) {
    WriteSystemLog("SwitchUser: not notifying clients");
    return;
  }

  current_user_sid_ = NewUserSID;
  if (!NewUserSID.empty()) {
    platform::Step([&] { LoadUserProfile(user, NewUserSID); });
    std::string signature;
    std::string sid;
    platform::Step([&] { signature = platform::CStr(Required(user).GetValue("legacy.Signature")); });
    platform::Step([&] { sid = platform::CStr(Required(user).GetValue("user.SID")); });
    WriteSystemLog("SwitchUser: signature=" + signature + " SID=" + sid);
  } else {
    platform::Step([&] { Required(user).ClearAllSettings(); });
  }
  platform::Step([&] { plugins::NotifyFeaturePlugins(typelib::OnUserLogon, system, user); });
}

}  // namespace service
