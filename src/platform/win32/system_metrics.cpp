#include "platform/win32/system_metrics.h"

#include "platform/root/machine_root.h"

namespace platform::win32 {

int32_t GetSystemMetricsCleanBoot() {
  long value = MachineConfigNumber("CleanBoot", 0);
  // Only the three boot states exist; anything else is a typing slip.
  return value >= 0 && value <= 2 ? static_cast<int32_t>(value) : 0;
}

int32_t GetSystemMetrics(int32_t index) { return index == kSmCleanBoot ? GetSystemMetricsCleanBoot() : 0; }

}  // namespace platform::win32
