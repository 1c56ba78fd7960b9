// An XML node as an object of the object model, so that a node can travel in
// a Variant (late-bound arguments, notifier messages) as the DOM's element
// objects do.
//
//   auto element = platform::dom::NewXmlElement("<branding><s>x</s></branding>");
//   Variant param = element;                                  // an object
//   platform::xml::Node node = platform::dom::NodeOf(param);  // the node again
//
// Late-bound members: "xml" (read), "nodeName" (read), "text" (read and
// write), "getAttribute"(name), "setAttribute"(name, value),
// "selectSingleNode"(xpath) and "appendChild"(element object).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "platform/xml/node.h"

namespace platform::dom {

class XmlElementObject : public virtual com::Object {
 public:
  explicit XmlElementObject(xml::Node node) : node_(std::move(node)) {}
  const xml::Node& node() const { return node_; }
  std::string TypeName() const override { return "IXMLDOMElement"; }

 protected:
  const com::DispatchTable* Dispatch() const override;

 private:
  xml::Node node_;
};

// The node wrapped as an object (Nothing for a null node).
com::ObjectPtr WrapNode(const xml::Node& node);
// The document element of a new document loaded from the text; Nothing when
// the text does not load.
com::ObjectPtr NewXmlElement(std::string_view xml_text);
// The node a value holds: the node of an element object, else a null node.
xml::Node NodeOf(const Variant& value);
xml::Node NodeOf(const com::ObjectPtr& object);

}  // namespace platform::dom
