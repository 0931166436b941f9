#include "dag/sub_dag.h"

#include <algorithm>

namespace tolva {
namespace {

// Floors from `node` within the region, in the store's visiting order, as the
// floor computation of a confined rewrite would assign them.
std::vector<std::int32_t> floors_in_region(const GraphWrap& graph, NodeIndex node,
                                           const std::vector<bool>& region,
                                           std::vector<NodeIndex>& reached) {
  std::vector<std::int32_t> floor(graph.node_slot_count(), -1);
  floor[node] = 0;
  reached.assign(1, node);
  for (std::size_t head = 0; head < reached.size(); ++head) {
    NodeIndex at = reached[head];
    graph.for_each_incident(at, [&](EdgeIndex, NodeIndex next) {
      if (!region[next] || floor[next] >= 0) return;
      floor[next] = floor[at] + 1;
      reached.push_back(next);
    });
  }
  return floor;
}

bool has_defect(const GraphWrap& graph, const std::vector<NodeIndex>& reached,
                const std::vector<std::int32_t>& floor) {
  for (NodeIndex at : reached) {
    int parents = 0;
    bool same_floor = false;
    graph.for_each_incident(at, [&](EdgeIndex, NodeIndex other) {
      if (floor[other] < 0) return;
      if (floor[other] < floor[at]) ++parents;
      if (floor[other] == floor[at]) same_floor = true;
    });
    if (parents >= 2 || same_floor) return true;
  }
  return false;
}

}  // namespace

Result<SubDag> sub_dag_from(const GraphWrap& dag) {
  SubDag sub;
  std::vector<std::uint32_t> position(dag.node_slot_count(), kEndMarker);
  std::optional<std::int32_t> root_floor;
  dag.for_each_node([&](NodeIndex index) {
    std::int32_t floor = dag.floor(index).value_or(0);
    if (!root_floor || floor < *root_floor) {
      root_floor = floor;
      sub.root = static_cast<std::uint32_t>(sub.nodes.size());
    }
    position[index] = static_cast<std::uint32_t>(sub.nodes.size());
    sub.nodes.push_back(SubDag::Node{dag.id(index), dag.label(index), dag.meta(index)});
  });
  if (sub.nodes.empty()) return parse_error("empty subgraph");
  for (EdgeIndex edge = 0; edge < dag.edge_slot_count(); ++edge)
    if (auto ends = dag.endpoints(edge))
      sub.edges.push_back(SubDag::Edge{position[ends->first], position[ends->second], dag.edge(edge)});
  sub.texts = dag.texts();
  return sub;
}

std::optional<SubDag> extract_tree_below(const GraphWrap& graph, NodeIndex node,
                                         const std::vector<bool>& region) {
  std::vector<NodeIndex> reached;
  std::vector<std::int32_t> floor = floors_in_region(graph, node, region, reached);
  if (has_defect(graph, reached, floor)) return std::nullopt;

  std::sort(reached.begin(), reached.end());
  SubDag sub;
  std::vector<std::uint32_t> position(graph.node_slot_count(), kEndMarker);
  std::vector<EdgeIndex> edges;
  for (NodeIndex at : reached) {
    position[at] = static_cast<std::uint32_t>(sub.nodes.size());
    if (at == node) sub.root = position[at];
    SubDag::Node copy{graph.id(at), graph.label(at), graph.meta(at)};
    copy.meta.floor = floor[at];
    copy.meta.extra.clear_magnet_caches();
    sub.nodes.push_back(copy);
    // Each edge once: from its first endpoint (a self-loop included).
    graph.for_each_incident(at, [&](EdgeIndex edge, NodeIndex other) {
      if (floor[other] >= 0 && graph.first_end(edge) == at) edges.push_back(edge);
    });
  }
  std::sort(edges.begin(), edges.end());
  for (EdgeIndex edge : edges) {
    sub.edges.push_back(
        SubDag::Edge{position[graph.first_end(edge)], position[graph.second_end(edge)], graph.edge(edge)});
  }
  return sub;
}

}  // namespace tolva
