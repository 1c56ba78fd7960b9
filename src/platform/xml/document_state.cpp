#include "platform/xml/document_state.h"

#include <mutex>

namespace platform::xml::detail {

PairGuard::PairGuard(std::recursive_mutex* a, std::recursive_mutex* b) : a_(a), b_(b == a ? nullptr : b) {
  if (a_ && b_) {
    std::lock(*a_, *b_);
  } else if (a_) {
    a_->lock();
  } else if (b_) {
    b_->lock();
  }
}

PairGuard::~PairGuard() {
  if (a_) a_->unlock();
  if (b_) b_->unlock();
}

DocumentState::DocumentState(bool free_threaded)
    : mutex_(free_threaded ? std::make_unique<std::recursive_mutex>() : nullptr) {
  ResetHolder();
}

void DocumentState::ResetHolder() { holder_ = doc_.append_child(pugi::node_element); }

void DocumentState::AddHandle(pugi::xml_node_struct* node) {
  ++handles_[node];
  if (node != doc_.internal_object()) ++content_handles_;
}

void DocumentState::DropHandle(pugi::xml_node_struct* node) noexcept {
  auto it = handles_.find(node);
  if (it == handles_.end()) return;
  if (node != doc_.internal_object()) --content_handles_;
  if (--it->second > 0) return;
  handles_.erase(it);
  if (!HasOrphans()) return;
  pugi::xml_node dropped(node);
  if (dropped.parent() == holder_) {
    CollectIfUnreferenced(dropped);
  } else {
    sweep_due_ = true;
  }
}

void DocumentState::SweepOrphans() noexcept {
  if (!sweep_due_) return;
  sweep_due_ = false;
  for (pugi::xml_node orphan = holder_.first_child(); orphan;) {
    pugi::xml_node next = orphan.next_sibling();
    CollectIfUnreferenced(orphan);
    orphan = next;
  }
}

pugi::xml_node DocumentState::OrphanRoot(pugi::xml_node node) const {
  for (pugi::xml_node at = node; at; at = at.parent()) {
    if (at.parent() == holder_) return at;
  }
  return {};
}

bool DocumentState::Referenced(pugi::xml_node subtree) const {
  if (handles_.size() <= 1 && handles_.count(doc_.internal_object())) return false;
  bool found = false;
  ForEachInSubtree(subtree, [&](pugi::xml_node node) {
    found = handles_.count(node.internal_object()) > 0;
    return !found;
  });
  return found;
}

void DocumentState::Orphan(pugi::xml_node node) {
  if (!node || node.parent() == holder_) return;
  SweepOrphans();
  pugi::xml_node moved = holder_.append_move(node);
  if (moved) CollectIfUnreferenced(moved);
}

void DocumentState::CollectIfUnreferenced(pugi::xml_node orphan_root) noexcept {
  if (orphan_root.parent() != holder_) return;
  if (!Referenced(orphan_root)) holder_.remove_child(orphan_root);
}

void DocumentState::ClearContent() {
  for (pugi::xml_node child = doc_.first_child(); child;) {
    pugi::xml_node next = child.next_sibling();
    if (child != holder_) Orphan(child);
    child = next;
  }
}

}  // namespace platform::xml::detail
