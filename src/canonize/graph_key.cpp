#include "canonize/graph_key.h"

#include <algorithm>
#include <vector>

#include "canonize/cgraph.h"
#include "canonize/first_pass.h"
#include "canonize/graph_components.h"
#include "canonize/key_escape.h"

namespace tolva {
namespace {

bool any_text_needs_escape(const GraphWrap& graph) {
  bool needed = false;
  graph.for_each_node([&](NodeIndex node) { needed = needed || needs_key_escape(graph.label(node)); });
  for (EdgeIndex edge = 0; edge < graph.edge_slot_count() && !needed; ++edge)
    needed = graph.edge_occupied(edge) && needs_key_escape(graph.modality(edge));
  return needed;
}

Result<std::string> component_string(const GraphWrap& graph, const KeyOptions& options,
                                     const CallControls& controls) {
  return to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, options.allow_hashes, !options.whole_braces,
                   options.compact, controls);
}

std::string joined(std::string_view prefix, std::vector<std::string>& parts) {
  std::sort(parts.begin(), parts.end());
  std::size_t size = prefix.size() + (parts.empty() ? 0 : parts.size() - 1);
  for (const std::string& part : parts) size += part.size();
  std::string key;
  key.reserve(size);
  key.append(prefix);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) key.push_back(';');
    key.append(parts[i]);
  }
  return key;
}

}  // namespace

std::string key_prefix(const KeyOptions& options) {
  std::string prefix(kKeyFormat);
  if (options.compact) prefix += "+compact";
  if (!options.allow_hashes) prefix += "+plain";
  if (options.whole_braces) prefix += "+whole";
  prefix += ':';
  return prefix;
}

Result<std::string> graph_key(const GraphWrap& graph, const KeyOptions& options,
                              const CallControls& controls) {
  std::vector<GraphComponent> components = connected_components(graph);
  bool escape = any_text_needs_escape(graph);
  std::vector<std::string> parts;
  parts.reserve(components.size());
  if (components.size() == 1 && !escape) {
    // The graph is its one component, already written plainly.
    auto text = component_string(graph, options, controls);
    if (!text) return std::unexpected(text.error());
    parts.push_back(std::move(*text));
  } else {
    std::vector<NodeIndex> slot_map(graph.node_slot_count(), kEndMarker);
    for (const GraphComponent& component : components) {
      GraphWrap part = component_graph(graph, component, escape ? append_escaped : nullptr, slot_map);
      auto text = component_string(part, options, controls);
      if (!text) return std::unexpected(text.error());
      parts.push_back(std::move(*text));
    }
  }
  return joined(key_prefix(options), parts);
}

}  // namespace tolva
