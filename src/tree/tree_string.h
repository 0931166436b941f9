// The tree string: the text form of a graph seen from a root, and the output
// format of tolva.
//
//   tree := label                       (a non-root node with exactly one edge)
//         | "(" [item {", " item}] ")" label
//   item := tree ":" modality
//
// Children are ordered by subtree height, then the modality of the edge to
// them (when use_parent_modality is on), then their own text, bytewise, then
// their position among the parent's neighbour entries. Blocked ids are not
// descended into, except the root's own id.
//
//   // edges r-a (1), r-b (1), a-c (2); labels R, A, B, C
//   auto tree = to_tree_string_with_depth_order(graph, "r", IdSet{}, true);
//   tree->text == "(B:1, (C:2)A:1)R" && tree->height == 3
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "error/stop_control.h"
#include "graph/blocked_nodes.h"
#include "graph/graph_wrap.h"
#include "graph/id_set.h"
#include "tree/tree_text.h"
#include "tree/tree_walk.h"

namespace tolva {

struct TreeString {
  std::string text;
  std::int32_t height = 1;
};

// Fails with "unknown root id '<root_id>'" or "failed to build tree string".
// `stop`, when given, can end a long walk early ("interrupted").
std::expected<TreeString, std::string> to_tree_string_with_depth_order(
    const GraphWrap& graph, std::string_view root_id, const IdSet& blocked_ids,
    bool use_parent_modality, StopControl* stop = nullptr);

// The same walk from a root slot with resolved blocked nodes, by a walker the
// caller keeps, returning the text unwritten (see TreeText) for callers that
// only stream or compare it. The text is valid until the walker's next walk.
struct TreeStringText {
  TreeText text;
  std::int32_t height = 1;
};
// `memo`, when given, lends and keeps the texts of settled subtrees (see
// subtree_memo.h).
std::expected<TreeStringText, std::string> tree_text_from(TreeWalker& walker, const GraphWrap& graph,
                                                          NodeIndex root, const BlockedNodes& blocked,
                                                          bool use_parent_modality,
                                                          StopControl* stop = nullptr,
                                                          SubtreeMemo* memo = nullptr);

}  // namespace tolva
