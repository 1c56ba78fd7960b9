// Reading many children in one pass: ForEachChildElement and ElementView.
#include "platform/xml/document_state.h"
#include "platform/xml/node.h"

namespace platform::xml {

void Node::WalkChildElements(void* context, void (*visit)(void*, const ElementView&)) const {
  if (!node_) return;
  auto guard = state_->Lock();
  for (pugi::xml_node child = pugi::xml_node(node_).first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element || state_->IsHolder(child)) continue;
    visit(context, ElementView(child.internal_object()));
  }
}

std::string_view ElementView::Name() const { return pugi::xml_node(node_).name(); }

namespace {

// Compares in place: no length of each attribute name is taken, and the
// stored name is never read past its end (a NUL in `name` never matches).
bool SameName(const char* stored, std::string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    if (stored[i] == '\0' || stored[i] != name[i]) return false;
  }
  return stored[name.size()] == '\0';
}

pugi::xml_attribute FindAttribute(pugi::xml_node node, std::string_view name) {
  for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    if (SameName(attribute.name(), name)) return attribute;
  }
  return {};
}

}  // namespace

std::string_view ElementView::GetAttribute(std::string_view name) const {
  return FindAttribute(pugi::xml_node(node_), name).value();
}

bool ElementView::HasAttribute(std::string_view name) const {
  return !FindAttribute(pugi::xml_node(node_), name).empty();
}

std::string ElementView::Text() const {
  pugi::xml_node element(node_);
  // The usual shape, one text child, without the general walk.
  pugi::xml_node only = element.first_child();
  if (only && !only.next_sibling() && (only.type() == pugi::node_pcdata || only.type() == pugi::node_cdata)) {
    return only.value();
  }
  std::string text;
  // Only the document node holds the hidden holder, so nothing below an
  // element needs skipping.
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    detail::ForEachInSubtree(child, [&](pugi::xml_node at) {
      if (at.type() == pugi::node_pcdata || at.type() == pugi::node_cdata) text += at.value();
      return true;
    });
  }
  return text;
}

}  // namespace platform::xml
