// Floors: the breadth-first layering of a graph from one root.
//
// compute_floors writes into every reached node its distance (in edges) from
// the root, walking neighbours in the store's visiting order and never
// entering a blocked node (the root itself is never blocked). Before the
// search it resets every node's floor and magnet caches, since magnets
// describe the graph below a node and so depend on the layering. The result
// lists the nodes of each floor in the order the search took them.
//
//   auto floors = compute_floors(graph, "r", IdSet{});
//   if (!floors) return parse_error(floors.error());   // "unknown root id 'r'"
//   for (NodeIndex n : floors->at(1)) ...               // the root's neighbours
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "graph/blocked_nodes.h"
#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

// Entry f holds the nodes on floor f, in search order. Floors are contiguous
// from 0, so every entry is non-empty.
using FloorMap = std::vector<std::vector<NodeIndex>>;

// Fails with "unknown root id '<root_id>'", leaving the graph unchanged.
std::expected<FloorMap, std::string> compute_floors(GraphWrap& graph, std::string_view root_id,
                                                    const IdSet& blocked_ids);

// The same search with the blocked nodes already resolved to slots. The
// blocked nodes must not depend on floors (the floors are reset first).
std::expected<FloorMap, std::string> compute_floors(GraphWrap& graph, std::string_view root_id,
                                                    const BlockedNodes& blocked);

}  // namespace tolva
