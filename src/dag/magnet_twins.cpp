#include "dag/magnet_twins.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace tolva {
namespace {

// A child entry of a magnet walk's root: the neighbour and the edge's modality.
struct ChildEntry {
  NodeIndex child;
  std::string_view modality;
  bool operator==(const ChildEntry&) const = default;
};

// Beyond this many entries the comparison is not tried: such a node is rare
// and its own walk dwarfs what the comparison saves.
constexpr std::size_t kMostEntries = 32;

struct ChildEntries {
  std::array<ChildEntry, kMostEntries> entries;
  std::size_t count = 0;
  bool operator==(const ChildEntries& other) const {
    return std::equal(entries.begin(), entries.begin() + count, other.entries.begin(), other.entries.begin() + other.count);
  }
};

// The children entries of a magnet walk from `root` on `floor`, or false when
// there are more than kMostEntries.
bool children_entries(const GraphWrap& graph, NodeIndex root, std::int32_t floor, ChildEntries& out) {
  bool fits = true;
  graph.for_each_incident(root, [&](EdgeIndex edge, NodeIndex next) {
    if (!fits || next == root || !graph.node_occupied(next)) return;
    if (auto next_floor = graph.floor(next); next_floor && *next_floor <= floor) return;
    if (out.count == kMostEntries) fits = false;
    else out.entries[out.count++] = ChildEntry{next, graph.modality(edge)};
  });
  return fits;
}

}  // namespace

bool writes_same_below(const GraphWrap& graph, NodeIndex a, NodeIndex b) {
  if (a == b || !graph.node_occupied(a) || !graph.node_occupied(b)) return false;
  auto floor = graph.floor(a);
  if (!floor || graph.floor(b) != floor) return false;
  if (graph.written_label(a) != graph.written_label(b)) return false;
  ChildEntries of_a, of_b;
  return children_entries(graph, a, *floor, of_a) && children_entries(graph, b, *floor, of_b) && of_a == of_b;
}

}  // namespace tolva
