#include <string>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "platform/xml/binary_base64.h"
#include "settings/xml/c_settings_xml.h"

namespace settings {
namespace {

[[noreturn]] void RaiseInvalidValue() {
  platform::RaiseError(kErrInvalidPropertyValueType, kInvalidPropertyValueTypeText, kInvalidPropertyValueTypeSource);
}

// The value an object stands for (its default value); raises when it has none.
platform::Variant DefaultValueOf(const platform::com::Object& object) {
  platform::Variant value;
  auto hooks = platform::GetObjectHooks();
  if (!hooks.default_value || !hooks.default_value(object, &value) || value.IsObject()) RaiseInvalidValue();
  return value;
}

}  // namespace

void cSettingsXML::WriteProperty(std::string_view name, const platform::Variant& given) {
  platform::Variant value = given;
  if (value.IsObject() && !value.IsNothing()) {
    auto collection = platform::com::QueryInterface<PropertyBagObject>(value);
    if (collection) {
      platform::xml::Node nested = current_.AppendChild(document_.CreateElement(kSnapshotObjectElement));
      nested.SetAttribute("name", name);
      cSettingsXML nested_writer(document_, nested);
      collection->SaveToPropertyBag(nested_writer);
      return;
    }
    value = DefaultValueOf(*value.ObjectValue());
  }
  if (value.IsError() || (value.IsArray() && !value.IsByteArray())) RaiseInvalidValue();

  platform::xml::Node element = document_.CreateElement(name);
  if (!element) {
    platform::RaiseError(kErrInvalidXmlName, "Invalid XML name: '" + std::string(name) + "'",
                         kInvalidPropertyValueTypeSource);
  }
  element = current_.AppendChild(element);

  if (value.IsEmpty()) {
    element.SetAttribute("vartype", "empty");
    element.SetAttribute("VT", "0");
  } else if (value.IsNull()) {
    element.SetAttribute("vartype", "null");
    element.SetAttribute("VT", "1");
  } else if (value.IsNothing()) {
    element.SetAttribute("vartype", "nothing");
    element.SetAttribute("VT", "9");
  } else if (value.IsByteArray()) {
    platform::xml::SetBinaryBase64(element, value.Bytes());
    element.SetAttribute("VT", std::to_string(value.VarTypeCode()));
  } else if (platform::IsNumeric(value) || platform::IsDate(value)) {
    element.SetText(platform::CStr(value));
    element.SetAttribute("VT", std::to_string(value.VarTypeCode()));
  } else {
    const std::string text = platform::CStr(value);
    if (text.find_first_of("<>") == std::string::npos) {
      element.SetText(text);
    } else {
      element.AppendChild(document_.CreateCDATASection(text));
    }
    element.SetAttribute("VT", "8");
  }
}

}  // namespace settings
