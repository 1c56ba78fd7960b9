// Documents: creation, the document element and new nodes.
#include "platform/xml/document.h"

#include "platform/xml/document_state.h"

#include <memory>

namespace platform::xml {

using detail::DocumentState;
using detail::NodeAccess;

Document::Document(Threading threading)
    : Document(NodeAccess::MakeDocument(std::make_unique<DocumentState>(threading == Threading::kFree))) {}

Document::Document(DocumentState* state) : Node(state, state ? state->doc().internal_object() : nullptr) {}

bool Document::IsFreeThreaded() const { return state_ && state_->free_threaded(); }

ParseError Document::GetParseError() const {
  if (!state_) return {};
  auto guard = state_->Lock();
  return state_->parse_error();
}

std::string ParseError::Describe() const {
  if (!Failed()) return {};
  return reason + " at offset " + std::to_string(offset);
}

Node Document::DocumentElement() const {
  if (!state_) return {};
  auto guard = state_->Lock();
  for (detail::RawNode child = detail::FirstChildOf(state_->root().internal_object()); child;
       child = detail::NextSiblingOf(child)) {
    if (detail::IsElement(child) && !state_->IsHolder(child)) return NodeAccess::Make(state_, child);
  }
  return {};
}

Node Document::SetDocumentElement(const Node& element) {
  if (!state_ || element.Type() != NodeType::kElement) return {};
  // No lock held across the change: ReplaceChild takes this document's lock
  // together with the element's document's, in a deadlock-free order.
  Node existing = DocumentElement();
  if (!existing) return AppendChild(element);
  if (!ReplaceChild(element, existing)) return {};
  return DocumentElement();
}

Node Document::CreateElement(std::string_view name) const {
  if (!state_ || !IsValidXmlName(name)) return {};
  auto guard = state_->Lock();
  state_->SweepOrphans();
  return NodeAccess::Make(state_, state_->holder().append_child(std::string(name).c_str()));
}

namespace {

Node CreateValueNode(DocumentState* state, pugi::xml_node_type type, std::string_view text) {
  if (!state) return {};
  auto guard = state->Lock();
  state->SweepOrphans();
  pugi::xml_node node = state->holder().append_child(type);
  if (!node) return {};
  node.set_value(std::string(text).c_str());
  return NodeAccess::Make(state, node);
}

}  // namespace

Node Document::CreateTextNode(std::string_view text) const {
  return CreateValueNode(state_, pugi::node_pcdata, text);
}

Node Document::CreateCDATASection(std::string_view text) const {
  return CreateValueNode(state_, pugi::node_cdata, text);
}

Node Document::CreateComment(std::string_view text) const {
  return CreateValueNode(state_, pugi::node_comment, text);
}

bool IsValidXmlName(std::string_view name) {
  if (name.empty()) return false;
  auto is_start = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
  };
  auto is_part = [&](unsigned char c) {
    return is_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
  };
  if (!is_start(static_cast<unsigned char>(name.front()))) return false;
  for (char c : name.substr(1)) {
    if (!is_part(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace platform::xml
