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
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

#include "graph/blocked_nodes.h"
#include "error/stop_control.h"
#include "graph/graph_wrap.h"
#include "tree/tree_text.h"

namespace tolva {

struct TreeWalkOptions {
  bool use_parent_modality = true;
  // Also keep each written node's children in their sorted order.
  bool record_child_orders = false;
  // Asked once per node entered; a stop ends the walk with "interrupted".
  StopControl* stop = nullptr;
};

struct WrittenNode {
  TreeText text;
  std::int32_t height = 1;
  std::vector<NodeIndex> sorted_children;  // filled when record_child_orders
};

struct TreeWalk {
  // Per node slot: index into `written`, or kEndMarker for nodes not written.
  std::vector<std::uint32_t> written_index;
  std::vector<WrittenNode> written;

  const WrittenNode* find(NodeIndex node) const {
    if (node >= written_index.size() || written_index[node] == kEndMarker) return nullptr;
    return &written[written_index[node]];
  }
};

// Walks from `root`, which must be a live node. Fails with
// "failed to build tree string" if the root ends without a text, or with
// "interrupted" when options.stop asked the walk to stop.
std::expected<TreeWalk, std::string> walk_tree(const GraphWrap& graph, NodeIndex root,
                                               const BlockedNodes& blocked,
                                               TreeWalkOptions options);

// The text written for a node itself: its label, plus "#<count>{<origin>}" for
// a mirror or "*{<origin>}" for a virtual leaf.
std::string format_label(const GraphWrap& graph, NodeIndex node);

}  // namespace tolva
