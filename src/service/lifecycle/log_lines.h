// Log helpers of the start and stop orders.
#pragma once

#include <string>

namespace service {

// The pending error's description, empty when none ("Err=" lines).
std::string PendingErrorText();

}  // namespace service
