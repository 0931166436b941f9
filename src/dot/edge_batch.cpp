#include "dot/edge_batch.h"

namespace tolva {

void EdgeBatch::add(GraphWrap& graph, NodeIndex a, NodeIndex b, std::string_view modality) {
  pending_.push_back(PendingEdge{a, b, graph.store_text(modality)});
  graph.prefetch_node(a);
  graph.prefetch_node(b);
  if (pending_.size() == kBatch) flush(graph);
}

void EdgeBatch::flush(GraphWrap& graph) {
  for (const PendingEdge& edge : pending_)
    graph.add_edge_keeping_texts(edge.a, edge.b, EdgeData{{}, edge.modality});
  pending_.clear();
}

}  // namespace tolva
