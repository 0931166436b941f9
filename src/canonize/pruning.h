// Pruning: the nodes that several candidate roots compete for.
//
// Each candidate searches its territory: the non-candidate nodes it reaches
// without passing through another candidate. A node in the territories of
// two or more candidates is contested; the first selection pass leaves the
// contested nodes out so that each candidate is judged on what only it reaches.
// The marks of the searches (which search reached a node last, and whether
// two did) are kept beside the graph for the call; nothing after the pruning
// reads them, so the graph itself is not written.
//
//   // path c1 - a - b - c2
//   prune_graph(graph, {"c1", "c2"}) == IdSet{"a", "b"}
#pragma once

#include <string>
#include <vector>

#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

IdSet prune_graph(const GraphWrap& graph, const std::vector<std::string>& candidates);

}  // namespace tolva
