#include "canonize/candidate_rules.h"

#include "dag/dag_rewrite.h"
#include "tree/tree_string.h"

namespace tolva {

Result<std::vector<RuleScore>> score_candidates(const GraphWrap& graph, std::string_view candidate_rule) {
  std::vector<RuleScore> scores;
  scores.reserve(graph.node_count());
  for (NodeIndex node : graph.node_indices()) {
    if (candidate_rule != kDegreeRule)
      return unsupported_error("candidate rule '" + std::string(candidate_rule) + "' not implemented");
    auto degree = static_cast<std::int32_t>(graph.degree(node));
    scores.push_back(RuleScore{std::string(graph.id(node)), {degree}});
  }
  return scores;
}

std::vector<std::string> select_candidates(const std::vector<RuleScore>& scores) {
  std::vector<std::string> best_ids;
  const std::vector<std::int32_t>* best = nullptr;
  for (const RuleScore& record : scores) {
    if (best == nullptr || record.score > *best) {
      best = &record.score;
      best_ids.assign(1, record.id);
    } else if (record.score == *best) {
      best_ids.push_back(record.id);
    }
  }
  return best_ids;
}

Result<std::vector<std::string>> rule_candidates(const GraphWrap& graph, std::string_view candidate_rule) {
  if (candidate_rule != kDegreeRule) {
    auto scores = score_candidates(graph, candidate_rule);
    if (!scores) return std::unexpected(scores.error());
    return select_candidates(*scores);
  }
  std::vector<std::string> best_ids;
  std::size_t best = 0;
  graph.for_each_node([&](NodeIndex node) {
    std::size_t degree = graph.degree(node);
    if (best_ids.empty() || degree > best) {
      best = degree;
      best_ids.assign(1, std::string(graph.id(node)));
    } else if (degree == best) {
      best_ids.emplace_back(graph.id(node));
    }
  });
  return best_ids;
}

Result<CandidateScore> score_candidate(const GraphWrap& graph, const std::string& candidate,
                                       const IdSet& excluded, bool compact, bool allow_hashes,
                                       const CallControls& controls) {
  auto dag = to_dag_with_mode(graph, candidate, IdSet{}, compact, allow_hashes, controls);
  if (!dag) return std::unexpected(dag.error());
  auto tree = to_tree_string_with_depth_order(*dag, candidate, excluded, true, controls.stop);
  if (!tree) return parse_error(std::move(tree.error()));
  return CandidateScore{candidate, tree->height, std::move(tree->text)};
}

Result<std::vector<CandidateScore>> collect_candidate_scores(const GraphWrap& graph,
                                                             const std::vector<std::string>& candidates,
                                                             const IdSet& excluded, bool compact,
                                                             bool allow_hashes,
                                                             const CallControls& controls) {
  std::vector<CandidateScore> records;
  records.reserve(candidates.size());
  for (const std::string& id : candidates) {
    auto record = score_candidate(graph, id, excluded, compact, allow_hashes, controls);
    if (!record) return std::unexpected(record.error());
    records.push_back(std::move(*record));
  }
  return records;
}

}  // namespace tolva
