// Log lines that start with the local date and time.
#pragma once

#include <string_view>

namespace service::detail {

// Writes the local date and time in the general date form followed by
// `text` (": SettingsChanged - ...").
void WriteDatedLog(std::string_view text);

}  // namespace service::detail
