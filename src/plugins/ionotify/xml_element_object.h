// An XML element as an object of the object model, so that late-bound callers
// can hand elements around (IoCreate's start method receives one, a client
// reads ThreadSafeSharedData). Members, as the DOM names them: xml, text
// (read and assign), nodeName, getAttribute, setAttribute, selectSingleNode,
// appendChild (an element object or XML text), removeChild.
#pragma once

#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "platform/xml/node.h"

namespace plugins::ionotify {

class XmlElementObject : public platform::com::Object {
 public:
  explicit XmlElementObject(platform::xml::Node node) : node_(std::move(node)) {}
  const platform::xml::Node& node() const { return node_; }
  std::string TypeName() const override { return "IXMLDOMElement"; }

 protected:
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  platform::xml::Node node_;
};

// Nothing for a null node.
platform::com::ObjectPtr WrapXmlNode(const platform::xml::Node& node);
// The element a value holds: an element object, or XML text loaded into a
// new document. Raises 424 for anything else.
platform::xml::Node XmlNodeOf(const platform::Variant& value);

}  // namespace plugins::ionotify
