// GraphWrap: the graph store of tolva, an undirected multigraph with stable
// slot indices.
//
// Nodes and edges live in slots addressed by 32-bit indices that never change
// while the item lives, also not across a copy. Freed slots are kept and
// reused most-recently-freed first. Each node slot heads two singly linked
// edge lists: the edges where the node is the first endpoint and those where
// it is the second; a new edge is prepended to both. Together these rules fix
// the order in which a node's neighbours are visited, and the canonical string
// depends on that order, so it is part of this type's contract:
//
//   1. the first-endpoint list from the newest edge, yielding second endpoints;
//   2. the second-endpoint list from the newest edge, yielding first endpoints,
//      skipping edges whose first endpoint is the node itself (a self-loop is
//      therefore seen once).
//
//   GraphWrap g;
//   g.add_edge_with_modality("a", "b", "1");   // creates a, b labelled "."; edge "e1"
//   g.add_edge_with_modality("a", "c", "1");   // "e2"
//   g.for_each_incident(*g.find("a"), [&](EdgeIndex e, NodeIndex other) {
//     ...                                      // visits c, then b
//   });
//
// The store reports no errors: unknown ids give empty results.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "graph/id_index.h"
#include "graph/node_data.h"

namespace tolva {

class GraphWrap {
 public:
  GraphWrap() = default;

  // Finds the node with this id, or creates it with this label and an empty
  // NodeMeta. An existing node with an empty label takes a non-empty `label`;
  // otherwise an existing node is left as it is.
  NodeIndex ensure_node(std::string_view id, std::string_view label);

  // Finds the node with this id (leaving it untouched and dropping `meta`), or
  // creates it with the given label and meta.
  NodeIndex add_node_with_meta(std::string id, std::string label, NodeMeta meta);

  // Adds an edge between the nodes with ids `a` and `b`, creating missing
  // endpoints with label "." and naming the edge "e<counter>".
  EdgeIndex add_edge_with_modality(std::string_view a, std::string_view b,
                                   std::string modality);

  // Adds an edge between two live nodes. The edge counter always advances; an
  // empty data.id becomes "e<counter>".
  EdgeIndex add_edge_custom(NodeIndex a, NodeIndex b, EdgeData data);

  // Removes the node with this id and every edge touching it (its
  // first-endpoint edges, then its second-endpoint edges). False when the id
  // is unknown.
  bool remove_node(std::string_view id);

  // Removes one edge and hands back its payload; nothing for a vacant or
  // out-of-range slot.
  std::optional<EdgeData> remove_edge(EdgeIndex edge);

  // Lookups: nullptr / nothing for vacant or out-of-range slots.
  NodeData* node(NodeIndex index) {
    return index < nodes_.size() && nodes_[index].data ? &*nodes_[index].data : nullptr;
  }
  const NodeData* node(NodeIndex index) const {
    return index < nodes_.size() && nodes_[index].data ? &*nodes_[index].data : nullptr;
  }
  EdgeData* edge(EdgeIndex index) {
    return index < edges_.size() && edges_[index].data ? &*edges_[index].data : nullptr;
  }
  const EdgeData* edge(EdgeIndex index) const {
    return index < edges_.size() && edges_[index].data ? &*edges_[index].data : nullptr;
  }
  // (first endpoint, second endpoint) in the order the edge was added.
  std::optional<std::pair<NodeIndex, NodeIndex>> endpoints(EdgeIndex index) const {
    if (!edge_occupied(index)) return std::nullopt;
    return std::pair{edges_[index].ends[0], edges_[index].ends[1]};
  }
  std::optional<NodeIndex> find(std::string_view id) const;
  bool id_map_empty() const { return id_map_.empty(); }

  bool node_occupied(NodeIndex index) const {
    return index < nodes_.size() && nodes_[index].data.has_value();
  }
  bool edge_occupied(EdgeIndex index) const {
    return index < edges_.size() && edges_[index].data.has_value();
  }

  std::uint64_t node_count() const { return node_count_; }
  std::uint64_t edge_count() const { return edge_count_; }
  std::uint64_t edge_counter() const { return edge_counter_; }
  // Number of slots, occupied or vacant; every index is below it.
  std::size_t node_slot_count() const { return nodes_.size(); }
  std::size_t edge_slot_count() const { return edges_.size(); }

  // Indices of occupied slots, ascending.
  std::vector<NodeIndex> node_indices() const;
  std::vector<EdgeIndex> edge_indices() const;

  // Calls f(NodeIndex, NodeData&) for every occupied node slot, ascending.
  template <typename F>
  void for_each_node(F&& f) {
    for (NodeIndex i = 0; i < nodes_.size(); ++i)
      if (nodes_[i].data) f(i, *nodes_[i].data);
  }
  template <typename F>
  void for_each_node(F&& f) const {
    for (NodeIndex i = 0; i < nodes_.size(); ++i)
      if (nodes_[i].data) f(i, *nodes_[i].data);
  }

  // Calls f(EdgeIndex, NodeIndex other_endpoint) for every edge of `node`
  // in the store's visiting order (see the header comment).
  template <typename F>
  void for_each_incident(NodeIndex node, F&& f) const {
    if (node >= nodes_.size()) return;
    const NodeSlot& slot = nodes_[node];
    if (!slot.data) return;
    for (EdgeIndex e = slot.heads[0]; e != kEndMarker; e = edges_[e].next[0])
      f(e, edges_[e].ends[1]);
    for (EdgeIndex e = slot.heads[1]; e != kEndMarker; e = edges_[e].next[1])
      if (edges_[e].ends[0] != node) f(e, edges_[e].ends[0]);
  }

  std::vector<NodeIndex> neighbors(NodeIndex node) const;
  std::vector<std::pair<EdgeIndex, NodeIndex>> incident_edges(NodeIndex node) const;
  // Entries of the visiting order: parallel edges count each, a self-loop once.
  std::size_t degree(NodeIndex node) const;

 private:
  struct NodeSlot {
    std::optional<NodeData> data;
    // Occupied: heads of the first- and second-endpoint edge lists.
    // Vacant: forward and backward links of the free-node list.
    NodeIndex heads[2] = {kEndMarker, kEndMarker};
  };
  struct EdgeSlot {
    std::optional<EdgeData> data;
    NodeIndex ends[2] = {kEndMarker, kEndMarker};
    // next[0]: next edge in ends[0]'s first-endpoint list (also the free-edge
    // link of a vacant slot); next[1]: next edge in ends[1]'s second-endpoint list.
    EdgeIndex next[2] = {kEndMarker, kEndMarker};
  };

  NodeIndex insert_node(NodeData data);
  EdgeIndex insert_edge(NodeIndex a, NodeIndex b, EdgeData data);
  void unlink_from_list(NodeIndex node, int side, EdgeIndex edge);

  std::vector<NodeSlot> nodes_;
  std::vector<EdgeSlot> edges_;
  std::uint64_t node_count_ = 0;
  std::uint64_t edge_count_ = 0;
  NodeIndex free_node_head_ = kEndMarker;
  EdgeIndex free_edge_head_ = kEndMarker;
  std::string_view id_at(NodeIndex index) const { return nodes_[index].data->id; }
  auto id_reader() const {
    return [this](NodeIndex index) { return id_at(index); };
  }

  IdIndex id_map_;
  std::uint64_t edge_counter_ = 0;
};

}  // namespace tolva
