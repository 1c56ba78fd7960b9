// XPath selection.
#include <unordered_set>

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
    std::unordered_set<pugi::xml_node_struct*> out_of_scope;
    std::unordered_set<pugi::xml_node_struct*> in_scope;
    const pugi::xml_node scope = state_->HasOrphans() ? state_->OrphanRoot(pugi::xml_node(node_)) : pugi::xml_node();
    if (scope) {
      detail::ForEachInSubtree(scope.internal_object(), [&](detail::RawNode at) { return in_scope.insert(at).second; });
    } else if (state_->HasOrphans()) {
      detail::ForEachInSubtree(state_->holder().internal_object(),
                               [&](detail::RawNode at) { return out_of_scope.insert(at).second; });
    }
    nodes.reserve(found.size());
    state_->ReserveHandles(found.size());
    for (const pugi::xpath_node& hit : found) {
      pugi::xml_node node = hit.node();
      if (!node || hit.attribute() || state_->IsHolder(node)) continue;
      if (scope ? !in_scope.count(node.internal_object()) : out_of_scope.count(node.internal_object()) > 0) continue;
      nodes.push_back(detail::NodeAccess::Make(state_, node));
    }
  } catch (const std::exception&) {
    return {};
  }
  return NodeList(std::move(nodes));
}

Node Node::SelectSingleNode(std::string_view xpath) const { return SelectNodes(xpath).Item(0); }

}  // namespace platform::xml
