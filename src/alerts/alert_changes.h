// Who hears of the changes this process makes to the Alerts table (the bus,
// which turns each into a signal): told after a change succeeded, on the
// thread that made it. Changes other processes write to the store file
// (hearthctl alerts) are not seen here.
//
//   uint64_t id = alerts::ListenToAlertChanges([](int32_t index, std::string_view change) { ... });
//   alerts::StopListeningToAlertChanges(id);
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace alerts {

// What happened to the alert: "posted", "updated", "deleted" (the row is
// gone), or "removed" (index 0: a store's alerts marked deleted were
// removed).
using AlertChangeListener = std::function<void(int32_t alert_index, std::string_view change)>;

uint64_t ListenToAlertChanges(AlertChangeListener listener);
void StopListeningToAlertChanges(uint64_t id);

// Tells every listener; the store's operations call it.
void TellAlertChanged(int32_t alert_index, std::string_view change);

}  // namespace alerts
