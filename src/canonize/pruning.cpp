#include "canonize/pruning.h"

#include <algorithm>

namespace tolva {
namespace {

struct SearchEntry {
  NodeIndex parent;  // kEndMarker for the candidate itself
  NodeIndex node;
};

bool has_reached(const NodeMeta& meta, const std::string& root) {
  return std::find(meta.reached_by.begin(), meta.reached_by.end(), root) != meta.reached_by.end();
}

// Whether the search of `root` goes on into a node, updating its marks.
bool mark_reached(NodeMeta& meta, const std::string& root) {
  if (!meta.sole_root) {
    if (meta.reached_by.empty()) {
      meta.sole_root = root;
      meta.reached_by.push_back(root);
      return true;
    }
  } else {
    if (*meta.sole_root == root) return false;
    meta.sole_root.reset();
  }
  if (has_reached(meta, root)) return false;
  meta.reached_by.push_back(root);
  return true;
}

void search_territory(GraphWrap& graph, NodeIndex start, const std::string& root,
                      const std::vector<bool>& is_candidate) {
  std::vector<SearchEntry> queue;
  queue.reserve(graph.node_count());
  queue.push_back(SearchEntry{kEndMarker, start});
  for (std::size_t head = 0; head < queue.size(); ++head) {
    SearchEntry entry = queue[head];
    for (NodeIndex next : graph.neighbors(entry.node)) {
      if (next == entry.parent || is_candidate[next]) continue;
      if (mark_reached(graph.node(next)->meta, root)) queue.push_back(SearchEntry{entry.node, next});
    }
  }
}

}  // namespace

IdSet prune_graph(GraphWrap& graph, const std::vector<std::string>& candidates) {
  graph.for_each_node([](NodeIndex, NodeData& node) {
    node.meta.sole_root.reset();
    node.meta.reached_by.clear();
  });
  IdSet pruned;
  if (candidates.empty() || graph.id_map_empty()) return pruned;

  std::vector<bool> is_candidate(graph.node_slot_count(), false);
  for (const std::string& id : candidates)
    if (auto index = graph.find(id)) is_candidate[*index] = true;
  for (const std::string& id : candidates)
    if (auto index = graph.find(id)) search_territory(graph, *index, id, is_candidate);

  graph.for_each_node([&](NodeIndex, const NodeData& node) {
    if (!node.meta.sole_root && !node.meta.reached_by.empty()) pruned.insert(node.id);
  });
  return pruned;
}

}  // namespace tolva
