// A graph as one line of text for test expectations: nodes then edges, each
// in index order, "a:A b:. | e1:a-b:2".
//
//   EXPECT_EQ(graph_listing(graph), "a:A b:. | e1:a-b:2");
#pragma once

#include <string>

#include "graph/graph_wrap.h"

namespace tolva {

inline std::string graph_listing(const GraphWrap& g) {
  std::string out;
  g.for_each_node([&](NodeIndex n) { out += std::string(g.id(n)) + ":" + std::string(g.label(n)) + " "; });
  out += "|";
  for (EdgeIndex e : g.edge_indices()) {
    auto [a, b] = *g.endpoints(e);
    out += " " + std::string(g.edge_id(e)) + ":" + std::string(g.id(a)) + "-" + std::string(g.id(b)) + ":" +
           std::string(g.modality(e));
  }
  return out;
}

}  // namespace tolva
