// Helpers for the tests of the DAG rewrite and the canonical form: small
// graphs written as lists, lookups by id, and the trace captured from fd 1.
//
//   GraphWrap g = graph_of({{"r", "R"}, {"a", "A"}}, {{"r", "a", "1"}});
//   CapturedTrace trace;               // TOLVA_TRACE=1, fd 1 into a file
//   ...                                // code that emits records
//   std::vector<std::string> lines = trace.finish();
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "graph/graph_wrap.h"

namespace tolva::test_support {

struct EdgeSpec {
  std::string a;
  std::string b;
  std::string modality;
};

// Nodes first (id, label), then edges "e1", "e2", ... in list order.
inline GraphWrap graph_of(const std::vector<std::pair<std::string, std::string>>& nodes,
                          const std::vector<EdgeSpec>& edges) {
  GraphWrap graph;
  for (const auto& [id, label] : nodes) graph.ensure_node(id, label);
  for (const EdgeSpec& edge : edges) graph.add_edge_with_modality(edge.a, edge.b, edge.modality);
  return graph;
}

// The node with this id; fails the test when there is none.
inline const NodeData& node_named(const GraphWrap& graph, std::string_view id) {
  auto index = graph.find(id);
  EXPECT_TRUE(index.has_value()) << "no node " << id;
  static const NodeData missing{};
  return index ? *graph.node(*index) : missing;
}

inline NodeIndex index_of(const GraphWrap& graph, std::string_view id) {
  auto index = graph.find(id);
  EXPECT_TRUE(index.has_value()) << "no node " << id;
  return index.value_or(kEndMarker);
}

// (edge id, neighbour id, modality) of every edge of `id`, in visiting order.
inline std::vector<std::tuple<std::string, std::string, std::string>> edges_of(const GraphWrap& graph,
                                                                                std::string_view id) {
  std::vector<std::tuple<std::string, std::string, std::string>> out;
  auto index = graph.find(id);
  if (!index) return out;
  graph.for_each_incident(*index, [&](EdgeIndex edge, NodeIndex other) {
    out.emplace_back(graph.edge(edge)->id, graph.node(other)->id, graph.edge(edge)->modality);
  });
  return out;
}

// All live node ids in slot order.
inline std::vector<std::string> node_ids(const GraphWrap& graph) {
  std::vector<std::string> out;
  graph.for_each_node([&](NodeIndex, const NodeData& node) { out.push_back(node.id); });
  return out;
}

// Turns the trace on and sends fd 1 into a temporary file until finish(),
// which restores both and returns the lines written meanwhile.
class CapturedTrace {
 public:
  CapturedTrace() {
    ::setenv("TOLVA_TRACE", "1", 1);
    ::unsetenv("TOLVA_TRACE_MAGNET");
    std::fflush(stdout);
    file_ = std::tmpfile();
    saved_ = ::dup(1);
    ::dup2(::fileno(file_), 1);
  }
  CapturedTrace(const CapturedTrace&) = delete;
  CapturedTrace& operator=(const CapturedTrace&) = delete;
  ~CapturedTrace() { finish(); }

  std::vector<std::string> finish() {
    std::vector<std::string> lines;
    if (file_ == nullptr) return lines;
    std::fflush(stdout);
    ::dup2(saved_, 1);
    ::close(saved_);
    ::unsetenv("TOLVA_TRACE");
    std::rewind(file_);
    std::string line;
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) {
      if (c == '\n') {
        lines.push_back(std::move(line));
        line.clear();
      } else {
        line += static_cast<char>(c);
      }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    std::fclose(file_);
    file_ = nullptr;
    return lines;
  }

 private:
  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

}  // namespace tolva::test_support
