#include "plugins/host/xml_node_component.h"

namespace plugins::host {

platform::xml::Node XmlNodeComponent::AppendNode(platform::xml::Node entry, const platform::xml::Node& node) {
  return entry.AppendChild(node);
}

XmlNodeComponent& ThreadXmlNodeComponent() {
  thread_local XmlNodeComponent component;
  return component;
}

}  // namespace plugins::host
