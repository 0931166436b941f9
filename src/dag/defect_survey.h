// DefectSurveyor: what a DAG rewrite from one root will do, read off the
// layering of the graph before any repair is made.
//
// Every repair removes exactly one defect and makes none: a cut turns a
// same-floor edge into two leaves one floor down, each with one parent; a
// split gives every parent edge of a node a mirror of its own, and in expanded
// mode each mirror a copy of the tree below the node (deeper floors are
// already repaired by then, so the region below a node is a tree). Nothing
// else changes the floor of a live node or the parent edges of another
// defect. Hence, from the floors alone:
//   - the number of repairs is the number of same-floor edges (self-loops
//     included) plus the number of nodes with two or more parent edges;
//   - the nodes the repairs make: 2 per cut, and per split of a node with k
//     parent edges k mirrors (compact), or S + k * (S + 1) where S is the
//     size of the tree below the node at its split (expanded);
//   - how deep the rewritten tree reaches: compact mode keeps every node on
//     its floor and hangs the leaves of a cut one floor lower, so the deepest
//     node sits at max(deepest floor, deepest cut + 1); expanded mode moves a
//     node one level down for every split node on its way from the root (the
//     mirror takes the split node's place, the copy hangs below it), so the
//     deepest copy of v sits at floor(v) + the most split nodes on a path of
//     parent edges down to v, v included, and a cut leaf one below that.
// The drivers use this to skip candidate roots that cannot win and cannot
// fail, and the rewrite to report a certain guard-limit failure at once.
//
// A walk of the rewritten DAG may leave out input nodes, named by id. Nodes a
// repair makes (leaves, mirrors, copies) have ids of their own, so the walk
// leaves out every named input node that is still where the layering put it
// (and, rarely, a new node that took the id of a named node the rewrite
// dropped, which can only lower the walk). In expanded mode a node keeps its
// place until it or a node above it on its one path of parent edges is split
// (a split detaches the node and hangs copies under mirrors); in compact mode
// every node keeps its place unless it is split, and its children then hang
// under one of its mirrors. So, floor by floor:
//   - expanded: the walk reaches a node itself when its one parent is reached
//     itself and the node is neither split nor left out; it reaches copies
//     of a node below a split one along every path of parent edges from a
//     reached node, and the deepest such copy sits as deep as above, counting
//     only those paths;
//   - compact: the walk reaches a split node's mirror under every reached
//     parent, and its children when any parent is reached (the mirror that
//     takes them is chosen by tree strings, so any may be); an unsplit node
//     when its one parent is reached and it is not left out.
// A cut leaf hangs below every reached place of its node. The deepest place
// reached bounds the height of that walk; in expanded mode it is the height
// (but for the rare new node above).
//
//   DefectSurveyor surveyor;
//   DefectSurvey survey = surveyor.survey_from(graph, root, /*compact=*/true);
//   if (survey.repairs() > kDagRepairLimit) ...   // that rewrite must fail
#pragma once

#include <cstdint>
#include <vector>

#include "graph/blocked_nodes.h"
#include "graph/floors.h"
#include "graph/graph_wrap.h"

namespace tolva {

struct DefectSurvey {
  std::uint64_t cobound_edges = 0;
  std::uint64_t inbound_nodes = 0;
  // Nodes the repairs would make, as the node limit counts them; saturates at
  // kSaturated.
  std::uint64_t nodes_made = 0;
  // The greatest distance from the root.
  std::int32_t deepest_floor = 0;
  // At least the height of the rewritten DAG's tree string from the root (with
  // or without nodes left out of it); exactly it when nothing is left out.
  std::int32_t height_bound = 1;
  // At least the height of the tree string that leaves out the nodes the
  // survey was given; height_bound when none. In expanded mode exactly it,
  // unless a new node takes the id of a left-out node the rewrite dropped
  // (one the root does not reach) and is left out as well.
  std::int32_t reached_height_bound = 1;

  static constexpr std::uint64_t kSaturated = std::uint64_t{1} << 62;
  std::uint64_t repairs() const { return cobound_edges + inbound_nodes; }
};

class DefectSurveyor {
 public:
  // Layers the whole graph from `root` (nothing blocked, the store's visiting
  // order) and surveys the rewrite from it.
  //
  // With `enough` above zero, a caller that only asks whether the rewrite
  // makes at most `enough` nodes may get, in expanded mode, an upper bound
  // on nodes_made that is itself at most `enough` instead of the exact count,
  // which takes a further pass over the graph. The bound: a cut makes two
  // nodes; a split of a node with k parent edges, whose tree below holds
  // S <= G of the G nodes there are (G > k), makes S + k * (S + 1) as the
  // limit counts them (the tree taken out, and per parent a mirror with a
  // copy of it), of which k * (S + 1) join the graph. So G + made + 4 *
  // (cuts still to make) is unchanged by a cut and grows by at most
  // S + 2k * (S + 1) <= (4k + 1) * G per split, a factor of 4k + 2, and
  //   made <= (reached nodes + 4 * cuts) * product over splits of (4k + 2).
  //
  // With `left_out`, the survey also bounds the height of the tree string
  // that leaves those input nodes out (reached_height_bound).
  DefectSurvey survey_from(const GraphWrap& graph, NodeIndex root, bool compact, std::uint64_t enough = 0,
                           const BlockedNodes* left_out = nullptr);

  // Surveys a graph already layered (a rewrite's working copy after its floor
  // computation and the removal of what was not reached).
  DefectSurvey survey_layered(const GraphWrap& graph, const FloorMap& floors, bool compact);

 private:
  // Per-slot scratch; only the entries of the nodes in order_ are in use.
  struct NodeState {
    std::int32_t floor = -1;
    std::uint32_t parent_edges = 0;
    std::uint32_t cut_leaves = 0;
    std::int32_t splits_down_to = 0;  // split nodes on the deepest path to here
    // What a walk leaving nodes out reaches: the node in its own place (in
    // compact mode: any place of it), and in expanded mode the most split
    // nodes on a path to a copy of it that the walk reaches (-1: none).
    bool reached_in_place = false;
    std::int32_t reached_copy_splits = -1;
    std::uint64_t below = 0;          // size of the tree below at the node's split
  };

  // What the pass over the nodes has counted so far.
  struct Tally {
    DefectSurvey survey;
    std::int32_t deepest_cut = -1;
    std::uint64_t mirrors = 0;
    // The product over split nodes of (4 * parent edges + 2); saturates.
    std::uint64_t split_growth = 1;
  };

  void start(const GraphWrap& graph);
  // Classifies the edges of `node`, whose floor is set, as parent, same-floor
  // or child edges; with `discover`, neighbours without a floor get the next
  // floor and join order_.
  void note(const GraphWrap& graph, NodeIndex node, Tally& tally, bool discover);
  // What the walk that leaves out left_out_ reaches of `node`, from what it
  // reaches of the node's parents.
  void note_reached(const GraphWrap& graph, NodeIndex node, bool any_parent_in_place, std::int32_t parent_copy_splits);
  // 1 + the deepest place the walk that leaves nodes out reaches.
  std::int32_t reached_height_bound() const;
  // The survey from the counts and the states of the nodes in order_.
  DefectSurvey finish(const GraphWrap& graph, bool compact, Tally& tally, std::uint64_t enough = 0);
  std::uint64_t expanded_nodes_made(const GraphWrap& graph, std::uint64_t cobound_edges);

  std::vector<NodeState> nodes_;
  std::vector<NodeIndex> order_;
  // During survey_from: the nodes its walk leaves out (none: not asked), and the mode.
  const BlockedNodes* left_out_ = nullptr;
  bool compact_ = false;
};

}  // namespace tolva
