#include "canonize/graph_components.h"

namespace tolva {
namespace {

// Numbers every live node with its component, in order of the components'
// first nodes; returns how many there are.
std::size_t label_components(const GraphWrap& graph, std::vector<std::uint32_t>& component_of) {
  component_of.assign(graph.node_slot_count(), kEndMarker);
  std::vector<NodeIndex> stack;
  std::uint32_t count = 0;
  graph.for_each_node([&](NodeIndex start) {
    if (component_of[start] != kEndMarker) return;
    component_of[start] = count;
    stack.push_back(start);
    while (!stack.empty()) {
      NodeIndex node = stack.back();
      stack.pop_back();
      graph.for_each_incident(node, [&](EdgeIndex, NodeIndex other) {
        if (component_of[other] != kEndMarker) return;
        component_of[other] = count;
        stack.push_back(other);
      });
    }
    ++count;
  });
  return count;
}

std::string_view rewritten(std::string_view text, TextRewrite rewrite, std::string& buffer) {
  if (rewrite == nullptr) return text;
  buffer.clear();
  rewrite(buffer, text);
  return buffer;
}

}  // namespace

std::vector<GraphComponent> connected_components(const GraphWrap& graph) {
  std::vector<std::uint32_t> component_of;
  std::vector<GraphComponent> components(label_components(graph, component_of));
  graph.for_each_node([&](NodeIndex node) { components[component_of[node]].nodes.push_back(node); });
  for (EdgeIndex edge = 0; edge < graph.edge_slot_count(); ++edge)
    if (graph.edge_occupied(edge)) components[component_of[graph.first_end(edge)]].edges.push_back(edge);
  return components;
}

GraphWrap component_graph(const GraphWrap& graph, const GraphComponent& component,
                          TextRewrite rewrite, std::span<NodeIndex> slot_map) {
  GraphWrap copy;
  std::string buffer;
  for (NodeIndex node : component.nodes) {
    std::string_view label = rewritten(graph.label(node), rewrite, buffer);
    slot_map[node] = copy.add_node_with_meta(graph.id(node), label, NodeMeta{});
  }
  for (EdgeIndex edge : component.edges) {
    std::string_view modality = rewritten(graph.modality(edge), rewrite, buffer);
    copy.add_edge_custom(slot_map[graph.first_end(edge)], slot_map[graph.second_end(edge)],
                         graph.edge_id(edge), modality);
  }
  return copy;
}

}  // namespace tolva
