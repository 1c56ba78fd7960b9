#include <optional>
#include <utility>

#include "platform/basic/compare.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "systemlog/system_log.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_bag.h"
#include "settings/folders/uninstall_pending.h"

namespace settings {

void cSettings::WriteSnapshotToStored(std::string_view usersid) {
  if (!usersid.empty()) {
    platform::Step([&] {
      const platform::Variant current = GetValue("user.sid");
      if (!platform::VarEquals(current, platform::Variant(usersid))) {
        service::WriteSystemLog("Settings: Changing user in settings from " + platform::CStr(current) + " to " +
                                std::string(usersid));
      }
    });
    platform::Step([&] { SetValue("user.sid", platform::Variant(usersid)); });
  }
  platform::Step([&] { DebugCheckBogusSettings(usersid); });

  // While the product is being removed the file is written empty; the
  // collection in memory keeps its settings.
  const bool uninstalling = UninstallPending();
  std::optional<std::string> kept_text;
  std::vector<SettingsBag::Entry> kept_entries;
  if (uninstalling) {
    platform::Step([&] { kept_text = WriteSnapshotToString(); });
    // A collection whose snapshot cannot be made keeps its entries as they are.
    if (!kept_text) kept_entries = Bag().TakeEntries();
    ClearAllSettings();
  }

  bool written = false;
  const bool completed = platform::Step([&] { written = WriteSettingsFile(usersid); });
  if (written) {
    service::WriteSystemLog("cSettings for '" + std::string(usersid) + "' write to main file successful.");
  } else {
    // Not a line of the original log set: without it a failed store would
    // leave no trace at all.
    std::string line = "cSettings for '" + std::string(usersid) + "' write to main file failed.";
    if (!completed) line += " Err=" + platform::Err::Description();
    service::WriteSystemLog(line);
  }

  if (uninstalling) {
    if (kept_text) {
      CreateSnapshotFromString(*kept_text);
    } else {
      cSettings kept;
      for (auto& entry : kept_entries) kept.Bag().Set(entry.name, std::move(entry.value));
      AdoptLoadedSettings(kept);
    }
  }
}

void cSettings::CreateSnapshotFromStored(std::string_view usersid) {
  bool loaded = false;
  platform::Step([&] { loaded = ReadSettingsFile(usersid); });
  if (loaded) {
    service::WriteSystemLog("cSettings for '" + std::string(usersid) + "' read from main file was successful.");
  } else {
    service::WriteSystemLog("cSettings for '" + std::string(usersid) +
                            "'read from main file failed. Settings will be empty.");
  }
}

}  // namespace settings
