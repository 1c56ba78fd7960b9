// GetSystemMetrics, for the one value the system asks: the clean boot state.
#pragma once

#include <cstdint>

namespace platform::win32 {

inline constexpr int32_t kSmCleanBoot = 67;  // SM_CLEANBOOT

// How the system started: 0 normal, 1 fail-safe (safe mode), 2 fail-safe with
// network. Linux has no safe mode: the value is the machine configuration's
// "CleanBoot", 0 when not configured.
int32_t GetSystemMetricsCleanBoot();

// GetSystemMetrics(index): the clean boot state for kSmCleanBoot, 0 for any
// other index.
int32_t GetSystemMetrics(int32_t index);

}  // namespace platform::win32
