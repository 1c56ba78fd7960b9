#include "platform/win32/time_zone.h"

#include <ctime>

namespace platform::win32 {

int32_t GetTimeZoneBias() {
  time_t now = std::time(nullptr);
  struct tm local {};
  if (::localtime_r(&now, &local) == nullptr) return 0;
  // tm_gmtoff already holds the daylight shift while daylight time is in force.
  return static_cast<int32_t>(-local.tm_gmtoff / 60);
}

}  // namespace platform::win32
