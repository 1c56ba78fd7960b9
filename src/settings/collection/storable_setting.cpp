#include "settings/collection/storable_setting.h"

#include "platform/basic/date_time.h"
#include "platform/basic/string_functions.h"
#include "platform/com/object.h"
#include "platform/xml/document.h"
#include "settings/xml/property_bag_object.h"

namespace settings {
namespace {

std::string WhyValueUnstorable(const platform::Variant& value) {
  const std::string type = platform::VarTypeName(value.vt());
  if (value.IsError() || (value.IsArray() && !value.IsByteArray())) {
    return "a setting cannot hold a value of type " + type;
  }
  if (value.IsDate() && !platform::IsValidDateSerial(value.DateValue())) {
    // NaN fails the range test too.
    return "a Date setting must lie between 1 January 100 and 31 December 9999";
  }
  if (value.IsObject() && !value.IsNothing()) {
    // A nested collection is saved as itself; any other object by its
    // default value, which must itself be storable.
    if (platform::com::QueryInterface<PropertyBagObject>(value)) return {};
    platform::Variant default_value;
    auto hooks = platform::GetObjectHooks();
    if (!hooks.default_value || !hooks.default_value(*value.ObjectValue(), &default_value) ||
        default_value.IsObject()) {
      return "a setting cannot hold an object that has no value of its own";
    }
    return WhyValueUnstorable(default_value);
  }
  return {};
}

}  // namespace

std::string StoredSettingName(std::string_view name_space, std::string_view setting) {
  std::string name = platform::LCase(setting);
  if (name.find('.') == std::string::npos) name.insert(0, name_space);
  return name;
}

std::string WhyUnstorable(std::string_view stored_name, const platform::Variant& value) {
  // Transient names never reach a store, so they may hold anything.
  if (stored_name.substr(0, 4) == "tmp.") return {};
  std::string why = WhyValueUnstorable(value);
  if (!why.empty()) return why;
  // "name=member" is written as an element "name.MV".
  const std::size_t equals = stored_name.find('=');
  std::string element(stored_name.substr(0, equals));
  if (equals != std::string_view::npos) element += ".MV";
  if (!platform::xml::IsValidXmlName(element)) {
    return "\"" + std::string(stored_name) + "\" cannot be a setting name (it is not a valid XML name)";
  }
  return {};
}

std::string KeptNamespace(std::string_view given) {
  std::string text = platform::LCase(given);
  if (text.empty() || text.back() != '.') text += '.';
  return text;
}

std::string WhyNoNamespace(std::string_view name_space) {
  if (name_space == ".") return {};
  // A namespace only ever prefixes a name, so it must be a valid start of one.
  if (name_space.find('=') != std::string_view::npos ||
      !platform::xml::IsValidXmlName(std::string(name_space) + "x")) {
    return "\"" + std::string(name_space) + "\" cannot be a namespace (it is not the start of a valid XML name)";
  }
  return {};
}

}  // namespace settings
