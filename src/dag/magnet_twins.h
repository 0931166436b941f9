// Magnet twins: two nodes of one floor whose magnets are the same text.
//
// An inbound choice digests the magnet of every parent of a candidate, and
// parents often hang over the very same children: the two sides of a ring
// closing on one atom, every side of a diamond in a chain. Their magnet texts
// are then equal, and the second can be taken from the first instead of being
// walked and digested again.
//
// Why the texts are equal. A magnet walk from a root r on floor f leaves out
// every floored node on floors up to f but r; it writes r's written label and,
// below it, r's children: the neighbour entries of r that are neither left
// out nor r itself (a self-loop meets r, already entered). Let a and b lie on
// floor f, carry the same written label, and have the same children entries:
// the same nodes, through edges of the same modalities, in the same order.
// Then both walks leave out the same nodes besides the two roots, and each
// root is left out or already entered in the other's walk, so from any node
// below a root, a and b are never entered in either walk. Every node below
// therefore meets the same neighbour entries, in the same order, with the same
// ones skipped, and is written the same (its degree counts every entry, left
// out or not, in both walks alike). Children are entered in the same order
// from the same floor (copies share texts by the floor of the node they are
// entered from), so both walks write the same text. A child's position among
// the root's entries, which may differ where the left-out neighbours lie,
// only breaks ties between children of equal text, which write the same text
// in either order.
//
// The twin's magnet must have been computed on the graph as it is now (a
// cached magnet may be older than the last repair): callers take a twin only
// right after computing its magnet.
//
//   if (writes_same_below(graph, first_parent, second_parent)) ...
#pragma once

#include "graph/graph_wrap.h"

namespace tolva {

// Whether magnet walks from `a` and from `b` (two different live nodes) are
// known to write the same text: same floor, same written label, same children
// entries. False when that cannot be told cheaply.
bool writes_same_below(const GraphWrap& graph, NodeIndex a, NodeIndex b);

}  // namespace tolva
