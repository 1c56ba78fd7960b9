// Resolving a plug-in's branding element: each entry holding a string path
// becomes the branding resolver's string for it; an entry ending in "*"
// becomes a container of the nodes the node-list lookup returns. Then every
// attribute value, and the text of each leaf element holding "%", are
// expanded by the resolver.
//
//   <b><name>{%strings%}/guest</name><items>/features/*</items></b>
//   -> <b><name>Guest</name><items><feature amsid="A" .../>...</items></b>
#pragma once

#include "contracts/branding_resolver.h"
#include "platform/xml/node.h"

namespace plugins::host {

// In place. A failing lookup leaves that entry as it was and goes on.
void ResolveBrandingElement(platform::xml::Node element, contracts::BrandingResolver& resolver);

}  // namespace plugins::host
