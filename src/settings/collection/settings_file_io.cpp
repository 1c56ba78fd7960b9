#include "settings/collection/settings_file_io.h"

#include "platform/basic/compare.h"
#include "settings/collection/c_settings.h"
#include "settings/files/snapshot_cipher.h"
#include "settings/xml/c_settings_xml.h"

namespace settings {

void RestoreSnapshotText(cSettings& target, std::string_view xml) {
  cSettingsXML reader;
  reader.LoadXML(xml);
  reader.RestoreState(&target, kSnapshotObjectName);
}

bool HoldsUncorruptedMarker(cSettings& loaded) {
  return platform::VarEquals(loaded.GetValue("Uncorrupted"), platform::Variant(kUncorruptedText));
}

WorkFileCheck SnapshotCheckFor(std::string_view owner) {
  return [owner = std::string(owner)](const ByteArray& data) {
    cSettings loaded;
    RestoreSnapshotText(loaded, DecryptSnapshot(owner, data));
    return HoldsUncorruptedMarker(loaded);
  };
}

}  // namespace settings
