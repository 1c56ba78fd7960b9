#include "support/folders/folder_component.h"

#include <filesystem>

#include "platform/root/machine_root.h"

namespace support {
namespace {

// Stands for "no such line" in the machine configuration, which an empty
// value cannot.
constexpr char kMissing[] = "\x01";

}  // namespace

std::string FolderComponent::CommonFilesFolder() {
  const std::filesystem::path root = platform::MachineRoot();
  std::string configured = platform::MachineConfigValue("CommonFilesFolder", kMissing);
  if (configured == kMissing) return (root / "commonfiles").string();
  if (configured.empty()) return {};
  std::filesystem::path folder(configured);
  if (folder.is_relative()) folder = root / folder;
  return folder.lexically_normal().string();
}

}  // namespace support
