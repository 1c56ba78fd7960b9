#include "plugins/ionotify/xml_element_object.h"

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "platform/xml/document.h"

namespace plugins::ionotify {

using platform::Variant;
using platform::com::Args;

platform::com::ObjectPtr WrapXmlNode(const platform::xml::Node& node) {
  if (node.IsNull()) return nullptr;
  return std::make_shared<XmlElementObject>(node);
}

platform::xml::Node XmlNodeOf(const Variant& value) {
  if (auto element = platform::com::QueryInterface<XmlElementObject>(value)) return element->node();
  if (value.IsString()) {
    platform::xml::Document document;
    if (document.LoadXml(value.StringValue())) return document.DocumentElement();
    platform::RaiseError(platform::kErrInvalidCall, "not XML: " + document.GetParseError().Describe());
  }
  platform::RaiseError(platform::kErrObjectRequired);
}

const platform::com::DispatchTable* XmlElementObject::Dispatch() const {
  using Self = XmlElementObject;
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<Self>({
      {"xml", [](Self& self) { return self.node_.Xml(); }},
      {"text", [](Self& self) { return self.node_.Text(); }},
      {"text", platform::com::kPut, [](Self& self, Variant& value) { self.node_.SetText(platform::CStr(value)); }},
      {"nodeName", [](Self& self) { return self.node_.NodeName(); }},
      {"getAttribute", 1,
       [](Self& self, Args args) -> Variant {
         if (!self.node_.HasAttribute(platform::CStr(args[0]))) return Variant::Null();
         return Variant(self.node_.GetAttribute(platform::CStr(args[0])));
       }},
      {"setAttribute", 2,
       [](Self& self, Args args) { self.node_.SetAttribute(platform::CStr(args[0]), platform::CStr(args[1])); }},
      {"selectSingleNode", 1,
       [](Self& self, Args args) { return Variant(WrapXmlNode(self.node_.SelectSingleNode(platform::CStr(args[0])))); }},
      {"appendChild", 1,
       [](Self& self, Args args) { return Variant(WrapXmlNode(self.node_.AppendChild(XmlNodeOf(args[0])))); }},
      {"removeChild", 1,
       [](Self& self, Args args) { return Variant(WrapXmlNode(self.node_.RemoveChild(XmlNodeOf(args[0])))); }},
  });
  return &table;
}

}  // namespace plugins::ionotify
