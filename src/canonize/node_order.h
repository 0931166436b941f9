// The canonical node order: the graph's nodes in the order in which its
// canonical string writes them.
//
// The pipeline is the canonical string's up to the first pass; the second
// pass keeps, with the smallest full tree string, that tree's node order (see
// tree_node_order.h). The caller's graph is never changed; an empty graph
// gives an empty list.
//
//   // graph G { a -- b }
//   canonical_node_order(graph, "$degree", kDefaultBranchRule, true, false) == {"a", "b"}
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dag/call_controls.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"

namespace tolva {

Result<std::vector<std::string>> canonical_node_order(const GraphWrap& graph,
                                                      std::string_view candidate_rule,
                                                      std::string_view branch_rule, bool allow_hashes,
                                                      bool compact, const CallControls& controls = {});

}  // namespace tolva
