// The DAG rewrite: a graph seen from one root, turned into a rooted DAG.
//
// The result is a copy of the graph, reduced to what the root reaches, in
// which every node has a floor (its distance from the root), every edge joins
// floor f to floor f + 1 and every node but the root has exactly one parent.
// It gets there by repairing one defect per iteration, deepest floor first:
//   - an edge between two nodes of one floor (cobound) is cut into two
//     virtual leaves one floor lower (see cobound.h);
//   - a node with several parents (inbound, see inbound.h) is split into one
//     mirror "#m<c>_<i>" per parent edge. In compact mode the mirrors carry
//     the node's label and its children move to one of them; in expanded
//     mode each mirror is labelled "." and gets its own copy of the DAG below
//     the node (ids suffixed "@<mirror id>"), built by a recursive rewrite.
// Magnets cached during the rewrite are not refreshed by later repairs.
//
//   auto dag = to_dag_with_mode(graph, "r", IdSet{}, /*compact=*/false, /*allow_hashes=*/true);
//   if (!dag) return std::unexpected(dag.error());
#pragma once

#include <cstdint>
#include <string_view>

#include "error/tolva_error.h"
#include "dag/call_controls.h"
#include "dag/rewrite_context.h"
#include "graph/blocked_nodes.h"
#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

// The most repairs one rewrite may make before it gives up with
// Unsupported "dag rewrite loop exceeded guard limit".
inline constexpr std::uint64_t kDagRepairLimit = 10000;

// The node and magnet text limits of one rewrite (kDagNodeLimit,
// kDagMagnetTextLimit) are described in rewrite_context.h.

// `controls` lends the trace settings and the stop check (see call_controls.h).
Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root,
                                   const IdSet& blocked, bool compact, bool allow_hashes,
                                   const CallControls& controls = {});

// The same rewrite with the blocked nodes given as slots of `graph`, and
// other limits than the defaults (for tests).
Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root,
                                   const BlockedNodes& blocked, bool compact, bool allow_hashes,
                                   const CallControls& controls = {}, RewriteLimits limits = {});

// The same rewrite with nothing blocked, for drivers that make many: copies
// and walks reuse the storage in `scratch` (see rewrite_context.h). The
// DAG's copy ids may be left out of its id index (GraphWrap::add_copy_unfiled):
// find() still finds them, slowly; a driver that looks them up files them.
// Its copy classes are kept for its walks.
Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root, bool compact,
                                   bool allow_hashes, const CallControls& controls, RewriteScratch& scratch);

// The ids of all live nodes whose floor is present and at most max_floor.
IdSet collect_roots_by_floor(const GraphWrap& graph, std::int32_t max_floor);

}  // namespace tolva
