#include "platform/basic/string_functions.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_bag.h"

namespace settings {
namespace {

// The first name from `slot` on that starts with `prefix`, lower-cased.
std::string FirstMatchFrom(const SettingsBag& bag, std::size_t slot, std::string_view prefix) {
  for (; slot < bag.SlotCount(); ++slot) {
    const SettingsBag::Entry* entry = bag.SlotAt(slot);
    if (entry && std::string_view(entry->name).starts_with(prefix)) return platform::LCase(entry->name);
  }
  return {};
}

}  // namespace

std::string cSettings::EnumSettingNames(std::string_view prev_setting_name) {
  SettingsBag& bag = Bag();
  // A name that itself ends in "*" ("list=a*") and was just handed out is a
  // continuation, not a new pattern: otherwise the walk would start over at
  // it for ever.
  const bool continuing = !last_enumerated_.empty() && prev_setting_name == last_enumerated_;
  if (prev_setting_name.ends_with('*') && !continuing) {
    prev_setting_name.remove_suffix(1);
    enumeration_prefix_ = platform::LCase(prev_setting_name);
    last_enumerated_ = FirstMatchFrom(bag, 0, enumeration_prefix_);
    return last_enumerated_;
  }
  const auto slot = bag.SlotOf(platform::LCase(prev_setting_name));
  last_enumerated_ = slot ? FirstMatchFrom(bag, *slot + 1, enumeration_prefix_) : std::string();
  return last_enumerated_;
}

}  // namespace settings
