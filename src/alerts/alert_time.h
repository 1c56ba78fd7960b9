// Alert times: local times stored in UTC as "mm/dd/yyyy hh:nn:ss".
#pragma once

#include <string>

#include "platform/basic/variant.h"

namespace alerts {

// The local time `local_serial` plus the current time-zone bias, as the 19
// characters "mm/dd/yyyy hh:nn:ss" (month first, 24-hour clock). Raises for
// a serial outside the valid dates.
std::string FormatAlertTime(double local_serial);

// The current time in UTC (the local time plus the current bias) as
// FormatAlertTime writes it, held as a text Variant. Made once per second on
// each thread: every update of an alert stamps it.
const platform::Variant& CurrentAlertTime();

// The stored time text with its date part in the order of `order_code`
// ("MMDDYY" unchanged, "DDMMYY" day/month/year, "YYMMDD" year/month/day).
std::string ReorderAlertTime(const std::string& stored, const std::string& order_code);

}  // namespace alerts
