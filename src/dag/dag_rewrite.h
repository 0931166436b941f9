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
#include "graph/blocked_nodes.h"
#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

// The most repairs one rewrite may make before it gives up with
// Unsupported "dag rewrite loop exceeded guard limit".
inline constexpr std::uint64_t kDagRepairLimit = 10000;

// The most nodes one rewrite may bring into being, its recursive calls
// included: virtual leaves, mirrors, the DAG below each expanded split (read
// off as a tree, or the copy of the working copy that a recursive rewrite
// starts from) and its copies under the mirrors; the copy of the input graph
// is not counted. Expanded splits copy the DAG below a node once per parent,
// so some graphs grow exponentially: a chain of k diamonds rooted at one end
// makes about 6 * 2^k nodes. A step that would pass the limit fails the call
// with Unsupported "dag rewrite node limit exceeded" before it makes the
// copies it is charged for (a tree read off below a split is charged once it
// is read; it is never larger than the working copy). The count depends only
// on the graph and the options, so a call fails the same way every time, and
// no graph within the limit is affected.
inline constexpr std::uint64_t kDagNodeLimit = 8'000'000;

Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root,
                                   const IdSet& blocked, bool compact, bool allow_hashes);

// The same rewrite with the blocked nodes given as slots of `graph`.
Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root,
                                   const BlockedNodes& blocked, bool compact, bool allow_hashes);

// The same rewrite with another node limit than kDagNodeLimit (for tests).
Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root,
                                   const BlockedNodes& blocked, bool compact, bool allow_hashes,
                                   std::uint64_t node_limit);

// The ids of all live nodes whose floor is present and at most max_floor.
IdSet collect_roots_by_floor(const GraphWrap& graph, std::int32_t max_floor);

}  // namespace tolva
