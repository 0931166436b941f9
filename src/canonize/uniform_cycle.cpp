#include "canonize/uniform_cycle.h"

#include <array>
#include <optional>

namespace tolva {
namespace {

// The two neighbours of a node with exactly two edges, to two other nodes.
std::optional<std::array<NodeIndex, 2>> two_other_neighbours(const GraphWrap& graph, NodeIndex node) {
  std::array<NodeIndex, 2> neighbours{kEndMarker, kEndMarker};
  std::size_t count = 0;
  bool simple = true;
  graph.for_each_incident(node, [&](EdgeIndex, NodeIndex other) {
    if (other == node || count == 2) simple = false;
    else neighbours[count] = other;
    ++count;
  });
  if (!simple || count != 2 || neighbours[0] == neighbours[1]) return std::nullopt;
  return neighbours;
}

}  // namespace

bool is_uniform_cycle(const GraphWrap& graph) {
  std::uint64_t n = graph.node_count();
  if (n < 3 || graph.edge_count() != n) return false;
  std::optional<NodeIndex> first;
  std::optional<std::string_view> label;
  std::optional<std::string_view> modality;
  bool uniform = true;
  graph.for_each_node([&](NodeIndex node) {
    if (!first) first = node;
    if (!label) label = graph.label(node);
    if (graph.label(node) != *label) uniform = false;
    graph.for_each_incident(node, [&](EdgeIndex edge, NodeIndex) {
      std::string_view edge_modality = graph.edge(edge).modality;
      if (!modality) modality = edge_modality;
      if (edge_modality != *modality) uniform = false;
    });
  });
  if (!uniform) return false;
  // Every node on the way has two other, distinct neighbours; coming back to
  // the start after exactly n steps means one cycle through every node.
  NodeIndex previous = *first;
  auto start = two_other_neighbours(graph, *first);
  if (!start) return false;
  NodeIndex at = (*start)[0];
  for (std::uint64_t steps = 1; steps < n; ++steps) {
    if (at == *first) return false;
    auto next = two_other_neighbours(graph, at);
    if (!next) return false;
    NodeIndex onward = (*next)[0] == previous ? (*next)[1] : (*next)[0];
    previous = at;
    at = onward;
  }
  return at == *first;
}

}  // namespace tolva
