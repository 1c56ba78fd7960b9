// Small XML text helpers of the actions: a child element's text, and fields
// written into hand-built XML (the secure log entry) as escaped text.
#pragma once

#include <string>
#include <string_view>

#include "platform/xml/node.h"

namespace plugins::ionotify {

// The text of the first child element of that name; empty when none.
std::string ChildText(const platform::xml::Node& element, std::string_view name);

// The text as the value of an attribute in single or double quotes: & < > '
// " and the line-ending and tab characters become references, so the value
// reads back unchanged. Characters XML cannot hold at all (controls other
// than tab, LF, CR) become U+FFFD.
std::string EscapeXmlAttribute(std::string_view text);
// The text as element content: & < > become references; controls as above.
std::string EscapeXmlText(std::string_view text);

}  // namespace plugins::ionotify
