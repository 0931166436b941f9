// A graph rebuilt exactly from the records a PyGraph reports: its nodes
// (id, label) in index order and its edges (edge id, first id, second id,
// modality) in index order, as when a graph is pickled and unpickled.
//
// Labels are kept as given (an empty one stays empty, unlike when an edge
// list creates its endpoints) and so are the edge ids, so the rebuilt graph
// has the same node order, edge order and neighbour visiting order as the
// graph the records were read from, and every computation on it gives the
// same result.
//
//   auto g = graph_from_records({{"a", "A"}, {"b", ""}}, {{"e1", "a", "b", "x"}});
//   // nodes a (A), b (empty label); edge e1 a-b with modality x
#pragma once

#include <array>
#include <span>
#include <string>

#include "error/tolva_error.h"
#include "graph/graph_wrap.h"

namespace tolva {

using NodeRecord = std::array<std::string, 2>;  // id, label
using EdgeRecord = std::array<std::string, 4>;  // edge id, first id, second id, modality

// Fails (Parse) on a repeated node id or an edge whose endpoint is not a node.
Result<GraphWrap> graph_from_records(std::span<const NodeRecord> nodes, std::span<const EdgeRecord> edges);

}  // namespace tolva
