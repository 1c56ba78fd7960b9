#include <mutex>
#include <utility>

#include "contracts/support_objects.h"
#include "platform/basic/compare.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_bag.h"
#include "settings/collection/settings_events.h"
#include "settings/collection/storable_setting.h"

namespace settings {
namespace {

std::mutex& ListenerMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<void()>& BrandChangeListener() {
  static std::function<void()> listener;
  return listener;
}

// Whether a stored value differs from the new one. Values that cannot be
// compared (objects without a default value, arrays, error values) differ
// unless they are the very same; Null differs from everything, itself too.
bool ValuesDiffer(const platform::Variant& old_value, const platform::Variant& new_value) {
  if (platform::Identical(old_value, new_value) && !old_value.IsNull()) return false;
  try {
    return !platform::VarEquals(old_value, new_value);
  } catch (...) {
    return true;
  }
}

// True for a Boolean True or the number -1 (not for the text "True").
bool IsTrueValue(const platform::Variant& value) {
  try {
    return platform::VarEquals(value, platform::Variant(true));
  } catch (...) {
    return false;
  }
}

// Whether `collection` is `target` or holds it at any depth. A collection
// that held itself could never be written.
bool Contains(const cSettings& collection, const cSettings* target) {
  if (&collection == target) return true;
  for (std::size_t i = 0; i < collection.Count(); ++i) {
    const platform::Variant& value = collection.ValueAt(i);
    if (!value.IsObject()) continue;
    auto nested = platform::com::QueryInterface<cSettings>(value);
    if (nested && Contains(*nested, target)) return true;
  }
  return false;
}

void RunBrandChange() {
  platform::Step([] {
    auto branding = contracts::Support().Branding();
    branding->SwitchBrand("");
    branding->Reset();
  });
  std::function<void()> listener;
  {
    std::lock_guard<std::mutex> lock(ListenerMutex());
    listener = BrandChangeListener();
  }
  if (!listener) return;
  // The plug-ins hear OnUserLogoff twice: the first lets them drop what
  // belongs to the old brand, the second finds them settled in the new one.
  platform::Step([&] { listener(); });
  platform::Step([&] { listener(); });
}

}  // namespace

void SetBrandChangeListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> lock(ListenerMutex());
  BrandChangeListener() = std::move(listener);
}

bool cSettings::StoreValue(std::string_view setting, const platform::Variant& value) {
  return StoreValueAt(NormaliseSettingName(setting), value);
}

bool cSettings::StoreValueAt(std::string key, platform::Variant value) {
  bool added = false;
  platform::Variant& stored = Bag().Slot(std::move(key), &added);
  const bool changed = added || ValuesDiffer(stored, value);
  stored = std::move(value);
  return changed;
}

void cSettings::SetValue(std::string_view setting, const platform::Variant& value) {
  std::string name = NormaliseSettingName(setting);
  std::string why = WhyUnstorable(name, value);
  if (why.empty() && value.IsObject()) {
    auto nested = platform::com::QueryInterface<cSettings>(value);
    if (nested && Contains(*nested, this)) why = "a collection cannot hold itself";
  }
  if (!why.empty()) platform::RaiseError(kErrUnstorableSetting, why, "cSettings");
  if (setting == kBrandChangeSetting && IsTrueValue(value)) RunBrandChange();
  if (StoreValueAt(std::move(name), value)) ValueChanged(setting, value);
}

void cSettings::ValueChanged(std::string_view setting, const platform::Variant& value) {
  dirty_ = true;
  if (events_.SinkCount() == 0) return;
  platform::Variant args[] = {platform::Variant(setting), value};
  RaiseSettingsEvent(events_, kDispIdSettingChanged, args);
}

void cSettings::RemoveValue(std::string_view setting) {
  const std::string name = NormaliseSettingName(setting);
  SettingsBag& bag = Bag();
  const platform::Variant* value = bag.Find(name);
  if (!value) return;
  platform::Variant old_value = *value;
  bag.Remove(name);
  if (events_.SinkCount() == 0) return;
  platform::Variant args[] = {platform::Variant(name), std::move(old_value)};
  RaiseSettingsEvent(events_, kDispIdSettingRemoved, args);
}

}  // namespace settings
