// The time-zone bias of GetTimeZoneInformation.
#pragma once

#include <cstdint>

namespace platform::win32 {

// Minutes to add to local time to get UTC, daylight time included while it is
// in force: minus the current UTC offset. Berlin in winter gives -60, in
// summer -120; New York in winter 300. Follows TZ (call tzset after changing
// it).
int32_t GetTimeZoneBias();

}  // namespace platform::win32
