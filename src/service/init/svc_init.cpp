#include "service/init/svc_init.h"

#include <memory>
#include <string>

#include "contracts/lifecycle/lifecycle_state.h"
#include "contracts/service_chores.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "plugins/ionotify/register_io_notify.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "service/init/administrator_search.h"
#include "service/init/clean_boot.h"
#include "service/install/uninstall_entry.h"
#include "settings/folders/fill_placeholders.h"
#include "settings/folders/folders.h"
#include "settings/shared/shared_settings.h"
#include "settings/users/sync_users.h"
#include "systemlog/system_log.h"

namespace service {
namespace {

// The pending error as it stood before a step that clears it.
struct PendingError {
  int32_t number = platform::Err::Number();
  std::string description = platform::Err::Description();
  std::string source = platform::Err::Source();
};

settings::SettingsPtr Installed(settings::SettingsPtr collection) {
  if (collection == nullptr) platform::RaiseError(platform::kErrObjectNotSet, {}, "SvcInit::Init");
  return collection;
}

}  // namespace

void SvcInit::Init() {
  // Wiring, not loading: plug-ins and clients reach the shared cIoNotify
  // object (made on first use) in safe mode too.
  plugins::InstallBrandChangeListener();
  plugins::ionotify::RegisterIoNotify();
  contracts::SetUninstallEntryWriter([] { WriteUninstallEntry(); });
  if (IsFailSafeBootWithoutNetwork()) return;
  WriteSystemLog("SvcInit::Init - loading system settings");

  platform::Step([] {
    auto system = std::make_shared<settings::cSettings>();
    settings::SetSystemSettings(system);
    system->CreateSnapshotFromStored("");
  });
  platform::Step([] {
    Installed(settings::GetSystemSettings())->SetValue("sys.AppPath", platform::Variant(settings::GetAppFolder()));
  });
  platform::Step([] {
    Installed(settings::GetSystemSettings())
        ->SetValue("sys.ProfilePath", platform::Variant(settings::GetProfileFolder()));
  });
  platform::Step([] {
    Installed(settings::GetSystemSettings())->SetValue("sys.LogPath", platform::Variant(settings::GetLogFolder()));
  });
  platform::Step([] { settings::SetUserSettings(std::make_shared<settings::cSettings>()); });

  platform::Step([] { settings::SyncUsers(); });

  std::string admin_sid;
  platform::Step([&] {
    settings::SettingsPtr system = Installed(settings::GetSystemSettings());
    if (platform::LCase(platform::CStr(system->GetValue("legacy.featuremultiuser"))) != "true") return;
    admin_sid = FindAdministratorSid(*system);
    if (!admin_sid.empty()) system->SetValue("adminuser.sid", platform::Variant(admin_sid));
  });

  if (admin_sid.empty()) {
    WriteSystemLog("Loading loading guest profile since we couldn't find the current user");
    // Loading the guest profile tells the plug-ins, and telling them clears
    // the pending error: an earlier failure would vanish from the start's
    // report. The earlier error stands; else whatever this step left.
    const PendingError earlier;
    platform::Step([] { platform::com::CallByName(GetApplicationObject(), "LoadSingleUserSettings"); });
    if (earlier.number != 0) platform::Err::Set(earlier.number, earlier.description, earlier.source);
  }

  std::string user_id;
  std::string friendly_name;
  platform::Step([&] {
    settings::SettingsPtr user = Installed(settings::GetUserSettings());
    user_id = platform::CStr(user->GetValue("user.ID"));
    friendly_name = platform::CStr(user->GetValue("user.friendlyname"));
  });
  WriteSystemLog(settings::FillPlaceholders("SvcInit::Init - loaded user settings %1 ( %2 )", user_id, friendly_name));
  WriteSystemLog("SvcInit::Init done");
}

}  // namespace service
