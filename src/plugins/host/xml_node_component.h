// The XML node component of the support library: places a node found by a
// branding node-list lookup under a branding entry. One object per thread,
// made on first use.
#pragma once

#include "platform/xml/node.h"

namespace plugins::host {

inline constexpr char kXmlNodeComponentClassId[] = "{6DCE987B-D620-43C1-9C22-BA08A7709644}";
inline constexpr char kXmlNodeComponentInterfaceId[] = "{62270E90-B808-433E-A882-D44BA1FE2493}";

class XmlNodeComponent {
 public:
  // A copy of `node` appended under `entry` (nodes of another document are
  // copied in); a null node when it cannot stand there.
  platform::xml::Node AppendNode(platform::xml::Node entry, const platform::xml::Node& node);
};

XmlNodeComponent& ThreadXmlNodeComponent();

}  // namespace plugins::host
