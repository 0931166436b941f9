// Floors: the breadth-first layering of a graph from one root.
//
// compute_floors writes into every reached node its distance (in edges) from
// the root, walking neighbours in the store's visiting order and never
// entering a blocked node (the root itself is never blocked). Before the
// search it resets every node's floor and magnet caches, since magnets
// describe the graph below a node and so depend on the layering. The result
// lists the nodes of each floor in the order the search took them.
//
//   auto floors = compute_floors(graph, "r", IdSet{});
//   if (!floors) return parse_error(floors.error());   // "unknown root id 'r'"
//   for (NodeIndex n : (*floors)[1]) ...                // the root's neighbours
#pragma once

#include <algorithm>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "graph/blocked_nodes.h"
#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

// Entry f holds the nodes on floor f, in search order. Floors are contiguous
// from 0, so every entry is non-empty. A breadth-first search takes the nodes
// floor by floor, so all floors live in one array in search order, with the
// index where each floor starts: one allocation per search, not one per floor.
class FloorMap {
 public:
  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }
  std::span<const NodeIndex> operator[](std::size_t floor) const {
    std::size_t end = floor + 1 < starts_.size() ? starts_[floor + 1] : nodes_.size();
    return {nodes_.data() + starts_[floor], end - starts_[floor]};
  }
  std::span<const NodeIndex> back() const { return (*this)[size() - 1]; }

  class Iterator {
   public:
    using value_type = std::span<const NodeIndex>;
    using difference_type = std::ptrdiff_t;
    Iterator() = default;
    Iterator(const FloorMap* map, std::size_t floor) : map_(map), floor_(floor) {}
    value_type operator*() const { return (*map_)[floor_]; }
    Iterator& operator++() {
      ++floor_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++floor_;
      return before;
    }
    bool operator==(const Iterator& other) const { return floor_ == other.floor_; }

   private:
    const FloorMap* map_ = nullptr;
    std::size_t floor_ = 0;
  };
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, size()}; }

  // Appends `node` to the last floor, or opens floor `floor` (the next one).
  void push(NodeIndex node, std::size_t floor) {
    if (floor == starts_.size()) starts_.push_back(static_cast<std::uint32_t>(nodes_.size()));
    nodes_.push_back(node);
  }
  void clear() {
    nodes_.clear();
    starts_.clear();
  }
  std::size_t held_bytes() const {
    return nodes_.capacity() * sizeof(NodeIndex) + starts_.capacity() * sizeof(std::uint32_t);
  }
  // Room for `nodes` nodes and, since most graphs are shallow, a few dozen floors.
  void reserve(std::size_t nodes) {
    nodes_.reserve(nodes);
    starts_.reserve(std::min<std::size_t>(nodes, 32));
  }

 private:
  std::vector<NodeIndex> nodes_;
  std::vector<std::uint32_t> starts_;
};

// Fails with "unknown root id '<root_id>'", leaving the graph unchanged.
std::expected<FloorMap, std::string> compute_floors(GraphWrap& graph, std::string_view root_id,
                                                    const IdSet& blocked_ids);

// The same search with the blocked nodes already resolved to slots. The
// blocked nodes must not depend on floors (the floors are reset first).
std::expected<FloorMap, std::string> compute_floors(GraphWrap& graph, std::string_view root_id,
                                                    const BlockedNodes& blocked);

// The same search written into `floors`, whose storage is reused (a rewrite
// layers its working copy once per candidate).
std::expected<void, std::string> compute_floors_into(GraphWrap& graph, std::string_view root_id,
                                                     const BlockedNodes& blocked, FloorMap& floors);

}  // namespace tolva
