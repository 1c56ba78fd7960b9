#include "service/init/clean_boot.h"

#include "platform/win32/system_metrics.h"

namespace service {

bool IsFailSafeBootWithoutNetwork() { return platform::win32::GetSystemMetrics(platform::win32::kSmCleanBoot) == 1; }

}  // namespace service
