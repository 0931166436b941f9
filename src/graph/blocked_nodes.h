// BlockedNodes: which nodes a tree walk must not descend into.
//
// Callers name blocked nodes either by id (a set of ids, where the walk's own
// root id never counts as blocked) or by floor (every floored node at or above
// a given floor except one node, which is how a magnet looks only downwards).
// Both are resolved to a test on the node's slot, so the walk never hashes ids.
//
//   BlockedNodes none;                                    // nothing blocked
//   auto by_id = BlockedNodes::from_ids(graph, ids, root_id);
//   auto above = BlockedNodes::floors_up_to(3, node);     // floor <= 3, except node
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

class BlockedNodes {
 public:
  BlockedNodes() = default;

  // The nodes whose ids are in `ids`, except the one whose id is `root_id`.
  static BlockedNodes from_ids(const GraphWrap& graph, const IdSet& ids, std::string_view root_id);
  // The nodes whose ids are in `ids`, every one of them.
  static BlockedNodes from_ids(const GraphWrap& graph, const IdSet& ids);

  // The slots flagged true (indices of the graph the flags were made for).
  static BlockedNodes from_slots(std::vector<bool> slots);

  // Every node with a floor that is at most `floor`, except `exempt`.
  static BlockedNodes floors_up_to(std::int32_t floor, NodeIndex exempt);

  // Whether some node blocked by its slot has pred(slot) true; false when
  // nodes are blocked by floor or not at all.
  template <typename Pred>
  bool any_blocked_slot(Pred pred) const {
    if (mode_ != Mode::Slots) return false;
    for (NodeIndex node = 0; node < slots_.size(); ++node)
      if (slots_[node] && pred(node)) return true;
    return false;
  }

  bool contains(const GraphWrap& graph, NodeIndex node) const {
    switch (mode_) {
      case Mode::None: return false;
      case Mode::Slots: return node < slots_.size() && slots_[node];
      case Mode::Floors: {
        if (node == exempt_) return false;
        if (!graph.node_occupied(node)) return false;
        auto floor = graph.floor(node);
        return floor && *floor <= floor_;
      }
    }
    return false;
  }

 private:
  enum class Mode { None, Slots, Floors };
  Mode mode_ = Mode::None;
  std::vector<bool> slots_;
  std::int32_t floor_ = 0;
  NodeIndex exempt_ = kEndMarker;
};

}  // namespace tolva
