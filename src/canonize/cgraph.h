// The canonical string (CGraph) of a graph.
//
// Every candidate root (see candidate_rules.h) gets its DAG (see
// dag_rewrite.h); the first pass keeps the tallest, greatest first-pass trees
// (see first_pass.h); the second pass writes each winner's full tree and keeps
// the bytewise smallest, the earliest winner on ties. With `compress` the
// contents of brace groups are then replaced by tokens (brace_compression.h).
// The caller's graph is never changed; an empty graph gives the empty string.
// `branch_rule` is accepted for compatibility and not consulted: the branch
// order of every tree string is fixed.
//
//   // graph G { a -- b }
//   to_cgraph(graph, "$degree", kDefaultBranchRule, true, true, false) == "(.:1)."
#pragma once

#include <string>
#include <string_view>

#include "dag/call_controls.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"

namespace tolva {

// `controls` lends the trace settings and the stop check; a call that was
// asked to stop fails with Interrupted and returns nothing it computed.
Result<std::string> to_cgraph(const GraphWrap& graph, std::string_view candidate_rule,
                              std::string_view branch_rule, bool allow_hashes, bool compress,
                              bool compact, const CallControls& controls = {});

}  // namespace tolva
