// Internal: what every handle of one document shares. Not part of the
// public API.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/xml/document.h"

namespace platform::xml::detail {

// Visits root and everything below it in document order, without recursion
// (documents may nest deeper than the stack allows); stops when visit
// answers false.
template <class Visit>
void ForEachInSubtree(pugi::xml_node root, Visit&& visit) {
  pugi::xml_node node = root;
  while (node) {
    if (!visit(node)) return;
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && node != root && !node.next_sibling()) node = node.parent();
    if (!node || node == root) return;
    node = node.next_sibling();
  }
}

// The lock of one document, or no lock for an apartment document.
class Guard {
 public:
  Guard() = default;
  explicit Guard(std::recursive_mutex* mutex) : lock_(mutex ? std::unique_lock(*mutex) : std::unique_lock<std::recursive_mutex>()) {}

 private:
  std::unique_lock<std::recursive_mutex> lock_;
};

// The locks of two documents, taken together so that two threads moving
// nodes between the same documents in opposite directions cannot deadlock.
class PairGuard {
 public:
  PairGuard(std::recursive_mutex* a, std::recursive_mutex* b);
  ~PairGuard();
  PairGuard(const PairGuard&) = delete;
  PairGuard& operator=(const PairGuard&) = delete;

 private:
  std::recursive_mutex* a_;
  std::recursive_mutex* b_;
};

// pugixml keeps every node inside the tree, while the DOM has nodes that are
// created but not yet inserted, or taken out and still held by the caller.
// Those live as children of a hidden holder element, the last child of the
// pugixml document node, and are freed once no handle refers to them. Every
// public view of the document hides the holder.
class DocumentState {
 public:
  explicit DocumentState(bool free_threaded);
  DocumentState(const DocumentState&) = delete;
  DocumentState& operator=(const DocumentState&) = delete;

  Guard Lock() const { return Guard(mutex_.get()); }
  std::recursive_mutex* mutex() const { return mutex_.get(); }
  bool free_threaded() const { return mutex_ != nullptr; }

  pugi::xml_document& doc() { return doc_; }
  pugi::xml_node root() const { return doc_; }
  pugi::xml_node holder() const { return holder_; }

  // Handle counting (callers hold the lock).
  void AddHandle(pugi::xml_node_struct* node);
  void DropHandle(pugi::xml_node_struct* node) noexcept;
  // True when a handle refers to a node other than the document node.
  bool HasContentHandles() const { return content_handles_ > 0; }

  bool IsHolder(pugi::xml_node node) const { return node == holder_; }
  // The child of the holder that holds node, or null when node is in the tree.
  pugi::xml_node OrphanRoot(pugi::xml_node node) const;
  bool HasOrphans() const { return holder_.first_child(); }
  // Takes node out of the tree into the holder; frees it when no handle
  // refers to it or below it.
  void Orphan(pugi::xml_node node);
  // Frees an orphan subtree nobody refers to any more.
  void CollectIfUnreferenced(pugi::xml_node orphan_root) noexcept;
  // Frees every orphan subtree nobody refers to, when a handle below an
  // orphan's top may have gone since the last sweep. Finding the top of a
  // node means walking up the whole depth, so handle drops only note that a
  // sweep is due and the next change does it.
  void SweepOrphans() noexcept;

  // Empties the document (nodes still held become orphans) and restores the
  // holder; used before loading new content.
  void ClearContent();
  // Replaces the whole pugixml document; only when no content handle exists.
  void ResetHolder();

  ParseError& parse_error() { return parse_error_; }

 private:
  bool Referenced(pugi::xml_node subtree) const;

  std::unique_ptr<std::recursive_mutex> mutex_;
  pugi::xml_document doc_;
  pugi::xml_node holder_;
  std::unordered_map<pugi::xml_node_struct*, std::uint32_t> handles_;
  std::size_t content_handles_ = 0;
  bool sweep_due_ = false;
  ParseError parse_error_;
};

// Builds handles from the inside.
struct NodeAccess {
  static Node Make(const std::shared_ptr<DocumentState>& state, pugi::xml_node node);
  static Document MakeDocument(const std::shared_ptr<DocumentState>& state);
  static pugi::xml_node Raw(const Node& node) { return pugi::xml_node(node.node_); }
  static const std::shared_ptr<DocumentState>& State(const Node& node) { return node.state_; }
};

}  // namespace platform::xml::detail
