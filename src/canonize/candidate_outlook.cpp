#include "canonize/candidate_outlook.h"

#include <algorithm>

#include "dag/dag_rewrite.h"

namespace tolva {

CandidateOutlooks::CandidateOutlooks(const GraphWrap& graph, bool compact, bool allow_hashes,
                                     const BlockedNodes* left_out)
    : graph_(graph), compact_(compact), allow_hashes_(allow_hashes), left_out_(left_out) {
  find_components();
}

// Components with their node and edge counts (parallel edges and self-loops
// each count), by one breadth-first search per component.
void CandidateOutlooks::find_components() {
  component_of_.assign(graph_.node_slot_count(), kEndMarker);
  queue_.reserve(graph_.node_count());
  graph_.for_each_node([&](NodeIndex start) {
    if (component_of_[start] != kEndMarker) return;
    auto id = static_cast<std::uint32_t>(components_.size());
    Component component;
    component_of_[start] = id;
    queue_.assign(1, start);
    for (std::size_t head = 0; head < queue_.size(); ++head) {
      NodeIndex node = queue_[head];
      ++component.nodes;
      graph_.for_each_incident(node, [&](EdgeIndex edge, NodeIndex next) {
        if (graph_.first_end(edge) == node) ++component.edges;
        if (component_of_[next] != kEndMarker) return;
        component_of_[next] = id;
        queue_.push_back(next);
      });
    }
    components_.push_back(component);
  });
}

bool CandidateOutlooks::in_tree(NodeIndex node) const {
  const Component& component = components_[component_of_[node]];
  return component.edges + 1 == component.nodes;
}

NodeIndex CandidateOutlooks::sweep(NodeIndex from, std::vector<std::int32_t>& distance) {
  if (distance.size() < graph_.node_slot_count()) distance.resize(graph_.node_slot_count());
  if (parent_.size() < graph_.node_slot_count()) parent_.resize(graph_.node_slot_count());
  queue_.assign(1, from);
  distance[from] = 0;
  parent_[from] = kEndMarker;
  for (std::size_t head = 0; head < queue_.size(); ++head) {
    NodeIndex node = queue_[head];
    graph_.for_each_incident(node, [&](EdgeIndex, NodeIndex next) {
      // In a tree the only neighbour already reached is the one we came from.
      if (next == parent_[node]) return;
      parent_[next] = node;
      distance[next] = distance[node] + 1;
      queue_.push_back(next);
    });
  }
  return queue_.back();
}

void CandidateOutlooks::tree_eccentricities(NodeIndex start) {
  if (eccentricity_.size() < graph_.node_slot_count()) eccentricity_.resize(graph_.node_slot_count());
  NodeIndex end_a = sweep(start, distance_a_);
  NodeIndex end_b = sweep(end_a, distance_a_);
  sweep(end_b, distance_b_);
  for (NodeIndex node : queue_) eccentricity_[node] = std::max(distance_a_[node], distance_b_[node]);
  components_[component_of_[start]].eccentricities_known = true;
}

CandidateOutlook CandidateOutlooks::of(NodeIndex candidate) {
  if (in_tree(candidate)) {
    if (!components_[component_of_[candidate]].eccentricities_known) tree_eccentricities(candidate);
    return CandidateOutlook{eccentricity_[candidate] + 1, true};
  }
  DefectSurvey survey = surveyor_.survey_from(graph_, candidate, compact_, kDagNodeLimit, left_out_);
  bool cannot_fail = survey.repairs() <= kDagRepairLimit && survey.nodes_made <= kDagNodeLimit &&
                     (allow_hashes_ || survey.repairs() == 0);
  return CandidateOutlook{survey.reached_height_bound, cannot_fail};
}

}  // namespace tolva
