// XPath selection.
#include "platform/xml/document_state.h"
#include "platform/xml/node.h"

namespace platform::xml {

NodeList Node::SelectNodes(std::string_view xpath) const {
  if (!node_) return {};
  auto guard = state_->Lock();
  std::vector<Node> nodes;
  try {
    pugi::xpath_query query(std::string(xpath).c_str());
    if (!query || query.return_type() != pugi::xpath_type_node_set) return {};
    pugi::xpath_node_set found = query.evaluate_node_set(pugi::xml_node(node_));
    found.sort();
    // Nodes out of the tree answer only for selections made inside them, and
    // the tree's selections never see them.
    const pugi::xml_node scope = state_->OrphanRoot(pugi::xml_node(node_));
    for (const pugi::xpath_node& hit : found) {
      pugi::xml_node node = hit.node();
      if (!node || hit.attribute() || state_->IsHolder(node)) continue;
      if (state_->OrphanRoot(node) != scope) continue;
      nodes.push_back(detail::NodeAccess::Make(state_, node));
    }
  } catch (const std::exception&) {
    return {};
  }
  return NodeList(std::move(nodes));
}

Node Node::SelectSingleNode(std::string_view xpath) const { return SelectNodes(xpath).Item(0); }

}  // namespace platform::xml
