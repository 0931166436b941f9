// Pruning: the nodes that several candidate roots compete for.
//
// Each candidate searches its territory: the non-candidate nodes it reaches
// without passing through another candidate. A node in the territories of
// two or more candidates is contested; the first selection pass leaves the
// contested nodes out so that each candidate is judged on what only it reaches.
// The search writes `reached_by` (the candidates that reached the node, in
// candidate order) and `sole_root` (set while exactly one has) into every node.
//
//   // path c1 - a - b - c2
//   prune_graph(graph, {"c1", "c2"}) == IdSet{"a", "b"}
#pragma once

#include <string>
#include <vector>

#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

IdSet prune_graph(GraphWrap& graph, const std::vector<std::string>& candidates);

}  // namespace tolva
