#include "platform/registry/hive_access.h"
#include "platform/registry/registry.h"

namespace platform::registry {

LONG RegCloseKey(HKEY key) {
  return WithHive("RegCloseKey", [&](Hive& hive) { return hive.CloseKey(key); });
}

}  // namespace platform::registry
