#include "dag/dag_rewrite.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "dag/cobound.h"
#include "dag/defect_survey.h"
#include "dag/generated_node.h"
#include "dag/inbound.h"
#include "dag/magnet.h"
#include "dag/shared_parent_split.h"
#include "dag/sub_dag.h"
#include "dag/trace.h"
#include "graph/floors.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

// The defects of the working copy by floor: same-floor (cobound) edges in edge
// index order and many-parent (inbound) nodes in node index order, each with
// its parent edges. A repair removes its own defect and makes none, and never
// changes the floor or the parent edges of another (see defect_survey.h), so
// the buckets are collected once and the rewrite takes its defects from them
// deepest floor first, as a fresh collection before each repair would.
//
// The defects of all floors share flat lists (a floor owns one range of each),
// lent by the call's scratch, so collecting them allocates next to nothing.
class DefectBuckets {
 public:
  DefectBuckets(const GraphWrap& graph, DefectLists& lists) : lists_(lists) {
    lists_.clear();
    collect_cobound(graph);
    collect_inbound(graph);
    index_floors();
    count_ = lists_.cobound.size() + lists_.inbound.size();
  }

  // All defects not yet taken.
  std::uint64_t count() const { return count_; }

  // The deepest floor that still holds a defect; nothing when none is left.
  std::optional<std::int32_t> deepest() {
    std::vector<DefectLists::Floor>& floors = lists_.floors;
    while (!floors.empty() && floors.back().cobound_count == 0 && floors.back().inbound_count == 0)
      floors.pop_back();
    if (floors.empty()) return std::nullopt;
    return static_cast<std::int32_t>(floors.size() - 1);
  }

  std::span<const CoboundCandidate> cobound(std::int32_t floor) const {
    const DefectLists::Floor& at = lists_.floors[floor];
    return {lists_.cobound.data() + at.cobound_begin, at.cobound_count};
  }
  std::span<const InboundCandidate> inbound(std::int32_t floor) const {
    const DefectLists::Floor& at = lists_.floors[floor];
    return {lists_.inbound.data() + at.inbound_begin, at.inbound_count};
  }

  void take_cobound(std::int32_t floor, EdgeIndex edge) {
    DefectLists::Floor& at = lists_.floors[floor];
    auto begin = lists_.cobound.begin() + at.cobound_begin;
    auto end = std::remove_if(begin, begin + at.cobound_count,
                              [edge](const CoboundCandidate& c) { return c.edge == edge; });
    at.cobound_count = static_cast<std::uint32_t>(end - begin);
    --count_;
  }
  void take_inbound(std::int32_t floor, NodeIndex node) {
    DefectLists::Floor& at = lists_.floors[floor];
    auto begin = lists_.inbound.begin() + at.inbound_begin;
    auto end = std::remove_if(begin, begin + at.inbound_count,
                              [node](const InboundCandidate& c) { return c.node == node; });
    at.inbound_count = static_cast<std::uint32_t>(end - begin);
    --count_;
  }

 private:
  static std::optional<std::int32_t> floor_of(const GraphWrap& graph, NodeIndex node) {
    return graph.node_occupied(node) ? graph.floor(node) : std::nullopt;
  }

  static constexpr std::size_t kFirstParentEdges = 256;

  // Edges are met in index order, each floor's in the order it keeps.
  void collect_cobound(const GraphWrap& graph) {
    for (EdgeIndex edge = 0; edge < graph.edge_slot_count(); ++edge) {
      auto ends = graph.endpoints(edge);
      if (!ends) continue;
      auto floor = floor_of(graph, ends->first);
      if (!floor || floor != floor_of(graph, ends->second) || *floor < 0) continue;
      lists_.cobound.push_back(CoboundCandidate{edge, *floor});
    }
  }

  // Nodes are met in index order, their parent edges in visiting order.
  void collect_inbound(const GraphWrap& graph) {
    std::vector<InboundCandidate>& inbound = lists_.inbound;
    std::vector<EdgeIndex>& parent_edges = lists_.parent_edges;
    std::vector<std::uint32_t>& starts = lists_.parent_starts;
    // An edge is a parent edge of its deeper end only, so the edges bound the
    // list; room for a small graph's at once, a big one's as it comes.
    parent_edges.reserve(std::min<std::size_t>(graph.edge_slot_count(), kFirstParentEdges));
    graph.for_each_node([&](NodeIndex node) {
      auto node_floor = graph.floor(node);
      if (!node_floor || *node_floor < 0) return;
      std::int32_t floor = *node_floor;
      auto begin = static_cast<std::uint32_t>(parent_edges.size());
      graph.for_each_incident(node, [&](EdgeIndex edge, NodeIndex other) {
        auto other_floor = floor_of(graph, other);
        if (other_floor && *other_floor < floor) parent_edges.push_back(edge);
      });
      if (parent_edges.size() - begin < 2) {
        parent_edges.resize(begin);
        return;
      }
      inbound.push_back(InboundCandidate{{}, floor, node});
      starts.push_back(begin);
    });
    // The list has stopped growing: the spans into it stay valid from here.
    for (std::size_t i = 0; i < inbound.size(); ++i) {
      std::size_t end = i + 1 < inbound.size() ? starts[i + 1] : parent_edges.size();
      inbound[i].parent_edges = std::span<const EdgeIndex>(parent_edges).subspan(starts[i], end - starts[i]);
    }
  }

  // Groups both lists by floor and notes each floor's ranges. Edges and nodes
  // were met in index order and are distinct, so sorting by (floor, index)
  // keeps each floor's own order.
  void index_floors() {
    std::vector<CoboundCandidate>& cobound = lists_.cobound;
    std::vector<InboundCandidate>& inbound = lists_.inbound;
    std::sort(cobound.begin(), cobound.end(), [](const CoboundCandidate& a, const CoboundCandidate& b) {
      return a.floor != b.floor ? a.floor < b.floor : a.edge < b.edge;
    });
    std::sort(inbound.begin(), inbound.end(), [](const InboundCandidate& a, const InboundCandidate& b) {
      return a.floor != b.floor ? a.floor < b.floor : a.node < b.node;
    });
    std::int32_t floors = 0;
    if (!cobound.empty()) floors = cobound.back().floor + 1;
    if (!inbound.empty()) floors = std::max(floors, inbound.back().floor + 1);
    std::vector<DefectLists::Floor>& at = lists_.floors;
    at.assign(static_cast<std::size_t>(floors), DefectLists::Floor{});
    for (std::uint32_t i = static_cast<std::uint32_t>(cobound.size()); i-- > 0;) at[cobound[i].floor].cobound_begin = i;
    for (const CoboundCandidate& defect : cobound) ++at[defect.floor].cobound_count;
    for (std::uint32_t i = static_cast<std::uint32_t>(inbound.size()); i-- > 0;) at[inbound[i].floor].inbound_begin = i;
    for (const InboundCandidate& defect : inbound) ++at[defect.floor].inbound_count;
  }

  DefectLists& lists_;
  std::uint64_t count_ = 0;
};

std::optional<std::int32_t> floor_of(const GraphWrap& graph, NodeIndex node) {
  return graph.node_occupied(node) ? graph.floor(node) : std::nullopt;
}

// State of one rewrite call; a recursive call has its own, and shares the
// context of the top-level call.
class DagRewrite {
 public:
  // `nested`: a rewrite of the region below a split, inside another rewrite.
  DagRewrite(GraphWrap working, bool compact, bool allow_hashes, RewriteContext& context, bool nested = false)
      : graph_(std::move(working)), compact_(compact), allow_hashes_(allow_hashes), nested_(nested),
        context_(context), buffers_(context.scratch().borrow_buffers()), memo_(buffers_->memo) {
    memo_.start(graph_);
    // Classes name copies this rewrite makes; a working copy read off another
    // rewrite's graph starts without that one's.
    graph_.forget_copy_classes();
  }
  ~DagRewrite() { context_.scratch().give_back(std::move(buffers_)); }
  DagRewrite(const DagRewrite&) = delete;
  DagRewrite& operator=(const DagRewrite&) = delete;

  Result<GraphWrap> run(std::string_view root, const BlockedNodes& blocked) {
    RewriteContext::MemoScope memo_scope(context_, context_.remember_subtrees() ? &memo_ : nullptr);
    FloorMap& floors = buffers_->floors;
    if (auto layered = compute_floors_into(graph_, root, blocked, floors); !layered)
      return parse_error(std::move(layered.error()));
    remove_unreached();
    copy_ids_are_new_ = !compact_ && !nested_ && no_id_holds_at();
    DefectBuckets defects(graph_, buffers_->defects);
    if (certain_to_exceed_repair_limit(defects, floors))
      return unsupported_error("dag rewrite loop exceeded guard limit");
    for (std::uint64_t iteration = 1;; ++iteration) {
      if (context_.controls().should_stop(static_cast<std::int64_t>(graph_.node_count() + graph_.edge_count())))
        return interrupted_error();
      auto repaired = repair_one(defects);
      if (!repaired) return std::unexpected(repaired.error());
      if (!*repaired) break;
      emit_counts(context_.trace(), graph_);
      if (iteration == kDagRepairLimit + 1)
        return unsupported_error("dag rewrite loop exceeded guard limit");
    }
    restore_floors(floors);
    return std::move(graph_);
  }

 private:
  // A copy's id is its original's id + "@" + the id of the mirror it hangs
  // under. In a top-level expanded rewrite no node is removed once the
  // unreached ones are, so every mirror made stays, and mirror ids ("#m..."),
  // like virtual leaf ids ("*v..."), hold no "@". So the text after a copy
  // id's last "@" names the mirror it was made under, and two copies with one
  // id would be copies of one node under one mirror: one copy. When no other
  // node's id holds an "@" either, a copy's id is never taken, and copies
  // need not ask the id index (GraphWrap::add_copy_unfiled). A nested rewrite
  // starts from a graph that lost nodes, and keeps asking.
  bool no_id_holds_at() const {
    bool none = true;
    graph_.for_each_node([&](NodeIndex node) {
      if (GraphWrap::holds_at(graph_.id(node))) none = false;
    });
    return none;
  }

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

  // More defects than the loop may repair fail the rewrite after the last
  // allowed repair, unless something else fails first. With hashed magnets
  // nothing can but the node limit, whose total the survey tells; so when the
  // repairs cannot reach it either, the failure is certain and needs no
  // repairs. A traced rewrite makes them all, since each writes its lines.
  bool certain_to_exceed_repair_limit(const DefectBuckets& defects, const FloorMap& floors) {
    if (defects.count() <= kDagRepairLimit || !allow_hashes_ || context_.trace().trace_on()) return false;
    DefectSurvey survey = DefectSurveyor().survey_layered(graph_, floors, compact_);
    return survey.nodes_made <= context_.nodes_left();
  }

  // Repairs the deepest defect (cobound before inbound on one floor).
  // Returns false when there is nothing left to repair.
  Result<bool> repair_one(DefectBuckets& defects) {
    std::optional<std::int32_t> deepest = defects.deepest();
    if (!deepest) return false;
    std::int32_t floor = *deepest;
    memo_.settle_below(floor);
    if (!defects.cobound(floor).empty()) {
      auto choice = select_cobound(graph_, defects.cobound(floor), floor, allow_hashes_, context_);
      if (!choice) return std::unexpected(choice.error());
      if (*choice) {
        EdgeIndex edge = (*choice)->edge;
        defects.take_cobound(floor, edge);
        // A cut makes two virtual leaves.
        if (auto taken = context_.take_nodes(2); !taken) return std::unexpected(taken.error());
        auto fixed = fix_cobound(graph_, edge, floor, virtual_counter_, allow_hashes_, context_);
        if (!fixed) return std::unexpected(fixed.error());
        return true;
      }
    }
    if (defects.inbound(floor).empty()) return false;
    auto choice = select_inbound(graph_, defects.inbound(floor), floor, allow_hashes_, context_);
    if (!choice) return std::unexpected(choice.error());
    if (!*choice) return false;
    InboundCandidate chosen = **choice;
    defects.take_inbound(floor, chosen.node);
    auto split = split_inbound(chosen);
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

  // What each of the `mirror_count` mirrors of `node` labelled `label` carries,
  // their shared written label included.
  NodeMeta mirror_meta(NodeIndex node, std::string_view label, std::size_t mirror_count, std::string_view magnet,
                       std::int32_t floor) {
    NodeMeta meta;
    meta.extra.source_id = graph_.source_id(node);
    meta.extra.mirror_count = mirror_count;
    meta.extra.origin_key = magnet;
    meta.floor = floor;
    meta.is_mirror = true;
    meta.extra.written_label = graph_.store_written_label(label, meta);
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
    // "#m<split>_<i>" for the mirror, "#<edge id>_<i>" for its edge.
    char mirror_id[48] = {'#', 'm'};  // 2 + 20 digits + "_" + 20 digits
    char* suffix = std::to_chars(mirror_id + 2, mirror_id + 22, mirror_counter_).ptr;
    *suffix = '_';
    char* end = std::to_chars(suffix + 1, mirror_id + sizeof mirror_id, i).ptr;
    std::string_view suffix_text(suffix, static_cast<std::size_t>(end - suffix));
    NodeIndex mirror = add_generated_node(graph_, std::string_view(mirror_id, end - mirror_id), label, meta);
    graph_.remove_edge(edge);
    std::string& edge_id = buffers_->edge_id;
    edge_id.clear();
    edge_id.append("#").append(old_edge.id).append(suffix_text);
    graph_.add_edge_custom(parent, mirror, edge_id, old_edge.modality);
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
    // Many parallel edges to one parent: the parent's strings are ranked from
    // its children list instead of being written once per mirror.
    std::optional<SharedParentSplit> shared;
    NodeIndex shared_parent = kEndMarker;
    if (SharedParentSplit::applies(graph_, node, candidate.parent_edges, context_.shared_parent_edges())) {
      shared_parent = graph_.other_end(candidate.parent_edges.front(), node);
      shared.emplace(graph_, context_.walker(), node, shared_parent, floor, candidate.parent_edges);
    }
    std::vector<NodeIndex> mirrors;
    std::vector<std::string_view> modalities;
    // The main mirror is the first whose parent writes the smallest tree
    // string (a parent whose string fails counts as the empty string). Only
    // the smallest so far is kept written out; each walk's text is compared
    // with it where it lies, before the next walk reuses the walker.
    NodeIndex main_mirror = kEndMarker;
    std::string& smallest = buffers_->smallest;
    const NodeMeta meta = mirror_meta(node, label, count, magnet, floor);
    for (std::size_t i = 0; i < count; ++i) {
      EdgeIndex edge = candidate.parent_edges[i];
      if (shared && graph_.edge_occupied(edge)) modalities.push_back(graph_.modality(edge));
      auto hung = hang_mirror(node, edge, i, label, meta);
      if (!hung) return std::unexpected(hung.error());
      auto [parent, mirror] = *hung;
      mirrors.push_back(mirror);
      if (shared) continue;
      auto tree = tree_text_from(context_.walker(), graph_, parent, BlockedNodes::floors_up_to(floor - 1, parent), true,
                                 context_.controls().stop);
      TreeText text = tree ? tree->text : TreeText();
      if (main_mirror == kEndMarker || text.compare(TreeText::flat(smallest)) < 0) {
        smallest.clear();
        text.append_to(smallest);
        main_mirror = mirror;
      }
    }
    if (mirrors.empty()) return parse_error("no inbound candidates");
    if (shared)
      main_mirror = mirrors[shared->first_smallest(modalities, graph_.written_label(mirrors.front()),
                                                    graph_.written_label(shared_parent))];

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

  // The DAG below `node`: a rewrite rooted at it and confined to its region,
  // written into the lent sub_below. A region with nothing to repair is read
  // off directly.
  Result<void> dag_below(NodeIndex node, std::int32_t floor) {
    RegionScratch& region = context_.scratch().region();
    SubDag& below = buffers_->sub_below;
    if (extract_tree_below(graph_, node, floor, region, below)) {
      if (auto taken = context_.take_nodes(below.nodes.size()); !taken) return std::unexpected(taken.error());
      return {};
    }
    // The recursive rewrite starts from a copy of the whole working copy; the
    // last split's sub-DAG is not kept beside it.
    below = SubDag{};
    if (auto taken = context_.take_nodes(graph_.node_count()); !taken) return std::unexpected(taken.error());
    std::vector<bool> outside(graph_.node_slot_count(), false);
    graph_.for_each_node([&](NodeIndex index) { outside[index] = true; });
    for (NodeIndex inside : region.reached) outside[inside] = false;
    // Its root and the nodes it removes are named by id.
    if (!graph_.file_unfiled_ids()) return parse_error("generated node id already taken");
    auto rewritten = DagRewrite(graph_, false, allow_hashes_, context_, /*nested=*/true)
                         .run(graph_.id(node), BlockedNodes::from_slots(std::move(outside)));
    if (!rewritten) return std::unexpected(rewritten.error());
    auto sub = sub_dag_from(std::move(*rewritten));
    if (!sub) return std::unexpected(sub.error());
    below = std::move(*sub);
    return {};
  }

  // Expanded: each mirror, labelled ".", gets its own copy of the DAG below
  // the node; the node itself stays behind, detached from its parents.
  Result<void> split_expanded(const InboundCandidate& candidate, std::string_view magnet) {
    NodeIndex node = candidate.node;
    std::int32_t floor = candidate.floor;
    std::string_view id = graph_.id(node);
    if (auto below = dag_below(node, floor); !below) return below;
    const SubDag* sub = &buffers_->sub_below;
    // A sub-DAG rewritten in a graph of its own brings its texts along.
    if (sub->rewritten) graph_.texts().keep_alive(sub->rewritten->texts());
    std::size_t count = candidate.parent_edges.size();
    // A mirror and a copy of the sub-DAG per parent. Charged at once: a split
    // that would pass the limit fails before it makes anything, where charging
    // copy by copy would fail the same way only after most of the copying.
    if (auto taken = context_.take_nodes(count * (sub->nodes.size() + 1)); !taken)
      return std::unexpected(taken.error());
    if (!sub->rewritten) buffers_->alike_copies.find(*sub);
    const NodeMeta meta = mirror_meta(node, ".", count, magnet, floor);
    for (std::size_t i = 0; i < count; ++i) {
      auto hung = hang_mirror(node, candidate.parent_edges[i], i, ".", meta);
      if (!hung) return std::unexpected(hung.error());
      NodeIndex mirror = hung->second;
      std::string suffix = "@";
      suffix += graph_.id(mirror);
      auto linked = attach_copy(*sub, mirror, suffix, floor + 1, std::string(id) + "_link_" + std::to_string(i));
      if (!linked) return linked;
    }
    // A rewritten sub-DAG's graph is let go at once: the DAG only grows from
    // here, and it would add to every later peak. The lists, a few bytes per
    // node, serve the next split.
    buffers_->sub_below.rewritten.reset();
    return {};
  }

  // Copies the sub-DAG into the working copy with ids suffixed and floors
  // shifted, and links its root under `mirror`.
  Result<void> attach_copy(const SubDag& sub, NodeIndex mirror, const std::string& suffix,
                           std::int32_t shift, std::string link_id) {
    const GraphWrap& from = sub.source(graph_);
    std::vector<NodeIndex>& copied = buffers_->copied;
    copied.clear();
    copied.reserve(sub.nodes.size());
    if (copy_ids_are_new_ && &from == &graph_ && context_.name_copies_later()) {
      if (auto attached = attach_copies_named_later(sub, suffix, shift); !attached) return attached;
    } else if (auto attached = attach_copies_named_now(sub, from, suffix, shift); !attached) {
      return attached;
    }
    // The copies keep the sub-DAG's edge texts, which the graph holds. A large
    // copy's nodes have left the cache by the time their edges are added: the
    // ends of an edge a few places on are asked for ahead.
    constexpr std::size_t kEdgesAhead = 16;
    for (std::size_t i = 0; i < sub.edges.size(); ++i) {
      if (i + kEdgesAhead < sub.edges.size()) {
        graph_.prefetch_node(copied[sub.edges[i + kEdgesAhead].first]);
        graph_.prefetch_node(copied[sub.edges[i + kEdgesAhead].second]);
      }
      const SubDag::Edge& edge = sub.edges[i];
      graph_.add_edge_keeping_texts(copied[edge.first], copied[edge.second], from.edge(edge.slot));
    }
    graph_.add_edge_custom(mirror, copied[sub.root], link_id, "1");
    // A node of a sub-DAG read off the working copy has no edge leaving it
    // (the root's edges up aside), and its copy lies below this split's floor,
    // so it is settled; where it writes its original's text (AlikeCopies),
    // the next magnet walks take that text from the memo instead of walking
    // the copy.
    if (!sub.rewritten)
      for (std::size_t k = 0; k < sub.nodes.size(); ++k)
        if (buffers_->alike_copies.alike(k)) memo_.remember_copy(sub.nodes[k].slot, copied[k]);
    mark_copies(sub, copied);
    return {};
  }

  // Copies of nodes of the working copy, whose ids are new (see
  // no_id_holds_at): their ids are spelled out only if read. No node is
  // removed from a top-level expanded rewrite once the unreached ones are, so
  // every original keeps its slot and id for as long as the rewrite runs, and
  // the DAG's later users spell them out before they remove any node.
  Result<void> attach_copies_named_later(const SubDag& sub, const std::string& suffix, std::int32_t shift) {
    std::uint32_t named = graph_.add_name_suffix(suffix);
    for (const SubDag::Node& data : sub.nodes) {
      if (context_.controls().should_stop()) return interrupted_error();
      std::optional<std::int32_t> floor = data.floor;
      if (floor) *floor += shift;
      // A sub-DAG read off the working copy has no magnet caches to keep.
      buffers_->copied.push_back(graph_.add_copy_named_later(data.slot, named, floor, false));
    }
    return {};
  }

  Result<void> attach_copies_named_now(const SubDag& sub, const GraphWrap& from, const std::string& suffix,
                                       std::int32_t shift) {
    std::vector<NodeIndex>& copied = buffers_->copied;
    // The copies' ids are made a few nodes ahead of their nodes: a large copy
    // waits on the id table for every new id, and the waits then overlap.
    auto& ids = buffers_->copy_ids;
    std::array<std::uint64_t, RewriteBuffers::kIdsAhead> hashes;
    auto make_id = [&](std::size_t k) {
      std::string& id = ids[k % ids.size()];
      id.assign(from.id(sub.nodes[k].slot)).append(suffix);
      if (!copy_ids_are_new_) hashes[k % ids.size()] = graph_.prefetch_id(id);
    };
    for (std::size_t k = 0; k < std::min(ids.size(), sub.nodes.size()); ++k) make_id(k);
    for (std::size_t k = 0; k < sub.nodes.size(); ++k) {
      if (context_.controls().should_stop()) return interrupted_error();
      const SubDag::Node& data = sub.nodes[k];
      std::optional<std::int32_t> floor = data.floor;
      if (floor) *floor += shift;
      const std::string& id = ids[k % ids.size()];
      bool keep_magnets = sub.rewritten.has_value();
      NodeIndex copy = copy_ids_are_new_
                           ? graph_.add_copy_unfiled(id, from, data.slot, floor, keep_magnets)
                           : graph_.add_copy_if_new(id, hashes[k % ids.size()], from, data.slot, floor, keep_magnets);
      if (copy == kEndMarker) copy = add_taken_copy(from, data.slot, id, floor, keep_magnets);
      copied.push_back(copy);
      if (k + ids.size() < sub.nodes.size()) make_id(k + ids.size());
    }
    return {};
  }

  // A copy whose id an input node has already: the same node under the next
  // free variant of the id (see generated_node.h).
  NodeIndex add_taken_copy(const GraphWrap& from, NodeIndex original, std::string_view id,
                           std::optional<std::int32_t> floor, bool keep_magnet_caches) {
    NodeMeta meta = from.meta(original);
    meta.floor = floor;
    if (!keep_magnet_caches) meta.extra.clear_magnet_caches();
    if (!meta.is_virtual && !meta.extra.source_id) meta.extra.source_id = from.id(original);
    return add_generated_node(graph_, id, from.label(original), meta);
  }

  // Gives each copy a class (see GraphWrap::copy_class): the class of its
  // original where it writes its original's text, else a class of its own. A
  // copy's subtree is then never touched again: it lies below this split's
  // floor, which later repairs, working upwards, change only by adding nodes
  // under new mirrors. So copies of one class keep writing one text, in this
  // rewrite's walks and in every walk of the finished DAG.
  void mark_copies(const SubDag& sub, const std::vector<NodeIndex>& copied) {
    if (!context_.remember_subtrees()) return;
    for (std::size_t k = 0; k < sub.nodes.size(); ++k) {
      bool alike = !sub.rewritten && buffers_->alike_copies.alike(k);
      graph_.set_copy_class(copied[k], alike ? graph_.class_for_copies_of(sub.nodes[k].slot) : GraphWrap::kLoneCopy);
    }
  }

  GraphWrap graph_;
  bool compact_;
  bool allow_hashes_;
  bool nested_;
  // Set once the unreached nodes are gone (see no_id_holds_at).
  bool copy_ids_are_new_ = false;
  RewriteContext& context_;
  // The working lists, lent by the call's scratch while this rewrite lives.
  std::unique_ptr<RewriteBuffers> buffers_;
  // What the magnet walks of this rewrite learn about its settled subtrees.
  SubtreeMemo& memo_;
  std::uint64_t virtual_counter_ = 0;
  std::uint64_t mirror_counter_ = 0;
};

}  // namespace

Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root,
                                   const IdSet& blocked, bool compact, bool allow_hashes,
                                   const CallControls& controls) {
  auto dag = to_dag_with_mode(graph, root, BlockedNodes::from_ids(graph, blocked, root), compact, allow_hashes,
                              controls);
  // Handed to callers who may go on changing the graph.
  if (dag) dag->forget_copy_classes();
  return dag;
}

namespace {

// A DAG handed to a caller outside the pipeline, who may look up any id.
Result<GraphWrap> with_ids_filed(Result<GraphWrap> dag) {
  if (dag && !dag->file_unfiled_ids()) return parse_error("generated node id already taken");
  return dag;
}

}  // namespace

Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root,
                                   const BlockedNodes& blocked, bool compact, bool allow_hashes,
                                   const CallControls& controls, RewriteLimits limits) {
  RewriteScratch scratch;
  RewriteContext context(controls, scratch, limits);
  return with_ids_filed(DagRewrite(graph, compact, allow_hashes, context).run(root, blocked));
}

Result<GraphWrap> to_dag_with_mode(const GraphWrap& graph, std::string_view root, bool compact,
                                   bool allow_hashes, const CallControls& controls, RewriteScratch& scratch) {
  RewriteContext context(controls, scratch);
  return DagRewrite(scratch.copy_of(graph), compact, allow_hashes, context).run(root, BlockedNodes{});
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
