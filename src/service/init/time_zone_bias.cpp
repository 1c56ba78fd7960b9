#include "service/init/time_zone_bias.h"

#include "platform/win32/time_zone.h"

namespace service {

// The platform's bias already includes the daylight bias while it applies.
int32_t GetTimeZoneBias() { return platform::win32::GetTimeZoneBias(); }

}  // namespace service
