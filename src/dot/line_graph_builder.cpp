#include "dot/line_graph_builder.h"

#include <utility>

namespace tolva {

NodeIndex LineGraphBuilder::ensure_node(std::string_view id, std::string_view label) {
  if (auto found = ids_.find(id)) {
    if (!label.empty() && label_empty_[*found]) {
      graph_.set_label(*found, label);
      label_empty_[*found] = false;
    }
    return *found;
  }
  NodeIndex node = graph_.append_unindexed_node(id, label);
  ids_.insert(id, node);
  if (label_empty_.size() <= node) label_empty_.resize(std::size_t{node} + 1);
  label_empty_[node] = label.empty();
  return node;
}

void LineGraphBuilder::add_edge(std::string_view a, std::string_view b, std::string_view modality) {
  NodeIndex first = ensure_node(a, ".");
  NodeIndex second = ensure_node(b, ".");
  new_edges_.add(graph_, first, second, modality);
}

GraphWrap LineGraphBuilder::finish() && {
  new_edges_.flush(graph_);
  // The lookup table goes before the store's index is made, so the two are
  // never held at once.
  ids_ = NodeIdCache();
  graph_.index_ids_from(0);
  return std::move(graph_);
}

}  // namespace tolva
