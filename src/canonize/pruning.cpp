#include "canonize/pruning.h"

#include <algorithm>

namespace tolva {
namespace {

struct SearchEntry {
  NodeIndex parent;  // kEndMarker for the candidate itself
  NodeIndex node;
};

// The marks one search leaves on a node: the candidates that reached it, in
// arrival order (positions in the candidate list), and the one candidate while
// it is the only one.
struct Marks {
  std::vector<std::uint32_t> reached_by;
  std::uint32_t sole_root = kEndMarker;
};

// Whether the search of `root` goes on into a node, updating its marks.
bool mark_reached(Marks& marks, std::uint32_t root) {
  if (marks.sole_root == kEndMarker) {
    if (marks.reached_by.empty()) {
      marks.sole_root = root;
      marks.reached_by.push_back(root);
      return true;
    }
  } else {
    if (marks.sole_root == root) return false;
    marks.sole_root = kEndMarker;
  }
  if (std::find(marks.reached_by.begin(), marks.reached_by.end(), root) != marks.reached_by.end())
    return false;
  marks.reached_by.push_back(root);
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
    if (marks[node].sole_root == kEndMarker && !marks[node].reached_by.empty())
      pruned.insert(std::string(graph.id(node)));
  });
  return pruned;
}

}  // namespace tolva
