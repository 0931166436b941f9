// The defects a DAG rewrite repairs, as its choices see them: an edge between
// two nodes of one floor (cobound), and a node with several parent edges
// (inbound). select_cobound and select_inbound rank them; the rewrite lists
// them by floor.
//
//   InboundCandidate candidate{parent_edges, floor, node};   // parent_edges outlives it
#pragma once

#include <cstdint>
#include <span>

#include "graph/node_data.h"

namespace tolva {

struct CoboundCandidate {
  EdgeIndex edge;
  std::int32_t floor;
};

struct InboundCandidate {
  // In the node's visiting order; views a list the caller keeps.
  std::span<const EdgeIndex> parent_edges;
  std::int32_t floor;
  NodeIndex node;
};

}  // namespace tolva
