// Nodes the DAG rewrite makes (virtual leaves, mirrors, sub-DAG copies) get
// ids from fixed templates such as "*v0", "#m0_1" or "b@#m0_1". An input
// graph may already use such an id; the new node must still be a new node,
// never the input node of that name. So when the templated id is taken, an
// apostrophe is appended until it is free ("*v0'", "*v0''", ...). Graphs
// without such ids are unaffected.
//
//   NodeIndex leaf = add_generated_node(graph, "*v0", "", meta);   // always a new slot
#pragma once

#include <string>
#include <string_view>

#include "graph/graph_wrap.h"

namespace tolva {

// Adds the node under `id`, with apostrophes appended while that is taken.
// `label` and the texts in `meta` must be views of text the graph holds.
NodeIndex add_generated_node(GraphWrap& graph, std::string_view id, std::string_view label, const NodeMeta& meta);
// The same with the hash GraphWrap::prefetch_id gave for `id`.
NodeIndex add_generated_node(GraphWrap& graph, std::string_view id, std::uint64_t id_hash, std::string_view label,
                             const NodeMeta& meta);

}  // namespace tolva
