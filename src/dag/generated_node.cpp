#include "dag/generated_node.h"

namespace tolva {

NodeIndex add_generated_node(GraphWrap& graph, std::string_view id, std::string_view label, const NodeMeta& meta) {
  return add_generated_node(graph, id, IdIndex::hash_of(id), label, meta);
}

NodeIndex add_generated_node(GraphWrap& graph, std::string_view id, std::uint64_t id_hash, std::string_view label,
                             const NodeMeta& meta) {
  NodeIndex added = graph.add_node_if_new(id, id_hash, label, meta);
  if (added != kEndMarker) return added;
  std::string taken(id);
  do {
    taken += '\'';
    added = graph.add_node_if_new(taken, label, meta);
  } while (added == kEndMarker);
  return added;
}

}  // namespace tolva
