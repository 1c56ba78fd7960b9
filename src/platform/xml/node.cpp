// Node handles, node kinds, values, text, navigation and writing.
#include "platform/xml/node.h"

#include <utility>

#include "platform/xml/document.h"
#include "platform/xml/document_state.h"

namespace platform::xml {

using detail::DocumentState;
using detail::NodeAccess;

namespace detail {

Node NodeAccess::Make(const std::shared_ptr<DocumentState>& state, pugi::xml_node node) {
  if (!state || !node) return Node();
  return Node(state, node.internal_object());
}

Document NodeAccess::MakeDocument(const std::shared_ptr<DocumentState>& state) { return Document(state); }

}  // namespace detail

namespace {

// pugixml's output into a string.
class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
  std::string out;
};

std::string DeclarationText(pugi::xml_node node) {
  std::string text;
  for (pugi::xml_attribute attribute : node.attributes()) {
    if (!text.empty()) text += ' ';
    text += attribute.name();
    text += "=\"";
    text += attribute.value();
    text += '"';
  }
  return text;
}

}  // namespace

Node::Node(std::shared_ptr<DocumentState> state, pugi::xml_node_struct* node) : state_(std::move(state)), node_(node) {
  if (!state_ || !node_) {
    state_.reset();
    node_ = nullptr;
    return;
  }
  auto guard = state_->Lock();
  state_->AddHandle(node_);
}

Node::Node(const Node& other) : state_(other.state_), node_(other.node_) {
  if (!node_) return;
  auto guard = state_->Lock();
  state_->AddHandle(node_);
}

Node::Node(Node&& other) noexcept : state_(std::move(other.state_)), node_(std::exchange(other.node_, nullptr)) {}

Node& Node::operator=(const Node& other) {
  if (this != &other) *this = Node(other);
  return *this;
}

Node& Node::operator=(Node&& other) noexcept {
  if (this != &other) {
    Release();
    state_ = std::move(other.state_);
    node_ = std::exchange(other.node_, nullptr);
  }
  return *this;
}

Node::~Node() { Release(); }

void Node::Release() noexcept {
  if (node_) {
    auto guard = state_->Lock();
    state_->DropHandle(node_);
  }
  node_ = nullptr;
  state_.reset();
}

NodeType Node::Type() const {
  if (!node_) return NodeType::kNull;
  auto guard = state_->Lock();
  switch (pugi::xml_node(node_).type()) {
    case pugi::node_document: return NodeType::kDocument;
    case pugi::node_element: return NodeType::kElement;
    case pugi::node_pcdata: return NodeType::kText;
    case pugi::node_cdata: return NodeType::kCData;
    case pugi::node_comment: return NodeType::kComment;
    case pugi::node_pi:
    case pugi::node_declaration: return NodeType::kProcessingInstruction;
    case pugi::node_doctype: return NodeType::kDocumentType;
    default: return NodeType::kNull;
  }
}

std::string Node::NodeName() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node node(node_);
  switch (node.type()) {
    case pugi::node_document: return "#document";
    case pugi::node_pcdata: return "#text";
    case pugi::node_cdata: return "#cdata-section";
    case pugi::node_comment: return "#comment";
    case pugi::node_declaration: return "xml";
    case pugi::node_doctype: {
      std::string value = node.value();
      return value.substr(0, value.find_first_of(" \t\r\n["));
    }
    default: return node.name();
  }
}

std::string Node::Value() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node node(node_);
  switch (node.type()) {
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi:
    case pugi::node_doctype: return node.value();
    case pugi::node_declaration: return DeclarationText(node);
    default: return {};
  }
}

std::string Node::Text() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node node(node_);
  if (node.type() != pugi::node_element && node.type() != pugi::node_document) return Value();
  std::string text;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (state_->IsHolder(child)) continue;
    detail::ForEachInSubtree(child, [&](pugi::xml_node at) {
      if (at.type() == pugi::node_pcdata || at.type() == pugi::node_cdata) text += at.value();
      return true;
    });
  }
  return text;
}

bool Node::SetText(std::string_view text) {
  if (!node_) return false;
  auto guard = state_->Lock();
  pugi::xml_node node(node_);
  const std::string value(text);
  switch (node.type()) {
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment: return node.set_value(value.c_str());
    case pugi::node_element: break;
    default: return false;
  }
  pugi::xml_node only = node.first_child();
  if (only && !only.next_sibling() && only.type() == pugi::node_pcdata && !value.empty()) {
    return only.set_value(value.c_str());
  }
  while (pugi::xml_node child = node.first_child()) state_->Orphan(child);
  if (value.empty()) return true;
  return node.append_child(pugi::node_pcdata).set_value(value.c_str());
}

std::string Node::Xml(EmptyElements empty) const {
  if (!node_) return {};
  auto guard = state_->Lock();
  unsigned int flags = pugi::format_raw;
  if (empty == EmptyElements::kStartEndTags) flags |= pugi::format_no_empty_element_tags;
  StringWriter writer;
  pugi::xml_node node(node_);
  if (node.type() == pugi::node_document) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
      if (!state_->IsHolder(child)) child.print(writer, PUGIXML_TEXT(""), flags, pugi::encoding_utf8);
    }
  } else {
    node.print(writer, PUGIXML_TEXT(""), flags, pugi::encoding_utf8);
  }
  return std::move(writer.out);
}

Node Node::ParentNode() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node parent = pugi::xml_node(node_).parent();
  if (state_->IsHolder(parent)) return {};
  return NodeAccess::Make(state_, parent);
}

Node Node::FirstChild() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node child = pugi::xml_node(node_).first_child();
  if (state_->IsHolder(child)) child = child.next_sibling();
  return NodeAccess::Make(state_, child);
}

Node Node::LastChild() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node child = pugi::xml_node(node_).last_child();
  if (state_->IsHolder(child)) child = child.previous_sibling();
  return NodeAccess::Make(state_, child);
}

Node Node::NextSibling() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node node(node_);
  if (state_->IsHolder(node.parent())) return {};
  pugi::xml_node next = node.next_sibling();
  if (state_->IsHolder(next)) return {};
  return NodeAccess::Make(state_, next);
}

Node Node::PreviousSibling() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node node(node_);
  if (state_->IsHolder(node.parent())) return {};
  return NodeAccess::Make(state_, node.previous_sibling());
}

bool Node::HasChildNodes() const { return !FirstChild().IsNull(); }

NodeList Node::ChildNodes() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  std::vector<Node> children;
  for (pugi::xml_node child = pugi::xml_node(node_).first_child(); child; child = child.next_sibling()) {
    if (!state_->IsHolder(child)) children.push_back(NodeAccess::Make(state_, child));
  }
  return NodeList(std::move(children));
}

Document Node::OwnerDocument() const { return NodeAccess::MakeDocument(node_ ? state_ : nullptr); }

}  // namespace platform::xml
