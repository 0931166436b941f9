#include "canonize/node_order.h"

#include "canonize/first_pass.h"
#include "dag/dag_rewrite.h"
#include "tree/tree_node_order.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

Result<std::vector<std::string>> best_order(const GraphWrap& graph, std::string_view candidate_rule,
                                            bool allow_hashes, bool compact,
                                            const CallControls& controls) {
  GraphWrap working = graph;
  if (working.node_count() == 0) return std::vector<std::string>();
  auto winners = first_pass_winners(working, candidate_rule, compact, allow_hashes, controls);
  if (!winners) return std::unexpected(winners.error());

  const IdSet none;
  std::optional<std::pair<std::string, std::vector<std::string>>> best;
  for (const std::string& id : *winners) {
    auto dag = to_dag_with_mode(working, id, none, compact, allow_hashes, controls);
    if (!dag) return std::unexpected(dag.error());
    auto tree = to_tree_string_with_depth_order(*dag, id, none, true, controls.stop);
    if (!tree) return parse_error(std::move(tree.error()));
    auto order = to_tree_node_order(*dag, id, none, controls.stop);
    if (!order) return parse_error(std::move(order.error()));
    if (!best || tree->text < best->first) best.emplace(std::move(tree->text), std::move(*order));
  }
  return best ? std::move(best->second) : std::vector<std::string>();
}

}  // namespace

Result<std::vector<std::string>> canonical_node_order(const GraphWrap& graph,
                                                      std::string_view candidate_rule,
                                                      std::string_view /*branch_rule*/, bool allow_hashes,
                                                      bool compact, const CallControls& controls) {
  auto order = best_order(graph, candidate_rule, allow_hashes, compact, controls);
  // Whatever a stopped call produced is unfinished work, not a result.
  if (controls.stopped()) return interrupted_error();
  return order;
}

}  // namespace tolva
