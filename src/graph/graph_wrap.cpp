#include "graph/graph_wrap.h"

namespace tolva {

NodeIndex GraphWrap::ensure_node(std::string_view id, std::string_view label) {
  if (auto found = id_map_.find(id, id_reader())) {
    NodeSlot& slot = nodes_[*found];
    if (!label.empty() && slot.data->label.empty()) slot.data->label = label;
    return *found;
  }
  NodeData data;
  data.id = id;
  data.label = label;
  NodeIndex index = insert_node(std::move(data));
  id_map_.insert(id, index);
  return index;
}

NodeIndex GraphWrap::add_node_with_meta(std::string id, std::string label, NodeMeta meta) {
  if (auto found = id_map_.find(id, id_reader())) return *found;
  NodeIndex index = insert_node(NodeData{std::move(meta), std::move(id), std::move(label)});
  id_map_.insert(nodes_[index].data->id, index);
  return index;
}

EdgeIndex GraphWrap::add_edge_with_modality(std::string_view a, std::string_view b,
                                            std::string modality) {
  NodeIndex first = ensure_node(a, ".");
  NodeIndex second = ensure_node(b, ".");
  ++edge_counter_;
  EdgeData data{"e" + std::to_string(edge_counter_), std::move(modality)};
  return insert_edge(first, second, std::move(data));
}

EdgeIndex GraphWrap::add_edge_custom(NodeIndex a, NodeIndex b, EdgeData data) {
  ++edge_counter_;
  if (data.id.empty()) data.id = "e" + std::to_string(edge_counter_);
  return insert_edge(a, b, std::move(data));
}

bool GraphWrap::remove_node(std::string_view id) {
  std::optional<NodeIndex> found = id_map_.erase(id, id_reader());
  if (!found) return false;
  NodeIndex index = *found;
  NodeSlot& slot = nodes_[index];
  if (!slot.data) return true;
  while (slot.heads[0] != kEndMarker) remove_edge(slot.heads[0]);
  while (slot.heads[1] != kEndMarker) remove_edge(slot.heads[1]);
  slot.data.reset();
  slot.heads[0] = free_node_head_;
  slot.heads[1] = kEndMarker;
  if (free_node_head_ != kEndMarker) nodes_[free_node_head_].heads[1] = index;
  free_node_head_ = index;
  --node_count_;
  return true;
}

void GraphWrap::unlink_from_list(NodeIndex node, int side, EdgeIndex edge) {
  EdgeIndex* link = &nodes_[node].heads[side];
  while (*link != kEndMarker) {
    if (*link == edge) {
      *link = edges_[edge].next[side];
      return;
    }
    link = &edges_[*link].next[side];
  }
}

std::optional<EdgeData> GraphWrap::remove_edge(EdgeIndex edge) {
  if (edge >= edges_.size() || !edges_[edge].data) return std::nullopt;
  EdgeSlot& slot = edges_[edge];
  unlink_from_list(slot.ends[0], 0, edge);
  unlink_from_list(slot.ends[1], 1, edge);
  std::optional<EdgeData> payload = std::move(slot.data);
  slot.data.reset();
  slot.ends[0] = slot.ends[1] = kEndMarker;
  slot.next[0] = free_edge_head_;
  slot.next[1] = kEndMarker;
  free_edge_head_ = edge;
  --edge_count_;
  return payload;
}

NodeIndex GraphWrap::insert_node(NodeData data) {
  NodeIndex index;
  if (free_node_head_ != kEndMarker) {
    index = free_node_head_;
    NodeSlot& slot = nodes_[index];
    free_node_head_ = slot.heads[0];
    if (free_node_head_ != kEndMarker) nodes_[free_node_head_].heads[1] = kEndMarker;
    slot.heads[0] = slot.heads[1] = kEndMarker;
    slot.data = std::move(data);
  } else {
    index = static_cast<NodeIndex>(nodes_.size());
    nodes_.push_back(NodeSlot{std::move(data)});
  }
  ++node_count_;
  return index;
}

EdgeIndex GraphWrap::insert_edge(NodeIndex a, NodeIndex b, EdgeData data) {
  EdgeIndex index;
  if (free_edge_head_ != kEndMarker) {
    index = free_edge_head_;
    free_edge_head_ = edges_[index].next[0];
  } else {
    index = static_cast<EdgeIndex>(edges_.size());
    edges_.emplace_back();
  }
  EdgeSlot& slot = edges_[index];
  slot.data = std::move(data);
  slot.ends[0] = a;
  slot.ends[1] = b;
  // For a self-loop a == b, so this threads the edge through both of a's lists.
  slot.next[0] = nodes_[a].heads[0];
  slot.next[1] = nodes_[b].heads[1];
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
  for (NodeIndex i = 0; i < nodes_.size(); ++i)
    if (nodes_[i].data) out.push_back(i);
  return out;
}

std::vector<EdgeIndex> GraphWrap::edge_indices() const {
  std::vector<EdgeIndex> out;
  out.reserve(edge_count_);
  for (EdgeIndex i = 0; i < edges_.size(); ++i)
    if (edges_[i].data) out.push_back(i);
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

}  // namespace tolva
