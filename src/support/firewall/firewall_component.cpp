#include "support/firewall/firewall_component.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/root/machine_root.h"

namespace support {

std::string FirewallComponent::LogFolder() {
  std::filesystem::path folder(platform::MachineConfigValue("FirewallLogFolder"));
  if (folder.empty()) folder = "firewall/log";
  if (folder.is_relative()) folder = platform::MachineRoot() / folder;
  return folder.lexically_normal().string();
}

std::vector<std::string> FirewallComponent::LogFiles() {
  std::vector<std::string> files;
  std::error_code error;
  std::filesystem::directory_iterator entries(LogFolder(), error);
  if (error) return files;
  for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    std::error_code entry_error;
    if (entries->is_regular_file(entry_error)) files.push_back(entries->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace support
