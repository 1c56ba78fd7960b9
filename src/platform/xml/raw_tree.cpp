// The layout check behind the in-place readers.
#include "platform/xml/raw_tree.h"

namespace platform::xml::detail {
namespace layout {
namespace {

// The same text by identity: pugixml's accessors hand out the stored pointer,
// or a static empty text for none. Nothing is read through a field before
// the fields that lead to it are known to agree.
bool SameText(const char* in_place, const char* through_accessor) {
  return in_place ? in_place == through_accessor : *through_accessor == '\0';
}

bool AttributeAgrees(pugi::xml_attribute attribute) {
  const AttributeRecord& record = Of(attribute.internal_object());
  return SameText(record.name, attribute.name()) && SameText(record.value, attribute.value()) &&
         record.next_attribute == attribute.next_attribute().internal_object();
}

bool NodeAgrees(pugi::xml_node node) {
  const NodeRecord& record = Of(node.internal_object());
  if (static_cast<pugi::xml_node_type>(record.header & kTypeMask) != node.type()) return false;
  if (!SameText(record.name, node.name()) || !SameText(record.value, node.value())) return false;
  if (record.parent != node.parent().internal_object() || record.first_child != node.first_child().internal_object() ||
      record.next_sibling != node.next_sibling().internal_object() ||
      record.first_attribute != node.first_attribute().internal_object()) {
    return false;
  }
  pugi::xml_node last = node.last_child();
  if (record.first_child && Of(record.first_child).prev_sibling_c != last.internal_object()) return false;
  pugi::xml_node previous = node.previous_sibling();
  if (record.parent && (Of(record.prev_sibling_c).next_sibling ? record.prev_sibling_c : nullptr) !=
                           previous.internal_object()) {
    return false;
  }
  for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    if (!AttributeAgrees(attribute)) return false;
  }
  return true;
}

// Every node kind, names and values both parsed and set afterwards (pugixml
// keeps the two in different places), several attributes and an empty one.
bool Check() {
  pugi::xml_document doc;
  const char text[] =
      "<?xml version='1.0'?><!DOCTYPE r><!--c--><r a='1' bb='' ccc='3'>t<e/><![CDATA[d]]><?p q?><f g='h'>i</f></r>";
  const unsigned int options = pugi::parse_full | pugi::parse_fragment;
  if (!doc.load_buffer(text, sizeof(text) - 1, options)) return false;
  pugi::xml_node root = doc.child("r");
  root.append_child("set").append_attribute("later").set_value("value");
  root.append_child(pugi::node_pcdata).set_value("more text");
  root.append_child(pugi::node_element);  // no name at all
  int kinds = 0;
  for (pugi::xml_node node = doc; node;) {
    if (!NodeAgrees(node)) return false;
    kinds |= 1 << node.type();
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) node = node.parent();
    if (node) node = node.next_sibling();
  }
  const int expected = 1 << pugi::node_document | 1 << pugi::node_element | 1 << pugi::node_pcdata |
                       1 << pugi::node_cdata | 1 << pugi::node_comment | 1 << pugi::node_pi |
                       1 << pugi::node_declaration | 1 << pugi::node_doctype;
  return kinds == expected;
}

const bool kLayoutMatches = [] {
  try {
    return Check();
  } catch (...) {
    return false;
  }
}();

}  // namespace

bool in_place = kLayoutMatches;

}  // namespace layout

void AppendTextBelow(RawNode node, RawNode skip, std::string& out) {
  for (RawNode child = FirstChildOf(node); child; child = NextSiblingOf(child)) {
    if (child == skip) continue;
    ForEachInSubtree(child, [&](RawNode at) {
      if (IsCharacterData(at)) out += ValueOf(at);
      return true;
    });
  }
}

std::string TextBelow(RawNode node, RawNode skip) {
  // The usual shape, one text child, read without the general walk.
  RawNode only = FirstChildOf(node);
  if (only && only != skip && !NextSiblingOf(only) && IsCharacterData(only)) return ValueOf(only);
  std::string text;
  AppendTextBelow(node, skip, text);
  return text;
}

bool ReadInPlaceForTesting(bool in_place) {
  const bool previous = layout::in_place;
  layout::in_place = in_place && layout::kLayoutMatches;
  return previous;
}

}  // namespace platform::xml::detail
