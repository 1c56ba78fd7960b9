#include "platform/registry/hive_access.h"
#include "platform/registry/registry.h"

namespace platform::registry {

LONG RegCreateKeyExA(HKEY key, const char* sub_key, DWORD /*reserved*/, const char* key_class, DWORD /*options*/,
                     REGSAM sam_desired, const void* /*security_attributes*/, HKEY* result, DWORD* disposition) {
  if (sub_key == nullptr || result == nullptr) return kErrorInvalidParameter;
  *result = 0;
  DWORD ignored = 0;
  return WithHive("RegCreateKeyExA", [&](Hive& hive) {
    return hive.CreateKey(key, sub_key, key_class == nullptr ? "" : key_class, sam_desired, result,
                          disposition == nullptr ? &ignored : disposition);
  });
}

}  // namespace platform::registry
