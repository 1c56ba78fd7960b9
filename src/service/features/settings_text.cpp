#include "service/features/settings_text.h"

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "settings/collection/c_settings.h"

namespace service::detail {

std::string ReadSettingText(settings::cSettings& settings, std::string_view name) {
  std::string text;
  platform::Step([&] { text = platform::CStr(settings.GetValue(name)); });
  return text;
}

void WriteSettingText(settings::cSettings& settings, std::string_view name, const std::string& text) {
  platform::Step([&] { settings.SetValue(name, platform::Variant(text)); });
}

}  // namespace service::detail
