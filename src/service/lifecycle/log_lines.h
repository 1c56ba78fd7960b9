// Log helpers of the start and stop orders.
#pragma once

#include <string>
#include <string_view>

namespace service {

// The local date and time in the general date form followed by `text`
// (": Service.OnStart - Initializing Resources").
std::string TimeStamped(std::string_view text);

// The pending error's description, empty when none ("Err=" lines).
std::string PendingErrorText();

}  // namespace service
