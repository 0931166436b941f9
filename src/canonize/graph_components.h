// The connected components of a graph, and each one copied out as a graph of
// its own.
//
// A component lists its nodes and edges in ascending index order, and the
// components come in the order of their first node. The copy keeps that
// order, the node ids and the edge ids, so every node visits its neighbours
// in the same order as in the whole graph: a component canonised alone gives
// what the whole graph gives when it is that component. A node on no edge is
// a component of its own.
//
//   // a - b   c        (c on no edge)
//   connected_components(g) == {{nodes {a, b}, edges {e1}}, {nodes {c}, edges {}}}
#pragma once

#include <span>
#include <string>
#include <vector>

#include "graph/graph_wrap.h"

namespace tolva {

struct GraphComponent {
  std::vector<NodeIndex> nodes;
  std::vector<EdgeIndex> edges;
};

// Linear in the graph's size.
std::vector<GraphComponent> connected_components(const GraphWrap& graph);

// How the copy writes labels and modalities; the identity when null.
using TextRewrite = void (*)(std::string& out, std::string_view text);

// A new graph holding the component. Labels are kept exactly (an empty one
// stays empty), texts passed through `rewrite` when given. `slot_map` is the
// caller's scratch, one entry per node slot of `graph`, reused across
// components so that copying every component stays linear.
GraphWrap component_graph(const GraphWrap& graph, const GraphComponent& component,
                          TextRewrite rewrite, std::span<NodeIndex> slot_map);

}  // namespace tolva
