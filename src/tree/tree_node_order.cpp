#include "tree/tree_node_order.h"

#include "tree/tree_walk.h"

namespace tolva {
namespace {

// Pre-order read-out of the written tree; a node listed under two parents is
// read twice but reported once.
std::vector<std::string> read_out(const GraphWrap& graph, const TreeWalker& walk, NodeIndex root) {
  std::vector<std::string> order;
  IdSet seen;
  std::vector<NodeIndex> stack{root};
  while (!stack.empty()) {
    NodeIndex node = stack.back();
    stack.pop_back();
    if (!graph.is_virtual(node)) {
      std::string_view key = graph.source_id(node);
      if (seen.insert(std::string(key)).second) order.push_back(std::string(key));
    }
    if (const WrittenNode* written = walk.written(node)) {
      auto children = walk.children(*written);
      stack.insert(stack.end(), children.rbegin(), children.rend());
    }
  }
  return order;
}

}  // namespace

std::expected<std::vector<std::string>, std::string> to_tree_node_order(const GraphWrap& graph,
                                                                        std::string_view root_id,
                                                                        const IdSet& blocked_ids,
                                                                        StopControl* stop) {
  std::optional<NodeIndex> root = graph.find(root_id);
  if (!root || !graph.node_occupied(*root))
    return std::unexpected("unknown root id '" + std::string(root_id) + "'");
  TreeWalker walker;
  auto walk = walker.walk(graph, *root, BlockedNodes::from_ids(graph, blocked_ids, root_id),
                          TreeWalkOptions{true, true, stop});
  if (!walk) return std::unexpected(std::move(walk.error()));
  return read_out(graph, walker, *root);
}

}  // namespace tolva
