#include "dag/sub_dag.h"

#include <algorithm>

namespace tolva {
namespace {

bool has_defect(const GraphWrap& graph, const RegionScratch& region) {
  for (NodeIndex at : region.reached) {
    int parents = 0;
    bool same_floor = false;
    std::int32_t floor = region.floor(at);
    graph.for_each_incident(at, [&](EdgeIndex, NodeIndex other) {
      std::int32_t other_floor = region.floor(other);
      if (other_floor < 0) return;
      if (other_floor < floor) ++parents;
      if (other_floor == floor) same_floor = true;
    });
    if (parents >= 2 || same_floor) return true;
  }
  return false;
}

}  // namespace

void RegionScratch::layer_below(const GraphWrap& graph, NodeIndex node, std::int32_t node_floor) {
  if (stamp_.size() < graph.node_slot_count()) {
    stamp_.resize(graph.node_slot_count(), 0);
    floor_.resize(graph.node_slot_count(), -1);
  }
  if (++current_ == 0) {
    std::fill(stamp_.begin(), stamp_.end(), 0);
    current_ = 1;
  }
  // The region and its floors come from one search: the search that finds
  // what the node reaches without passing a floor above its own takes the
  // nodes in the same order as a layering confined to that region would.
  BlockedNodes above = BlockedNodes::floors_up_to(node_floor - 1, kEndMarker);
  set_floor(node, 0);
  reached.assign(1, node);
  for (std::size_t head = 0; head < reached.size(); ++head) {
    NodeIndex at = reached[head];
    std::int32_t next_floor = floor(at) + 1;
    graph.for_each_incident(at, [&](EdgeIndex, NodeIndex next) {
      if (floor(next) >= 0 || above.contains(graph, next)) return;
      set_floor(next, next_floor);
      reached.push_back(next);
    });
  }
}

Result<SubDag> sub_dag_from(GraphWrap dag) {
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
    sub.nodes.push_back(SubDag::Node{index, dag.floor(index)});
  });
  if (sub.nodes.empty()) return parse_error("empty subgraph");
  for (EdgeIndex edge = 0; edge < dag.edge_slot_count(); ++edge)
    if (auto ends = dag.endpoints(edge))
      sub.edges.push_back(SubDag::Edge{position[ends->first], position[ends->second], edge});
  sub.rewritten = std::move(dag);
  return sub;
}

bool extract_tree_below(const GraphWrap& graph, NodeIndex node, std::int32_t node_floor, RegionScratch& region,
                        SubDag& sub) {
  region.layer_below(graph, node, node_floor);
  if (has_defect(graph, region)) return false;

  std::vector<NodeIndex>& members = region.members;
  members.assign(region.reached.begin(), region.reached.end());
  std::sort(members.begin(), members.end());
  sub.nodes.clear();
  sub.edges.clear();
  sub.root = 0;
  sub.clear_magnet_caches = true;
  sub.rewritten.reset();
  sub.nodes.reserve(members.size());
  std::vector<EdgeIndex>& edges = region.edges;
  edges.clear();
  for (NodeIndex at : members) {
    // From here on a member's floor entry holds its position in the sub-DAG.
    if (at == node) sub.root = static_cast<std::uint32_t>(sub.nodes.size());
    sub.nodes.push_back(SubDag::Node{at, region.floor(at)});
    // Each edge once: from its first endpoint (a self-loop included).
    graph.for_each_incident(at, [&](EdgeIndex edge, NodeIndex other) {
      if (region.floor(other) >= 0 && graph.first_end(edge) == at) edges.push_back(edge);
    });
  }
  for (std::size_t i = 0; i < members.size(); ++i) region.set_floor(members[i], static_cast<std::int32_t>(i));
  std::sort(edges.begin(), edges.end());
  sub.edges.reserve(edges.size());
  for (EdgeIndex edge : edges) {
    auto first = static_cast<std::uint32_t>(region.floor(graph.first_end(edge)));
    auto second = static_cast<std::uint32_t>(region.floor(graph.second_end(edge)));
    sub.edges.push_back(SubDag::Edge{first, second, edge});
  }
  return true;
}

}  // namespace tolva
