#include "settings/collection/stored_snapshot.h"

#include "platform/fs/file_ops.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_file_io.h"
#include "settings/files/bin_file.h"
#include "settings/files/settings_file_base.h"
#include "settings/files/snapshot_cipher.h"

namespace settings {

StoredSnapshot ReadStoredSnapshot(std::string_view owner) {
  StoredSnapshot result;
  const SettingsFilePaths paths = SettingsFilePathsFor(SettingsFileBase(owner));
  result.path = paths.live;
  const ByteArray data = ReadFromBinFile(paths, WorkFileHandling::kReadOnly, SnapshotCheckFor(owner));
  if (data.empty()) {
    const bool any_file = platform::fs::PathExists(paths.live) || platform::fs::PathExists(paths.work);
    result.status = any_file ? StoredSnapshot::Status::kDamaged : StoredSnapshot::Status::kMissing;
    return result;
  }
  std::string xml = DecryptSnapshot(owner, data);
  cSettings loaded;
  RestoreSnapshotText(loaded, xml);
  if (!HoldsUncorruptedMarker(loaded)) {
    result.status = StoredSnapshot::Status::kDamaged;
    return result;
  }
  result.status = StoredSnapshot::Status::kOk;
  result.xml = std::move(xml);
  return result;
}

}  // namespace settings
