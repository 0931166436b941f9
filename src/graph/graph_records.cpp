#include "graph/graph_records.h"

namespace tolva {

Result<GraphWrap> graph_from_records(std::span<const NodeRecord> nodes, std::span<const EdgeRecord> edges) {
  GraphWrap graph;
  for (const auto& [id, label] : nodes) {
    if (graph.find(id)) return parse_error("graph records: node id '" + id + "' repeated");
    graph.add_node_with_meta(id, label, NodeMeta{});
  }
  for (const auto& [edge_id, first, second, modality] : edges) {
    auto a = graph.find(first);
    auto b = graph.find(second);
    if (!a || !b)
      return parse_error("graph records: edge '" + edge_id + "' ends at an unknown node");
    graph.add_edge_custom(*a, *b, edge_id, modality);
  }
  return graph;
}

}  // namespace tolva
