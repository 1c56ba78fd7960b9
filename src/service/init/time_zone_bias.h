// The time-zone bias the alert store turns local times into UTC with.
#pragma once

#include <cstdint>

namespace service {

// Minutes to add to local time to obtain UTC: the zone's bias, plus the
// daylight bias while daylight time is in effect. Callable from any thread.
int32_t GetTimeZoneBias();

}  // namespace service
