#include <string>

#include "platform/basic/err.h"
#include "service/application/application.h"
#include "service/application/required_collection.h"
#include "systemlog/system_log.h"
#include "settings/folders/folders.h"

namespace service {

using detail::Required;

void Application::RefreshSystemSettings() {
  const settings::SettingsPtr system = System();
  platform::Step([&] { Required(system).CreateSnapshotFromStored(""); });
  platform::Step([&] { Required(system).SetValue("sys.AppPath", platform::Variant(settings::GetAppFolder())); });
  platform::Step([&] { Required(system).SetValue("sys.ProfilePath", platform::Variant(settings::GetProfileFolder())); });
  platform::Step([&] { Required(system).SetValue("sys.LogPath", platform::Variant(settings::GetLogFolder())); });
}

void Application::RefreshUserSettings() {
  WriteSystemLog("Refreshing user settings for <" + current_user_sid_ + ">");
  // Without a current user there is no profile to reload (the empty owner
  // names the system file, which must never land in the user collection).
  if (current_user_sid_.empty()) return;
  const settings::SettingsPtr user = User();
  platform::Step([&] { Required(user).CreateSnapshotFromStored(current_user_sid_); });
}

}  // namespace service
