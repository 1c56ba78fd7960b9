#include <optional>
#include <string>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/xml/binary_base64.h"
#include "service/log/system_log.h"
#include "settings/xml/c_settings_xml.h"

namespace settings {
namespace {

// The "VT" attribute as a number; 0 when missing or not a number.
int32_t VarTypeAttribute(const platform::xml::Node& element) {
  const std::string text = element.GetAttribute("VT");
  if (text.empty()) return 0;
  try {
    return platform::CLng(platform::Variant(text));
  } catch (...) {
    return 0;
  }
}

// A property's value as the object receives it: the text, or the bytes of a
// "bin.base64" element taken as text. Raises for Base64 that does not decode.
std::string PropertyText(const platform::xml::Node& element) {
  if (!platform::xml::IsBinaryBase64(element)) return element.Text();
  std::optional<std::vector<uint8_t>> bytes = platform::xml::GetBinaryBase64(element);
  if (!bytes) platform::RaiseError(platform::kErrTypeMismatch, "The bin.base64 value is not valid Base64.");
  return std::string(bytes->begin(), bytes->end());
}

}  // namespace

void cSettingsXML::RestoreState(PropertyBagObject* object, std::string_view name) {
  if (!object) return;
  query_ = "VeltrisSettings/" + object->TypeName();
  if (!name.empty()) query_ += "[@name=\"" + std::string(name) + "\"]";
  if (!has_document_) {
    service::WriteSystemLog("SettingsXML.RestoreState: Unable to query for " + query_ +
                            "; XML properties collection not present!");
    return;
  }
  for (const platform::xml::Node& match : document_.SelectNodes("//" + query_)) {
    current_ = match;
    for (platform::xml::Node child = match.FirstChild(); child; child = child.NextSibling()) {
      // Only elements are properties: a stray text or comment restored as a
      // setting would make every later snapshot fail on its name.
      if (child.Type() != platform::xml::NodeType::kElement) continue;
      const std::string property = child.NodeName();
      try {
        object->RestoreProperty(property, PropertyText(child), VarTypeAttribute(child));
      } catch (const platform::BasicError& error) {
        // One unreadable value costs that value only, not the rest.
        service::WriteSystemLog("SettingsXML.RestoreState: Unable to restore property '" + property +
                                "'. Err=" + error.description());
      }
    }
  }
}

bool cSettingsXML::LoadXML(std::string_view text) {
  document_ = platform::xml::Document();
  has_document_ = true;
  current_ = platform::xml::Node();
  if (document_.LoadXml(text)) return true;
  service::WriteSystemLog("Unable to load settings.  XML error: " + document_.GetParseError().reason +
                          "  Settings string: " + std::string(text));
  return false;
}

platform::Variant cSettingsXML::ReadProperty(std::string_view name, const platform::Variant& default_value) {
  for (platform::xml::Node child = current_.FirstChild(); child; child = child.NextSibling()) {
    if (child.Type() != platform::xml::NodeType::kElement || child.NodeName() != name) continue;
    if (platform::xml::IsBinaryBase64(child)) {
      std::optional<std::vector<uint8_t>> bytes = platform::xml::GetBinaryBase64(child);
      return bytes ? platform::Variant(std::move(*bytes)) : default_value;
    }
    return platform::Variant(child.Text());
  }
  return default_value;
}

}  // namespace settings
