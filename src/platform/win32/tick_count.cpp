#include "platform/win32/tick_count.h"

#include <time.h>

namespace platform::win32 {

int32_t GetTickCount() {
  struct timespec now {};
  if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0) ::clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  // Keep the low 32 bits, read as signed, as the Windows count does.
  return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

}  // namespace platform::win32
