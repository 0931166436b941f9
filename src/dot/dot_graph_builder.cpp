#include "dot/dot_graph_builder.h"

#include <algorithm>

namespace tolva {

DotGraphBuilder::DotGraphBuilder(const DotReadOptions& options, bool strict, bool directed)
    : options_(options), strict_(strict), directed_(directed) {
  subgraphs_.push_back(Subgraph{{}, {}, std::nullopt, new_edge_attributes()});
  scopes_.push_back(Scope{0, std::nullopt, new_edge_attributes()});
}

int DotGraphBuilder::modality_slot(std::string_view key) const {
  const auto& keys = options_.modality_keys;
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (keys[i] == key) return static_cast<int>(i);
  return -1;
}

void DotGraphBuilder::open_subgraph(std::optional<std::string_view> name) {
  SubgraphId parent = scopes_.back().subgraph;
  auto create = [&] {
    auto id = static_cast<SubgraphId>(subgraphs_.size());
    subgraphs_.push_back(Subgraph{{}, {}, std::nullopt, new_edge_attributes()});
    subgraphs_[parent].children.push_back(id);
    return id;
  };
  SubgraphId id;
  if (name) {
    // Names are looked up among the parent's own subgraphs.
    std::string key = std::to_string(parent);
    key += '\0';
    key += *name;
    auto [found, inserted] = named_.try_emplace(std::move(key), 0);
    if (inserted) found->second = create();
    id = found->second;
  } else {
    id = create();
  }
  // The parent cannot change its defaults while this body is open, so the
  // defaults in force here are fixed now.
  Scope scope = scopes_.back();
  scope.subgraph = id;
  const Subgraph& own = subgraphs_[id];
  if (own.node_label) scope.node_label = own.node_label;
  for (std::size_t i = 0; i < own.edge_values.size(); ++i)
    if (own.edge_values[i]) scope.edge_values[i] = own.edge_values[i];
  scopes_.push_back(std::move(scope));
}

SubgraphId DotGraphBuilder::close_subgraph() {
  SubgraphId id = scopes_.back().subgraph;
  scopes_.pop_back();
  return id;
}

void DotGraphBuilder::set_node_label_default(std::string_view value) {
  Scope& scope = scopes_.back();
  scope.node_label = std::string(value);
  subgraphs_[scope.subgraph].node_label = scope.node_label;
}

void DotGraphBuilder::set_edge_defaults(const EdgeAttributes& values) {
  Scope& scope = scopes_.back();
  Subgraph& own = subgraphs_[scope.subgraph];
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!values[i]) continue;
    scope.edge_values[i] = values[i];
    own.edge_values[i] = values[i];
  }
}

NodeIndex DotGraphBuilder::mention_node(std::string_view id) {
  const Scope& scope = scopes_.back();
  std::optional<NodeIndex> known = known_ids_.find(id);
  NodeIndex node;
  if (known) {
    node = *known;
  } else {
    // Every node made so far is in known_ids_, so this one is new; the
    // store's own index gets the ids at finish().
    node = graph_.append_unindexed_node(id, scope.node_label.value_or("."));
    known_ids_.insert(id, node);
  }
  if (scope.subgraph != 0) subgraphs_[scope.subgraph].members.push_back(node);
  return node;
}

void DotGraphBuilder::set_node_label(NodeIndex node, std::string_view label) {
  graph_.set_label(node, label);
}

void DotGraphBuilder::append_subgraph_nodes(SubgraphId subgraph, std::vector<NodeIndex>& out) const {
  std::size_t first = out.size();
  std::vector<SubgraphId> pending{subgraph};
  while (!pending.empty()) {
    const Subgraph& current = subgraphs_[pending.back()];
    pending.pop_back();
    out.insert(out.end(), current.members.begin(), current.members.end());
    pending.insert(pending.end(), current.children.begin(), current.children.end());
  }
  std::sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end());
  out.erase(std::unique(out.begin() + static_cast<std::ptrdiff_t>(first), out.end()), out.end());
}

std::string_view DotGraphBuilder::modality_for(const EdgeAttributes& statement) const {
  const EdgeAttributes& defaults = scopes_.back().edge_values;
  for (std::size_t i = 0; i < statement.size(); ++i) {
    if (statement[i]) return *statement[i];
    if (defaults[i]) return *defaults[i];
  }
  return "1";
}

void DotGraphBuilder::add_edge(NodeIndex tail, NodeIndex head, const EdgeAttributes& statement) {
  if (!strict_) {
    new_edges_.add(graph_, tail, head, modality_for(statement));
    return;
  }
  // An undirected pair is the same edge whichever way round it is written.
  bool swap = !directed_ && head < tail;
  auto number = static_cast<std::uint32_t>(strict_edges_.size());
  auto [found, is_new] = strict_edge_of_pair_.try_add(swap ? head : tail, swap ? tail : head, number);
  std::size_t keys = statement.size();
  if (is_new) {
    strict_edges_.push_back(StrictEdge{tail, head});
    for (const auto& value : scopes_.back().edge_values)
      strict_values_.push_back(value ? std::optional(graph_.store_text(*value)) : std::nullopt);
  }
  auto values = strict_values_.begin() + static_cast<std::ptrdiff_t>(std::size_t{found} * keys);
  for (std::size_t i = 0; i < keys; ++i)
    if (statement[i]) values[i] = graph_.store_text(*statement[i]);
}

GraphWrap DotGraphBuilder::finish() && {
  new_edges_.flush(graph_);
  // The lookup table goes before the store's index is made, so the two are
  // never held at once.
  known_ids_ = NodeIdCache();
  graph_.index_ids_from(0);
  // A strict graph's edges can still change until the end; they go in now,
  // in the order they were first made.
  std::size_t keys = options_.modality_keys.size();
  for (std::size_t number = 0; number < strict_edges_.size(); ++number) {
    std::string_view modality = "1";
    for (std::size_t i = number * keys; i < (number + 1) * keys; ++i)
      if (strict_values_[i]) {
        modality = *strict_values_[i];
        break;
      }
    const StrictEdge& edge = strict_edges_[number];
    graph_.add_edge_custom(edge.tail, edge.head, "", modality);
  }
  return std::move(graph_);
}

}  // namespace tolva
