// The magnet of a node: the text of everything that hangs below it.
//
// The magnet is "_" + the tree string of the node with every floored node at
// its own floor or nearer the root blocked (so only the part below it is
// written, children ordered without the modality key) + "_". With hashing
// allowed it is "_" + the MD5 of that text in lowercase hex + "_" instead.
// The DAG rewrite ranks same-floor edges and many-parent nodes by magnets.
//
// The magnet is cached in the node for one value of allow_hashes; a cached
// magnet is returned as it is, even if the graph below the node has changed
// since (the rewrite relies on that). Computing floors clears the caches.
//
//   auto magnet = get_magnet(graph, node, /*allow_hashes=*/false, context);   // "_()R_"
#pragma once

#include <string>

#include "dag/rewrite_context.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"

namespace tolva {

// Fails (Parse) with "magnet requires floored graph" for a node without a floor.
// `context` supplies the hasher and the trace, and charges unhashed magnet
// text to the rewrite's budget.
// The magnet is a view of text the graph holds.
Result<std::string_view> get_magnet(GraphWrap& graph, NodeIndex node, bool allow_hashes,
                                    RewriteContext& context);

// The magnet of `node` taken from `twin`, whose magnet (for `allow_hashes`)
// was computed on the graph as it is now and whose magnet walk writes the
// same text (see magnet_twins.h): cached, charged and traced as get_magnet
// would, without the walk and the digest.
Result<std::string_view> adopt_twin_magnet(GraphWrap& graph, NodeIndex node, NodeIndex twin, bool allow_hashes,
                                           RewriteContext& context);

}  // namespace tolva
