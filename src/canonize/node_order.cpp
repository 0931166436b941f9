#include "canonize/node_order.h"

#include "canonize/first_pass.h"
#include "tree/tree_node_order.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

Result<std::vector<std::string>> best_order(const GraphWrap& graph, std::string_view candidate_rule,
                                            bool allow_hashes, bool compact, const CallControls& controls) {
  if (graph.node_count() == 0) return std::vector<std::string>();
  auto pass = run_first_pass(graph, candidate_rule, compact, allow_hashes, controls);
  if (!pass) return std::unexpected(pass.error());
  LentScratchReturn give_back(*pass, controls);
  // Nothing left out: every winner writes the same full string, so the first
  // winner's order is the one kept.
  bool first_only = !pass->traced && pass->excluded.empty();

  std::optional<std::pair<std::string, std::vector<std::string>>> best;
  for (std::size_t i = 0; i < pass->winners.size(); ++i) {
    const std::string& id = pass->winners[i];
    auto dag = winner_dag(*pass, i, graph, compact, allow_hashes, controls);
    if (!dag) return std::unexpected(dag.error());
    auto order = to_tree_node_order(**dag, id, IdSet{}, controls.stop);
    if (!order) return parse_error(std::move(order.error()));
    if (first_only) return std::move(*order);
    auto tree = to_tree_string_with_depth_order(**dag, id, IdSet{}, true, controls.stop);
    if (!tree) return parse_error(std::move(tree.error()));
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
