// The depth-first walk shared by the tree string and the tree node order.
//
// From a root, every reachable node that is not blocked is entered once and
// written once: a non-root node with exactly one edge is its bare label, any
// other node "(" + its children ")" + label. A node's children are the
// neighbour entries (in the store's visiting order) that are not its parent,
// not blocked and not yet entered when the node is entered; they are ordered
// by subtree height, then (optionally) the modality of the edge to them, then
// their text, then their position among the node's neighbour entries.
// The walk uses explicit stacks only, so any depth is fine.
//
// Nodes of one copy class (see GraphWrap::copy_class) write one text when a
// walk enters them from their parent: the DAG rewrite gives a class only to
// copies whose subtrees are exact copies of one another and never change. So
// the first one written lends its text (and height) to the others, whose
// subtrees are not walked again, and comparing the two texts is comparing a
// text with itself. A class's subtrees hold copies only; a walk that blocks
// some copy by its slot shares nothing, nor does one that records child
// orders (those lists would miss the skipped subtrees).
//
// A TreeWalker keeps its scratch (per-slot state, stacks, the arena of the
// texts) from one walk to the next, so the many small walks of one DAG
// rewrite (every magnet is one) cost what they visit, not what the graph
// holds. A walk's result stays valid until the walker's next walk.
//
//   TreeWalker walker;
//   auto root = walker.walk(graph, root_node, BlockedNodes{}, TreeWalkOptions{});
//   if (root) std::string text = root->text.str();   // e.g. "(B:1, (C:2)A:1)R"
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "error/stop_control.h"
#include "graph/blocked_nodes.h"
#include "graph/graph_wrap.h"
#include "graph/pod_vector.h"
#include "tree/subtree_memo.h"
#include "tree/text_arena.h"
#include "tree/tree_text.h"

namespace tolva {

struct TreeWalkOptions {
  bool use_parent_modality = true;
  // Also keep each written node's children in their sorted order.
  bool record_child_orders = false;
  // Asked once per node entered; a stop ends the walk with "interrupted".
  StopControl* stop = nullptr;
  // Only the heights: no text is written (every text is empty) and children
  // are not ordered. Heights do not depend on the order, so they are the
  // heights of the full walk.
  bool heights_only = false;
  // Settled subtrees known from earlier walks (see subtree_memo.h); used only
  // by walks that write texts without parent modalities or child orders.
  SubtreeMemo* memo = nullptr;
};

struct WrittenNode {
  TreeText text;
  std::int32_t height = 1;
  std::uint32_t children_begin = 0;  // with record_child_orders: see TreeWalker::children
  std::uint32_t children_count = 0;
};

class TreeWalker {
 public:
  // Walks from `root`, which must be a live node, and returns what the root
  // was written as. Fails with "failed to build tree string" if the root ends
  // without a text, or with "interrupted" when options.stop asked to stop.
  std::expected<WrittenNode, std::string> walk(const GraphWrap& graph, NodeIndex root,
                                               const BlockedNodes& blocked, TreeWalkOptions options);

  // After a walk: what `node` was written as, or nullptr when it was not written.
  const WrittenNode* written(NodeIndex node) const;
  // How many node slots the per-slot state has room for: the largest graph walked.
  std::size_t slots_held() const { return slots_.capacity(); }
  // A written node's children in their sorted order (record_child_orders).
  std::span<const NodeIndex> children(const WrittenNode& node) const {
    return {child_orders_.data() + node.children_begin, node.children_count};
  }
  // The modalities of the links to those children, in the same order.
  std::span<const std::string_view> child_modalities(const WrittenNode& node) const {
    return {child_modalities_.data() + node.children_begin, node.children_count};
  }

 private:
  // A neighbour entry taken as a child when its parent was entered.
  struct ChildLink {
    std::uint64_t ordinal;  // position among all of the parent's neighbour entries
    NodeIndex child;
    std::string_view modality;
  };
  struct Frame {
    NodeIndex parent;  // kEndMarker for the root
    NodeIndex node;
    bool exit;
    std::uint32_t links_begin;  // exit frames: the node's links start here in links_
    std::uint64_t degree;       // exit frames: the node's number of neighbour entries
  };
  // A child as its parent sorts it.
  struct BranchEntry {
    std::string_view modality;
    std::uint64_t ordinal;
    NodeIndex child;
    std::int32_t height;
    TreeText text;
  };
  // Per-slot scratch, valid only when `stamp` is the current walk's (walks
  // count from 1, so a zeroed record is nobody's).
  struct SlotState {
    std::uint32_t stamp = 0;
    std::uint32_t written = kEndMarker;
    // Parallel edges: the node that last linked this slot, and where that link
    // is, so a second entry reuses the modality of the first edge to the same child.
    NodeIndex linked_by = kEndMarker;
    std::uint32_t first_link = 0;
    bool visited = false;
  };

  SlotState& state(NodeIndex node) {
    SlotState& slot = slots_[node];
    if (slot.stamp != stamp_) slot = SlotState{stamp_};
    return slot;
  }
  void start(const GraphWrap& graph);
  // Room for `count` more frames on top of the stack.
  Frame* push_frames(std::size_t count);
  void enter(const Frame& frame);
  void finish(const Frame& frame);
  // Whether this walk may hand one class's text from copy to copy.
  bool may_share_copies(const GraphWrap& graph, const BlockedNodes& blocked) const;
  // The class of a copy entered from `parent`, when it may share its text.
  std::optional<std::uint32_t> sharing_class(NodeIndex parent, NodeIndex node) const;
  void note_class_text(const Frame& frame);
  // Where the text of a class was written in this walk, if it was.
  struct ClassText {
    std::uint32_t stamp = 0;
    std::uint32_t written = kEndMarker;
  };
  TreeText node_text(std::string_view label);
  void sort_children();

  const GraphWrap* graph_ = nullptr;
  const BlockedNodes* blocked_ = nullptr;
  TreeWalkOptions options_;
  SubtreeMemo* memo_ = nullptr;  // options_.memo when this walk may use it
  bool share_copies_ = false;
  std::vector<ClassText> class_texts_;
  std::uint32_t stamp_ = 0;
  PodVector<SlotState> slots_;
  std::vector<Frame> frames_;  // the stack is frames_[0, frame_count_)
  std::size_t frame_count_ = 0;
  std::vector<ChildLink> links_;
  std::vector<WrittenNode> written_;
  std::vector<NodeIndex> child_orders_;
  std::vector<std::string_view> child_modalities_;
  std::vector<BranchEntry> entries_;
  std::vector<TreeText::Item> items_;
  TextArena arena_;
};

// The text written for a node itself: its label, plus "#<count>{<origin>}" for
// a mirror or "*{<origin>}" for a virtual leaf.
std::string format_label(const GraphWrap& graph, NodeIndex node);

}  // namespace tolva
