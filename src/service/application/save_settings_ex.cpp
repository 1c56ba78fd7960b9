#include <memory>
#include <string>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "service/application/application.h"
#include "systemlog/system_log.h"
#include "settings/collection/c_settings.h"
#include "settings/files/bin_file.h"
#include "settings/files/settings_file_base.h"
#include "settings/files/snapshot_cipher.h"

namespace service {
namespace {

// Whether the stored profile of `usersid` now holds a valid snapshot of that
// user: the write itself reports no failure to its caller, so it is read
// back (without disturbing a work file another writer may have left).
bool StoredProfileBelongsTo(const std::string& usersid) {
  const settings::SettingsFilePaths paths = settings::SettingsFilePathsFor(settings::SettingsFileBase(usersid));
  const std::string xml = settings::DecryptSnapshot(
      usersid, settings::ReadFromBinFile(paths, settings::WorkFileHandling::kReadOnly));
  if (xml.empty()) return false;
  settings::cSettings stored;
  stored.CreateSnapshotFromString(xml);
  return platform::CStr(stored.GetValue(settings::kUncorruptedSetting)) == settings::kUncorruptedText &&
         platform::CStr(stored.GetValue("user.sid")) == usersid;
}

}  // namespace

bool Application::SaveSettingsEx(const platform::com::ObjectPtr& Settings, const std::string& usersid) {
  // A private copy: the client's collection (possibly a proxy from another
  // thread) is only read, and the collections in memory are not touched.
  auto copy = std::make_shared<settings::cSettings>();
  bool copied = platform::Step([&] {
    const std::string snapshot = platform::CStr(platform::com::CallByName(Settings, "WriteSnapshotToString"));
    copy->CreateSnapshotFromString(snapshot);
  });

  std::string copy_sid;
  platform::Step([&] { copy_sid = platform::CStr(copy->GetValue("user.sid")); });
  if (!copied || usersid.empty() || usersid != copy_sid) {
    WriteSystemLog("Application.SaveSettingsEx: Invalid user, SID=" + usersid);
    return false;
  }
  if (!platform::Step([&] { copy->WriteSnapshotToStored(usersid); })) return false;
  return StoredProfileBelongsTo(usersid);
}

}  // namespace service
