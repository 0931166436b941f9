// Helpers for the tests of the graph walks, the DAG rewrite and the canonical
// form: small graphs written as lists, lookups by id, and the trace lines
// captured from fd 1.
//
//   GraphWrap g = graph_of({{"r", "R"}, {"a", "A"}}, {{"r", "a"}});  // modality "1"
//   CapturedTrace trace;               // TOLVA_TRACE=1, fd 1 into a file
//   ...                                // code that emits records
//   std::vector<std::string> lines = trace.finish();
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "graph/graph_wrap.h"
#include "stdout_capture.h"

namespace tolva::test_support {

using Nodes = std::vector<std::pair<std::string, std::string>>;
using Ids = std::vector<std::string>;

struct EdgeSpec {
  std::string a;
  std::string b;
  std::string modality = "1";
};

// Nodes first (id, label), then edges "e1", "e2", ... in list order.
inline GraphWrap graph_of(const Nodes& nodes, const std::vector<EdgeSpec>& edges) {
  GraphWrap graph;
  for (const auto& [id, label] : nodes) graph.ensure_node(id, label);
  for (const EdgeSpec& edge : edges) graph.add_edge_with_modality(edge.a, edge.b, edge.modality);
  return graph;
}

// The node with this id; fails the test when there is none.
inline const NodeData& node_named(const GraphWrap& graph, std::string_view id) {
  static NodeData missing{};  // not const: meta_of may hand it out
  const NodeData* node = graph.node(graph.find(id).value_or(kEndMarker));
  EXPECT_NE(node, nullptr) << "no node " << id;
  return node ? *node : missing;
}

inline NodeMeta& meta_of(GraphWrap& graph, std::string_view id) {
  return const_cast<NodeMeta&>(node_named(graph, id).meta);
}

// (edge id, neighbour id, modality) of every edge of `id`, in visiting order.
using Incident = std::vector<std::tuple<std::string, std::string, std::string>>;
inline Incident edges_of(const GraphWrap& graph, std::string_view id) {
  Incident out;
  if (auto index = graph.find(id))
    graph.for_each_incident(*index, [&](EdgeIndex edge, NodeIndex other) {
      out.emplace_back(graph.edge(edge)->id, graph.node(other)->id, graph.edge(edge)->modality);
    });
  return out;
}

// All live node ids in slot order.
inline Ids node_ids(const GraphWrap& graph) {
  Ids out;
  graph.for_each_node([&](NodeIndex, const NodeData& node) { out.push_back(node.id); });
  return out;
}

// Turns the trace on (magnet records off) and returns the lines written to
// fd 1 until finish(); the switches are put back at scope end.
class CapturedTrace {
 public:
  std::vector<std::string> finish() {
    std::vector<std::string> lines;
    std::istringstream text(out_.finish());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

 private:
  ScopedEnv trace_{"TOLVA_TRACE", "1"};
  ScopedEnv magnets_{"TOLVA_TRACE_MAGNET", std::nullopt};
  StdoutCapture out_;
};

}  // namespace tolva::test_support
