// Building a GraphWrap from plain node and edge lists.
//
// Nodes are ensured in list order (a repeated id keeps the first non-empty
// label); then each edge is added in list order, creating unknown endpoints
// with label "." and naming the edges "e1", "e2", ... No validation is made:
// repeated edges become parallel edges, equal ids a self-loop.
//
//   GraphWrap g = graph_from_lists({{"a", "A"}}, {{"a", "b", "x"}});
//   // nodes a (A), b (.); edge e1 a-b with modality x
#pragma once

#include <array>
#include <span>
#include <string>

#include "graph/graph_wrap.h"

namespace tolva {

using NodeItem = std::array<std::string, 2>;  // id, label
using EdgeItem = std::array<std::string, 3>;  // first id, second id, modality

GraphWrap graph_from_lists(std::span<const NodeItem> nodes, std::span<const EdgeItem> edges);

}  // namespace tolva
