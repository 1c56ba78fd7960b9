#include "platform/dom/xml_element_object.h"

#include "platform/basic/conversions.h"
#include "platform/com/dispatch_table.h"
#include "platform/xml/document.h"

namespace platform::dom {

const com::DispatchTable* XmlElementObject::Dispatch() const {
  using com::Args;
  static const com::DispatchTable table = com::DispatchTable::Of<XmlElementObject>({
      {"xml", [](XmlElementObject& self) { return self.node_.Xml(); }},
      {"nodeName", [](XmlElementObject& self) { return self.node_.NodeName(); }},
      {"text", [](XmlElementObject& self) { return self.node_.Text(); }},
      {"text", com::kPut, [](XmlElementObject& self, Variant& value) { self.node_.SetText(CStr(value)); }},
      {"getAttribute", 1, [](XmlElementObject& self, Args args) { return self.node_.GetAttribute(CStr(args[0])); }},
      {"setAttribute", 2,
       [](XmlElementObject& self, Args args) { self.node_.SetAttribute(CStr(args[0]), CStr(args[1])); }},
      {"selectSingleNode", 1,
       [](XmlElementObject& self, Args args) { return WrapNode(self.node_.SelectSingleNode(CStr(args[0]))); }},
      {"appendChild", 1,
       [](XmlElementObject& self, Args args) { return WrapNode(self.node_.AppendChild(NodeOf(args[0]))); }},
  });
  return &table;
}

com::ObjectPtr WrapNode(const xml::Node& node) {
  if (node.IsNull()) return nullptr;
  return std::make_shared<XmlElementObject>(node);
}

com::ObjectPtr NewXmlElement(std::string_view xml_text) {
  xml::Document document;
  if (!document.LoadXml(xml_text)) return nullptr;
  return WrapNode(document.DocumentElement());
}

xml::Node NodeOf(const com::ObjectPtr& object) {
  auto element = com::QueryInterface<XmlElementObject>(object);
  return element ? element->node() : xml::Node();
}

xml::Node NodeOf(const Variant& value) { return value.IsObject() ? NodeOf(value.ObjectValue()) : xml::Node(); }

}  // namespace platform::dom
