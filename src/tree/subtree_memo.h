// SubtreeMemo: the texts of settled subtrees, remembered across the magnet
// walks of one DAG rewrite.
//
// A rewrite repairs its defects deepest floor first; a repair makes no new
// defect and changes nothing below its own floor but by adding new nodes. So
// while the deepest defect left is on floor f, every node on a floor deeper
// than f ("settled") has exactly one edge up, to its parent, no edge within
// its floor and no parallel edges, and its subtree keeps its shape for the
// rest of the rewrite (a compact split may give it another parent; that edge
// is its parent edge again and is not part of its text). A walk can reach a
// settled node only through its parent, since every node below it is reached
// only through its own parent; entered that way, its children are all its
// other neighbours, none entered before, and none blocked (a magnet walk
// blocks only floors at or above its root, and a settled node lies below the
// root). So the node writes the same text and height in every magnet walk of
// the rewrite, and a walk may take them from here instead of walking the
// subtree again. Magnet walks keep meeting the same subtrees: a node's magnet,
// then its parents' magnets, then theirs a floor up.
//
// The memo is for walks without parent modalities that write texts only (the
// magnet walks). It keeps small texts only, within a byte budget, so that it
// never holds more than a fixed amount beside the graph.
//
//   SubtreeMemo memo;
//   memo.start(graph);          // again for the next rewrite, keeping the storage
//   memo.settle_below(floor);   // the deepest defect left, before each repair
//   TreeWalkOptions options{.use_parent_modality = false, .memo = &memo};
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "graph/graph_wrap.h"
#include "tree/text_arena.h"

namespace tolva {

class SubtreeMemo {
 public:
  struct Entry {
    std::string_view text;
    std::int32_t height = 1;
  };

  SubtreeMemo() = default;
  SubtreeMemo(const SubtreeMemo&) = delete;
  SubtreeMemo& operator=(const SubtreeMemo&) = delete;

  // Forgets everything and serves walks of `graph` from now on; keeps the
  // storage for the next rewrite.
  void start(const GraphWrap& graph) {
    graph_ = &graph;
    settled_below_.reset();
    slots_.clear();
    entries_.clear();
    texts_.reset();
    bytes_ = 0;
  }

  // From now on the nodes on floors deeper than `floor` are settled. The
  // floor may only rise (towards the root) over a rewrite.
  void settle_below(std::int32_t floor) { settled_below_ = floor; }

  // Whether walks of `graph` may use the memo.
  bool serves(const GraphWrap& graph) const { return &graph == graph_ && settled_below_.has_value(); }
  bool settled(NodeIndex node) const {
    auto floor = graph_->floor(node);
    return floor && *floor > *settled_below_;
  }

  // What a settled `node`, entered from its parent, writes; null when unknown.
  const Entry* find(NodeIndex node) const {
    if (node >= slots_.size() || slots_[node] == kEndMarker) return nullptr;
    return &entries_[slots_[node]];
  }
  // Remembers what a settled node wrote, when it is small enough and the
  // budget allows.
  void remember(NodeIndex node, std::string_view text, std::int32_t height);
  // Gives settled node `copy` what `original` is remembered to write, for a
  // caller that has made `copy` and its subtree an exact copy of `original`
  // and its subtree (same labels, edges and modalities, each node visiting
  // its neighbours in its original's order, since ties between children keep
  // that order) and settled it: the two then write the same text and height.
  // Shares the text.
  void remember_copy(NodeIndex original, NodeIndex copy);

  // About what the memo holds: its lists and the texts it keeps.
  std::size_t held_bytes() const {
    return slots_.capacity() * sizeof(std::uint32_t) + entries_.capacity() * sizeof(Entry) + bytes_;
  }

  // Texts longer than this are not kept, nor any once this many bytes are.
  static constexpr std::size_t kLongestText = 1024;
  static constexpr std::size_t kMostBytes = 8u << 20;

 private:
  void make_room(NodeIndex node);

  const GraphWrap* graph_ = nullptr;
  std::optional<std::int32_t> settled_below_;
  std::vector<std::uint32_t> slots_;  // position in entries_ per node slot
  std::vector<Entry> entries_;
  TextArena texts_{512};
  std::size_t bytes_ = 0;
};

}  // namespace tolva
