#include "dag/dag_rewrite.h"

#include <algorithm>

#include "dag/cobound.h"
#include "dag/generated_node.h"
#include "dag/inbound.h"
#include "dag/magnet.h"
#include "dag/sub_dag.h"
#include "dag/trace.h"
#include "graph/floors.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

// The defects of the current working copy, by floor; rebuilt every iteration.
struct CandidateBuckets {
  std::vector<std::vector<CoboundCandidate>> cobound_by_floor;
  std::vector<std::vector<InboundCandidate>> inbound_by_floor;
  bool has_cobound = false;
  std::int32_t max_cobound_floor = 0;
  bool has_inbound = false;
  std::int32_t max_inbound_floor = 0;
};

template <typename T>
std::vector<T>& bucket(std::vector<std::vector<T>>& by_floor, std::int32_t floor) {
  if (by_floor.size() <= static_cast<std::size_t>(floor)) by_floor.resize(floor + 1);
  return by_floor[floor];
}

std::optional<std::int32_t> floor_of(const GraphWrap& graph, NodeIndex node) {
  return graph.node_occupied(node) ? graph.floor(node) : std::nullopt;
}

CandidateBuckets collect_candidates(const GraphWrap& graph) {
  CandidateBuckets buckets;
  for (EdgeIndex edge = 0; edge < graph.edge_slot_count(); ++edge) {
    auto ends = graph.endpoints(edge);
    if (!ends) continue;
    auto floor = floor_of(graph, ends->first);
    if (!floor || floor != floor_of(graph, ends->second) || *floor < 0) continue;
    bucket(buckets.cobound_by_floor, *floor).push_back(CoboundCandidate{edge, *floor});
    buckets.max_cobound_floor = buckets.has_cobound ? std::max(buckets.max_cobound_floor, *floor) : *floor;
    buckets.has_cobound = true;
  }
  std::vector<EdgeIndex> parent_edges;
  graph.for_each_node([&](NodeIndex node) {
    auto node_floor = graph.floor(node);
    if (!node_floor || *node_floor < 0) return;
    std::int32_t floor = *node_floor;
    parent_edges.clear();
    graph.for_each_incident(node, [&](EdgeIndex edge, NodeIndex other) {
      auto other_floor = floor_of(graph, other);
      if (other_floor && *other_floor < floor) parent_edges.push_back(edge);
    });
    if (parent_edges.size() < 2) return;
    bucket(buckets.inbound_by_floor, floor).push_back(InboundCandidate{parent_edges, floor, node});
    buckets.max_inbound_floor = buckets.has_inbound ? std::max(buckets.max_inbound_floor, floor) : floor;
    buckets.has_inbound = true;
  });
  return buckets;
}

// State of one rewrite call; a recursive call has its own, and shares the
// context of the top-level call.
class DagRewrite {
 public:
  DagRewrite(GraphWrap working, bool compact, bool allow_hashes, RewriteContext& context)
      : graph_(std::move(working)), compact_(compact), allow_hashes_(allow_hashes), context_(context) {}

  Result<GraphWrap> run(std::string_view root, const BlockedNodes& blocked) {
    auto floors = compute_floors(graph_, root, blocked);
    if (!floors) return parse_error(std::move(floors.error()));
    remove_unreached();
    for (std::uint64_t iteration = 1;; ++iteration) {
      if (context_.controls().should_stop(static_cast<std::int64_t>(graph_.node_count() + graph_.edge_count())))
        return interrupted_error();
      auto repaired = repair_one();
      if (!repaired) return std::unexpected(repaired.error());
      if (!*repaired) break;
      emit_counts(context_.trace(), graph_);
      if (iteration == kDagRepairLimit + 1)
        return unsupported_error("dag rewrite loop exceeded guard limit");
    }
    restore_floors(*floors);
    return std::move(graph_);
  }

 private:
  void remove_unreached() {
    std::vector<std::string_view> unreached;
    graph_.for_each_node([&](NodeIndex node) {
      if (!graph_.floor(node)) unreached.push_back(graph_.id(node));
    });
    for (std::string_view id : unreached) graph_.remove_node(id);
  }

  // A slot freed by a compact split and reused later takes the floor recorded
  // for the slot's first occupant: the restore goes by slot, not by node.
  void restore_floors(const FloorMap& floors) {
    for (std::size_t floor = 0; floor < floors.size(); ++floor)
      for (NodeIndex node : floors[floor])
        if (graph_.node_occupied(node)) graph_.set_floor(node, static_cast<std::int32_t>(floor));
  }

  // Repairs the deepest defect (cobound before inbound on one floor).
  // Returns false when there is nothing left to repair.
  Result<bool> repair_one() {
    CandidateBuckets buckets = collect_candidates(graph_);
    std::int32_t floor;
    if (!buckets.has_cobound) {
      if (!buckets.has_inbound) return false;
      floor = buckets.max_inbound_floor;
    } else {
      floor = buckets.max_cobound_floor;
      if (buckets.has_inbound && buckets.max_inbound_floor > floor) floor = buckets.max_inbound_floor;
      if (buckets.max_cobound_floor == floor) {
        auto choice = select_cobound(graph_, buckets.cobound_by_floor[floor], floor, allow_hashes_, context_);
        if (!choice) return std::unexpected(choice.error());
        if (*choice) {
          // A cut makes two virtual leaves.
          if (auto taken = context_.take_nodes(2); !taken) return std::unexpected(taken.error());
          auto fixed = fix_cobound(graph_, (*choice)->edge, floor, virtual_counter_, allow_hashes_, context_);
          if (!fixed) return std::unexpected(fixed.error());
          return true;
        }
      }
    }
    if (!buckets.has_inbound || buckets.max_inbound_floor != floor) return false;
    auto choice = select_inbound(graph_, buckets.inbound_by_floor[floor], floor, allow_hashes_, context_);
    if (!choice) return std::unexpected(choice.error());
    if (!*choice) return false;
    auto split = split_inbound(**choice);
    if (!split) return std::unexpected(split.error());
    return true;
  }

  Result<void> split_inbound(const InboundCandidate& candidate) {
    auto magnet = get_magnet(graph_, candidate.node, allow_hashes_, context_);
    if (!magnet) return std::unexpected(magnet.error());
    auto split = compact_ ? split_compact(candidate, *magnet) : split_expanded(candidate, *magnet);
    if (split) ++mirror_counter_;
    return split;
  }

  NodeMeta mirror_meta(NodeIndex node, std::size_t mirror_count, std::string_view magnet,
                       std::int32_t floor) const {
    NodeMeta meta;
    meta.extra.source_id = graph_.source_id(node);
    meta.extra.mirror_count = mirror_count;
    meta.extra.origin_key = magnet;
    meta.floor = floor;
    meta.is_mirror = true;
    return meta;
  }

  // Replaces parent edge i of `node` by a mirror under the same parent, and
  // returns (parent, mirror).
  Result<std::pair<NodeIndex, NodeIndex>> hang_mirror(NodeIndex node, EdgeIndex edge, std::size_t i,
                                                      std::string_view label, const NodeMeta& meta) {
    if (!graph_.edge_occupied(edge)) return parse_error("inbound edge missing");
    auto ends = graph_.endpoints(edge);
    if (!ends) return parse_error("inbound endpoints missing");
    EdgeData old_edge = graph_.edge(edge);
    NodeIndex parent = ends->first == node ? ends->second : ends->first;
    std::string suffix = "_" + std::to_string(i);
    NodeIndex mirror = add_generated_node(graph_,
        "#m" + std::to_string(mirror_counter_) + suffix, label, meta);
    graph_.remove_edge(edge);
    graph_.add_edge_custom(parent, mirror, "#" + std::string(old_edge.id) + suffix, old_edge.modality);
    return std::pair{parent, mirror};
  }

  // Compact: the mirrors carry the node's label; the node's children move to
  // the mirror whose parent writes the smallest tree string.
  Result<void> split_compact(const InboundCandidate& candidate, std::string_view magnet) {
    NodeIndex node = candidate.node;
    std::int32_t floor = candidate.floor;
    std::string_view id = graph_.id(node);
    std::string_view label = graph_.label(node);
    std::size_t count = candidate.parent_edges.size();
    if (auto taken = context_.take_nodes(count); !taken) return std::unexpected(taken.error());
    std::vector<std::pair<std::string, NodeIndex>> mirrors;
    for (std::size_t i = 0; i < count; ++i) {
      auto hung = hang_mirror(node, candidate.parent_edges[i], i, label, mirror_meta(node, count, magnet, floor));
      if (!hung) return std::unexpected(hung.error());
      auto [parent, mirror] = *hung;
      auto tree = tree_text_from(graph_, parent, BlockedNodes::floors_up_to(floor - 1, parent), true,
                                 context_.controls().stop);
      mirrors.emplace_back(tree ? tree->text.str() : std::string(), mirror);
    }
    std::stable_sort(mirrors.begin(), mirrors.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (mirrors.empty()) return parse_error("no inbound candidates");
    NodeIndex main_mirror = mirrors.front().second;

    std::vector<EdgeIndex> child_edges;
    graph_.for_each_incident(node, [&](EdgeIndex edge, NodeIndex other) {
      auto other_floor = floor_of(graph_, other);
      if (other_floor && *other_floor > floor) child_edges.push_back(edge);
    });
    for (EdgeIndex edge : child_edges) {
      if (!graph_.edge_occupied(edge)) return parse_error("outgoing edge missing");
      auto ends = graph_.endpoints(edge);
      if (!ends) return parse_error("outgoing endpoints missing");
      EdgeData old_edge = graph_.edge(edge);
      NodeIndex child = ends->first == node ? ends->second : ends->first;
      graph_.remove_edge(edge);
      graph_.add_edge_custom(child, main_mirror, std::string(old_edge.id) + "_main", old_edge.modality);
    }
    graph_.remove_node(id);
    return {};
  }

  // The region below `node`: everything it reaches without passing a node on
  // a floor above its own, as slot flags.
  std::vector<bool> region_below(NodeIndex node, std::int32_t floor) const {
    BlockedNodes above = BlockedNodes::floors_up_to(floor - 1, kEndMarker);
    std::vector<bool> inside(graph_.node_slot_count(), false);
    std::vector<NodeIndex> queue{node};
    inside[node] = true;
    for (std::size_t head = 0; head < queue.size(); ++head) {
      graph_.for_each_incident(queue[head], [&](EdgeIndex, NodeIndex next) {
        if (above.contains(graph_, next) || inside[next]) return;
        inside[next] = true;
        queue.push_back(next);
      });
    }
    return inside;
  }

  // The DAG below `node`: a rewrite rooted at it and confined to its region.
  // A region with nothing to repair is read off directly.
  Result<SubDag> dag_below(NodeIndex node, std::int32_t floor) {
    std::vector<bool> region = region_below(node, floor);
    if (auto tree = extract_tree_below(graph_, node, region)) {
      if (auto taken = context_.take_nodes(tree->nodes.size()); !taken) return std::unexpected(taken.error());
      return std::move(*tree);
    }
    // The recursive rewrite starts from a copy of the whole working copy.
    if (auto taken = context_.take_nodes(graph_.node_count()); !taken) return std::unexpected(taken.error());
    std::vector<bool> outside(graph_.node_slot_count(), false);
    graph_.for_each_node([&](NodeIndex index) { outside[index] = !region[index]; });
    auto below = DagRewrite(graph_, false, allow_hashes_, context_)
                     .run(graph_.id(node), BlockedNodes::from_slots(std::move(outside)));
    if (!below) return std::unexpected(below.error());
    return sub_dag_from(*below);
  }

  // Expanded: each mirror, labelled ".", gets its own copy of the DAG below
  // the node; the node itself stays behind, detached from its parents.
  Result<void> split_expanded(const InboundCandidate& candidate, std::string_view magnet) {
    NodeIndex node = candidate.node;
    std::int32_t floor = candidate.floor;
    std::string_view id = graph_.id(node);
    auto sub = dag_below(node, floor);
    if (!sub) return std::unexpected(sub.error());
    // A sub-DAG rewritten in a graph of its own brings its texts along.
    graph_.texts().keep_alive(sub->texts);
    std::size_t count = candidate.parent_edges.size();
    // A mirror and a copy of the sub-DAG per parent. Charged at once: a split
    // that would pass the limit fails before it makes anything, where charging
    // copy by copy would fail the same way only after most of the copying.
    if (auto taken = context_.take_nodes(count * (sub->nodes.size() + 1)); !taken)
      return std::unexpected(taken.error());
    for (std::size_t i = 0; i < count; ++i) {
      auto hung = hang_mirror(node, candidate.parent_edges[i], i, ".", mirror_meta(node, count, magnet, floor));
      if (!hung) return std::unexpected(hung.error());
      NodeIndex mirror = hung->second;
      auto linked = attach_copy(*sub, mirror, "@" + std::string(graph_.id(mirror)), floor + 1,
                                std::string(id) + "_link_" + std::to_string(i));
      if (!linked) return linked;
    }
    return {};
  }

  // Copies the sub-DAG into the working copy with ids suffixed and floors
  // shifted, and links its root under `mirror`.
  Result<void> attach_copy(const SubDag& sub, NodeIndex mirror, const std::string& suffix,
                           std::int32_t shift, std::string link_id) {
    std::vector<NodeIndex> copied;
    copied.reserve(sub.nodes.size());
    for (const SubDag::Node& data : sub.nodes) {
      if (context_.controls().should_stop()) return interrupted_error();
      NodeMeta meta = data.meta;
      if (meta.floor) *meta.floor += shift;
      if (!meta.is_virtual && !meta.extra.source_id) meta.extra.source_id = data.id;
      copied.push_back(add_generated_node(graph_, std::string(data.id) + suffix, data.label, meta));
    }
    for (const SubDag::Edge& edge : sub.edges)
      graph_.add_edge_custom(copied[edge.first], copied[edge.second], edge.data);
    graph_.add_edge_custom(mirror, copied[sub.root], link_id, "1");
    return {};
  }

  GraphWrap graph_;
  bool compact_;
  bool allow_hashes_;
  RewriteContext& context_;
  std::uint64_t virtual_counter_ = 0;
  std::uint64_t mirror_counter_ = 0;
};

}  // namespace

Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root,
                                   const IdSet& blocked, bool compact, bool allow_hashes,
                                   const CallControls& controls) {
  return to_dag_with_mode(graph, root, BlockedNodes::from_ids(graph, blocked, root), compact,
                          allow_hashes, controls);
}

Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root,
                                   const BlockedNodes& blocked, bool compact, bool allow_hashes,
                                   const CallControls& controls, RewriteLimits limits) {
  RewriteContext context(controls, limits);
  return DagRewrite(graph, compact, allow_hashes, context).run(root, blocked);
}

IdSet collect_roots_by_floor(const GraphWrap& graph, std::int32_t max_floor) {
  IdSet roots;
  graph.for_each_node([&](NodeIndex node) {
    auto floor = graph.floor(node);
    if (floor && *floor <= max_floor) roots.insert(std::string(graph.id(node)));
  });
  return roots;
}

}  // namespace tolva
