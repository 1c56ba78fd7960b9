#include <string>

#include "settings/collection/c_settings.h"
#include "settings/collection/settings_file_io.h"
#include "settings/files/bin_file.h"
#include "settings/files/settings_file_base.h"
#include "settings/files/snapshot_cipher.h"

namespace settings {

// Loads the owner's file; false (the collection untouched but for
// "user.filename") when it is missing or does not hold a valid snapshot.
bool cSettings::ReadSettingsFile(std::string_view usersid) {
  const SettingsFilePaths paths = SettingsFilePathsFor(SettingsFileBase(usersid));
  stored_file_path_ = paths.live;
  SetValue("user.filename", platform::Variant(paths.live));
  const std::string xml = DecryptSnapshot(usersid, ReadFromBinFile(paths, WorkFileHandling::kSettle, SnapshotCheckFor(usersid)));

  cSettings loaded;
  RestoreSnapshotText(loaded, xml);
  if (!HoldsUncorruptedMarker(loaded)) return false;
  AdoptLoadedSettings(loaded);
  return true;
}

}  // namespace settings
