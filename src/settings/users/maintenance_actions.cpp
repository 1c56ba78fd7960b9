#include "settings/users/maintenance_actions.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/win32/sleep.h"
#include "settings/folders/file_utilities.h"

namespace settings {
namespace {

constexpr char kProfileSubfolder[] = "/Norvale/QORC/prf/";
constexpr int kDeleteTries = 3;
constexpr uint32_t kRetryPauseMs = 250;

// No default folder here: without the component's answer the path would
// name a file outside the suite's folders.
void DeleteProfileFile(const char* file_name) {
  platform::Quietly([&] {
    const std::string common = contracts::Support().Folders()->CommonFilesFolder();
    if (common.empty()) return;
    KillFileQuietly(common + kProfileSubfolder + file_name);
  });
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace

void ClearAvScanHistory() { DeleteProfileFile("AVScanHistory.exl"); }

void ClearAsScanHistory() { DeleteProfileFile("ASScanHistory.exl"); }

void ClearFirewallLogs() {
  std::vector<std::string> files;
  platform::Quietly([&] { files = contracts::Support().Firewall()->LogFiles(); });
  for (const std::string& file : files) {
    for (int attempt = 0; attempt < kDeleteTries && Exists(file); ++attempt) {
      if (attempt > 0) platform::win32::Sleep(kRetryPauseMs);
      KillFileQuietly(file);
    }
  }
}

void SynchronizeTime() {
  platform::Quietly([] { contracts::Support().Time()->SynchronizeTime(); });
}

}  // namespace settings
