#include "settings/xml/binary_text.h"

#include <string_view>

#include "platform/xml/base64.h"
#include "platform/xml/binary_base64.h"

namespace settings {
namespace {

// The namespace the element or its nearest ancestor declares for prefix.
std::string_view NamespaceOf(pugi::xml_node element, std::string_view prefix) {
  std::string declaration = "xmlns:";
  declaration += prefix;
  for (pugi::xml_node at = element; at.type() == pugi::node_element; at = at.parent()) {
    pugi::xml_attribute attribute = at.attribute(declaration.c_str());
    if (attribute) return attribute.value();
  }
  return {};
}

}  // namespace

void SetBinaryBase64(pugi::xml_node element, std::span<const std::uint8_t> bytes) {
  if (NamespaceOf(element, "dt") != platform::xml::kDataTypesNamespace) {
    element.append_attribute("xmlns:dt").set_value(std::string(platform::xml::kDataTypesNamespace).c_str());
  }
  element.append_attribute("dt:dt").set_value(std::string(platform::xml::kBinBase64).c_str());
  const std::string text = platform::xml::EncodeBase64(bytes);
  element.append_child(pugi::node_pcdata).set_value(text.c_str(), text.size());
}

bool IsBinaryBase64(pugi::xml_node element) {
  for (pugi::xml_attribute attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    const std::string_view name = attribute.name();
    if (attribute.value() != platform::xml::kBinBase64 || name.size() < 4 || !name.ends_with(":dt")) continue;
    if (NamespaceOf(element, name.substr(0, name.size() - 3)) == platform::xml::kDataTypesNamespace) return true;
  }
  return false;
}

std::string ElementText(pugi::xml_node element) {
  pugi::xml_node first = element.first_child();
  if (!first) return {};
  // The usual case: one text node and nothing else.
  if (!first.next_sibling() && (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata)) {
    return first.value();
  }
  std::string text;
  // Depth first without recursion: documents may nest deeper than the stack.
  pugi::xml_node node = first;
  while (node && node != element) {
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) text += node.value();
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != element && !node.next_sibling()) node = node.parent();
    if (node != element) node = node.next_sibling();
  }
  return text;
}

}  // namespace settings
