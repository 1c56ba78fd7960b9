#include "platform/basic/compare.h"
#include "platform/basic/conversions.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_bag.h"

namespace settings {

platform::Variant cSettings::GetValue(std::string_view setting) {
  const platform::Variant* value = Bag().Find(NormaliseSettingName(setting));
  return value ? *value : platform::Variant("");
}

bool cSettings::GetValueB(std::string_view setting) {
  const platform::Variant* value = Bag().Find(NormaliseSettingName(setting));
  if (!value) return false;
  if (platform::VarEquals(*value, platform::Variant(""))) return false;
  return platform::CBool(*value);
}

int32_t cSettings::GetValueL(std::string_view setting) {
  const platform::Variant* value = Bag().Find(NormaliseSettingName(setting));
  if (!value) return 0;
  return platform::CLng(*value);
}

}  // namespace settings
