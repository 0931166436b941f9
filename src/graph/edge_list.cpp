#include "graph/edge_list.h"

namespace tolva {

GraphWrap graph_from_lists(std::span<const NodeItem> nodes, std::span<const EdgeItem> edges) {
  GraphWrap graph;
  for (const NodeItem& node : nodes) graph.ensure_node(node[0], node[1]);
  for (const EdgeItem& edge : edges) graph.add_edge_with_modality(edge[0], edge[1], edge[2]);
  return graph;
}

}  // namespace tolva
