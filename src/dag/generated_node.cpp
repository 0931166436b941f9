#include "dag/generated_node.h"

namespace tolva {

std::string unused_node_id(const GraphWrap& graph, std::string id) {
  while (graph.find(id)) id += '\'';
  return id;
}

NodeIndex add_generated_node(GraphWrap& graph, std::string id, std::string_view label, const NodeMeta& meta) {
  std::string fresh = unused_node_id(graph, std::move(id));
  return graph.add_node_with_meta(fresh, label, meta);
}

}  // namespace tolva
