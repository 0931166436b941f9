#include "canonize/first_pass.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "canonize/candidate_outlook.h"
#include "canonize/pruning.h"
#include "canonize/uniform_cycle.h"
#include "dag/dag_rewrite.h"
#include "tree/tree_string.h"
#include "tree/tree_walk.h"

namespace tolva {
namespace {

// Contested nodes are left out unless every candidate has exactly one edge
// (then the candidates' trees would lose the very node they share).
IdSet exclusion_set(const GraphWrap& graph, const std::vector<std::string>& candidates, IdSet pruned) {
  if (graph.id_map_empty()) return candidates.empty() ? IdSet{} : pruned;
  bool all_single_edged = std::all_of(candidates.begin(), candidates.end(), [&](const std::string& id) {
    auto index = graph.find(id);
    return index && graph.degree(*index) == 1;
  });
  if (all_single_edged) return IdSet{};
  return pruned;
}

// The storage the caller lends the call, or new storage; what a first pass
// that starts over finds is new storage.
RewriteScratch take_lent_scratch(const CallControls& controls) {
  if (controls.lent_scratch == nullptr) return RewriteScratch{};
  return std::exchange(*controls.lent_scratch, RewriteScratch{});
}

// Rewrites candidates and keeps the best first-pass record seen so far with
// every candidate tied with it (by candidate position), and their DAGs.
//
// A candidate in a tree component is not rewritten: a rewrite from it has
// nothing to repair (a component without a cycle layers into floors without a
// same-floor edge or a node with two parent edges), writes no trace line, and
// only removes the other components, which its walks never reach. So its
// strings are walked on the input graph itself.
class Contest {
 public:
  Contest(const GraphWrap& graph, const std::vector<std::string>& candidates, const IdSet& excluded,
          bool compact, bool allow_hashes, const CallControls& controls, bool keep_dags, FirstPassOptions options)
      : graph_(graph), candidates_(candidates), excluded_(excluded), compact_(compact),
        allow_hashes_(allow_hashes), controls_(controls), keep_dags_(keep_dags), options_(options),
        left_out_of_input_(BlockedNodes::from_ids(graph, excluded)), scratch_(take_lent_scratch(controls)) {}

  bool has_best() const { return best_height_.has_value(); }
  // The input graph's slots of the nodes the strings leave out.
  const BlockedNodes& left_out_of_input() const { return left_out_of_input_; }
  std::int32_t best_height() const { return *best_height_; }

  // Rewrites candidate `i` (unless it lies in a tree component) and enters it;
  // the rewrite's error otherwise.
  Result<void> enter(std::size_t i, bool in_tree) {
    const std::string& id = candidates_[i];
    std::optional<GraphWrap> dag;
    if (!in_tree) {
      auto made = to_dag_with_mode(graph_, id, compact_, allow_hashes_, controls_, scratch_);
      if (!made) return std::unexpected(made.error());
      dag = std::move(*made);
    }
    // Candidates are never left out (no candidate's search enters another
    // candidate), so the input graph's set of left-out slots serves them all.
    const GraphWrap& subject = dag ? *dag : graph_;
    BlockedNodes left_out = dag ? BlockedNodes::from_ids(*dag, excluded_, id) : left_out_of_input_;
    auto entered = enter_walked(i, subject, *subject.find(id), left_out);
    if (!entered) return std::unexpected(entered.error());
    if (*entered) {
      if (auto kept = keep(id, std::move(dag)); !kept) return kept;
    } else if (dag)
      scratch_.recycle(std::move(*dag));
    return {};
  }

  // Enters candidate `i` as tied with the best without rewriting it, for a
  // caller that has proved its rewrite writes the best string (see
  // uniform_cycle.h). A winner's DAG is made again should it be needed.
  void enter_tied(std::size_t i) {
    winners_.push_back(i);
    dags_.push_back(WinnerDag{});
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
    pass.smallest_written = std::move(smallest_written_);
    pass.traced = traced;
    pass.scratch = std::move(scratch_);
    return pass;
  }

 private:
  // Enters a walked candidate: true when it is now among the best.
  Result<bool> enter_walked(std::size_t i, const GraphWrap& subject, NodeIndex root, const BlockedNodes& left_out) {
    TreeWalker& walker = scratch_.walker();
    // With nothing left out, the outlook's bound is the height itself, and a
    // candidate whose bound lies below the best is never entered.
    if (has_best() && !excluded_.empty()) {
      // Lower than the best: the string cannot matter, so it is not written.
      auto height = walker.walk(subject, root, left_out, TreeWalkOptions{true, false, controls_.stop, true});
      if (!height) return parse_error(std::move(height.error()));
      if (height->height < best_height()) return false;
    }
    auto tree = walker.walk(subject, root, left_out, TreeWalkOptions{true, false, controls_.stop});
    if (!tree) return parse_error(std::move(tree.error()));
    int order = !has_best() ? 1
                : tree->height != best_height() ? (tree->height > best_height() ? 1 : -1)
                                                 : tree->text.compare(TreeText::flat(best_text_));
    if (order < 0) return false;
    if (order > 0) {
      best_height_ = tree->height;
      best_text_ = tree->text.str();
      winners_.clear();
      // The beaten DAGs' storage serves the next rewrites' copies.
      for (WinnerDag& beaten : dags_)
        if (beaten.dag) scratch_.recycle(std::move(*beaten.dag));
      dags_.clear();
      kept_slots_ = 0;
      smallest_written_.reset();
    }
    winners_.push_back(i);
    return true;
  }

  // Keeps a new winner's DAG for the second pass, within the budget; past it,
  // a caller that wants strings only gets the winner's full string now. (With
  // nothing left out the first-pass string is the full string, and the second
  // pass writes nothing.)
  Result<void> keep(const std::string& id, std::optional<GraphWrap> dag) {
    WinnerDag kept;
    if (!dag) {
      kept.source = WinnerDag::Source::Input;
    } else if (std::uint64_t slots = dag->node_slot_count() + dag->edge_slot_count();
               keep_dags_ && kept_slots_ + slots <= options_.kept_dag_slots) {
      kept.source = WinnerDag::Source::Kept;
      kept.dag = std::make_unique<GraphWrap>(std::move(*dag));
      kept_slots_ += slots;
    } else if (keep_dags_ && options_.use == WinnerUse::Strings && !excluded_.empty()) {
      if (auto written = write_full_string(id, *dag); !written) return written;
      kept.source = WinnerDag::Source::Written;
      scratch_.recycle(std::move(*dag));
    } else {
      // Made again should it be needed; meanwhile its storage serves the next
      // rewrite, which then grows into memory already mapped.
      scratch_.recycle(std::move(*dag));
    }
    dags_.push_back(std::move(kept));
    return {};
  }

  // The second pass's walk of a winner, made while its DAG is at hand; only
  // the smallest such string is kept, as the second pass keeps only its best.
  Result<void> write_full_string(const std::string& id, const GraphWrap& dag) {
    auto tree = tree_text_from(scratch_.walker(), dag, *dag.find(id), BlockedNodes{}, true, controls_.stop);
    if (!tree) return parse_error(std::move(tree.error()));
    if (!smallest_written_ || tree->text.compare(TreeText::flat(*smallest_written_)) < 0)
      smallest_written_ = tree->text.str();
    return {};
  }

  const GraphWrap& graph_;
  const std::vector<std::string>& candidates_;
  const IdSet& excluded_;
  bool compact_;
  bool allow_hashes_;
  const CallControls& controls_;
  bool keep_dags_;
  FirstPassOptions options_;
  BlockedNodes left_out_of_input_;
  RewriteScratch scratch_;
  std::optional<std::int32_t> best_height_;
  std::string best_text_;
  std::vector<std::size_t> winners_;  // candidate positions, in the order entered
  std::vector<WinnerDag> dags_;
  std::uint64_t kept_slots_ = 0;
  std::optional<std::string> smallest_written_;
};

// Every candidate in candidate order: the first pass as written down.
Result<FirstPass> every_candidate(const GraphWrap& graph, const std::vector<std::string>& candidates,
                                  IdSet excluded, bool compact, bool allow_hashes,
                                  const CallControls& controls, bool traced, FirstPassOptions options) {
  Contest contest(graph, candidates, excluded, compact, allow_hashes, controls, !traced, options);
  CandidateOutlooks outlooks(graph, compact, allow_hashes);
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (auto entered = contest.enter(i, outlooks.in_tree(*graph.find(candidates[i]))); !entered)
      return std::unexpected(entered.error());
  return std::move(contest).result(std::move(excluded), traced);
}

// Candidates whose rewrite could fail are rewritten first, in candidate order,
// so the first failure is the one the order meets; the others cannot fail and
// are rewritten tallest bound first until the bounds fall below the best
// height. Should a rewrite held unable to fail fail all the same, the pass
// starts over the long way rather than guess at the answer.
Result<FirstPass> bounded_candidates(const GraphWrap& graph, const std::vector<std::string>& candidates,
                                     IdSet excluded, bool compact, bool allow_hashes,
                                     const CallControls& controls, FirstPassOptions options) {
  Contest contest(graph, candidates, excluded, compact, allow_hashes, controls, true, options);
  // The bounds are those of the strings the contest writes, which leave the
  // contested nodes out.
  CandidateOutlooks outlooks(graph, compact, allow_hashes, &contest.left_out_of_input());
  struct Safe {
    std::int32_t bound;
    std::size_t candidate;
    bool in_tree;
  };
  std::vector<Safe> safe;
  safe.reserve(candidates.size());
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    // An outlook searches the candidate's component.
    if (controls.should_stop(static_cast<std::int64_t>(graph.node_count()))) return interrupted_error();
    NodeIndex node = *graph.find(candidates[i]);
    CandidateOutlook outlook = outlooks.of(node);
    if (outlook.cannot_fail) {
      safe.push_back(Safe{outlook.height_bound, i, outlooks.in_tree(node)});
    } else if (auto entered = contest.enter(i, false); !entered) {
      return std::unexpected(entered.error());
    }
  }
  std::stable_sort(safe.begin(), safe.end(), [](const Safe& a, const Safe& b) { return a.bound > b.bound; });
  for (const Safe& next : safe) {
    if (contest.has_best() && next.bound < contest.best_height()) break;
    if (auto entered = contest.enter(next.candidate, next.in_tree); !entered) {
      if (controls.stopped()) return std::unexpected(entered.error());
      return every_candidate(graph, candidates, std::move(excluded), compact, allow_hashes, controls, false, options);
    }
  }
  return std::move(contest).result(std::move(excluded), false);
}

// A uniform cycle with nothing left out: every candidate writes the first
// one's string (see uniform_cycle.h), so only the first is rewritten. Should
// it fail, every candidate would fail alike, and the first is the one the
// candidate order meets first.
Result<FirstPass> symmetric_candidates(const GraphWrap& graph, const std::vector<std::string>& candidates,
                                       IdSet excluded, bool compact, bool allow_hashes,
                                       const CallControls& controls, FirstPassOptions options) {
  Contest contest(graph, candidates, excluded, compact, allow_hashes, controls, true, options);
  if (auto entered = contest.enter(0, false); !entered) return std::unexpected(entered.error());
  for (std::size_t i = 1; i < candidates.size(); ++i) contest.enter_tied(i);
  return std::move(contest).result(std::move(excluded), false);
}

}  // namespace

Result<FirstPass> run_first_pass(const GraphWrap& graph, std::string_view candidate_rule, bool compact,
                                 bool allow_hashes, const CallControls& controls, FirstPassOptions options) {
  auto selected = rule_candidates(graph, candidate_rule);
  if (!selected) return std::unexpected(selected.error());
  std::vector<std::string> candidates = std::move(*selected);
  if (candidates.size() == 1) {
    // One candidate contests nothing and has no rival to be skipped for. An
    // isolated node is its own tree component: nothing to rewrite.
    const IdSet nothing_left_out;
    bool traced = controls.trace.trace_on();
    Contest contest(graph, candidates, nothing_left_out, compact, allow_hashes, controls, !traced, options);
    if (auto entered = contest.enter(0, graph.edge_count() == 0); !entered) return std::unexpected(entered.error());
    return std::move(contest).result(IdSet{}, traced);
  }
  IdSet excluded = exclusion_set(graph, candidates, prune_graph(graph, candidates));
  if (controls.trace.trace_on())
    return every_candidate(graph, candidates, std::move(excluded), compact, allow_hashes, controls, true, options);
  if (excluded.empty() && is_uniform_cycle(graph))
    return symmetric_candidates(graph, candidates, std::move(excluded), compact, allow_hashes, controls, options);
  return bounded_candidates(graph, candidates, std::move(excluded), compact, allow_hashes, controls, options);
}

// Handing back happens in a destructor, which must not throw.
static_assert(std::is_nothrow_move_assignable_v<RewriteScratch>);

LentScratchReturn::~LentScratchReturn() {
  if (lent_ == nullptr || std::uncaught_exceptions() > exceptions_) return;
  if (pass_.scratch.slots_held() <= kMostLentScratchSlots) *lent_ = std::move(pass_.scratch);
}

Result<const GraphWrap*> winner_dag(FirstPass& pass, std::size_t i, const GraphWrap& graph, bool compact,
                                    bool allow_hashes, const CallControls& controls) {
  WinnerDag& winner = pass.dags[i];
  switch (winner.source) {
    case WinnerDag::Source::Kept: return &*winner.dag;
    case WinnerDag::Source::Input: return &graph;
    case WinnerDag::Source::Remake:
    case WinnerDag::Source::Written: break;
  }
  auto made = to_dag_with_mode(graph, pass.winners[i], compact, allow_hashes, controls, pass.scratch);
  if (!made) return std::unexpected(made.error());
  winner.dag = std::make_unique<GraphWrap>(std::move(*made));
  winner.source = WinnerDag::Source::Kept;
  return &*winner.dag;
}

}  // namespace tolva
