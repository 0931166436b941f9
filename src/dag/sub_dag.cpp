#include "dag/sub_dag.h"

#include <algorithm>

namespace tolva {

void AlikeCopies::find(const SubDag& sub) {
  std::size_t count = sub.nodes.size();
  alike_.assign(count, 0);
  parent_.assign(count, kEndMarker);
  if (sub.visits_descending.size() != count) return;
  std::uint32_t deepest = 0;
  for (std::size_t k = 0; k < count; ++k) {
    alike_[k] = sub.visits_descending[k];
    deepest = std::max(deepest, static_cast<std::uint32_t>(sub.nodes[k].floor.value_or(0)));
  }
  // A tree read off the working copy: each edge joins floors one apart, the
  // deeper end being the child.
  auto floor = [&](std::uint32_t k) { return sub.nodes[k].floor.value_or(0); };
  for (const SubDag::Edge& edge : sub.edges) {
    bool first_deeper = floor(edge.first) > floor(edge.second);
    parent_[first_deeper ? edge.first : edge.second] = first_deeper ? edge.second : edge.first;
  }
  // Deepest floor first, a node that differs spoils every node above it.
  floor_starts_.assign(deepest + 2, 0);
  for (std::size_t k = 0; k < count; ++k) ++floor_starts_[floor(static_cast<std::uint32_t>(k)) + 1];
  for (std::size_t f = 1; f < floor_starts_.size(); ++f) floor_starts_[f] += floor_starts_[f - 1];
  by_floor_.resize(count);
  for (std::uint32_t k = 0; k < count; ++k) by_floor_[floor_starts_[floor(k)]++] = k;
  for (std::size_t i = count; i-- > 0;) {
    std::uint32_t k = by_floor_[i];
    if (!alike_[k] && parent_[k] != kEndMarker) alike_[parent_[k]] = 0;
  }
  alike_[sub.root] = 0;
}

constexpr std::size_t kSearchAhead = 8;

bool RegionScratch::layer_below(const GraphWrap& graph, NodeIndex node, std::int32_t node_floor) {
  if (marks_.size() < graph.node_slot_count()) marks_.resize(graph.node_slot_count());
  if (++current_ == 0) {
    std::fill(marks_.begin(), marks_.end(), Mark{});
    current_ = 1;
  }
  // The region and its floors come from one search: the search that finds
  // what the node reaches without passing a floor above its own takes the
  // nodes in the same order as a layering confined to that region would.
  // When a node is taken from the queue, every region node a floor above it
  // is known, so its parent edges and same-floor edges are counted then.
  BlockedNodes above = BlockedNodes::floors_up_to(node_floor - 1, kEndMarker);
  set_floor(node, 0);
  reached.assign(1, node);
  edges.clear();
  bool tree = true;
  for (std::size_t head = 0; head < reached.size(); ++head) {
    // The search jumps about a large graph: the edge list heads of a node a
    // few places down the queue are asked for ahead of time, and its first
    // edges once the heads have had time to arrive.
    if (head + kSearchAhead < reached.size()) graph.prefetch_node(reached[head + kSearchAhead]);
    if (head + kSearchAhead / 2 < reached.size()) graph.prefetch_first_edges(reached[head + kSearchAhead / 2]);
    NodeIndex at = reached[head];
    std::int32_t at_floor = floor(at);
    int parents = 0;
    // The visiting order: a node visits its first-endpoint edges, then its
    // second-endpoint edges, each list by slot from newest to oldest when
    // nothing was removed from it.
    bool second_side = false;
    EdgeIndex last = kEndMarker;
    bool descending = true;
    graph.for_each_incident(at, [&](EdgeIndex edge, NodeIndex next) {
      bool from_here = graph.first_end(edge) == at;
      if (from_here == second_side) {
        second_side = !from_here;
        last = kEndMarker;
      }
      if (edge >= last) descending = false;
      last = edge;
      // Every neighbour not above the node's floor is (or now becomes) a
      // region node, so the edge is the region's; it is listed from its
      // first endpoint.
      std::int32_t next_floor = floor(next);
      if (next_floor >= 0) {
        if (next_floor < at_floor) ++parents;
        if (next_floor == at_floor) tree = false;
      } else if (above.contains(graph, next)) {
        return;
      } else {
        set_floor(next, at_floor + 1);
        reached.push_back(next);
      }
      if (from_here) edges.push_back(edge);
    });
    marks_[at].visits_descending = descending ? 1 : 0;
    if (parents >= 2) tree = false;
  }
  return tree;
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
  if (!region.layer_below(graph, node, node_floor)) return false;

  std::vector<NodeIndex>& members = region.members;
  members.assign(region.reached.begin(), region.reached.end());
  sort_distinct_indices(members, region.sort_room);
  sub.nodes.clear();
  sub.edges.clear();
  sub.root = 0;
  sub.rewritten.reset();
  sub.nodes.reserve(members.size());
  sub.visits_descending.clear();
  sub.visits_descending.reserve(members.size());
  for (NodeIndex at : members) {
    // From here on a member's floor entry holds its position in the sub-DAG.
    if (at == node) sub.root = static_cast<std::uint32_t>(sub.nodes.size());
    sub.nodes.push_back(SubDag::Node{at, region.floor(at)});
    sub.visits_descending.push_back(region.visits_descending(at) ? 1 : 0);
  }
  std::vector<EdgeIndex>& edges = region.edges;
  for (std::size_t i = 0; i < members.size(); ++i) region.set_floor(members[i], static_cast<std::int32_t>(i));
  sort_distinct_indices(edges, region.sort_room);
  sub.edges.reserve(edges.size());
  for (EdgeIndex edge : edges) {
    auto first = static_cast<std::uint32_t>(region.floor(graph.first_end(edge)));
    auto second = static_cast<std::uint32_t>(region.floor(graph.second_end(edge)));
    sub.edges.push_back(SubDag::Edge{first, second, edge});
  }
  return true;
}

}  // namespace tolva
