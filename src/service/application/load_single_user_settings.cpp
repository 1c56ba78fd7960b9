#include <filesystem>
#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "service/application/application.h"
#include "service/application/required_collection.h"
#include "settings/files/settings_file_base.h"
#include "settings/xml/c_settings_xml.h"
#include "systemlog/system_log.h"

namespace service {
namespace {

using detail::Required;

constexpr char kGuestSid[] = "*";
// The system setting naming the stored guest profile's file.
constexpr char kGuestFileSetting[] = "users.*.filename";
constexpr char kGuestNamePath[] = "{%strings%}/guest";
constexpr char kDefaultGuestName[] = ".guest";

// The stored guest profile's file: the one the system settings name, or,
// when they name none (nothing in the system records it), the guest's own
// settings file, so that a guest profile once written is found again.
std::string GuestProfileFile(settings::cSettings& system) {
  std::string file = platform::CStr(system.GetValue(kGuestFileSetting));
  if (file.empty()) file = settings::SettingsFilePathsFor(settings::SettingsFileBase(kGuestSid)).live;
  return file;
}

// The guest profile from defaults, stored under "*".
void CreateGuestProfile(settings::cSettings& user) {
  user.CreateSnapshotFromString(settings::kEmptySnapshot);
  std::string name = kDefaultGuestName;
  platform::Step([&] { name = contracts::Support().Branding()->LookupString(kGuestNamePath, kDefaultGuestName); });
  user.SetValue("user.friendlyname", platform::Variant(name));
  user.SetValue("user.sid", platform::Variant(kGuestSid));
  user.SetValue("user.ID", platform::Variant(name));
  user.SetValue("user.IsGuest", platform::Variant(true));
  user.SetValue("legacy.Signature", platform::Variant("TPv1a"));
  user.SetValue("user.isadmin", platform::Variant("True"));
  user.WriteSnapshotToStored(kGuestSid);
}

}  // namespace

void Application::LoadSingleUserSettings() {
  const settings::SettingsPtr system = System();
  const settings::SettingsPtr user = User();

  std::string sid;
  platform::Step([&] { sid = platform::CStr(Required(user).GetValue("user.sid")); });
  if (!sid.empty()) {
    platform::Step([&] {
      if (user->Dirty()) user->WriteSnapshotToStored(sid);
    });
    platform::Step([&] { plugins::NotifyFeaturePlugins(typelib::OnUserLogoff, system, user); });
  }

  platform::Step([&] {
    const std::string file = GuestProfileFile(Required(system));
    std::error_code error;
    if (!file.empty() && std::filesystem::is_regular_file(file, error)) Required(user).CreateSnapshotFromStored(kGuestSid);
  });

  platform::Step([&] {
    if (platform::CStr(Required(user).GetValue("user.sid")) == kGuestSid) return;
    WriteSystemLog("Invalid or missing guest profile. Creating new one from defaults");
    CreateGuestProfile(*user);
  });

  platform::Step([&] { Required(system).SetValue("adminuser.sid", platform::Variant(kGuestSid)); });
  platform::Step([&] { plugins::NotifyFeaturePlugins(typelib::OnUserLogon, system, user); });
}

}  // namespace service
