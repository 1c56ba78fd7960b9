// The host reaches the settings collections of the last event late-bound,
// as any cSettings client does, so a plug-in request never depends on which
// class stands behind them.
#pragma once

#include <string>

#include "platform/com/object_fwd.h"

namespace plugins::host {

// The value as text; raises what GetValue or the conversion raise (91 for
// Nothing).
std::string ValueText(const platform::com::ObjectPtr& settings, const std::string& name);
void SetValueText(const platform::com::ObjectPtr& settings, const std::string& name, const std::string& text);
std::string EnumSettingNames(const platform::com::ObjectPtr& settings, const std::string& previous);
bool Exists(const platform::com::ObjectPtr& settings, const std::string& name);

// The single-setting name forms of the requests: "global." at the start
// (letter case counts) names the system collection, the prefix dropped and
// the rest trimmed; any other name the user's collection, unchanged.
struct AddressedSetting {
  bool system = false;
  std::string name;
};
AddressedSetting AddressSetting(const std::string& name);

}  // namespace plugins::host
