#include "plugins/host/branding_document.h"

#include <string>

#include "platform/basic/err.h"
#include "plugins/host/xml_node_component.h"

namespace plugins::host {
namespace {

bool HasElementChildren(const platform::xml::Node& node) {
  for (platform::xml::Node child = node.FirstChild(); child; child = child.NextSibling()) {
    if (child.Type() == platform::xml::NodeType::kElement) return true;
  }
  return false;
}

void Expand(platform::xml::Node node, contracts::BrandingResolver& resolver) {
  for (platform::xml::Node child = node.FirstChild(); child; child = child.NextSibling()) {
    if (!child.NodeName().starts_with("#")) Expand(child, resolver);
  }
  for (const platform::xml::Attribute& attribute : node.Attributes()) {
    platform::Step([&] { node.SetAttribute(attribute.name, resolver.Expand(attribute.value, "")); });
  }
  if (!HasElementChildren(node)) {
    const std::string text = node.Text();
    if (text.find('%') != std::string::npos) platform::Step([&] { node.SetText(resolver.Expand(text, "")); });
  }
}

}  // namespace

void ResolveBrandingElement(platform::xml::Node element, contracts::BrandingResolver& resolver) {
  for (platform::xml::Node entry = element.FirstChild(); entry; entry = entry.NextSibling()) {
    if (entry.Type() != platform::xml::NodeType::kElement) continue;
    const std::string text = entry.Text();
    platform::Step([&] {
      if (!text.empty() && text.back() == '*') {
        entry.SetText("");
        for (const platform::xml::Node& found : resolver.LookupNodes(text)) {
          ThreadXmlNodeComponent().AppendNode(entry, found);
        }
      } else {
        entry.SetText(resolver.LookupString(text, ""));
      }
    });
    Expand(entry, resolver);
  }
}

}  // namespace plugins::host
