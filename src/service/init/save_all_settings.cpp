#include "service/init/save_all_settings.h"

#include <string>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "settings/shared/shared_settings.h"

namespace service {

void SaveAllSettings() {
  platform::Step([] {
    settings::SettingsPtr system = settings::GetSystemSettings();
    if (system != nullptr && system->Dirty()) system->WriteSnapshotToStored("");
  });
  platform::Step([] {
    settings::SettingsPtr user = settings::GetUserSettings();
    if (user == nullptr) return;
    const std::string sid = platform::CStr(user->GetValue("user.sid"));
    if (!sid.empty() && user->Dirty()) user->WriteSnapshotToStored(sid);
  });
}

}  // namespace service
