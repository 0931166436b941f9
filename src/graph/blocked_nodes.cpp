#include "graph/blocked_nodes.h"

namespace tolva {

BlockedNodes BlockedNodes::from_ids(const GraphWrap& graph, const IdSet& ids,
                                    std::string_view root_id) {
  BlockedNodes blocked;
  if (ids.empty()) return blocked;
  blocked.mode_ = Mode::Slots;
  blocked.slots_.assign(graph.node_slot_count(), false);
  for (const std::string& id : ids)
    if (id != root_id)
      if (auto index = graph.find(id)) blocked.slots_[*index] = true;
  return blocked;
}

BlockedNodes BlockedNodes::from_ids(const GraphWrap& graph, const IdSet& ids) {
  BlockedNodes blocked;
  if (ids.empty()) return blocked;
  blocked.mode_ = Mode::Slots;
  blocked.slots_.assign(graph.node_slot_count(), false);
  for (const std::string& id : ids)
    if (auto index = graph.find(id)) blocked.slots_[*index] = true;
  return blocked;
}

BlockedNodes BlockedNodes::from_slots(std::vector<bool> slots) {
  BlockedNodes blocked;
  blocked.mode_ = Mode::Slots;
  blocked.slots_ = std::move(slots);
  return blocked;
}

BlockedNodes BlockedNodes::floors_up_to(std::int32_t floor, NodeIndex exempt) {
  BlockedNodes blocked;
  blocked.mode_ = Mode::Floors;
  blocked.floor_ = floor;
  blocked.exempt_ = exempt;
  return blocked;
}

}  // namespace tolva
