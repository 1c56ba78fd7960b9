#include "plugins/host/late_bound_settings.h"

#include "platform/basic/conversions.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"

namespace plugins::host {

using platform::Variant;

std::string ValueText(const platform::com::ObjectPtr& settings, const std::string& name) {
  return platform::CStr(platform::com::CallByName(settings, "GetValue", {Variant(name)}));
}

void SetValueText(const platform::com::ObjectPtr& settings, const std::string& name, const std::string& text) {
  platform::com::CallByName(settings, "SetValue", {Variant(name), Variant(text)});
}

std::string EnumSettingNames(const platform::com::ObjectPtr& settings, const std::string& previous) {
  return platform::CStr(platform::com::CallByName(settings, "EnumSettingNames", {Variant(previous)}));
}

bool Exists(const platform::com::ObjectPtr& settings, const std::string& name) {
  return platform::CBool(platform::com::CallByName(settings, "Exists", {Variant(name)}));
}

AddressedSetting AddressSetting(const std::string& name) {
  constexpr std::string_view kGlobal = "global.";
  if (name.starts_with(kGlobal)) return {true, platform::Trim(std::string_view(name).substr(kGlobal.size()))};
  return {false, name};
}

}  // namespace plugins::host
