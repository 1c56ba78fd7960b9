// Node handles, node kinds, values, text, navigation and writing.
#include "platform/xml/node.h"

#include <utility>

#include "platform/xml/document.h"
#include "platform/xml/document_state.h"

namespace platform::xml {

using detail::DocumentState;
using detail::NodeAccess;

namespace detail {

Node NodeAccess::Make(DocumentState* state, RawNode node) {
  if (!state || !node) return Node();
  return Node(state, node, Node::kLocked);
}

Document NodeAccess::MakeDocument(std::unique_ptr<DocumentState> state) {
  Document document(state.get());
  state.release();  // the handle holds it now
  return document;
}

Document NodeAccess::MakeDocument(DocumentState* state) { return state ? Document(state) : Document(nullptr); }

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

Node::Node(DocumentState* state, pugi::xml_node_struct* node) : state_(state), node_(node) {
  if (!state_ || !node_) {
    state_ = nullptr;
    node_ = nullptr;
    return;
  }
  auto guard = state_->Lock();
  state_->AddHandle(node_);
}

Node::Node(DocumentState* state, pugi::xml_node_struct* node, Locked) : state_(state), node_(node) {
  state_->AddHandle(node_);
}

Node::Node(const Node& other) : state_(other.state_), node_(other.node_) {
  if (!node_) return;
  auto guard = state_->Lock();
  state_->AddHandle(node_);
}

Node::Node(Node&& other) noexcept
    : state_(std::exchange(other.state_, nullptr)), node_(std::exchange(other.node_, nullptr)) {}

Node& Node::operator=(const Node& other) {
  if (this != &other) *this = Node(other);
  return *this;
}

Node& Node::operator=(Node&& other) noexcept {
  if (this != &other) {
    Release();
    state_ = std::exchange(other.state_, nullptr);
    node_ = std::exchange(other.node_, nullptr);
  }
  return *this;
}

void Node::Release() noexcept {
  if (!node_) return;
  bool last = false;
  {
    auto guard = state_->Lock();
    last = state_->DropHandle(node_);
  }
  if (last) delete state_;
  node_ = nullptr;
  state_ = nullptr;
}

void Node::ReleaseAll(std::vector<Node>& nodes) noexcept {
  // Lists hold nodes of one document as a rule: one take of its lock for the
  // whole run rather than one per node.
  for (auto at = nodes.begin(); at != nodes.end();) {
    DocumentState* state = at->state_;
    if (!state) {
      ++at;
      continue;
    }
    auto end = at;
    bool content_only = true;
    for (; end != nodes.end() && end->state_ == state; ++end) content_only = content_only && !state->IsDocumentNode(end->node_);
    bool last = false;
    {
      auto guard = state->Lock();
      const auto count = static_cast<std::size_t>(end - at);
      if (!content_only || !state->DropEveryContentHandle(count, last)) {
        for (auto node = at; node != end; ++node) last = state->DropHandle(node->node_);
      }
    }
    for (; at != end; ++at) {
      at->node_ = nullptr;
      at->state_ = nullptr;
    }
    if (last) delete state;
  }
  nodes.clear();
}

NodeType Node::Type() const {
  if (!node_) return NodeType::kNull;
  auto guard = state_->Lock();
  switch (detail::TypeOf(node_)) {
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
  switch (detail::TypeOf(node_)) {
    case pugi::node_document: return "#document";
    case pugi::node_pcdata: return "#text";
    case pugi::node_cdata: return "#cdata-section";
    case pugi::node_comment: return "#comment";
    case pugi::node_declaration: return "xml";
    case pugi::node_doctype: {
      std::string_view value = detail::ValueOf(node_);
      return std::string(value.substr(0, value.find_first_of(" \t\r\n[")));
    }
    default: return detail::NameOf(node_);
  }
}

std::string Node::Value() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  switch (detail::TypeOf(node_)) {
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi:
    case pugi::node_doctype: return detail::ValueOf(node_);
    case pugi::node_declaration: return DeclarationText(pugi::xml_node(node_));
    default: return {};
  }
}

std::string Node::Text() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  pugi::xml_node_type type = detail::TypeOf(node_);
  if (type != pugi::node_element && type != pugi::node_document) return Value();
  return detail::TextBelow(node_, state_->holder().internal_object());
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
  detail::RawNode parent = detail::ParentOf(node_);
  if (state_->IsHolder(parent)) return {};
  return NodeAccess::Make(state_, parent);
}

Node Node::FirstChild() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  detail::RawNode child = detail::FirstChildOf(node_);
  if (child && state_->IsHolder(child)) child = detail::NextSiblingOf(child);
  return NodeAccess::Make(state_, child);
}

Node Node::LastChild() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  detail::RawNode child = detail::LastChildOf(node_);
  if (child && state_->IsHolder(child)) child = detail::PreviousSiblingOf(child);
  return NodeAccess::Make(state_, child);
}

Node Node::NextSibling() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  detail::RawNode parent = detail::ParentOf(node_);
  if (!parent || state_->IsHolder(parent)) return {};
  detail::RawNode next = detail::NextSiblingOf(node_);
  if (state_->IsHolder(next)) return {};
  return NodeAccess::Make(state_, next);
}

Node Node::PreviousSibling() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  detail::RawNode parent = detail::ParentOf(node_);
  if (!parent || state_->IsHolder(parent)) return {};
  return NodeAccess::Make(state_, detail::PreviousSiblingOf(node_));
}

bool Node::HasChildNodes() const {
  if (!node_) return false;
  auto guard = state_->Lock();
  detail::RawNode child = detail::FirstChildOf(node_);
  return child && (!state_->IsHolder(child) || detail::NextSiblingOf(child));
}

NodeList Node::ChildNodes() const {
  if (!node_) return {};
  auto guard = state_->Lock();
  std::size_t count = 0;
  for (detail::RawNode child = detail::FirstChildOf(node_); child; child = detail::NextSiblingOf(child)) ++count;
  std::vector<Node> children;
  children.reserve(count);
  state_->ReserveHandles(count);
  for (detail::RawNode child = detail::FirstChildOf(node_); child; child = detail::NextSiblingOf(child)) {
    if (!state_->IsHolder(child)) children.push_back(Node(state_, child, kLocked));
  }
  return NodeList(std::move(children));
}

Document Node::OwnerDocument() const { return NodeAccess::MakeDocument(node_ ? state_ : nullptr); }

}  // namespace platform::xml
