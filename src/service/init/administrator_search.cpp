#include "service/init/administrator_search.h"

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "settings/users/sid_list.h"
#include "settings/users/user_settings_names.h"

namespace service {

std::string FindAdministratorSid(settings::cSettings& system) {
  const settings::SidList sids(platform::CStr(system.GetValue(settings::kUserSidsSetting)));
  for (const std::string& sid : sids.Entries()) {
    if (!settings::IsUserEntry(sid)) continue;
    bool is_admin = false;
    // A value that is no Boolean counts as False; it is no error of the search.
    platform::Quietly([&] { is_admin = system.GetValueB(settings::UserSetting(sid, settings::kIsAdminSuffix)); });
    if (is_admin) return sid;
  }
  return {};
}

}  // namespace service
