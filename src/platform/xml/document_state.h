// Internal: what every handle of one document shares. Not part of the
// public API.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <memory>
#include <mutex>

#include "platform/xml/document.h"
#include "platform/xml/handle_table.h"
#include "platform/xml/raw_tree.h"

namespace platform::xml::detail {

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
//
// The state counts its handles itself: the document lives while any handle
// to it or to one of its nodes does, and the last handle to go deletes it.
// Counting happens under the document's lock (a free-threaded document) or
// on the one thread that uses the document (an apartment document), so the
// counts need no atomic operations.
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
  pugi::xml_node holder() const { return pugi::xml_node(holder_); }

  // Handle counting (callers hold the lock). DropHandle answers true when
  // that was the document's last handle: the caller then deletes the state,
  // once it has let go of the lock.
  void AddHandle(RawNode node) {
    if (node != document_node_) {
      handles_.Add(node);
      ++content_handles_;
    }
    ++all_handles_;
  }
  bool DropHandle(RawNode node) noexcept {
    bool last_on_node = false;
    if (node != document_node_) {
      --content_handles_;
      last_on_node = handles_.Drop(node);
    }
    if (--all_handles_ == 0) return true;
    if (last_on_node && HasOrphans()) LastHandleOnNodeDropped(node);
    return false;
  }
  // Drops count handles on content nodes at once when they are every content
  // handle there is (a list being dropped while nothing else is held), which
  // empties the table in one step instead of key by key; false, with
  // nothing done, otherwise. last: that was the document's last handle.
  bool DropEveryContentHandle(std::size_t count, bool& last) noexcept;
  bool IsDocumentNode(RawNode node) const { return node == document_node_; }
  // Room for that many handles made at once (a node list).
  void ReserveHandles(std::size_t count) { handles_.Reserve(count); }
  // True when a handle refers to a node other than the document node.
  bool HasContentHandles() const { return content_handles_ > 0; }

  bool IsHolder(pugi::xml_node node) const { return node.internal_object() == holder_; }
  bool IsHolder(RawNode node) const { return node == holder_; }
  // The child of the holder that holds node, or null when node is in the tree.
  pugi::xml_node OrphanRoot(pugi::xml_node node) const;
  bool HasOrphans() const { return FirstChildOf(holder_) != nullptr; }
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
  // Takes the parsed document over whole, in place of the content; only when
  // no content handle exists. Throws std::bad_alloc, changing nothing, when
  // the holder cannot be made.
  void TakeOver(pugi::xml_document&& parsed);

  ParseError& parse_error() { return parse_error_; }

 private:
  bool Referenced(pugi::xml_node subtree) const;
  // A node nobody refers to any more may free an orphan subtree: at once
  // when it is an orphan's top, at the next sweep otherwise.
  void LastHandleOnNodeDropped(RawNode node) noexcept;

  std::unique_ptr<std::recursive_mutex> mutex_;
  pugi::xml_document doc_;
  RawNode document_node_ = doc_.internal_object();  // where doc_ keeps it: fixed for its life
  RawNode holder_ = nullptr;
  // Handles on nodes other than the document node; those on the document
  // node are all_handles_ - content_handles_.
  HandleTable handles_;
  std::size_t all_handles_ = 0;
  std::size_t content_handles_ = 0;
  bool sweep_due_ = false;
  ParseError parse_error_;
};

// Builds handles from the inside. Make is called with state's lock held.
struct NodeAccess {
  static Node Make(DocumentState* state, pugi::xml_node node) { return Make(state, node.internal_object()); }
  static Node Make(DocumentState* state, RawNode node);
  // A new document's first handle: takes the state over, and deletes it
  // should the handle not be made.
  static Document MakeDocument(std::unique_ptr<DocumentState> state);
  // The document of an existing handle.
  static Document MakeDocument(DocumentState* state);
};

}  // namespace platform::xml::detail
