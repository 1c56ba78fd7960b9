#include "plugins/action_message/action_elements.h"

#include <algorithm>

#include "platform/xml/document.h"

namespace plugins::action_message {

std::vector<platform::xml::Node> ActionElements(const platform::xml::Node& document_element) {
  std::vector<platform::xml::Node> actions;
  if (!document_element) return actions;
  for (platform::xml::Node child = document_element.FirstChild(); child; child = child.NextSibling()) {
    if (child.Type() == platform::xml::NodeType::kElement && child.NodeName() == "action") actions.push_back(child);
  }
  return actions;
}

std::vector<std::string> ActionTypes(std::string_view message) {
  platform::xml::Document document;
  if (!document.LoadXml(message)) return {};
  std::vector<std::string> types;
  for (const platform::xml::Node& action : ActionElements(document.DocumentElement())) {
    types.push_back(action.GetAttribute("type"));
  }
  return types;
}

bool StartsAProgram(std::string_view type) { return type == "runprogram" || type == "launchprocess"; }

bool MessageStartsAProgram(std::string_view message) {
  const std::vector<std::string> types = ActionTypes(message);
  return std::any_of(types.begin(), types.end(), [](const std::string& type) { return StartsAProgram(type); });
}

}  // namespace plugins::action_message
