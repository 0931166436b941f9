#include "canonize/cgraph.h"

#include "canonize/brace_compression.h"
#include "canonize/first_pass.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

Result<std::string> best_string(const GraphWrap& graph, std::string_view candidate_rule, bool allow_hashes,
                                bool compact, const CallControls& controls) {
  if (graph.node_count() == 0) return std::string();
  auto pass = run_first_pass(graph, candidate_rule, compact, allow_hashes, controls,
                             FirstPassOptions{.use = WinnerUse::Strings});
  if (!pass) return std::unexpected(pass.error());
  LentScratchReturn give_back(*pass, controls);
  if (pass->winners.empty()) return std::string();
  // Nothing left out: the winners' first-pass strings are their full strings,
  // all equal, so the second pass could only write that string again.
  if (!pass->traced && pass->excluded.empty()) return std::move(pass->best_text);

  // Each winner's string is compared where the walk left it; only a new
  // smallest one is written out. The winners whose DAGs were too large to
  // keep have written theirs already.
  std::optional<std::string> best = std::move(pass->smallest_written);
  for (std::size_t i = 0; i < pass->winners.size(); ++i) {
    if (pass->dags[i].source == WinnerDag::Source::Written) continue;
    const std::string& id = pass->winners[i];
    auto dag = winner_dag(*pass, i, graph, compact, allow_hashes, controls);
    if (!dag) return std::unexpected(dag.error());
    std::optional<NodeIndex> root = (*dag)->find(id);
    if (!root || !(*dag)->node_occupied(*root)) return parse_error("unknown root id '" + id + "'");
    auto tree = tree_text_from(pass->scratch.walker(), **dag, *root, BlockedNodes{}, true, controls.stop);
    if (!tree) return parse_error(std::move(tree.error()));
    if (!best || tree->text.compare(TreeText::flat(*best)) < 0) best = tree->text.str();
  }
  return best.value_or(std::string());
}

}  // namespace

Result<std::string> to_cgraph(const GraphWrap& graph, std::string_view candidate_rule,
                              std::string_view /*branch_rule*/, bool allow_hashes, bool compress,
                              bool compact, const CallControls& controls) {
  auto text = best_string(graph, candidate_rule, allow_hashes, compact, controls);
  // Whatever a stopped call produced is unfinished work, not a result.
  if (controls.stopped()) return interrupted_error();
  if (!text || !compress) return text;
  return compress_braces(std::move(*text));
}

}  // namespace tolva
