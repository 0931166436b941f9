// LineGraphBuilder: the graph store as the line reader fills it, faster on
// large files.
//
// The line reader's meaning is that of GraphWrap::ensure_node and
// add_edge_with_modality, call for call: the graph built here is the one
// those calls would build. Only the lookups differ: the store's own id index
// compares an id against the text its node record points to, two cache
// misses on a large graph; here ids are looked up in a compact NodeIdCache,
// with one bit per node saying whether its label is still empty (the one
// fact ensure_node reads from an existing node), and the store's index is
// filled once at the end. Edges reach the store in batches (edge_batch.h).
//
//   LineGraphBuilder builder;
//   builder.ensure_node("a", "A");
//   builder.add_edge("a", "b", "1");   // b created with label "."; edge e1
//   GraphWrap graph = std::move(builder).finish();
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "dot/edge_batch.h"
#include "dot/node_id_cache.h"
#include "graph/graph_wrap.h"

namespace tolva {

class LineGraphBuilder {
 public:
  // As GraphWrap::ensure_node: finds or creates the node; an existing node
  // with an empty label takes a non-empty `label`.
  NodeIndex ensure_node(std::string_view id, std::string_view label);
  // As GraphWrap::add_edge_with_modality.
  void add_edge(std::string_view a, std::string_view b, std::string_view modality);
  void reserve_edges(std::size_t count) { graph_.reserve_edges(count); }

  GraphWrap finish() &&;

 private:
  GraphWrap graph_;
  NodeIdCache ids_;
  std::vector<bool> label_empty_;  // by node index
  EdgeBatch new_edges_;
};

}  // namespace tolva
