#include "platform/registry/hive_access.h"
#include "platform/registry/registry.h"

namespace platform::registry {

LONG RegOpenKeyExA(HKEY key, const char* sub_key, DWORD /*options*/, REGSAM sam_desired, HKEY* result) {
  if (result == nullptr) return kErrorInvalidParameter;
  *result = 0;
  return WithHive("RegOpenKeyExA", [&](Hive& hive) {
    return hive.OpenKey(key, sub_key == nullptr ? "" : sub_key, sam_desired, result);
  });
}

}  // namespace platform::registry
