// CandidateOutlook: what a candidate root's DAG rewrite will give, known
// before it is made: an upper bound on the height of its first-pass tree, and
// whether the rewrite can fail at all.
//
// The first pass keeps the candidates of greatest height, so a candidate whose
// bound lies below a height already reached cannot win; if its rewrite also
// cannot fail, making it changes nothing and it may be skipped. (A rewrite
// that could fail must still be made: the first failing candidate decides the
// call's error.) A rewrite cannot fail when it needs at most the repair limit
// of repairs, makes nodes within the node limit, and writes no plain magnets
// (hashed magnets are not counted against the text limit; a rewrite without
// repairs computes no magnet at all). The survey of the rewrite's floors
// tells all three (see defect_survey.h).
//
// A candidate in a tree component has nothing to repair: its rewrite is the
// component itself and its height the candidate's eccentricity + 1. Those
// come for the whole component from three breadth-first sweeps (in a tree,
// the farthest node from any node is one of the two ends of a longest path),
// so forests with many candidates cost linear time, not a search per
// candidate.
//
// The first pass may leave contested nodes out of its tree strings; given
// them, the bound is one on the height of those strings, which may lie far
// below the full tree's (see defect_survey.h).
//
//   CandidateOutlooks outlooks(graph, /*compact=*/false, /*allow_hashes=*/true, &left_out);
//   CandidateOutlook outlook = outlooks.of(node);
//   if (outlook.cannot_fail && outlook.height_bound < best_height) ...  // skip it
#pragma once

#include <cstdint>
#include <vector>

#include "dag/defect_survey.h"
#include "graph/graph_wrap.h"

namespace tolva {

struct CandidateOutlook {
  std::int32_t height_bound = 1;
  bool cannot_fail = false;
};

class CandidateOutlooks {
 public:
  // `left_out` (slots of `graph`; none when null) must outlive the outlooks.
  CandidateOutlooks(const GraphWrap& graph, bool compact, bool allow_hashes,
                    const BlockedNodes* left_out = nullptr);

  CandidateOutlook of(NodeIndex candidate);

  // The node's component has no cycle (nor parallel edges or self-loops).
  bool in_tree(NodeIndex node) const;

 private:
  struct Component {
    std::uint64_t nodes = 0;
    std::uint64_t edges = 0;
    bool eccentricities_known = false;
  };

  void find_components();
  void tree_eccentricities(NodeIndex start);
  // Breadth-first distances from `from` within its component into `distance`;
  // returns the last node reached (one of the farthest).
  NodeIndex sweep(NodeIndex from, std::vector<std::int32_t>& distance);

  const GraphWrap& graph_;
  bool compact_;
  bool allow_hashes_;
  const BlockedNodes* left_out_;
  std::vector<std::uint32_t> component_of_;
  std::vector<Component> components_;
  std::vector<std::int32_t> eccentricity_;
  std::vector<std::int32_t> distance_a_;
  std::vector<std::int32_t> distance_b_;
  std::vector<NodeIndex> parent_;
  std::vector<NodeIndex> queue_;
  DefectSurveyor surveyor_;
};

}  // namespace tolva
