#include "service/log/log_folder.h"

#include <filesystem>
#include <system_error>

#include "platform/root/machine_root.h"

namespace service {

std::string LogFolder() {
  std::filesystem::path folder = platform::MachineRoot() / "commonfiles/Norvale/QORC/log";
  std::error_code ignored;
  if (!std::filesystem::is_directory(folder, ignored)) std::filesystem::create_directories(folder, ignored);
  return folder.string();
}

void PrepareLogPath(const std::string&) {}

}  // namespace service
