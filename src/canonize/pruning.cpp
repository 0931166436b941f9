#include "canonize/pruning.h"

#include <algorithm>

namespace tolva {
namespace {

struct SearchEntry {
  NodeIndex parent;  // kEndMarker for the candidate itself
  NodeIndex node;
};

// The marks the searches leave on a node. The searches run one candidate
// after another, so a node was reached by the running search exactly when
// that search was the last to reach it; beyond that only whether two
// candidates reached it matters.
struct Marks {
  std::uint32_t last_root = kEndMarker;
  std::uint32_t roots = 0;  // counts to 2 at most
};

// Whether the search of `root` goes on into a node, updating its marks.
bool mark_reached(Marks& marks, std::uint32_t root) {
  if (marks.last_root == root) return false;
  marks.last_root = root;
  marks.roots = std::min<std::uint32_t>(marks.roots + 1, 2);
  return true;
}

void search_territory(const GraphWrap& graph, NodeIndex start, std::uint32_t root,
                      const std::vector<bool>& is_candidate, std::vector<Marks>& marks,
                      std::vector<SearchEntry>& queue) {
  queue.clear();
  queue.push_back(SearchEntry{kEndMarker, start});
  for (std::size_t head = 0; head < queue.size(); ++head) {
    SearchEntry entry = queue[head];
    graph.for_each_incident(entry.node, [&](EdgeIndex, NodeIndex next) {
      if (next == entry.parent || is_candidate[next]) return;
      if (mark_reached(marks[next], root)) queue.push_back(SearchEntry{entry.node, next});
    });
  }
}

}  // namespace

IdSet prune_graph(const GraphWrap& graph, const std::vector<std::string>& candidates) {
  IdSet pruned;
  if (candidates.empty() || graph.id_map_empty()) return pruned;

  // Candidate ids are distinct node ids, so a candidate's position names it.
  std::vector<bool> is_candidate(graph.node_slot_count(), false);
  std::vector<NodeIndex> starts;
  starts.reserve(candidates.size());
  for (const std::string& id : candidates) {
    auto index = graph.find(id);
    starts.push_back(index.value_or(kEndMarker));
    if (index) is_candidate[*index] = true;
  }
  std::vector<Marks> marks(graph.node_slot_count());
  std::vector<SearchEntry> queue;
  queue.reserve(graph.node_count());
  for (std::uint32_t i = 0; i < starts.size(); ++i)
    if (starts[i] != kEndMarker) search_territory(graph, starts[i], i, is_candidate, marks, queue);

  graph.for_each_node([&](NodeIndex node) {
    if (marks[node].roots >= 2) pruned.insert(std::string(graph.id(node)));
  });
  return pruned;
}

}  // namespace tolva
