// Attributes of elements, kept in the order they were added.
#include "platform/xml/document.h"
#include "platform/xml/document_state.h"
#include "platform/xml/node.h"
#include "platform/xml/raw_tree.h"

namespace platform::xml {

bool Node::HasAttribute(std::string_view name) const {
  if (!node_) return false;
  auto guard = state_->Lock();
  return detail::FindAttribute(node_, name) != nullptr;
}

std::string Node::GetAttribute(std::string_view name) const {
  if (!node_) return {};
  auto guard = state_->Lock();
  detail::RawAttribute attribute = detail::FindAttribute(node_, name);
  return attribute ? detail::ValueOf(attribute) : std::string();
}

bool Node::SetAttribute(std::string_view name, std::string_view value) {
  if (!node_ || !IsValidXmlName(name)) return false;
  auto guard = state_->Lock();
  pugi::xml_node node(node_);
  if (detail::TypeOf(node_) != pugi::node_element) return false;
  pugi::xml_attribute attribute(detail::FindAttribute(node_, name));
  if (!attribute) attribute = node.append_attribute(std::string(name).c_str());
  return attribute.set_value(std::string(value).c_str());
}

bool Node::RemoveAttribute(std::string_view name) {
  if (!node_) return false;
  auto guard = state_->Lock();
  pugi::xml_attribute attribute(detail::FindAttribute(node_, name));
  return attribute && pugi::xml_node(node_).remove_attribute(attribute);
}

std::vector<Attribute> Node::Attributes() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  std::vector<Attribute> attributes;
  for (detail::RawAttribute attribute = detail::FirstAttributeOf(node_); attribute;
       attribute = detail::NextAttributeOf(attribute)) {
    attributes.push_back({detail::NameOf(attribute), detail::ValueOf(attribute)});
  }
  return attributes;
}

}  // namespace platform::xml
