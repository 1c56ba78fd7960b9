#include "platform/registry/hive_access.h"
#include "platform/registry/registry.h"

namespace platform::registry {

LONG RegSetValueExA(HKEY key, const char* value_name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD data_size) {
  if (reserved != 0 || (data == nullptr && data_size != 0)) return kErrorInvalidParameter;
  return WithHive("RegSetValueExA", [&](Hive& hive) {
    return hive.SetValue(key, value_name == nullptr ? "" : value_name, type, data, data_size);
  });
}

}  // namespace platform::registry
