#include "graph/graph_wrap.h"

#include <charconv>

namespace tolva {

const NodeExtra GraphWrap::kNoExtra{};

NodeIndex GraphWrap::ensure_node(std::string_view id, std::string_view label) {
  if (auto found = id_map_.find(id, id_reader())) {
    NodeSlot& slot = nodes_[*found];
    if (!label.empty() && slot.label.empty()) slot.label = texts_.store(label);
    return *found;
  }
  NodeIndex index = insert_node(texts_.store(id), texts_.store(label), NodeMeta{});
  id_map_.insert(nodes_[index].id, index);
  return index;
}

void GraphWrap::index_ids_from(NodeIndex first) {
  id_map_.reserve(node_count_);
  for (NodeIndex index = first; index < nodes_.size(); ++index)
    if (nodes_[index].occupied) id_map_.insert(nodes_[index].id, index);
}

NodeIndex GraphWrap::add_node_with_meta(std::string_view id, std::string_view label, const NodeMeta& meta) {
  if (auto found = id_map_.find(id, id_reader())) return *found;
  NodeIndex index = insert_node(texts_.store(id), texts_.store(label), meta);
  id_map_.insert(nodes_[index].id, index);
  return index;
}

NodeIndex GraphWrap::add_node_if_new(std::string_view id, std::string_view label, const NodeMeta& meta) {
  // The slot the node would take, so its id can be entered before it exists.
  NodeIndex next = free_node_head_ != kEndMarker ? free_node_head_ : static_cast<NodeIndex>(nodes_.size());
  std::string_view stored = texts_.store(id);
  auto id_of = [&](NodeIndex index) { return index == next ? stored : nodes_[index].id; };
  if (!id_map_.insert_if_absent(stored, next, id_of)) return kEndMarker;
  NodeIndex index = insert_node(stored, label, meta);
  return index;
}

std::string_view GraphWrap::numbered_edge_id() {
  char digits[24];
  digits[0] = 'e';
  auto end = std::to_chars(digits + 1, digits + sizeof digits, edge_counter_).ptr;
  return texts_.store(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

EdgeIndex GraphWrap::add_edge_with_modality(std::string_view a, std::string_view b,
                                            std::string_view modality) {
  NodeIndex first = ensure_node(a, ".");
  NodeIndex second = ensure_node(b, ".");
  ++edge_counter_;
  return insert_edge(first, second, numbered_edge_id(), texts_.store(modality));
}

EdgeIndex GraphWrap::add_edge_custom(NodeIndex a, NodeIndex b, std::string_view id,
                                     std::string_view modality) {
  ++edge_counter_;
  std::string_view stored_id = id.empty() ? numbered_edge_id() : texts_.store(id);
  return insert_edge(a, b, stored_id, texts_.store(modality));
}

bool GraphWrap::remove_node(std::string_view id) {
  std::optional<NodeIndex> found = id_map_.erase(id, id_reader());
  if (!found) return false;
  NodeIndex index = *found;
  if (!nodes_[index].occupied) return true;
  while (nodes_[index].heads[0] != kEndMarker) remove_edge(nodes_[index].heads[0]);
  while (nodes_[index].heads[1] != kEndMarker) remove_edge(nodes_[index].heads[1]);
  NodeSlot& slot = nodes_[index];
  slot = NodeSlot{};
  slot.heads[0] = free_node_head_;
  slot.heads[1] = kEndMarker;
  if (free_node_head_ != kEndMarker) nodes_[free_node_head_].heads[1] = index;
  free_node_head_ = index;
  --node_count_;
  return true;
}

// Walks a short way down the list for the edge; false when it is not that near.
bool GraphWrap::unlink_by_walking(NodeIndex node, int side, EdgeIndex edge) {
  EdgeIndex* link = &nodes_[node].heads[side];
  for (std::size_t steps = 0; *link != kEndMarker && steps < kShortWalk; ++steps) {
    if (*link == edge) {
      *link = edges_[edge].next[side];
      return true;
    }
    link = &edges_[*link].next[side];
  }
  return false;
}

// Walks every list from its head, so an edge already taken out of one of its
// two lists (while the other is being unlinked) gets no stale link.
void GraphWrap::make_back_links() {
  prev_.assign(2 * edges_.size(), kEndMarker);
  for (NodeIndex node = 0; node < nodes_.size(); ++node) {
    if (!nodes_[node].occupied) continue;
    for (int side : {0, 1}) {
      EdgeIndex before = kEndMarker;
      for (EdgeIndex edge = nodes_[node].heads[side]; edge != kEndMarker; edge = edges_[edge].next[side]) {
        prev(edge, side) = before;
        before = edge;
      }
    }
  }
}

void GraphWrap::unlink_from_list(NodeIndex node, int side, EdgeIndex edge) {
  if (prev_.empty()) {
    if (unlink_by_walking(node, side, edge)) return;
    make_back_links();
  }
  EdgeIndex before = prev(edge, side);
  EdgeIndex after = edges_[edge].next[side];
  if (before == kEndMarker)
    nodes_[node].heads[side] = after;
  else
    edges_[before].next[side] = after;
  if (after != kEndMarker) prev(after, side) = before;
}

std::optional<EdgeData> GraphWrap::remove_edge(EdgeIndex edge) {
  if (!edge_occupied(edge)) return std::nullopt;
  EdgeSlot& slot = edges_[edge];
  unlink_from_list(slot.ends[0], 0, edge);
  unlink_from_list(slot.ends[1], 1, edge);
  EdgeData payload{slot.id, slot.modality};
  slot = EdgeSlot{};
  slot.next[0] = free_edge_head_;
  free_edge_head_ = edge;
  --edge_count_;
  return payload;
}

NodeExtra& GraphWrap::extra_mut(NodeIndex index) {
  NodeSlot& slot = nodes_[index];
  if (slot.extra == kEndMarker) {
    slot.extra = static_cast<std::uint32_t>(extras_.size());
    extras_.emplace_back();
  }
  return extras_[slot.extra];
}

NodeIndex GraphWrap::insert_node(std::string_view id, std::string_view label, const NodeMeta& meta) {
  NodeIndex index;
  if (free_node_head_ != kEndMarker) {
    index = free_node_head_;
    free_node_head_ = nodes_[index].heads[0];
    if (free_node_head_ != kEndMarker) nodes_[free_node_head_].heads[1] = kEndMarker;
  } else {
    index = static_cast<NodeIndex>(nodes_.size());
    nodes_.emplace_back();
  }
  NodeSlot& slot = nodes_[index];
  slot = NodeSlot{};
  slot.id = id;
  slot.label = label;
  slot.occupied = true;
  slot.has_floor = meta.floor.has_value();
  slot.floor = meta.floor.value_or(0);
  slot.is_mirror = meta.is_mirror;
  slot.is_virtual = meta.is_virtual;
  const NodeExtra& extra = meta.extra;
  if (meta.is_mirror || meta.is_virtual || extra.mirror_count || extra.origin_key || extra.source_id ||
      extra.magnet || extra.magnet_digest || extra.parent_digest || extra.magnet_hashed)
    extra_mut(index) = extra;
  // A copy of a node brings the written label along; it reads the same.
  if ((meta.is_mirror || meta.is_virtual) && extra.written_label.empty()) write_label(index);
  ++node_count_;
  return index;
}

void GraphWrap::write_label(NodeIndex index) {
  NodeSlot& slot = nodes_[index];
  if (!slot.is_mirror && !slot.is_virtual) return;
  NodeExtra& extra = extras_[slot.extra];
  std::string_view origin = extra.origin_key.value_or(std::string_view());
  char count[24];
  std::size_t count_size = 0;
  std::string_view open = "*{";
  if (slot.is_mirror) {
    count[0] = '#';
    count_size = static_cast<std::size_t>(
        std::to_chars(count + 1, count + sizeof count, extra.mirror_count.value_or(0)).ptr - count);
    open = "{";
  }
  std::size_t size = slot.label.size() + count_size + open.size() + origin.size() + 1;
  char* out = texts_.reserve(size);
  char* at = out;
  for (std::string_view piece : {slot.label, std::string_view(count, count_size), open, origin, std::string_view("}")}) {
    std::char_traits<char>::copy(at, piece.data(), piece.size());
    at += piece.size();
  }
  extra.written_label = std::string_view(out, size);
}

EdgeIndex GraphWrap::insert_edge(NodeIndex a, NodeIndex b, std::string_view id, std::string_view modality) {
  EdgeIndex index;
  if (free_edge_head_ != kEndMarker) {
    index = free_edge_head_;
    free_edge_head_ = edges_[index].next[0];
  } else {
    index = static_cast<EdgeIndex>(edges_.size());
    edges_.emplace_back();
  }
  EdgeSlot& slot = edges_[index];
  slot.id = id;
  slot.modality = modality;
  slot.ends[0] = a;
  slot.ends[1] = b;
  // For a self-loop a == b, so this threads the edge through both of a's lists.
  slot.next[0] = nodes_[a].heads[0];
  slot.next[1] = nodes_[b].heads[1];
  if (!prev_.empty()) {
    if (prev_.size() < 2 * edges_.size()) prev_.resize(2 * edges_.size(), kEndMarker);
    prev(index, 0) = prev(index, 1) = kEndMarker;
    if (slot.next[0] != kEndMarker) prev(slot.next[0], 0) = index;
    if (slot.next[1] != kEndMarker) prev(slot.next[1], 1) = index;
  }
  nodes_[a].heads[0] = index;
  nodes_[b].heads[1] = index;
  ++edge_count_;
  return index;
}

std::optional<NodeIndex> GraphWrap::find(std::string_view id) const {
  return id_map_.find(id, id_reader());
}

std::vector<NodeIndex> GraphWrap::node_indices() const {
  std::vector<NodeIndex> out;
  out.reserve(node_count_);
  for_each_node([&](NodeIndex i) { out.push_back(i); });
  return out;
}

std::vector<EdgeIndex> GraphWrap::edge_indices() const {
  std::vector<EdgeIndex> out;
  out.reserve(edge_count_);
  for (EdgeIndex i = 0; i < edges_.size(); ++i)
    if (edge_occupied(i)) out.push_back(i);
  return out;
}

std::vector<NodeIndex> GraphWrap::neighbors(NodeIndex node) const {
  std::vector<NodeIndex> out;
  for_each_incident(node, [&](EdgeIndex, NodeIndex other) { out.push_back(other); });
  return out;
}

std::vector<std::pair<EdgeIndex, NodeIndex>> GraphWrap::incident_edges(NodeIndex node) const {
  std::vector<std::pair<EdgeIndex, NodeIndex>> out;
  for_each_incident(node, [&](EdgeIndex e, NodeIndex other) { out.emplace_back(e, other); });
  return out;
}

std::size_t GraphWrap::degree(NodeIndex node) const {
  std::size_t count = 0;
  for_each_incident(node, [&](EdgeIndex, NodeIndex) { ++count; });
  return count;
}

void GraphWrap::clear_floors_and_magnets() {
  for (NodeSlot& slot : nodes_) slot.has_floor = false;
  for (NodeExtra& extra : extras_) extra.clear_magnet_caches();
}

}  // namespace tolva
