// Attributes of elements, kept in the order they were added.
#include "platform/xml/document.h"
#include "platform/xml/document_state.h"
#include "platform/xml/node.h"

namespace platform::xml {

bool Node::HasAttribute(std::string_view name) const {
  if (!node_) return false;
  auto guard = state_->Lock();
  return !pugi::xml_node(node_).attribute(std::string(name).c_str()).empty();
}

std::string Node::GetAttribute(std::string_view name) const {
  if (!node_) return {};
  auto guard = state_->Lock();
  return pugi::xml_node(node_).attribute(std::string(name).c_str()).value();
}

bool Node::SetAttribute(std::string_view name, std::string_view value) {
  if (!node_ || !IsValidXmlName(name)) return false;
  auto guard = state_->Lock();
  pugi::xml_node node(node_);
  if (node.type() != pugi::node_element) return false;
  const std::string key(name);
  pugi::xml_attribute attribute = node.attribute(key.c_str());
  if (!attribute) attribute = node.append_attribute(key.c_str());
  return attribute.set_value(std::string(value).c_str());
}

bool Node::RemoveAttribute(std::string_view name) {
  if (!node_) return false;
  auto guard = state_->Lock();
  return pugi::xml_node(node_).remove_attribute(std::string(name).c_str());
}

std::vector<Attribute> Node::Attributes() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  std::vector<Attribute> attributes;
  for (pugi::xml_attribute attribute : pugi::xml_node(node_).attributes()) {
    attributes.push_back({attribute.name(), attribute.value()});
  }
  return attributes;
}

}  // namespace platform::xml
