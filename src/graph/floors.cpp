#include "graph/floors.h"

namespace tolva {

std::expected<FloorMap, std::string> compute_floors(GraphWrap& graph, std::string_view root_id,
                                                    const IdSet& blocked_ids) {
  return compute_floors(graph, root_id, BlockedNodes::from_ids(graph, blocked_ids, root_id));
}

std::expected<FloorMap, std::string> compute_floors(GraphWrap& graph, std::string_view root_id,
                                                    const BlockedNodes& blocked) {
  FloorMap floors;
  if (auto found = compute_floors_into(graph, root_id, blocked, floors); !found)
    return std::unexpected(std::move(found.error()));
  return floors;
}

std::expected<void, std::string> compute_floors_into(GraphWrap& graph, std::string_view root_id,
                                                     const BlockedNodes& blocked, FloorMap& floors) {
  std::optional<NodeIndex> root = graph.find(root_id);
  if (!root) return std::unexpected("unknown root id '" + std::string(root_id) + "'");

  graph.clear_floors_and_magnets();
  // A node's floor is written when it is queued, so "has a floor" is "seen",
  // and the floor map doubles as the queue: it holds the nodes in search order.
  floors.clear();
  floors.reserve(graph.node_count());
  graph.set_floor(*root, 0);
  floors.push(*root, 0);
  for (std::size_t floor = 0; floor < floors.size(); ++floor) {
    auto next_floor = static_cast<std::int32_t>(floor + 1);
    // Floor `floor` is complete before its first node is expanded; only later floors grow.
    for (std::size_t i = 0; i < floors[floor].size(); ++i) {
      NodeIndex node = floors[floor][i];
      graph.for_each_incident(node, [&](EdgeIndex, NodeIndex next) {
        if (graph.floor(next) || blocked.contains(graph, next)) return;
        graph.set_floor(next, next_floor);
        floors.push(next, floor + 1);
      });
    }
  }
  return {};
}

}  // namespace tolva
