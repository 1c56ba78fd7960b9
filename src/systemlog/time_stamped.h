// Log lines that start with the local date and time.
#pragma once

#include <string>
#include <string_view>

namespace service {

// The local date and time in the general date form followed by `text`
// (": Service.OnStart - Initializing Resources").
std::string TimeStamped(std::string_view text);

}  // namespace service
