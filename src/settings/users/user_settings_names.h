// Names of the system settings that describe the known users.
#pragma once

#include <string>
#include <string_view>

namespace settings {

inline constexpr char kUserSidsSetting[] = "users.sids";
inline constexpr char kMultiUserSetting[] = "legacy.featuremultiuser";

inline constexpr char kFileNameSuffix[] = ".filename";
inline constexpr char kUserIdSuffix[] = ".userid";
inline constexpr char kFriendlyNameSuffix[] = ".friendlyname";
inline constexpr char kIsAdminSuffix[] = ".isadmin";

// "user." + sid + suffix ("user.S-1-22-1-1000.isadmin"); an empty suffix
// names the user's own entry "user." + sid.
inline std::string UserSetting(std::string_view sid, std::string_view suffix) {
  std::string name = "user.";
  name += sid;
  name += suffix;
  return name;
}

}  // namespace settings
