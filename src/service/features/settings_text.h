// Reading and writing the feature sets as texts of a settings collection.
#pragma once

#include <string>
#include <string_view>

namespace settings {
class cSettings;
}

namespace service::detail {

// The setting as text; empty text when it is missing or cannot be read as
// text (the error stays recorded).
std::string ReadSettingText(settings::cSettings& settings, std::string_view name);

// Sets the text; a failure is recorded and nothing else happens.
void WriteSettingText(settings::cSettings& settings, std::string_view name, const std::string& text);

}  // namespace service::detail
