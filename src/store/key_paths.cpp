#include "store/key_paths.h"

namespace store {

std::string JoinKeyPath(const std::string& key_name, const std::string& suffix) {
  if (key_name.empty()) return suffix.starts_with('\\') ? suffix.substr(1) : suffix;
  return key_name + suffix;
}

bool IsPredefinedRoot(int32_t root) {
  const auto key = static_cast<platform::registry::HKEY>(root);
  return key >= platform::registry::kHkeyClassesRoot && key <= platform::registry::kHkeyUsers;
}

}  // namespace store
