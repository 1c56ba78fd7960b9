#include <pugixml.hpp>

#include <cstdint>
#include <span>
#include <string>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "platform/xml/document.h"
#include "settings/xml/binary_text.h"
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

void SetText(pugi::xml_node element, const std::string& text) {
  if (!text.empty()) element.append_child(pugi::node_pcdata).set_value(text.c_str(), text.size());
}

}  // namespace

void cSettingsXML::WriteProperty(std::string_view name, const platform::Variant& given) {
  pugi::xml_node parent(current_);
  const platform::Variant* value = &given;
  platform::Variant default_value;
  if (given.IsObject() && !given.IsNothing()) {
    auto collection = platform::com::QueryInterface<PropertyBagObject>(given);
    if (collection) {
      pugi::xml_node nested = parent.append_child(kSnapshotObjectElement);
      nested.append_attribute("name").set_value(std::string(name).c_str());
      cSettingsXML nested_writer(document_, nested.internal_object());
      collection->SaveToPropertyBag(nested_writer);
      return;
    }
    default_value = DefaultValueOf(*given.ObjectValue());
    value = &default_value;
  }
  if (value->IsError() || (value->IsArray() && !value->IsByteArray())) RaiseInvalidValue();

  if (!platform::xml::IsValidXmlName(name)) {
    platform::RaiseError(kErrInvalidXmlName, "Invalid XML name: '" + std::string(name) + "'",
                         kInvalidPropertyValueTypeSource);
  }
  scratch_.assign(name);
  pugi::xml_node element = parent.append_child(scratch_.c_str());

  if (value->IsEmpty()) {
    element.append_attribute("vartype").set_value("empty");
    element.append_attribute("VT").set_value("0");
  } else if (value->IsNull()) {
    element.append_attribute("vartype").set_value("null");
    element.append_attribute("VT").set_value("1");
  } else if (value->IsNothing()) {
    element.append_attribute("vartype").set_value("nothing");
    element.append_attribute("VT").set_value("9");
  } else if (value->IsByteArray()) {
    SetBinaryBase64(element, value->Bytes());
    element.append_attribute("VT").set_value(value->VarTypeCode());
  } else if (platform::IsNumeric(*value) || platform::IsDate(*value)) {
    SetText(element, platform::CStr(*value));
    element.append_attribute("VT").set_value(value->VarTypeCode());
  } else {
    std::string converted;
    const std::string& text = value->IsString() ? value->StringValue() : (converted = platform::CStr(*value));
    if (text.find('\0') != std::string::npos) {
      // XML text cannot hold a NUL byte: such a text (a byte array read back
      // from a file is one) travels as its bytes, which the reader hands back
      // as the same text.
      const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
      SetBinaryBase64(element, std::span<const std::uint8_t>(data, text.size()));
    } else if (text.find_first_of("<>") == std::string::npos) {
      SetText(element, text);
    } else {
      element.append_child(pugi::node_cdata).set_value(text.c_str(), text.size());
    }
    element.append_attribute("VT").set_value("8");
  }
}

}  // namespace settings
