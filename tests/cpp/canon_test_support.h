// Helpers for the tests of the graph walks, the DAG rewrite and the canonical
// form (which get <string>, <vector> and the graph types from here): small
// graphs written as lists, nodes described as text, and captured trace lines.
//
//   GraphWrap g = graph_of({{"r", "R"}, {"a", "A"}}, {{"r", "a"}});  // modality "1"
//   CapturedTrace trace;               // TOLVA_TRACE=1, fd 1 into a file
//   ...                                // code that emits records
//   std::vector<std::string> lines = trace.finish();
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "dag/trace.h"
#include "graph/edge_list.h"
#include "graph/floors.h"
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
using Edges = std::vector<EdgeSpec>;

// Nodes first (id, label), then edges "e1", "e2", ... in list order.
inline GraphWrap graph_of(const Nodes& nodes, const Edges& edges) {
  GraphWrap graph;
  for (const auto& [id, label] : nodes) graph.ensure_node(id, label);
  for (const EdgeSpec& edge : edges) graph.add_edge_with_modality(edge.a, edge.b, edge.modality);
  return graph;
}

// Up to 9 nodes labelled A or B, up to three edges per node with modality 1
// or 2, a tenth of them self-loops and a sixth doubled into parallel edges.
// The ids are shuffled, so id order and node order disagree.
inline GraphWrap random_multigraph(std::mt19937& rng) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  int nodes = pick(1, 9);
  std::vector<std::string> ids;
  for (int i = 0; i < nodes; ++i) ids.push_back("n" + std::to_string(i));
  std::shuffle(ids.begin(), ids.end(), rng);
  std::vector<NodeItem> node_items;
  for (int i = 0; i < nodes; ++i) node_items.push_back({ids[i], pick(0, 1) ? "A" : "B"});
  std::vector<EdgeItem> edges;
  for (int i = 0, count = pick(0, 3 * nodes); i < count; ++i) {
    std::string a = ids[pick(0, nodes - 1)];
    std::string b = pick(0, 9) == 0 ? a : ids[pick(0, nodes - 1)];
    edges.push_back({a, b, pick(0, 1) ? "1" : "2"});
    if (pick(0, 5) == 0) edges.push_back(edges.back());  // a parallel edge
  }
  return graph_from_lists(node_items, edges);
}

// The same graph with the floors seen from r.
inline GraphWrap floored_from_r(const Nodes& nodes, const Edges& edges, const IdSet& blocked = {}) {
  GraphWrap graph = graph_of(nodes, edges);
  EXPECT_TRUE(compute_floors(graph, "r", blocked).has_value());
  return graph;
}

// The meta of the node with this id; fails the test when there is none.
inline NodeMeta meta_of(const GraphWrap& graph, std::string_view id) {
  auto index = graph.find(id);
  EXPECT_TRUE(index.has_value()) << "no node " << id;
  return index ? graph.meta(*index) : NodeMeta{};
}

// One node as a line: label@floor, then for mirrors "#count" and for virtual
// leaves "*", the origin key in braces, and its edges in visiting order as
// edge>neighbour:modality. For example "C@2#2{_(D:2)C_}: #e3_0>b:3".
inline std::string described(const GraphWrap& graph, std::string_view id) {
  auto index = graph.find(id);
  if (!index) return "no node " + std::string(id);
  NodeMeta meta = graph.meta(*index);
  std::string out = std::string(graph.label(*index)) + "@" + (meta.floor ? std::to_string(*meta.floor) : "-");
  if (meta.is_mirror) out += "#" + std::to_string(meta.extra.mirror_count.value_or(0));
  if (meta.is_virtual) out += "*";
  if (meta.extra.origin_key) out += "{" + std::string(*meta.extra.origin_key) + "}";
  out += ":";
  graph.for_each_incident(*index, [&](EdgeIndex edge, NodeIndex other) {
    out += " " + std::string(graph.edge_id(edge)) + ">" + std::string(graph.id(other)) + ":" +
           std::string(graph.modality(edge));
  });
  return out;
}

// Names parametrised cases after their `name` field in test names and failures.
inline constexpr auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

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

// Discards the trace lines (a traced call that should only do its work).
class NoLines final : public TraceOutput {
 public:
  void write_line(std::string_view) override {}
};

}  // namespace tolva::test_support
