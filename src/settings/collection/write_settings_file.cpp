#include <string>

#include "settings/collection/c_settings.h"
#include "settings/files/bin_file.h"
#include "settings/files/settings_file_base.h"
#include "settings/files/snapshot_cipher.h"

namespace settings {

// Stores the collection in its owner's file and reads the file back; true
// when the file was replaced and reads back as what was written. Raises what
// the snapshot raises.
bool cSettings::WriteSettingsFile(std::string_view usersid) {
  // The marker goes under its full name, whatever the namespace, so that the
  // reader (which looks for exactly that name) finds it.
  const platform::Variant marker(kUncorruptedText);
  if (StoreValueAt(kUncorruptedSetting, marker)) ValueChanged("Uncorrupted", marker);
  const std::string xml = WriteSnapshotToString();
  const ByteArray data = EncryptSnapshot(usersid, xml);

  const SettingsFilePaths paths = SettingsFilePathsFor(SettingsFileBase(usersid));
  stored_file_path_ = paths.live;
  SetValue("user.filename", platform::Variant(paths.live));
  // A write that did not reach the disk must not pass for one: the read-back
  // below would find the previous file and its marker.
  if (!WriteToBinFile(paths, data)) return false;

  // Read back as the reader will read it: the checksum holds and the bytes
  // decrypt to the very snapshot written, marker included.
  return DecryptSnapshot(usersid, ReadFromBinFile(paths)) == xml;
}

}  // namespace settings
