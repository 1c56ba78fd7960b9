// GetTickCount: milliseconds since the system started.
#pragma once

#include <cstdint>

namespace platform::win32 {

// Milliseconds since boot (CLOCK_BOOTTIME, so time asleep counts), truncated
// to a signed 32-bit number: after about 24.8 days it turns negative and after
// about 49.7 days it wraps, as the Windows count does. Differences of two
// readings taken less than 24.8 days apart are right when computed in
// 32-bit arithmetic (static_cast<int32_t>(static_cast<uint32_t>(b) - a)).
int32_t GetTickCount();

}  // namespace platform::win32
