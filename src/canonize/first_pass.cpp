#include "canonize/first_pass.h"

#include <algorithm>

#include "canonize/candidate_outlook.h"
#include "canonize/pruning.h"
#include "dag/dag_rewrite.h"
#include "tree/tree_walk.h"

namespace tolva {
namespace {

// Most nodes the first pass keeps in winners' DAGs for the second pass; past
// it, a winner's DAG is made again there.
constexpr std::uint64_t kKeptDagNodes = std::uint64_t{1} << 22;

// Contested nodes are left out unless every candidate has exactly one edge
// (then the candidates' trees would lose the very node they share).
IdSet exclusion_set(const GraphWrap& graph, const std::vector<std::string>& candidates, IdSet pruned) {
  if (graph.id_map_empty()) return candidates.empty() ? IdSet{} : pruned;
  bool all_single_edged = std::all_of(candidates.begin(), candidates.end(), [&](const std::string& id) {
    auto index = graph.find(id);
    return index && graph.degree(*index) == 1;
  });
  return all_single_edged ? IdSet{} : pruned;
}

// Rewrites candidates and keeps the best first-pass record seen so far with
// every candidate tied with it (by candidate position), and their DAGs.
class Contest {
 public:
  Contest(const GraphWrap& graph, const std::vector<std::string>& candidates, const IdSet& excluded,
          bool compact, bool allow_hashes, const CallControls& controls, bool keep_dags)
      : graph_(graph), candidates_(candidates), excluded_(excluded), compact_(compact),
        allow_hashes_(allow_hashes), controls_(controls), keep_dags_(keep_dags) {}

  bool has_best() const { return best_height_.has_value(); }
  std::int32_t best_height() const { return *best_height_; }

  // Rewrites candidate `i` and enters it; the rewrite's error otherwise.
  Result<void> enter(std::size_t i) {
    const std::string& id = candidates_[i];
    auto dag = to_dag_with_mode(graph_, id, compact_, allow_hashes_, controls_, scratch_);
    if (!dag) return std::unexpected(dag.error());
    NodeIndex root = *dag->find(id);
    BlockedNodes left_out = BlockedNodes::from_ids(*dag, excluded_, id);
    TreeWalker& walker = scratch_.walker();
    if (has_best()) {
      // Lower than the best: the string cannot matter, so it is not written.
      auto height = walker.walk(*dag, root, left_out, TreeWalkOptions{true, false, controls_.stop, true});
      if (!height) return parse_error(std::move(height.error()));
      if (height->height < best_height()) {
        scratch_.recycle(std::move(*dag));
        return {};
      }
    }
    auto tree = walker.walk(*dag, root, left_out, TreeWalkOptions{true, false, controls_.stop});
    if (!tree) return parse_error(std::move(tree.error()));
    int order = !has_best() ? 1
                : tree->height != best_height() ? (tree->height > best_height() ? 1 : -1)
                                                 : tree->text.compare(TreeText::flat(best_text_));
    if (order < 0) {
      scratch_.recycle(std::move(*dag));
      return {};
    }
    if (order > 0) {
      best_height_ = tree->height;
      best_text_ = tree->text.str();
      winners_.clear();
      dags_.clear();
      kept_nodes_ = 0;
    }
    winners_.push_back(i);
    bool keep = keep_dags_ && kept_nodes_ + dag->node_count() <= kKeptDagNodes;
    kept_nodes_ += keep ? dag->node_count() : 0;
    dags_.push_back(keep ? std::optional<GraphWrap>(std::move(*dag)) : std::nullopt);
    return {};
  }

  // The winners in candidate order, with what the second pass needs.
  FirstPass result(IdSet excluded, bool traced) && {
    std::vector<std::size_t> order(winners_.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return winners_[a] < winners_[b]; });
    FirstPass pass;
    for (std::size_t k : order) {
      pass.winners.push_back(candidates_[winners_[k]]);
      pass.dags.push_back(std::move(dags_[k]));
    }
    pass.excluded = std::move(excluded);
    pass.best_text = std::move(best_text_);
    pass.traced = traced;
    pass.scratch = std::move(scratch_);
    return pass;
  }

 private:
  const GraphWrap& graph_;
  const std::vector<std::string>& candidates_;
  const IdSet& excluded_;
  bool compact_;
  bool allow_hashes_;
  const CallControls& controls_;
  bool keep_dags_;
  RewriteScratch scratch_;
  std::optional<std::int32_t> best_height_;
  std::string best_text_;
  std::vector<std::size_t> winners_;  // candidate positions, in the order entered
  std::vector<std::optional<GraphWrap>> dags_;
  std::uint64_t kept_nodes_ = 0;
};

// Every candidate in candidate order: the first pass as written down.
Result<FirstPass> every_candidate(const GraphWrap& graph, const std::vector<std::string>& candidates,
                                  IdSet excluded, bool compact, bool allow_hashes,
                                  const CallControls& controls, bool traced) {
  Contest contest(graph, candidates, excluded, compact, allow_hashes, controls, !traced);
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (auto entered = contest.enter(i); !entered) return std::unexpected(entered.error());
  return std::move(contest).result(std::move(excluded), traced);
}

// Candidates whose rewrite could fail are rewritten first, in candidate order,
// so the first failure is the one the order meets; the others cannot fail and
// are rewritten tallest bound first until the bounds fall below the best
// height. Should a rewrite held unable to fail fail all the same, the pass
// starts over the long way rather than guess at the answer.
Result<FirstPass> bounded_candidates(const GraphWrap& graph, const std::vector<std::string>& candidates,
                                     IdSet excluded, bool compact, bool allow_hashes,
                                     const CallControls& controls) {
  Contest contest(graph, candidates, excluded, compact, allow_hashes, controls, true);
  CandidateOutlooks outlooks(graph, compact, allow_hashes);
  std::vector<std::pair<std::int32_t, std::size_t>> safe;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    CandidateOutlook outlook = outlooks.of(*graph.find(candidates[i]));
    if (outlook.cannot_fail) {
      safe.emplace_back(outlook.height_bound, i);
    } else if (auto entered = contest.enter(i); !entered) {
      return std::unexpected(entered.error());
    }
  }
  std::stable_sort(safe.begin(), safe.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& [bound, i] : safe) {
    if (contest.has_best() && bound < contest.best_height()) break;
    if (auto entered = contest.enter(i); !entered) {
      if (controls.stopped()) return std::unexpected(entered.error());
      return every_candidate(graph, candidates, std::move(excluded), compact, allow_hashes, controls, false);
    }
  }
  return std::move(contest).result(std::move(excluded), false);
}

}  // namespace

Result<FirstPass> run_first_pass(const GraphWrap& graph, std::string_view candidate_rule, bool compact,
                                 bool allow_hashes, const CallControls& controls) {
  auto scores = score_candidates(graph, candidate_rule);
  if (!scores) return std::unexpected(scores.error());
  std::vector<std::string> candidates = select_candidates(*scores);
  IdSet excluded = exclusion_set(graph, candidates, prune_graph(graph, candidates));
  if (controls.trace.trace_on())
    return every_candidate(graph, candidates, std::move(excluded), compact, allow_hashes, controls, true);
  return bounded_candidates(graph, candidates, std::move(excluded), compact, allow_hashes, controls);
}

Result<GraphWrap> winner_dag(FirstPass& pass, std::size_t i, const GraphWrap& graph, bool compact,
                             bool allow_hashes, const CallControls& controls) {
  if (pass.dags[i]) return std::move(*pass.dags[i]);
  return to_dag_with_mode(graph, pass.winners[i], compact, allow_hashes, controls, pass.scratch);
}

}  // namespace tolva
