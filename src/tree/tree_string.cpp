#include "tree/tree_string.h"

namespace tolva {

std::expected<TreeStringText, std::string> tree_text_from(TreeWalker& walker, const GraphWrap& graph,
                                                          NodeIndex root, const BlockedNodes& blocked,
                                                          bool use_parent_modality, StopControl* stop,
                                                          SubtreeMemo* memo) {
  TreeWalkOptions options{use_parent_modality, false, stop};
  options.memo = memo;
  auto written = walker.walk(graph, root, blocked, options);
  if (!written) return std::unexpected(std::move(written.error()));
  return TreeStringText{written->text, written->height};
}

std::expected<TreeString, std::string> to_tree_string_with_depth_order(
    const GraphWrap& graph, std::string_view root_id, const IdSet& blocked_ids,
    bool use_parent_modality, StopControl* stop) {
  std::optional<NodeIndex> root = graph.find(root_id);
  if (!root || !graph.node_occupied(*root))
    return std::unexpected("unknown root id '" + std::string(root_id) + "'");
  TreeWalker walker;
  auto tree = tree_text_from(walker, graph, *root, BlockedNodes::from_ids(graph, blocked_ids, root_id),
                             use_parent_modality, stop);
  if (!tree) return std::unexpected(std::move(tree.error()));
  return TreeString{tree->text.str(), tree->height};
}

}  // namespace tolva
