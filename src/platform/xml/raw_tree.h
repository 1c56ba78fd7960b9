// Internal: reading pugixml's tree in place. Not part of the public API.
//
// Every accessor of pugixml's node and attribute handles is a call into the
// shared library, and walking a document through them costs about ten calls
// per node, more than parsing it. The readers here take the same fields
// straight from pugixml's node and attribute records (their layout has stood
// since pugixml 1.5 without PUGIXML_COMPACT). The layout is checked once,
// against pugixml's own accessors on a document covering every node kind,
// when the program starts; should an installed pugixml ever lay its records
// out otherwise, every reader answers through the accessors instead. Nothing
// here changes the tree.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::xml::detail {

using RawNode = pugi::xml_node_struct*;
using RawAttribute = pugi::xml_attribute_struct*;

namespace layout {

struct AttributeRecord {
  std::uintptr_t header;
  char* name;
  char* value;
  pugi::xml_attribute_struct* prev_attribute_c;
  pugi::xml_attribute_struct* next_attribute;
};

struct NodeRecord {
  std::uintptr_t header;
  char* name;
  char* value;
  pugi::xml_node_struct* parent;
  pugi::xml_node_struct* first_child;
  pugi::xml_node_struct* prev_sibling_c;  // cyclic: the first child's is the last child
  pugi::xml_node_struct* next_sibling;
  pugi::xml_attribute_struct* first_attribute;
};

constexpr std::uintptr_t kTypeMask = 15;

inline const NodeRecord& Of(RawNode node) { return *reinterpret_cast<const NodeRecord*>(node); }
inline const AttributeRecord& Of(RawAttribute attribute) {
  return *reinterpret_cast<const AttributeRecord*>(attribute);
}

// Set once, before main, by the layout check; false (the accessors) until
// then and whenever the check fails.
extern bool in_place;

}  // namespace layout

// Whether the readers take the records in place (false: through pugixml's
// accessors).
inline bool ReadsInPlace() { return layout::in_place; }
// Tests only: answers through the accessors (false) or in place again (true,
// and only when the layout check passed); answers the previous setting.
bool ReadInPlaceForTesting(bool in_place);

// The readers take non-null nodes and attributes, except where they say so.
inline pugi::xml_node_type TypeOf(RawNode node) {
  if (!layout::in_place) return pugi::xml_node(node).type();
  return static_cast<pugi::xml_node_type>(layout::Of(node).header & layout::kTypeMask);
}
inline bool IsElement(RawNode node) { return TypeOf(node) == pugi::node_element; }
inline bool IsCharacterData(RawNode node) {
  pugi::xml_node_type type = TypeOf(node);
  return type == pugi::node_pcdata || type == pugi::node_cdata;
}
// Never null: empty text where pugixml holds none.
inline const char* NameOf(RawNode node) {
  if (!layout::in_place) return pugi::xml_node(node).name();
  const char* name = layout::Of(node).name;
  return name ? name : "";
}
inline const char* ValueOf(RawNode node) {
  if (!layout::in_place) return pugi::xml_node(node).value();
  const char* value = layout::Of(node).value;
  return value ? value : "";
}
inline RawNode ParentOf(RawNode node) {
  if (!layout::in_place) return pugi::xml_node(node).parent().internal_object();
  return layout::Of(node).parent;
}
inline RawNode FirstChildOf(RawNode node) {
  if (!layout::in_place) return pugi::xml_node(node).first_child().internal_object();
  return layout::Of(node).first_child;
}
inline RawNode LastChildOf(RawNode node) {
  if (!layout::in_place) return pugi::xml_node(node).last_child().internal_object();
  RawNode first = layout::Of(node).first_child;
  return first ? layout::Of(first).prev_sibling_c : nullptr;
}
inline RawNode NextSiblingOf(RawNode node) {
  if (!layout::in_place) return pugi::xml_node(node).next_sibling().internal_object();
  return layout::Of(node).next_sibling;
}
inline RawNode PreviousSiblingOf(RawNode node) {
  if (!layout::in_place) return pugi::xml_node(node).previous_sibling().internal_object();
  RawNode before = layout::Of(node).prev_sibling_c;
  return layout::Of(before).next_sibling ? before : nullptr;
}
inline RawAttribute FirstAttributeOf(RawNode node) {
  if (!layout::in_place) return pugi::xml_node(node).first_attribute().internal_object();
  return layout::Of(node).first_attribute;
}
inline RawAttribute NextAttributeOf(RawAttribute attribute) {
  if (!layout::in_place) return pugi::xml_attribute(attribute).next_attribute().internal_object();
  return layout::Of(attribute).next_attribute;
}
inline const char* NameOf(RawAttribute attribute) {
  if (!layout::in_place) return pugi::xml_attribute(attribute).name();
  const char* name = layout::Of(attribute).name;
  return name ? name : "";
}
inline const char* ValueOf(RawAttribute attribute) {
  if (!layout::in_place) return pugi::xml_attribute(attribute).value();
  const char* value = layout::Of(attribute).value;
  return value ? value : "";
}

// Visits root and everything below it in document order, without recursion
// (documents may nest deeper than the stack allows); stops when visit
// answers false.
template <class Visit>
void ForEachInSubtree(RawNode root, Visit&& visit) {
  RawNode node = root;
  while (node) {
    if (!visit(node)) return;
    if (RawNode child = FirstChildOf(node)) {
      node = child;
      continue;
    }
    RawNode next = nullptr;
    while (node != root && !(next = NextSiblingOf(node))) node = ParentOf(node);
    if (node == root) return;
    node = next;
  }
}

// The attribute of that whole name, or null. Compares in place: no length of
// each stored name is taken, and a stored name is never read past its end
// (a NUL in `name` never matches).
inline RawAttribute FindAttribute(RawNode node, std::string_view name) {
  for (RawAttribute attribute = FirstAttributeOf(node); attribute; attribute = NextAttributeOf(attribute)) {
    const char* stored = NameOf(attribute);
    std::size_t i = 0;
    while (i < name.size() && stored[i] != '\0' && stored[i] == name[i]) ++i;
    if (i == name.size() && stored[i] == '\0') return attribute;
  }
  return nullptr;
}

// All text and CDATA below node, in document order, leaving out the subtree
// of the child skip (the document's hidden holder; null for none): answered,
// or appended to out.
std::string TextBelow(RawNode node, RawNode skip);
void AppendTextBelow(RawNode node, RawNode skip, std::string& out);

}  // namespace platform::xml::detail
