// SubDag: the DAG below a split node, in the form the expanded split copies
// it under each mirror: its nodes in slot order, its edges in slot order
// (endpoints as positions in the node list), and its root.
//
// The region below a node is usually already a tree once the deeper floors
// are repaired; extract_tree_below then reads it straight from the working
// copy, exactly as a full recursive rewrite would return it, without copying
// the whole graph and deleting everything outside the region.
//
//   SubDag sub;
//   if (!extract_tree_below(graph, node, floor, region, sub)) sub = *sub_dag_from(full_recursive_rewrite_result);
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "error/tolva_error.h"
#include "graph/blocked_nodes.h"
#include "graph/graph_wrap.h"

namespace tolva {

struct SubDag {
  struct Node {
    std::string_view id;
    std::string_view label;
    NodeMeta meta;
  };
  struct Edge {
    std::uint32_t first;   // position in `nodes`
    std::uint32_t second;  // position in `nodes`
    EdgeData data;
  };
  std::vector<Node> nodes;  // slot order
  std::vector<Edge> edges;  // slot order
  std::uint32_t root = 0;   // position in `nodes`; the node with the lowest floor
  // Holds the texts the views above point into.
  TextStore texts;
};

// The region below a node (what it reaches without passing a node on a floor
// above its own) with the floors a rewrite confined to it would give, in
// per-slot scratch reused from one split to the next.
class RegionScratch {
 public:
  void layer_below(const GraphWrap& graph, NodeIndex node, std::int32_t node_floor);
  // How many node slots the per-slot state has room for.
  std::size_t slots_held() const { return stamp_.capacity(); }
  // The region's floor of a slot, -1 outside the region.
  std::int32_t floor(NodeIndex node) const { return stamp_[node] == current_ ? floor_[node] : -1; }
  void set_floor(NodeIndex node, std::int32_t floor) {
    stamp_[node] = current_;
    floor_[node] = floor;
  }
  // The region's nodes in search order.
  std::vector<NodeIndex> reached;
  // Working lists of extract_tree_below, kept for the next split.
  std::vector<NodeIndex> members;
  std::vector<EdgeIndex> edges;

 private:
  std::vector<std::uint32_t> stamp_;
  std::vector<std::int32_t> floor_;
  std::uint32_t current_ = 0;
};

// The nodes of a rewritten DAG; fails (Parse) with "empty subgraph" when it has none.
Result<SubDag> sub_dag_from(const GraphWrap& dag);

// The DAG that a rewrite rooted at `node` (on floor `node_floor`) and confined
// to the region below it would return, provided that rewrite has nothing to
// repair: every region node then has its breadth-first floor from `node` and
// cleared magnet caches. Nothing when the region holds a same-floor edge or a
// node with two parent edges, which need the full rewrite; region.reached then
// lists the region. The DAG is written into `out`, whose lists are reused
// (every split of a rewrite reads one); false, with `out` unspecified, when
// there is none.
bool extract_tree_below(const GraphWrap& graph, NodeIndex node, std::int32_t node_floor, RegionScratch& region,
                        SubDag& out);

}  // namespace tolva
