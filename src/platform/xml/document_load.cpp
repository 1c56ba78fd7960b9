// Loading documents from text.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <unordered_set>

#include "platform/xml/document.h"
#include "platform/xml/document_state.h"
#include "platform/xml/raw_tree.h"

namespace platform::xml {
namespace {

// Well-formedness rules pugixml leaves to its caller; numbered after
// pugixml's own status codes.
enum LoadCode : int {
  kNulCharacter = 100,
  kTopLevelText = 101,
  kSecondDocumentElement = 102,
  kDuplicateAttribute = 103,
  kUnreadableFile = 104,
  kMisplacedDeclaration = 105,
};

// Comments, processing instructions and the declaration stay in the tree;
// line ends are kept as written, so that text values (CR LF included) come
// back exactly as they were stored; whitespace between elements is dropped,
// but a whitespace text that is all of an element's content is kept. Parsed
// as a fragment, so that text outside the document element is seen (pugixml
// drops it otherwise) and refused by Check.
constexpr unsigned int kParseOptions = pugi::parse_fragment | pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute |
                                       pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration |
                                       pugi::parse_doctype | pugi::parse_ws_pcdata_single;

// Where the node starts in the text (its "<"; pugixml points at the name).
std::size_t OffsetOf(pugi::xml_node node) {
  std::ptrdiff_t offset = node.offset_debug();
  if (node.type() == pugi::node_element) offset -= 1;
  if (node.type() == pugi::node_declaration || node.type() == pugi::node_pi) offset -= 2;
  return offset < 0 ? 0 : static_cast<std::size_t>(offset);
}

bool IsBlank(const char* text) {
  for (; *text; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') return false;
  }
  return true;
}

// The first name given twice among the attributes from first on, or null.
// A few attributes are compared pair by pair; many go through a set, so that
// an element with thousands of attributes costs no more than their count.
const char* RepeatedAttributeName(detail::RawAttribute first, std::unordered_set<std::string_view>& seen) {
  constexpr int kPairwise = 8;
  int count = 0;
  for (detail::RawAttribute a = first; a && count <= kPairwise; a = detail::NextAttributeOf(a)) ++count;
  if (count <= kPairwise) {
    for (detail::RawAttribute a = first; a; a = detail::NextAttributeOf(a)) {
      for (detail::RawAttribute b = detail::NextAttributeOf(a); b; b = detail::NextAttributeOf(b)) {
        if (std::strcmp(detail::NameOf(a), detail::NameOf(b)) == 0) return detail::NameOf(a);
      }
    }
    return nullptr;
  }
  seen.clear();
  for (detail::RawAttribute a = first; a; a = detail::NextAttributeOf(a)) {
    if (!seen.insert(detail::NameOf(a)).second) return detail::NameOf(a);
  }
  return nullptr;
}

ParseError Check(pugi::xml_document& parsed, std::size_t size) {
  int elements = 0;
  for (pugi::xml_node child = parsed.first_child(); child;) {
    pugi::xml_node next = child.next_sibling();
    if (child.type() == pugi::node_declaration && child != parsed.first_child()) {
      return {kMisplacedDeclaration, "The XML declaration must stand at the start of the document", OffsetOf(child)};
    }
    if (child.type() == pugi::node_element && ++elements > 1) {
      return {kSecondDocumentElement, "Only one top level element is allowed in an XML document", OffsetOf(child)};
    }
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      if (child.type() == pugi::node_cdata || !IsBlank(child.value())) {
        return {kTopLevelText, "Text is not allowed at the top level of the document", OffsetOf(child)};
      }
      parsed.remove_child(child);
    }
    child = next;
  }
  if (elements == 0) return {pugi::status_no_document_element, "No document element found", size};
  ParseError error;
  std::unordered_set<std::string_view> seen;
  detail::ForEachInSubtree(parsed.internal_object(), [&](detail::RawNode node) {
    detail::RawAttribute first = detail::FirstAttributeOf(node);
    if (!first || !detail::NextAttributeOf(first)) return true;
    if (const char* twice = RepeatedAttributeName(first, seen)) {
      error = {kDuplicateAttribute, std::string("Duplicate attribute '") + twice + "'", OffsetOf(pugi::xml_node(node))};
      return false;
    }
    return true;
  });
  return error;
}

ParseError Parse(pugi::xml_document& parsed, std::string_view text) {
  if (std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    return {kNulCharacter, "NUL character in the document", nul};
  }
  pugi::xml_parse_result result = parsed.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
  if (!result) {
    return {static_cast<int>(result.status), result.description(), static_cast<std::size_t>(result.offset)};
  }
  return Check(parsed, text.size());
}

}  // namespace

bool Document::LoadXml(std::string_view text) {
  if (!state_) return false;
  auto guard = state_->Lock();
  pugi::xml_document parsed;
  ParseError error = Parse(parsed, text);
  state_->parse_error() = error;
  if (error.Failed()) {
    state_->ClearContent();
    return false;
  }
  if (!state_->HasContentHandles()) {
    // Nobody holds a node of the old content: take the parsed tree over.
    state_->TakeOver(std::move(parsed));
    return true;
  }
  state_->ClearContent();
  for (pugi::xml_node child = parsed.first_child(); child; child = child.next_sibling()) {
    state_->doc().insert_copy_before(child, state_->holder());
  }
  return true;
}

bool Document::LoadFile(const std::filesystem::path& path) {
  if (!state_) return false;
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    auto guard = state_->Lock();
    state_->parse_error() = {kUnreadableFile, "Unable to read the file '" + path.string() + "'", 0};
    state_->ClearContent();
    return false;
  }
  return LoadXml(text);
}

}  // namespace platform::xml
