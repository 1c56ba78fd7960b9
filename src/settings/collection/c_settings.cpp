#include "settings/collection/c_settings.h"

#include <stdexcept>
#include <utility>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "settings/collection/settings_bag.h"
#include "settings/collection/settings_events.h"
#include "settings/collection/storable_setting.h"

namespace settings {

cSettings::cSettings() = default;
cSettings::~cSettings() = default;

SettingsBag& cSettings::Bag() {
  if (!bag_) bag_ = std::make_unique<SettingsBag>();
  return *bag_;
}

std::string cSettings::Namespace() const { return platform::LCase(namespace_); }

void cSettings::SetNamespace(std::string_view value) {
  std::string text = KeptNamespace(value);
  const std::string why = WhyNoNamespace(text);
  if (!why.empty()) platform::RaiseError(kErrUnstorableSetting, why, "cSettings");
  namespace_ = std::move(text);
}

std::string cSettings::NormaliseSettingName(std::string_view setting) const {
  return StoredSettingName(namespace_, setting);
}

std::string cSettings::InNamespace(std::string name) const {
  // Under the empty namespace "." a loaded name would become ".name", which
  // no snapshot could hold again: such a name is kept as the file gave it.
  if (name.find('.') == std::string::npos && namespace_ != ".") name.insert(0, namespace_);
  return name;
}

bool cSettings::Exists(std::string_view setting) { return Bag().Exists(setting); }

void cSettings::ClearAllSettings() {
  Bag().Clear();
  namespace_.clear();
  dirty_ = false;
  RaiseSettingsEvent(events_, kDispIdSettingsCleared);
}

platform::Variant cSettings::DoSync(std::string& reason) {
  platform::Variant argument(reason);
  RaiseSettingsEvent(events_, kDispIdSync, std::span<platform::Variant>(&argument, 1));
  // The sink may have written the reason back.
  platform::Quietly([&] { reason = platform::CStr(argument); });
  return platform::Variant();
}

platform::Variant cSettings::DoSync(std::string_view reason) {
  std::string text(reason);
  return DoSync(text);
}

std::size_t cSettings::Count() const { return bag_ ? bag_->Count() : 0; }

const std::string& cSettings::NameAt(std::size_t index) const {
  if (!bag_) throw std::out_of_range("cSettings::NameAt");
  return bag_->At(index).name;
}

const platform::Variant& cSettings::ValueAt(std::size_t index) const {
  if (!bag_) throw std::out_of_range("cSettings::ValueAt");
  return bag_->At(index).value;
}

}  // namespace settings
