#include "fuzz_graph.h"

namespace tolva::fuzz {
namespace {

std::string node_id(std::size_t style, std::size_t i) {
  std::string n = std::to_string(i);
  switch (style) {
    case 0: return n;
    case 1: return "a" + n;
    case 2: {
      static constexpr std::string_view kGenerated[] = {"*v", "#m0_", "@#m0_0", "'"};
      std::string_view piece = kGenerated[i % 4];
      return i % 4 < 2 ? std::string(piece) + n : n + std::string(piece);
    }
    default: {
      static constexpr std::string_view kOdd[] = {"", "@", "é", "x y"};
      return i == 0 ? std::string() : std::string(kOdd[i % 4]) + n;
    }
  }
}

}  // namespace

FuzzGraph decode_fuzz_graph(std::span<const std::uint8_t> data) {
  auto byte = [&](std::size_t at) -> std::size_t { return at < data.size() ? data[at] : 0; };
  FuzzGraph graph;
  std::size_t count = 1 + byte(0) % kMaxFuzzNodes;
  std::size_t style = byte(1) % 4;
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < count; ++i) {
    ids.push_back(node_id(style, i));
    std::size_t label = byte(2 + i) % std::size(kFuzzLabels);
    graph.plain_text = graph.plain_text && label < kPlainLabelCount;
    graph.nodes.push_back({ids.back(), std::string(kFuzzLabels[label])});
  }
  for (std::size_t at = 2 + count; at + 3 <= data.size() && graph.edges.size() < kMaxFuzzEdges;
       at += 3) {
    std::size_t modality = data[at + 2] % std::size(kFuzzModalities);
    graph.plain_text = graph.plain_text && modality < kPlainModalityCount;
    graph.edges.push_back({ids[data[at] % count], ids[data[at + 1] % count],
                           std::string(kFuzzModalities[modality])});
  }
  return graph;
}

std::string graph_listing(const GraphWrap& graph) {
  std::string out;
  for (NodeIndex node : graph.node_indices())
    out += std::string(graph.id(node)) + '\x1f' + std::string(graph.label(node)) + '\x1e';
  for (EdgeIndex edge : graph.edge_indices()) {
    auto [a, b] = *graph.endpoints(edge);
    out += std::string(graph.edge_id(edge)) + '\x1f' + std::string(graph.id(a)) + '\x1f' +
           std::string(graph.id(b)) + '\x1f' + std::string(graph.modality(edge)) + '\x1e';
  }
  return out;
}

}  // namespace tolva::fuzz
