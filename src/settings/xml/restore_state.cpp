#include <pugixml.hpp>

#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/xml/base64.h"
#include "systemlog/system_log.h"
#include "settings/xml/binary_text.h"
#include "settings/xml/c_settings_xml.h"

namespace settings {
namespace {

// As the platform DOM reads documents: comments and processing instructions
// kept, line ends as written, a whitespace text that is all of an element's
// content kept.
constexpr unsigned int kParseOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute |
                                       pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration |
                                       pugi::parse_doctype | pugi::parse_ws_pcdata_single;

// The "VT" attribute as a number; 0 when missing or not a number.
int32_t VarTypeAttribute(pugi::xml_node element) {
  const std::string_view text = element.attribute("VT").value();
  if (text.empty()) return 0;
  int32_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error == std::errc() && end == text.data() + text.size()) return number;
  try {
    return platform::CLng(platform::Variant(text));
  } catch (...) {
    return 0;
  }
}

// A property's value as the object receives it: the text, or the bytes of a
// "bin.base64" element taken as text. Raises for Base64 that does not decode.
std::string PropertyText(pugi::xml_node element) {
  if (!IsBinaryBase64(element)) return ElementText(element);
  std::optional<std::vector<uint8_t>> bytes = platform::xml::DecodeBase64(ElementText(element));
  if (!bytes) platform::RaiseError(platform::kErrTypeMismatch, "The bin.base64 value is not valid Base64.");
  return std::string(bytes->begin(), bytes->end());
}

// The elements that "//VeltrisSettings/" + type (+ the name predicate) selects,
// in the order the query gives them: "VeltrisSettings" elements in document
// order, and under each its matching children in order. Found before any is
// restored, as the query would find them.
std::vector<pugi::xml_node> ObjectElements(const pugi::xml_document& document, std::string_view type,
                                           std::string_view name) {
  std::vector<pugi::xml_node> found;
  // Depth first without recursion: documents may nest deeper than the stack.
  pugi::xml_node node = document.first_child();
  while (node) {
    if (node.type() == pugi::node_element && std::string_view(node.name()) == kSnapshotRootName) {
      for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element || type != child.name()) continue;
        if (name.empty() || name == child.attribute("name").value()) found.push_back(child);
      }
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) node = node.parent();
    if (node) node = node.next_sibling();
  }
  return found;
}

}  // namespace

void cSettingsXML::RestoreState(PropertyBagObject* object, std::string_view name) {
  if (!object) return;
  const std::string type = object->TypeName();
  query_ = "VeltrisSettings/" + type;
  if (!name.empty()) query_ += "[@name=\"" + std::string(name) + "\"]";
  if (!document_) {
    service::WriteSystemLog("SettingsXML.RestoreState: Unable to query for " + query_ +
                            "; XML properties collection not present!");
    return;
  }
  // A name holding a double quote ends the query's literal early: no query
  // with it is valid, so nothing matches.
  if (name.find('"') != std::string_view::npos) return;
  // The object elements that "//" + query_ selects, found by hand: the query
  // engine would first gather every node of the document into a set of its
  // own.
  for (pugi::xml_node element : ObjectElements(*document_, type, name)) {
    current_ = element.internal_object();
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
      // Only elements are properties: a stray text or comment restored as a
      // setting would make every later snapshot fail on its name.
      if (child.type() != pugi::node_element) continue;
      try {
        object->RestoreProperty(child.name(), PropertyText(child), VarTypeAttribute(child));
      } catch (const platform::BasicError& error) {
        // One unreadable value costs that value only, not the rest.
        service::WriteSystemLog("SettingsXML.RestoreState: Unable to restore property '" + std::string(child.name()) +
                                "'. Err=" + error.description());
      }
    }
  }
}

bool cSettingsXML::LoadXML(std::string_view text) {
  document_ = std::make_shared<pugi::xml_document>();
  current_ = nullptr;
  std::string reason;
  if (text.find('\0') != std::string_view::npos) {
    reason = "NUL character in the document";
  } else if (pugi::xml_parse_result result =
                 document_->load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
             !result) {
    reason = result.description();
  } else if (!document_->document_element()) {
    reason = "No document element found";
  }
  if (reason.empty()) return true;
  document_->reset();
  service::WriteSystemLog("Unable to load settings.  XML error: " + reason + "  Settings string: " +
                          std::string(text));
  return false;
}

platform::Variant cSettingsXML::ReadProperty(std::string_view name, const platform::Variant& default_value) {
  for (pugi::xml_node child = pugi::xml_node(current_).first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element || child.name() != name) continue;
    if (IsBinaryBase64(child)) {
      std::optional<std::vector<uint8_t>> bytes = platform::xml::DecodeBase64(ElementText(child));
      return bytes ? platform::Variant(std::move(*bytes)) : default_value;
    }
    return platform::Variant(ElementText(child));
  }
  return default_value;
}

}  // namespace settings
