#include "canonize/first_pass.h"

#include <algorithm>

#include "canonize/pruning.h"

namespace tolva {
namespace {

// Contested nodes are left out unless every candidate has exactly one edge
// (then the candidates' trees would lose the very node they share).
IdSet exclusion_set(const GraphWrap& working, const std::vector<std::string>& candidates,
                    IdSet pruned) {
  if (working.id_map_empty()) return candidates.empty() ? IdSet{} : pruned;
  bool all_single_edged = std::all_of(candidates.begin(), candidates.end(), [&](const std::string& id) {
    auto index = working.find(id);
    return index && working.degree(*index) == 1;
  });
  return all_single_edged ? IdSet{} : pruned;
}

}  // namespace

std::vector<std::string> pick_first_pass_winners(const std::vector<CandidateScore>& scores) {
  std::vector<std::string> winners;
  const CandidateScore* best = nullptr;
  for (const CandidateScore& record : scores) {
    int order = best == nullptr ? 1
                : record.height != best->height ? (record.height > best->height ? 1 : -1)
                                                 : record.tree.compare(best->tree);
    if (order > 0) {
      best = &record;
      winners.assign(1, record.id);
    } else if (order == 0) {
      winners.push_back(record.id);
    }
  }
  return winners;
}

Result<std::vector<std::string>> first_pass_winners(GraphWrap& working, std::string_view candidate_rule,
                                                    bool compact, bool allow_hashes) {
  auto scores = score_candidates(working, candidate_rule);
  if (!scores) return std::unexpected(scores.error());
  std::vector<std::string> candidates = select_candidates(*scores);
  IdSet pruned = prune_graph(working, candidates);
  IdSet excluded = exclusion_set(working, candidates, std::move(pruned));
  auto records = collect_candidate_scores(working, candidates, excluded, compact, allow_hashes);
  if (!records) return std::unexpected(records.error());
  return pick_first_pass_winners(*records);
}

}  // namespace tolva
