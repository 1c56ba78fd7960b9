#include "platform/xml/document_state.h"

#include <mutex>
#include <new>

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
  holder_ = doc_.append_child(pugi::node_element).internal_object();
  if (!holder_) throw std::bad_alloc();
}

void DocumentState::TakeOver(pugi::xml_document&& parsed) {
  // Made before anything changes; the move hands pugixml's pages over, so the
  // holder's record stays where it is.
  RawNode holder = parsed.append_child(pugi::node_element).internal_object();
  if (!holder) throw std::bad_alloc();
  doc_ = std::move(parsed);
  holder_ = holder;
}

bool DocumentState::DropEveryContentHandle(std::size_t count, bool& last) noexcept {
  if (count == 0 || count != content_handles_) return false;
  handles_.Clear();
  content_handles_ = 0;
  all_handles_ -= count;
  last = all_handles_ == 0;
  if (last) return true;
  // No node is held now: every orphan may go.
  sweep_due_ = false;
  while (RawNode orphan = FirstChildOf(holder_)) holder().remove_child(pugi::xml_node(orphan));
  return true;
}

void DocumentState::LastHandleOnNodeDropped(RawNode node) noexcept {
  if (ParentOf(node) == holder_) {
    CollectIfUnreferenced(pugi::xml_node(node));
  } else {
    sweep_due_ = true;
  }
}

void DocumentState::SweepOrphans() noexcept {
  if (!sweep_due_) return;
  sweep_due_ = false;
  for (pugi::xml_node orphan = holder().first_child(); orphan;) {
    pugi::xml_node next = orphan.next_sibling();
    CollectIfUnreferenced(orphan);
    orphan = next;
  }
}

pugi::xml_node DocumentState::OrphanRoot(pugi::xml_node node) const {
  for (pugi::xml_node at = node; at; at = at.parent()) {
    if (IsHolder(at.parent())) return at;
  }
  return {};
}

bool DocumentState::Referenced(pugi::xml_node subtree) const {
  if (content_handles_ == 0) return false;
  bool found = false;
  ForEachInSubtree(subtree.internal_object(), [&](RawNode node) {
    found = handles_.Contains(node);
    return !found;
  });
  return found;
}

void DocumentState::Orphan(pugi::xml_node node) {
  if (!node || IsHolder(node.parent())) return;
  SweepOrphans();
  pugi::xml_node moved = holder().append_move(node);
  if (moved) CollectIfUnreferenced(moved);
}

void DocumentState::CollectIfUnreferenced(pugi::xml_node orphan_root) noexcept {
  if (!IsHolder(orphan_root.parent())) return;
  if (!Referenced(orphan_root)) holder().remove_child(orphan_root);
}

void DocumentState::ClearContent() {
  for (pugi::xml_node child = doc_.first_child(); child;) {
    pugi::xml_node next = child.next_sibling();
    if (!IsHolder(child)) Orphan(child);
    child = next;
  }
}

}  // namespace platform::xml::detail
