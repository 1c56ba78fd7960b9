#include "settings/users/sync_users.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "settings/files/settings_file_base.h"
#include "settings/folders/file_utilities.h"
#include "settings/folders/folders.h"
#include "settings/shared/shared_settings.h"
#include "settings/users/sid_list.h"
#include "settings/users/user_settings_names.h"
#include "settings/xml/c_settings_xml.h"
#include "systemlog/system_log.h"

namespace settings {
namespace {

using contracts::UserRecord;
using service::WriteSystemLog;

constexpr char kGuestNamePath[] = "{%strings%}/guest";

// One run's working state.
struct SyncRun {
  std::string admin_sid;
  std::string existing;
  std::vector<UserRecord> users;
  SidList delete_list;
  SidList new_list{"|"};
  SidList ok_list;
  // The examined records, by identifier in lower case.
  std::map<std::string, UserRecord> kept;
};

SettingsPtr System() {
  SettingsPtr system = GetSystemSettings();
  if (system == nullptr) platform::RaiseError(platform::kErrObjectNotSet, {}, "SyncUsers");
  return system;
}

bool MultiUserMode() { return platform::LCase(platform::CStr(System()->GetValue(kMultiUserSetting))) == "true"; }

UserRecord GuestRecord() {
  UserRecord guest;
  guest.FriendlyName = contracts::Support().Branding()->LookupString(kGuestNamePath, "");
  guest.Flag = true;
  guest.SID = "*";
  guest.UserID = guest.FriendlyName;
  return guest;
}

const UserRecord* KeptRecord(const SyncRun& run, const std::string& sid) {
  auto found = run.kept.find(platform::LCase(sid));
  if (found == run.kept.end() || found->second.UserID.empty()) return nullptr;
  return &found->second;
}

void Examine(SyncRun& run) {
  if (run.existing.empty()) return;
  for (const UserRecord& record : run.users) {
    if (record.SID.empty()) continue;
    // An account listed twice is examined once.
    if (run.kept.count(platform::LCase(record.SID)) != 0) continue;
    platform::Step([&] {
      WriteSystemLog("SyncUsers - Examining user with SID " + record.SID);
      if (!run.delete_list.Contains(record.SID)) {
        WriteSystemLog("SyncUsers - SID is not in original list - new user settings required");
        run.new_list.Append(record.SID);
      } else {
        WriteSystemLog("SyncUsers - SID in original list, not a new user.");
        run.ok_list.Append(record.SID);
      }
      run.delete_list.RemoveAll(record.SID);
      run.kept[platform::LCase(record.SID)] = record;
    });
  }
}

// Without the accounts nobody can be told gone: every known user stays, and
// nobody is created.
void KeepKnownUsers(SyncRun& run, const std::string& error) {
  WriteSystemLog("SyncUsers - Could not read the user list (" + error + "); keeping every known user");
  run.ok_list = SidList(run.existing);
  run.delete_list = SidList();
}

// The settings names a user's file; anyone who can write a setting could
// name any file, also the system file, the guest profile or another user's.
// Only the live file that the user's own identifier names is deleted.
bool IsOwnSettingsFile(const std::string& sid, const std::string& file) {
  const std::filesystem::path path = std::filesystem::path(file).lexically_normal();
  const std::filesystem::path own =
      std::filesystem::path(SettingsFilePathsFor(SettingsFileBase(sid)).live).lexically_normal();
  return path == own;
}

void RemoveUser(const std::string& sid) {
  WriteSystemLog("SyncUsers - Removing user settings for SID " + sid);
  SettingsPtr system = System();
  std::string file;
  platform::Step([&] { file = platform::CStr(system->GetValue(UserSetting(sid, kFileNameSuffix))); });
  for (const char* suffix : {kFileNameSuffix, kUserIdSuffix, kFriendlyNameSuffix, kIsAdminSuffix}) {
    platform::Step([&] { system->RemoveValue(UserSetting(sid, suffix)); });
  }
  platform::Step([&] { system->RemoveValue(UserSetting(sid, "")); });
  WriteSystemLog("SyncUsers - removing file '" + file + "'");
  if (file.empty()) return;
  if (IsOwnSettingsFile(sid, file)) {
    KillFileQuietly(file);
  } else {
    WriteSystemLog("SyncUsers - '" + file + "' is not the settings file of SID " + sid + "; left in place");
  }
}

// Known users keep their administrator flag as it was: only the creation of
// a user decides it.
void UpdateUser(const SyncRun& run, const std::string& sid) {
  WriteSystemLog("SyncUsers - Updating user settings for SID " + sid);
  const UserRecord* record = KeptRecord(run, sid);
  if (record == nullptr) {
    WriteSystemLog("SyncUsers - Error retrieving NTUser details to update SID " + sid);
    return;
  }
  SettingsPtr system = System();
  system->SetValue(UserSetting(sid, kUserIdSuffix), platform::Variant(record->UserID));
  system->SetValue(UserSetting(sid, kFriendlyNameSuffix), platform::Variant(record->FriendlyName));
}

void CreateUser(SyncRun& run, const std::string& sid) {
  WriteSystemLog("SyncUsers - Creating user settings for SID " + sid);
  const UserRecord* record = KeptRecord(run, sid);
  if (record == nullptr) {
    WriteSystemLog("SyncUsers - Error retrieving NTUser details for SID " + sid);
    return;
  }
  SettingsPtr system = System();
  auto user = std::make_shared<cSettings>();
  user->CreateSnapshotFromString(kEmptySnapshot);
  user->SetValue("user.friendlyname", platform::Variant(record->FriendlyName));
  user->SetValue("user.sid", platform::Variant(sid));
  user->SetValue("user.id", platform::Variant(record->UserID));
  user->SetValue("user.IsGuest", platform::Variant(false));
  const bool is_admin = sid == run.admin_sid;
  user->SetValue("legacy.Signature", platform::Variant(is_admin ? "TPv1a" : "TPv1u"));
  if (is_admin) system->SetValue("adminuser.sid", platform::Variant(sid));
  user->SetValue("user.isadmin", platform::Variant(is_admin));
  user->WriteSnapshotToStored(sid);

  system->SetValue(UserSetting(sid, kFileNameSuffix), platform::Variant(user->StoredFilePath()));
  system->SetValue(UserSetting(sid, kUserIdSuffix), platform::Variant(record->UserID));
  system->SetValue(UserSetting(sid, kFriendlyNameSuffix), platform::Variant(record->FriendlyName));
  system->SetValue(UserSetting(sid, kIsAdminSuffix), platform::Variant(is_admin));
  run.ok_list.Append(sid);
}

}  // namespace

void SyncUsers(const platform::xml::Node& element) {
  SyncRun run;
  platform::Step([&] { run.admin_sid = element ? element.GetAttribute("adminusersid") : std::string(); });
  WriteSystemLog("Beginning SyncUsers. Admin User SID is '" + run.admin_sid + "'. Checking NT user list");

  platform::Step([&] { run.existing = platform::CStr(System()->GetValue(kUserSidsSetting)); });
  run.delete_list = SidList(run.existing);
  const bool list_read = platform::Step([&] { run.users = contracts::Support().Users()->Users(""); });
  const std::string list_error = list_read ? std::string() : platform::Err::Description();
  WriteSystemLog("SyncUsers - Existing SID list is " + run.existing);

  bool guest_only = false;
  platform::Step([&] {
    if (!MultiUserMode()) {
      run.users = {GuestRecord()};
      guest_only = true;
    }
  });

  if (list_read || guest_only) {
    Examine(run);
  } else {
    KeepKnownUsers(run, list_error);
  }

  WriteSystemLog("SyncUsers - Existing SID list is " + run.existing);
  WriteSystemLog("SyncUsers - New SID list is " + run.new_list.Text());
  WriteSystemLog("SyncUsers - OK SID list is " + run.ok_list.Text());
  WriteSystemLog("SyncUsers - Delete SID list is " + run.delete_list.Text());

  for (const std::string& sid : run.delete_list.Entries()) {
    if (IsUserEntry(sid)) platform::Step([&] { RemoveUser(sid); });
  }
  // Creation appends to the OK list: walk the entries as they were.
  const std::vector<std::string> ok_entries = run.ok_list.Entries();
  for (const std::string& sid : ok_entries) {
    if (IsUserEntry(sid)) platform::Step([&] { UpdateUser(run, sid); });
  }
  const std::vector<std::string> new_entries = run.new_list.Entries();
  for (const std::string& sid : new_entries) {
    if (IsUserEntry(sid)) platform::Step([&] { CreateUser(run, sid); });
  }

  platform::Step([&] {
    SettingsPtr system = System();
    const std::string sids = MultiUserMode() ? run.ok_list.Text() : std::string("*|");
    system->SetValue(kUserSidsSetting, platform::Variant(sids));
  });
}

}  // namespace settings
