// The tree node order: the input nodes of a tree string in the order the
// string writes them (pre-order, children in their sorted order).
//
// The walk is the tree string's, always with the modality key. Every written
// node reports the id of the input node it stands for (a mirror its split
// node, a sub-DAG copy the node it copies), at its first occurrence only;
// virtual leaves stand for no input node and are not reported.
//
//   // edges r-a (1), r-b (1), a-c (2): tree string "(B:1, (C:2)A:1)R"
//   to_tree_node_order(graph, "r", IdSet{}) == {"r", "b", "a", "c"}
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "error/stop_control.h"
#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

// Fails with "unknown root id '<root_id>'" or "failed to build tree string".
std::expected<std::vector<std::string>, std::string> to_tree_node_order(const GraphWrap& graph,
                                                                        std::string_view root_id,
                                                                        const IdSet& blocked_ids,
                                                                        StopControl* stop = nullptr);

}  // namespace tolva
