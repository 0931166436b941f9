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

// Keeps the best record seen so far and the ids tied with it. Records that
// lose are dropped at once, so a graph with many candidates holds one tree
// string at a time rather than one per candidate.
class FirstPass {
 public:
  void offer(CandidateScore record) {
    int order = !best_ ? 1
                : record.height != best_->height ? (record.height > best_->height ? 1 : -1)
                                                  : record.tree.compare(best_->tree);
    if (order > 0) {
      winners_.assign(1, record.id);
      best_ = std::move(record);
    } else if (order == 0) {
      winners_.push_back(std::move(record.id));
    }
  }
  std::vector<std::string> winners() && { return std::move(winners_); }

 private:
  std::optional<CandidateScore> best_;
  std::vector<std::string> winners_;
};

}  // namespace

Result<std::vector<std::string>> first_pass_winners(GraphWrap& working, std::string_view candidate_rule,
                                                    bool compact, bool allow_hashes,
                                                    const CallControls& controls) {
  auto scores = score_candidates(working, candidate_rule);
  if (!scores) return std::unexpected(scores.error());
  std::vector<std::string> candidates = select_candidates(*scores);
  IdSet pruned = prune_graph(working, candidates);
  IdSet excluded = exclusion_set(working, candidates, std::move(pruned));
  FirstPass pass;
  for (const std::string& id : candidates) {
    auto record = score_candidate(working, id, excluded, compact, allow_hashes, controls);
    if (!record) return std::unexpected(record.error());
    pass.offer(std::move(*record));
  }
  return std::move(pass).winners();
}

}  // namespace tolva
