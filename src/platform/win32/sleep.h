// Sleep.
#pragma once

#include <cstdint>

namespace platform::win32 {

// Suspends the calling thread for `milliseconds` (0 just yields).
void Sleep(uint32_t milliseconds);

}  // namespace platform::win32
