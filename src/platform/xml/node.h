// A node of an XML document: element, text, CDATA section, comment,
// processing instruction or the document itself.
//
// A Node is a counted handle: it keeps its document alive, so a node (or a
// node list) may outlive every Document handle. Handles of an apartment
// document are made, copied and dropped on the thread that uses it. Copies refer to the same
// node. A default-constructed Node is null (Basic's Nothing); every operation
// on a null node, and every operation the DOM forbids, does nothing and
// answers a null node, false or empty text. Nothing here throws, except
// std::bad_alloc.
//
// A node taken out of the tree (RemoveChild, ReplaceChild) or created and not
// yet inserted stays valid for as long as a handle refers to it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
struct xml_node_struct;
}

namespace platform::xml {

namespace detail {
class DocumentState;
struct NodeAccess;
}  // namespace detail

class Document;
class NodeList;
class ElementView;

// Node type codes as the DOM numbers them.
enum class NodeType : int {
  kNull = 0,
  kElement = 1,
  kText = 3,
  kCData = 4,
  kProcessingInstruction = 7,  // also the XML declaration, named "xml"
  kComment = 8,
  kDocument = 9,
  kDocumentType = 10,
};

// How Xml() writes an element without children.
enum class EmptyElements {
  kSelfClosing,   // <a x="1"/>
  kStartEndTags,  // <a x="1"></a>
};

struct Attribute {
  std::string name;
  std::string value;
};

class Node {
 public:
  Node() = default;
  Node(const Node& other);
  Node(Node&& other) noexcept;
  Node& operator=(const Node& other);
  Node& operator=(Node&& other) noexcept;
  ~Node() {
    if (node_) Release();
  }

  explicit operator bool() const { return node_ != nullptr; }
  bool IsNull() const { return node_ == nullptr; }
  // Same node of the same document.
  bool operator==(const Node& other) const { return node_ == other.node_; }

  NodeType Type() const;
  // Element name, processing instruction target, or "#text",
  // "#cdata-section", "#comment", "#document".
  std::string NodeName() const;
  // The text of a text, CDATA, comment or processing instruction node;
  // empty for elements and documents.
  std::string Value() const;

  // All text and CDATA below the node, concatenated in document order,
  // without any trimming; the node's own value for the other kinds.
  std::string Text() const;
  // Element: replaces every child by one text node (none for empty text).
  // Text, CDATA, comment: sets the value. False when not possible.
  bool SetText(std::string_view text);

  // The node as XML text, without added whitespace and without an XML
  // declaration unless the document holds one. Attribute values are written
  // in double quotes.
  std::string Xml(EmptyElements empty = EmptyElements::kSelfClosing) const;

  // Navigation; a null node where there is none.
  Node ParentNode() const;
  Node FirstChild() const;
  Node LastChild() const;
  Node NextSibling() const;
  Node PreviousSibling() const;
  bool HasChildNodes() const;
  NodeList ChildNodes() const;
  Document OwnerDocument() const;

  // Tree changes. A node of the same document is moved; a node of another
  // document is copied in, and the copy is what the call returns and what
  // stands in the tree. The document node holds at most one element and no
  // text. Null result when the change is not allowed (a node into itself or
  // its own descendant, a reference that is not a child, ...).
  Node AppendChild(const Node& child);
  // Inserts before reference; a null reference appends.
  Node InsertBefore(const Node& child, const Node& reference);
  // Puts new_child in old_child's place; answers old_child, now out of the
  // tree.
  Node ReplaceChild(const Node& new_child, const Node& old_child);
  // Answers the removed child, now out of the tree.
  Node RemoveChild(const Node& child);
  // A copy of the node in the same document, not in the tree; deep copies the
  // whole subtree, shallow copies an element with its attributes only.
  // Cloning a document gives a new, separate document node.
  Node CloneNode(bool deep) const;

  // Attributes of an element, in the order they were added. Setting an
  // attribute that exists changes its value in place.
  bool HasAttribute(std::string_view name) const;
  // Empty text when the attribute is missing.
  std::string GetAttribute(std::string_view name) const;
  // False when this is not an element or the name is not a valid XML name.
  bool SetAttribute(std::string_view name, std::string_view value);
  // False when there was no such attribute.
  bool RemoveAttribute(std::string_view name);
  std::vector<Attribute> Attributes() const;

  // XPath 1.0 selection with this node as the context; node results only, in
  // document order. An invalid expression selects nothing.
  NodeList SelectNodes(std::string_view xpath) const;
  Node SelectSingleNode(std::string_view xpath) const;

  // Calls visit with each element child in document order, under one take of
  // the document's lock and without a handle per child: the cheap way to
  // read many children. The visit reads only; it must not change or walk
  // this document through other handles (copy what it needs, act after).
  template <class Visit>
  void ForEachChildElement(Visit&& visit) const {
    WalkChildElements(&visit, [](void* context, const ElementView& element) { (*static_cast<Visit*>(context))(element); });
  }

 protected:
  // Counts the handle in, taking the document's lock.
  Node(detail::DocumentState* state, pugi::xml_node_struct* node);

  detail::DocumentState* state_ = nullptr;
  pugi::xml_node_struct* node_ = nullptr;

 private:
  friend struct detail::NodeAccess;
  friend class NodeList;
  enum Locked { kLocked };
  // Counts the handle in while the caller holds the document's lock.
  Node(detail::DocumentState* state, pugi::xml_node_struct* node, Locked);
  Node InsertAt(const Node& child, const Node& reference, bool append);
  void WalkChildElements(void* context, void (*visit)(void*, const ElementView&)) const;
  void Release() noexcept;
  static void ReleaseAll(std::vector<Node>& nodes) noexcept;
};

// An element as ForEachChildElement shows it: read in place, valid only
// during the visit.
class ElementView {
 public:
  std::string_view Name() const;
  // Empty text when the attribute is missing.
  std::string_view GetAttribute(std::string_view name) const;
  bool HasAttribute(std::string_view name) const;
  // As Node::Text: all text and CDATA below the element, in document order.
  std::string Text() const;
  // The same text appended to out (many values read into one buffer).
  void AppendText(std::string& out) const;

 private:
  friend class Node;
  explicit ElementView(pugi::xml_node_struct* node) : node_(node) {}
  pugi::xml_node_struct* node_;
};

// A fixed list of nodes, in the order the query or the tree gave them.
class NodeList {
 public:
  NodeList() = default;
  explicit NodeList(std::vector<Node> nodes) : nodes_(std::move(nodes)) {}
  NodeList(const NodeList&) = default;
  NodeList(NodeList&&) noexcept = default;
  NodeList& operator=(const NodeList& other) {
    if (this != &other) *this = NodeList(other);
    return *this;
  }
  NodeList& operator=(NodeList&& other) noexcept {
    if (this != &other) {
      Node::ReleaseAll(nodes_);
      nodes_ = std::move(other.nodes_);
    }
    return *this;
  }
  ~NodeList() { Node::ReleaseAll(nodes_); }

  std::size_t Length() const { return nodes_.size(); }
  bool Empty() const { return nodes_.empty(); }
  // Null node when the index is past the end.
  Node Item(std::size_t index) const { return index < nodes_.size() ? nodes_[index] : Node(); }

  std::vector<Node>::const_iterator begin() const { return nodes_.begin(); }
  std::vector<Node>::const_iterator end() const { return nodes_.end(); }

 private:
  std::vector<Node> nodes_;
};

}  // namespace platform::xml
