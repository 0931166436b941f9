// SubDag: the DAG below a split node, in the form the expanded split copies
// it under each mirror: its nodes in slot order, its edges in slot order
// (endpoints as positions in the node list), and its root. It names the
// nodes and edges by their slots in the graph they are read from, so that a
// sub-DAG of a million nodes costs a few bytes per node until it is copied.
//
// The region below a node is usually already a tree once the deeper floors
// are repaired; extract_tree_below then reads it straight from the working
// copy, exactly as a full recursive rewrite would return it, without copying
// the whole graph and deleting everything outside the region.
//
//   SubDag sub;
//   if (!extract_tree_below(graph, node, floor, region, sub)) sub = *sub_dag_from(full_recursive_rewrite_result);
//   const GraphWrap& from = sub.source(graph);   // where the slots are
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "error/tolva_error.h"
#include "graph/blocked_nodes.h"
#include "graph/graph_wrap.h"
#include "graph/index_sort.h"

namespace tolva {

struct SubDag {
  struct Node {
    NodeIndex slot;                     // in the source graph
    std::optional<std::int32_t> floor;  // what the copies' floors start from
  };
  struct Edge {
    std::uint32_t first;   // position in `nodes`
    std::uint32_t second;  // position in `nodes`
    EdgeIndex slot;        // in the source graph
  };
  std::vector<Node> nodes;  // slot order
  std::vector<Edge> edges;  // slot order
  // Read off the working copy: per node, whether it visits its neighbours by
  // descending edge slot, first-endpoint edges first (see AlikeCopies).
  // Empty for a rewritten sub-DAG.
  std::vector<std::uint8_t> visits_descending;
  std::uint32_t root = 0;   // position in `nodes`; the node with the lowest floor
  // The graph a sub-DAG that needed a rewrite of its own was read from; absent
  // when it was read off the working copy. A rewritten sub-DAG's magnet caches
  // are its own and go with the copies; the working copy's belong to its own
  // floors, and copies of its nodes start without them.
  std::optional<GraphWrap> rewritten;

  // The graph the slots are of, given the working copy.
  const GraphWrap& source(const GraphWrap& working) const { return rewritten ? *rewritten : working; }
};

// The region below a node (what it reaches without passing a node on a floor
// above its own) with the floors a rewrite confined to it would give, in
// per-slot scratch reused from one split to the next.
class RegionScratch {
 public:
  // Lays out the region; true when it is a tree in its own floors (no node
  // with two parent edges, no edge within a floor). Also lists the region's
  // edges (in `edges`, each once, unordered) and notes which nodes visit
  // their neighbours by descending edge slot (visits_descending).
  bool layer_below(const GraphWrap& graph, NodeIndex node, std::int32_t node_floor);
  // How many node slots the per-slot state has room for.
  std::size_t slots_held() const { return marks_.capacity(); }
  // The region's floor of a slot, -1 outside the region.
  std::int32_t floor(NodeIndex node) const {
    const Mark& mark = marks_[node];
    return mark.stamp == current_ ? mark.floor : -1;
  }
  void set_floor(NodeIndex node, std::int32_t floor) { marks_[node] = Mark{current_, floor, 0}; }
  bool visits_descending(NodeIndex node) const { return marks_[node].visits_descending != 0; }
  // The region's nodes in search order.
  std::vector<NodeIndex> reached;
  // Working lists of extract_tree_below, kept for the next split.
  std::vector<NodeIndex> members;
  std::vector<EdgeIndex> edges;
  IndexSortRoom sort_room;

 private:
  // A slot's floor, valid when its stamp is the current search's: one read
  // per neighbour met, where the search spends its time.
  struct Mark {
    std::uint32_t stamp = 0;
    std::int32_t floor : 31 = -1;
    std::int32_t visits_descending : 1 = 0;
  };
  std::vector<Mark> marks_;
  std::uint32_t current_ = 0;
};

// The nodes of a rewritten DAG, which the sub-DAG keeps; fails (Parse) with
// "empty subgraph" when it has none.
Result<SubDag> sub_dag_from(GraphWrap dag);

// The DAG that a rewrite rooted at `node` (on floor `node_floor`) and confined
// to the region below it would return, provided that rewrite has nothing to
// repair: every region node then has its breadth-first floor from `node` and
// cleared magnet caches (the sub-DAG names slots of `graph`, which must not
// change until it is copied). Nothing when the region holds a same-floor edge or a
// node with two parent edges, which need the full rewrite; region.reached then
// lists the region. The DAG is written into `out`, whose lists are reused
// (every split of a rewrite reads one); false, with `out` unspecified, when
// there is none.
bool extract_tree_below(const GraphWrap& graph, NodeIndex node, std::int32_t node_floor, RegionScratch& region,
                        SubDag& out);

// Which nodes of a sub-DAG read off the working copy (extract_tree_below)
// write, once copied, the very text and height their originals write when a
// walk enters them from their parent, so that a copy may take its original's
// remembered text (see SubtreeMemo::remember_copy).
//
// A copy has its original's label and meta, its edges and their modalities;
// the copy's edges are added in the original edges' slot order, each heading
// its endpoints' lists, so a copy visits its neighbours by descending
// original edge slot, first-endpoint edges first. A walk breaks ties between
// children by visiting order. So a copy writes its original's text when every
// node of the original's subtree visits its neighbours in that same order;
// otherwise two tied children with different modalities may trade places.
// The root is never marked: its edges up are not copied.
class AlikeCopies {
 public:
  // Reads the sub-DAG's visiting orders; with none (a rewritten sub-DAG) no
  // node is alike.
  void find(const SubDag& sub);
  bool alike(std::size_t position) const { return alike_[position] != 0; }
  std::size_t held_bytes() const {
    return alike_.capacity() + (parent_.capacity() + floor_starts_.capacity() + by_floor_.capacity()) * 4;
  }

 private:
  std::vector<char> alike_;
  std::vector<std::uint32_t> parent_;
  std::vector<std::uint32_t> floor_starts_;
  std::vector<std::uint32_t> by_floor_;
};

}  // namespace tolva
