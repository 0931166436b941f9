#include "dag/defect_survey.h"

#include <algorithm>

namespace tolva {
namespace {

std::uint64_t saturated_add(std::uint64_t a, std::uint64_t b) {
  return std::min(a + b, DefectSurvey::kSaturated);
}

std::uint64_t saturated_mul(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > DefectSurvey::kSaturated / a) return DefectSurvey::kSaturated;
  return std::min(a * b, DefectSurvey::kSaturated);
}

}  // namespace

void DefectSurveyor::start(const GraphWrap& graph) {
  for (NodeIndex node : order_) nodes_[node] = NodeState{};
  order_.clear();
  if (nodes_.size() < graph.node_slot_count()) nodes_.resize(graph.node_slot_count());
}

DefectSurvey DefectSurveyor::survey_from(const GraphWrap& graph, NodeIndex root, bool compact,
                                         std::uint64_t enough, const BlockedNodes* left_out) {
  start(graph);
  left_out_ = left_out;
  compact_ = compact;
  nodes_[root].floor = 0;
  order_.push_back(root);
  // One pass does both the layering and the survey: when a node is taken from
  // the queue, every node on its floor or above has its floor already, so its
  // edges are classified as a pass over the finished layering would classify
  // them; a neighbour without a floor yet is a child, queued one floor down.
  Tally tally;
  for (std::size_t head = 0; head < order_.size(); ++head) note(graph, order_[head], tally, true);
  DefectSurvey survey = finish(graph, compact, tally, enough);
  if (left_out_ != nullptr) survey.reached_height_bound = reached_height_bound();
  left_out_ = nullptr;
  return survey;
}

DefectSurvey DefectSurveyor::survey_layered(const GraphWrap& graph, const FloorMap& floors, bool compact) {
  start(graph);
  for (std::size_t floor = 0; floor < floors.size(); ++floor)
    for (NodeIndex node : floors[floor]) {
      nodes_[node].floor = static_cast<std::int32_t>(floor);
      order_.push_back(node);
    }
  Tally tally;
  for (NodeIndex node : order_) note(graph, node, tally, false);
  return finish(graph, compact, tally);
}

void DefectSurveyor::note(const GraphWrap& graph, NodeIndex node, Tally& tally, bool discover) {
  std::int32_t floor = nodes_[node].floor;
  std::uint32_t parent_edges = 0;
  std::int32_t splits_above = 0;
  bool any_parent_in_place = false;
  std::int32_t parent_copy_splits = -1;
  graph.for_each_incident(node, [&](EdgeIndex edge, NodeIndex other) {
    NodeState& that = nodes_[other];
    if (that.floor < 0) {
      if (discover) {
        that.floor = floor + 1;
        order_.push_back(other);
      }
      return;
    }
    if (that.floor < floor) {
      ++parent_edges;
      splits_above = std::max(splits_above, that.splits_down_to);
      any_parent_in_place = any_parent_in_place || that.reached_in_place;
      parent_copy_splits = std::max(parent_copy_splits, that.reached_copy_splits);
    } else if (that.floor == floor && graph.first_end(edge) == node) {
      // Each same-floor edge once, from its first endpoint; a self-loop
      // hangs both of its leaves under its one node.
      ++tally.survey.cobound_edges;
      tally.deepest_cut = std::max(tally.deepest_cut, floor);
      ++nodes_[node].cut_leaves;
      ++that.cut_leaves;
    }
  });
  NodeState& self = nodes_[node];
  self.parent_edges = parent_edges;
  bool split = parent_edges >= 2;
  if (split) {
    ++tally.survey.inbound_nodes;
    tally.mirrors += parent_edges;
    tally.split_growth = saturated_mul(tally.split_growth, saturated_add(saturated_mul(4, parent_edges), 2));
  }
  self.splits_down_to = splits_above + (split ? 1 : 0);
  if (left_out_ != nullptr) note_reached(graph, node, any_parent_in_place, parent_copy_splits);
}

// The parents were noted before the node (they lie a floor higher), so what
// the walk reaches of them is known; the rules are those of the header.
void DefectSurveyor::note_reached(const GraphWrap& graph, NodeIndex node, bool any_parent_in_place,
                                  std::int32_t parent_copy_splits) {
  NodeState& self = nodes_[node];
  if (self.parent_edges == 0) {  // the root, never left out
    self.reached_in_place = true;
    return;
  }
  bool split = self.parent_edges >= 2;
  if (split) {
    // The mirrors and copies are new nodes, never left out.
    if (compact_) {
      self.reached_in_place = any_parent_in_place;
    } else {
      std::int32_t splits_above = std::max(any_parent_in_place ? 0 : -1, parent_copy_splits);
      self.reached_copy_splits = splits_above < 0 ? -1 : splits_above + 1;
    }
    return;
  }
  self.reached_in_place = any_parent_in_place && !left_out_->contains(graph, node);
  if (!compact_) self.reached_copy_splits = parent_copy_splits;
}

std::int32_t DefectSurveyor::reached_height_bound() const {
  std::int32_t deepest = 0;
  for (NodeIndex node : order_) {
    const NodeState& self = nodes_[node];
    std::int32_t leaf = self.cut_leaves > 0 ? 1 : 0;
    if (self.reached_in_place) deepest = std::max(deepest, self.floor + leaf);
    if (self.reached_copy_splits >= 0) deepest = std::max(deepest, self.floor + self.reached_copy_splits + leaf);
  }
  return 1 + deepest;
}

DefectSurvey DefectSurveyor::finish(const GraphWrap& graph, bool compact, Tally& tally, std::uint64_t enough) {
  DefectSurvey& survey = tally.survey;
  std::int32_t deepest_cut = tally.deepest_cut;
  std::int32_t deepest_copy = 0;
  std::uint64_t mirrors = tally.mirrors;
  survey.deepest_floor = order_.empty() ? 0 : nodes_[order_.back()].floor;
  for (NodeIndex node : order_) {
    const NodeState& self = nodes_[node];
    std::int32_t leaf = self.cut_leaves > 0 ? 1 : 0;
    deepest_copy = std::max(deepest_copy, self.floor + self.splits_down_to + leaf);
  }
  if (compact) {
    survey.height_bound = 1 + std::max(survey.deepest_floor, deepest_cut + 1);
    survey.nodes_made = saturated_add(2 * survey.cobound_edges, mirrors);
  } else {
    survey.height_bound = 1 + deepest_copy;
    std::uint64_t bound = saturated_mul(
        saturated_add(order_.size(), saturated_mul(4, survey.cobound_edges)), tally.split_growth);
    survey.nodes_made = enough > 0 && bound <= enough ? bound : expanded_nodes_made(graph, survey.cobound_edges);
  }
  survey.reached_height_bound = survey.height_bound;
  return survey;
}

// Bottom-up: the tree below a node at its split holds the node, the leaves of
// its cuts, each child that kept its one parent edge with the tree below it,
// and for each parent edge of a split child a mirror with a copy of that
// child's tree.
std::uint64_t DefectSurveyor::expanded_nodes_made(const GraphWrap& graph, std::uint64_t cobound_edges) {
  std::uint64_t made = saturated_mul(2, cobound_edges);
  for (auto at = order_.rbegin(); at != order_.rend(); ++at) {
    NodeState& self = nodes_[*at];
    std::uint64_t below = 1 + self.cut_leaves;
    graph.for_each_incident(*at, [&](EdgeIndex, NodeIndex other) {
      const NodeState& child = nodes_[other];
      if (child.floor != self.floor + 1) return;
      below = saturated_add(below, child.parent_edges >= 2 ? 1 + child.below : child.below);
    });
    self.below = below;
    if (self.parent_edges >= 2)
      made = saturated_add(made, saturated_add(below, saturated_mul(self.parent_edges, below + 1)));
  }
  return made;
}

}  // namespace tolva
