// Small graphs decoded from fuzz input, for the pipeline fuzz target and its
// seed generator (make_seeds.py writes the same format).
//
// Format, all bytes unsigned; missing bytes read as 0:
//   byte 0          node count n = 1 + byte % kMaxFuzzNodes
//   byte 1          id style (byte % 4): 0 "0", "1", ...; 1 "a0", "a1", ...;
//                   2 ids that look like generated ones ("*v0", "#m0_1",
//                   "2@#m0_0", "3'", ...); 3 odd ids ("", "@1", "é2", "x y3")
//   bytes 2..n+1    label of node i: kFuzzLabels[byte % size]
//   then triples    edge (a % n, b % n) with modality kFuzzModalities[m % size],
//                   at most kMaxFuzzEdges; a trailing partial triple is ignored
// The nodes are listed first, then the edges, as graph_from_edges does.
//
//   FuzzGraph g = decode_fuzz_graph({data, size});
//   GraphWrap graph = g.build();
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "graph/edge_list.h"
#include "graph/graph_wrap.h"

namespace tolva::fuzz {

inline constexpr std::size_t kMaxFuzzNodes = 16;
inline constexpr std::size_t kMaxFuzzEdges = 28;

// The first kPlainLabelCount labels and kPlainModalityCount modalities hold no
// bracket or brace, so strings built only from them must be balanced.
inline constexpr std::string_view kFuzzLabels[] = {
    ".", "C", "N", "O", "", "A", "x y", "é", "(", ")", "{", "}", ":", "#", "*", "C#2{_a_}", "$1", "\\"};
inline constexpr std::size_t kPlainLabelCount = 8;
inline constexpr std::string_view kFuzzModalities[] = {"1", "2", "ar", "", "x", "(", "}", ":1"};
inline constexpr std::size_t kPlainModalityCount = 5;

struct FuzzGraph {
  std::vector<NodeItem> nodes;
  std::vector<EdgeItem> edges;
  // No label or modality holds a bracket or brace.
  bool plain_text = true;

  GraphWrap build() const { return graph_from_lists(nodes, edges); }
};

FuzzGraph decode_fuzz_graph(std::span<const std::uint8_t> data);

// The graph as its node (id, label) and edge (id, ends, modality) listing, in
// index order, fields and records separated by control bytes: two readings
// agree exactly when their listings are equal.
std::string graph_listing(const GraphWrap& graph);

}  // namespace tolva::fuzz
