#include "platform/registry/hive_access.h"
#include "platform/registry/registry.h"

namespace platform::registry {

LONG RegDeleteValueA(HKEY key, const char* value_name) {
  return WithHive("RegDeleteValueA",
                  [&](Hive& hive) { return hive.DeleteValue(key, value_name == nullptr ? "" : value_name); });
}

}  // namespace platform::registry
