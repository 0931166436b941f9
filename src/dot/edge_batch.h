// EdgeBatch: edges on their way into a graph store, in batches, for the DOT
// readers.
//
// Inserting an edge writes to the records of both its ends, two cache misses
// on a graph far bigger than the caches. An edge added here asks memory for
// those records at once and goes into the store with its batch, when they
// have arrived. The store ends up exactly as if each edge had been inserted
// when it was added, as long as nothing reads its edges in between: edges
// keep their order and names ("e1", "e2", ...), and node records do not
// depend on edges. flush() before handing the graph on.
//
//   EdgeBatch edges;
//   edges.add(graph, a, b, "1");
//   edges.flush(graph);   // e1 a-b is in the store
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "graph/graph_wrap.h"

namespace tolva {

class EdgeBatch {
 public:
  // A new edge from `a` to `b` (live nodes of `graph`) with this modality.
  void add(GraphWrap& graph, NodeIndex a, NodeIndex b, std::string_view modality);
  // Inserts the edges not yet in `graph`, in the order they were added.
  void flush(GraphWrap& graph);

 private:
  struct PendingEdge {
    NodeIndex a;
    NodeIndex b;
    std::string_view modality;  // held by the graph's text store
  };
  static constexpr std::size_t kBatch = 64;

  std::vector<PendingEdge> pending_;
};

}  // namespace tolva
