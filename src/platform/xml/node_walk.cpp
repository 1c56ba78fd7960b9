// Reading many children in one pass: ForEachChildElement and ElementView.
#include "platform/xml/document_state.h"
#include "platform/xml/node.h"
#include "platform/xml/raw_tree.h"

namespace platform::xml {

void Node::WalkChildElements(void* context, void (*visit)(void*, const ElementView&)) const {
  if (!node_) return;
  auto guard = state_->Lock();
  for (detail::RawNode child = detail::FirstChildOf(node_); child; child = detail::NextSiblingOf(child)) {
    if (!detail::IsElement(child) || state_->IsHolder(child)) continue;
    visit(context, ElementView(child));
  }
}

std::string_view ElementView::Name() const { return detail::NameOf(node_); }

std::string_view ElementView::GetAttribute(std::string_view name) const {
  detail::RawAttribute attribute = detail::FindAttribute(node_, name);
  return attribute ? detail::ValueOf(attribute) : "";
}

bool ElementView::HasAttribute(std::string_view name) const { return detail::FindAttribute(node_, name) != nullptr; }

// Only the document node holds the hidden holder, so nothing below an
// element needs leaving out.
std::string ElementView::Text() const { return detail::TextBelow(node_, nullptr); }

void ElementView::AppendText(std::string& out) const { detail::AppendTextBelow(node_, nullptr, out); }

}  // namespace platform::xml
