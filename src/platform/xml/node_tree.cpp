// Tree changes: append, insert, replace, remove, clone.
#include "platform/xml/document.h"
#include "platform/xml/document_state.h"
#include "platform/xml/node.h"

#include <memory>
#include <utility>

namespace platform::xml {

using detail::DocumentState;
using detail::NodeAccess;

namespace {

bool IsContainer(pugi::xml_node node) {
  return node.type() == pugi::node_element || node.type() == pugi::node_document;
}

// Whether node may stand under parent, in place of replaced when given. The
// document node holds at most one element and never text.
bool MayHold(const DocumentState& state, pugi::xml_node parent, pugi::xml_node node, pugi::xml_node replaced) {
  pugi::xml_node_type type = node.type();
  if (type == pugi::node_null || type == pugi::node_document) return false;
  if (parent.type() == pugi::node_element) return type != pugi::node_declaration && type != pugi::node_doctype;
  if (type == pugi::node_pcdata || type == pugi::node_cdata) return false;
  if (type != pugi::node_element) return true;
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && !state.IsHolder(child) && child != node && child != replaced) return false;
  }
  return true;
}

// node is parent itself or one of its ancestors.
bool ContainsOrIs(pugi::xml_node node, pugi::xml_node parent) {
  for (pugi::xml_node at = parent; at; at = at.parent()) {
    if (at == node) return true;
  }
  return false;
}

// Puts node (of the same document: moved; of another: copied) under parent
// before `before` (null: at the end, ahead of the holder on the document
// node). Answers the node that now stands there.
pugi::xml_node Place(DocumentState& state, pugi::xml_node parent, pugi::xml_node node, bool same_document,
                     pugi::xml_node before) {
  if (!before && parent == state.root()) before = state.holder();
  if (same_document) {
    if (before == node) return node;
    return before ? parent.insert_move_before(node, before) : parent.append_move(node);
  }
  return before ? parent.insert_copy_before(node, before) : parent.append_copy(node);
}

}  // namespace

Node Node::InsertAt(const Node& child, const Node& reference, bool append) {
  if (!node_ || !child.node_) return {};
  if (!append && reference.node_ && reference.state_ != state_) return {};
  const bool same_document = child.state_ == state_;
  detail::PairGuard guard(state_->mutex(), same_document ? nullptr : child.state_->mutex());
  pugi::xml_node parent(node_);
  pugi::xml_node node(child.node_);
  pugi::xml_node before = append ? pugi::xml_node() : pugi::xml_node(reference.node_);
  if (!IsContainer(parent)) return {};
  if (before && before.parent() != parent) return {};
  if (!MayHold(*state_, parent, node, pugi::xml_node())) return {};
  if (same_document && ContainsOrIs(node, parent)) return {};
  return NodeAccess::Make(state_, Place(*state_, parent, node, same_document, before));
}

Node Node::AppendChild(const Node& child) { return InsertAt(child, Node(), true); }

Node Node::InsertBefore(const Node& child, const Node& reference) { return InsertAt(child, reference, !reference); }

Node Node::ReplaceChild(const Node& new_child, const Node& old_child) {
  if (!node_ || !new_child.node_ || !old_child.node_ || old_child.state_ != state_) return {};
  if (new_child == old_child) return old_child;
  const bool same_document = new_child.state_ == state_;
  detail::PairGuard guard(state_->mutex(), same_document ? nullptr : new_child.state_->mutex());
  pugi::xml_node parent(node_);
  pugi::xml_node node(new_child.node_);
  pugi::xml_node old(old_child.node_);
  if (!IsContainer(parent) || old.parent() != parent) return {};
  if (!MayHold(*state_, parent, node, old)) return {};
  if (same_document && ContainsOrIs(node, parent)) return {};
  if (!Place(*state_, parent, node, same_document, old)) return {};
  state_->Orphan(old);
  return old_child;
}

Node Node::RemoveChild(const Node& child) {
  if (!node_ || !child.node_ || child.state_ != state_) return {};
  auto guard = state_->Lock();
  pugi::xml_node node(child.node_);
  if (node.parent() != pugi::xml_node(node_) || state_->IsHolder(node)) return {};
  state_->Orphan(node);
  return child;
}

Node Node::CloneNode(bool deep) const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node node(node_);
  if (node.type() == pugi::node_document) {
    auto copy = std::make_unique<DocumentState>(state_->free_threaded());
    if (deep) {
      for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (!state_->IsHolder(child)) copy->doc().insert_copy_before(child, copy->holder());
      }
    }
    return NodeAccess::MakeDocument(std::move(copy));
  }
  state_->SweepOrphans();
  pugi::xml_node holder = state_->holder();
  if (deep || node.type() != pugi::node_element) return NodeAccess::Make(state_, holder.append_copy(node));
  pugi::xml_node copy = holder.append_child(node.name());
  for (pugi::xml_attribute attribute : node.attributes()) {
    copy.append_attribute(attribute.name()).set_value(attribute.value());
  }
  return NodeAccess::Make(state_, copy);
}

}  // namespace platform::xml
