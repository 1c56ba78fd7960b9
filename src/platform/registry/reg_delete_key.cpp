#include "platform/registry/hive_access.h"
#include "platform/registry/registry.h"

namespace platform::registry {

LONG RegDeleteKeyA(HKEY key, const char* sub_key) {
  if (sub_key == nullptr) return kErrorInvalidParameter;
  return WithHive("RegDeleteKeyA", [&](Hive& hive) { return hive.DeleteKey(key, sub_key); });
}

LONG RegDeleteTreeA(HKEY key, const char* sub_key) {
  return WithHive("RegDeleteTreeA", [&](Hive& hive) { return hive.DeleteTree(key, sub_key); });
}

}  // namespace platform::registry
