#include "canonize/cgraph.h"

#include "canonize/brace_compression.h"
#include "canonize/first_pass.h"
#include "dag/dag_rewrite.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

Result<std::string> best_string(const GraphWrap& graph, std::string_view candidate_rule,
                                bool allow_hashes, bool compress, bool compact,
                                const CallControls& controls) {
  GraphWrap working = graph;
  if (working.node_count() == 0) return std::string();
  auto winners = first_pass_winners(working, candidate_rule, compact, allow_hashes, controls);
  if (!winners) return std::unexpected(winners.error());

  const IdSet none;
  std::optional<std::string> best;
  for (const std::string& id : *winners) {
    auto dag = to_dag_with_mode(working, id, none, compact, allow_hashes, controls);
    if (!dag) return std::unexpected(dag.error());
    auto tree = to_tree_string_with_depth_order(*dag, id, none, true, controls.stop);
    if (!tree) return parse_error(std::move(tree.error()));
    if (!best || tree->text < *best) best = std::move(tree->text);
  }
  std::string result = best.value_or(std::string());
  return compress ? compress_braces(result) : result;
}

}  // namespace

Result<std::string> to_cgraph(const GraphWrap& graph, std::string_view candidate_rule,
                              std::string_view /*branch_rule*/, bool allow_hashes, bool compress,
                              bool compact, const CallControls& controls) {
  auto text = best_string(graph, candidate_rule, allow_hashes, compress, compact, controls);
  // Whatever a stopped call produced is unfinished work, not a result.
  if (controls.stopped()) return interrupted_error();
  return text;
}

}  // namespace tolva
