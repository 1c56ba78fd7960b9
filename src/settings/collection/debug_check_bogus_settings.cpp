#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/fs/durable.h"
#include "settings/collection/c_settings.h"
#include "settings/folders/folders.h"

namespace settings {

// A system collection that finished the setup wizard but holds no feature
// settings is suspicious: keep a copy of it in the log folder for the
// developers. Only the system collection (empty owner) is checked.
void cSettings::DebugCheckBogusSettings(std::string_view user_id) {
  if (!user_id.empty()) return;
  platform::Quietly([&] {
    if (!platform::CBool(GetValue("sys.setupwizardcomplete"))) return;
    if (WriteSnapshotToString().find("legacy.feature") != std::string::npos) return;
    const std::string path =
        GetLogFolder() + "/DebugSettings-" + platform::FormatDate(platform::Now(), "ddmmyyhhnnss") + ".xml";
    contracts::Support().Files()->PreparePath(path);
    platform::fs::WriteFileDurably(path, WriteSnapshotToString() + "\r\n");
  });
}

}  // namespace settings
