#include "graph/floors.h"

namespace tolva {

std::expected<FloorMap, std::string> compute_floors(GraphWrap& graph, std::string_view root_id,
                                                    const IdSet& blocked_ids) {
  return compute_floors(graph, root_id, BlockedNodes::from_ids(graph, blocked_ids, root_id));
}

std::expected<FloorMap, std::string> compute_floors(GraphWrap& graph, std::string_view root_id,
                                                    const BlockedNodes& blocked) {
  std::optional<NodeIndex> root = graph.find(root_id);
  if (!root) return std::unexpected("unknown root id '" + std::string(root_id) + "'");

  graph.clear_floors_and_magnets();
  std::vector<bool> visited(graph.node_slot_count(), false);

  // The queue is a vector read from the front: every node enters it at most once.
  std::vector<std::pair<NodeIndex, std::int32_t>> queue;
  queue.reserve(graph.node_count());
  queue.emplace_back(*root, 0);
  visited[*root] = true;
  FloorMap floors;
  for (std::size_t head = 0; head < queue.size(); ++head) {
    auto [node, floor] = queue[head];
    graph.set_floor(node, floor);
    if (floors.size() <= static_cast<std::size_t>(floor)) floors.resize(floor + 1);
    floors[floor].push_back(node);
    graph.for_each_incident(node, [&](EdgeIndex, NodeIndex next) {
      if (visited[next] || blocked.contains(graph, next)) return;
      visited[next] = true;
      queue.emplace_back(next, floor + 1);
    });
  }
  return floors;
}

}  // namespace tolva
