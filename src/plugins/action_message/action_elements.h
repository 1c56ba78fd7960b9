// The "action" elements of an XML action message: the element children named
// "action" of the document element, in document order. DoXMLAction runs
// exactly these; the bus reads the same list to decide who may send a
// message, so the two can never disagree about what a message does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/xml/node.h"

namespace plugins::action_message {

std::vector<platform::xml::Node> ActionElements(const platform::xml::Node& document_element);

// The "type" of each action `message` would run, in order ("" for an action
// without one); empty when the message does not load.
std::vector<std::string> ActionTypes(std::string_view message);

// Whether the type names an action that starts a program ("runprogram",
// "launchprocess"; the case counts, as it does for the dispatcher).
bool StartsAProgram(std::string_view type);

// Whether any action of `message` starts a program.
bool MessageStartsAProgram(std::string_view message);

}  // namespace plugins::action_message
