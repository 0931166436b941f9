// GraphWrap: the graph store of tolva, an undirected multigraph with stable
// slot indices.
//
// Nodes and edges live in slots addressed by 32-bit indices that never change
// while the item lives, also not across a copy. Freed slots are kept and
// reused most-recently-freed first. Each node slot heads two linked edge
// lists: the edges where the node is the first endpoint and those where it is
// the second; a new edge is prepended to both. Together these rules fix the
// order in which a node's neighbours are visited, and the canonical string
// depends on that order, so it is part of this type's contract:
//
//   1. the first-endpoint list from the newest edge, yielding second endpoints;
//   2. the second-endpoint list from the newest edge, yielding first endpoints,
//      skipping edges whose first endpoint is the node itself (a self-loop is
//      therefore seen once).
//
//   GraphWrap g;
//   g.add_edge_with_modality("a", "b", "1");   // creates a, b labelled "."; edge "e1"
//   g.add_edge_with_modality("a", "c", "1");   // "e2"
//   g.for_each_incident(*g.find("a"), [&](EdgeIndex e, NodeIndex other) {
//     ...                                      // visits c, then b
//   });
//
// Every record is plain data and every text a view into the graph's own
// TextStore, so a copy is a few block copies; copies share the texts written
// before them. The store reports no errors: unknown ids give empty results.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "graph/id_index.h"
#include "graph/node_data.h"
#include "graph/pod_vector.h"
#include "graph/text_store.h"

namespace tolva {

class GraphWrap {
 public:
  GraphWrap() = default;

  // Finds the node with this id, or creates it with this label and an empty
  // NodeMeta. An existing node with an empty label takes a non-empty `label`;
  // otherwise an existing node is left as it is.
  NodeIndex ensure_node(std::string_view id, std::string_view label);

  // Finds the node with this id (leaving it untouched and dropping `meta`), or
  // creates it with the given label and meta. The texts inside `meta` must be
  // views of texts this graph holds (store_text); id and label are copied.
  NodeIndex add_node_with_meta(std::string_view id, std::string_view label, const NodeMeta& meta);

  // Adds a node with this id unless one has it already (then kEndMarker and
  // nothing changes). Unlike add_node_with_meta, `label` is kept as given: like
  // the texts in `meta`, it must be a view of text this graph holds.
  NodeIndex add_node_if_new(std::string_view id, std::string_view label, const NodeMeta& meta) {
    return add_node_if_new(id, IdIndex::hash_of(id), label, meta);
  }

  // For a caller adding many nodes in a row: the hash of `id`, with the entry
  // of the id table that adding it will read asked from memory. Handed to
  // add_node_if_new a few nodes later, it spares the wait for that entry.
  std::uint64_t prefetch_id(std::string_view id) const {
    std::uint64_t hash = IdIndex::hash_of(id);
    id_map_.prefetch(hash);
    return hash;
  }
  NodeIndex add_node_if_new(std::string_view id, std::uint64_t id_hash, std::string_view label,
                            const NodeMeta& meta);

  // Adds a copy of node `original` of `from` (this graph, or one whose texts
  // this graph keeps alive) under `id` unless a node has that id (then
  // kEndMarker and nothing changes): its label, kind and cold fields as they
  // are, a source id (the original's id) unless it has one or is a virtual
  // leaf, the floor given, and its magnet caches only when
  // `keep_magnet_caches`. The same node as add_node_if_new with the original's
  // meta so changed, without spelling the meta out: the DAG rewrite copies
  // millions of nodes this way.
  NodeIndex add_copy_if_new(std::string_view id, std::uint64_t id_hash, const GraphWrap& from, NodeIndex original,
                            std::optional<std::int32_t> floor, bool keep_magnet_caches);

  // add_copy_if_new without a word with the id index, for a caller that knows
  // no node has `id` and none will be given it (the DAG rewrite's copy ids,
  // see dag_rewrite.cpp), and whose id holds an "@" (an id without one is
  // entered as usual). A split copies millions of nodes, and the index's
  // random probe is the larger part of copying one; a rewrite's own DAG is
  // then searched by the ids of input nodes, which hold no "@". So such ids
  // are kept aside, unfiled: find() of an id with an "@" looks through them
  // one by one, and every call that enters or removes such an id files them
  // all first, as file_unfiled_ids() does.
  NodeIndex add_copy_unfiled(std::string_view id, const GraphWrap& from, NodeIndex original,
                             std::optional<std::int32_t> floor, bool keep_magnet_caches);

  // add_copy_unfiled for a copy of a node of this graph whose id is the
  // original's id followed by a suffix this graph holds (add_name_suffix), for
  // a caller that also knows the original keeps its slot and id until the
  // copy's id is spelled out. The id is spelled out when first read (id(),
  // find(), filing); until then the copy holds eight bytes instead of its id,
  // which in an expanded DAG grows with every copy of a copy and is read by
  // no one. Removing any node spells every id out first, so no original loses
  // its slot before. A graph holding such copies is one call's own: reading an
  // id writes into it (see spell_later_names).
  NodeIndex add_copy_named_later(NodeIndex original, std::uint32_t suffix, std::optional<std::int32_t> floor,
                                 bool keep_magnet_caches);
  // Stores the suffix of later-named copies' ids; its number for them.
  std::uint32_t add_name_suffix(std::string_view suffix);
  // Enters the unfiled ids in the index; false when one of them proved to be
  // taken after all (that node then stays unfindable by id).
  bool file_unfiled_ids();
  // Whether an id may be a copy's (holds an "@"), the ids kept unfiled.
  static bool holds_at(std::string_view id) { return id.find('@') != std::string_view::npos; }

  // For a reader that keeps its own id lookup while it builds a large graph:
  // appends a node whose id no node has (the caller knows it is new) without
  // entering the id into the store's index, a cache miss per node saved.
  // find() and every id-based call ignore such nodes until index_ids_from()
  // enters them, all at once, which the reader must do before it hands the
  // graph on.
  NodeIndex append_unindexed_node(std::string_view id, std::string_view label) {
    return insert_node(texts_.store(id), texts_.store(label), NodeMeta{});
  }
  // Enters the ids of the live nodes from slot `first` on into the index.
  void index_ids_from(NodeIndex first);

  // Adds an edge between the nodes with ids `a` and `b`, creating missing
  // endpoints with label "." and naming the edge "e<counter>".
  EdgeIndex add_edge_with_modality(std::string_view a, std::string_view b, std::string_view modality);

  // Adds an edge between two live nodes. The edge counter always advances; an
  // empty id becomes "e<counter>". Both texts are copied.
  EdgeIndex add_edge_custom(NodeIndex a, NodeIndex b, std::string_view id, std::string_view modality);
  EdgeIndex add_edge_custom(NodeIndex a, NodeIndex b, const EdgeData& data) {
    return add_edge_custom(a, b, data.id, data.modality);
  }
  // The same, keeping both texts as given: they must be views of text this
  // graph holds (the DAG rewrite copies edges this way).
  EdgeIndex add_edge_keeping_texts(NodeIndex a, NodeIndex b, const EdgeData& data) {
    ++edge_counter_;
    return insert_edge(a, b, data.id.empty() ? numbered_edge_id() : data.id, data.modality);
  }

  // Removes the node with this id and every edge touching it (its
  // first-endpoint edges, then its second-endpoint edges). False when the id
  // is unknown.
  bool remove_node(std::string_view id);

  // Removes one edge and hands back its payload (views stay valid as long as
  // the graph lives); nothing for a vacant or out-of-range slot.
  std::optional<EdgeData> remove_edge(EdgeIndex edge);

  // A stable copy of `text`, valid for as long as this graph or a copy lives.
  std::string_view store_text(std::string_view text) { return texts_.store(text); }
  TextStore& texts() { return texts_; }
  const TextStore& texts() const { return texts_; }

  // Node records. Every accessor but node_occupied requires a live node.
  bool node_occupied(NodeIndex index) const { return index < nodes_.size() && nodes_[index].occupied; }
  std::string_view id(NodeIndex index) const {
    const NodeSlot& slot = nodes_[index];
    return slot.id.data() == &kNamedLater ? spell_later_names(index) : slot.id;
  }
  std::string_view label(NodeIndex index) const { return nodes_[index].label; }
  void set_label(NodeIndex index, std::string_view label) { nodes_[index].label = texts_.store(label); }
  std::optional<std::int32_t> floor(NodeIndex index) const {
    const NodeSlot& slot = nodes_[index];
    return slot.has_floor ? std::optional<std::int32_t>(slot.floor) : std::nullopt;
  }
  void set_floor(NodeIndex index, std::optional<std::int32_t> floor) {
    nodes_[index].has_floor = floor.has_value();
    nodes_[index].floor = floor.value_or(0);
  }
  // The node's text as tree strings write it: the label, and for a mirror
  // "#<mirror_count>{<origin_key>}" or for a virtual leaf "*{<origin_key>}"
  // after it (absent fields written as 0 and empty).
  std::string_view written_label(NodeIndex index) const {
    const NodeSlot& slot = nodes_[index];
    return slot.is_mirror || slot.is_virtual ? colds_[slot.cold].written_label : slot.label;
  }
  // The written label a mirror or virtual leaf with this label and meta gets,
  // stored in this graph. Nodes made alike may share it (set it as
  // meta.extra.written_label): a split into a million mirrors writes it once.
  std::string_view store_written_label(std::string_view label, const NodeMeta& meta);
  bool is_mirror(NodeIndex index) const { return nodes_[index].is_mirror; }
  bool is_virtual(NodeIndex index) const { return nodes_[index].is_virtual; }
  // The node's rarely used fields (an empty record when it has none).
  NodeExtra extra(NodeIndex index) const;

  // The magnet cache (see magnet.h): the magnet computed with this value of
  // allow_hashes, when one is cached.
  std::optional<std::string_view> cached_magnet(NodeIndex index, bool hashed) const {
    const MagnetCache* cache = magnet_cache(index);
    if (cache == nullptr || !cache->has_magnet || cache->hashed != hashed) return std::nullopt;
    return cache->magnet;
  }
  std::optional<Digest> magnet_digest(NodeIndex index) const {
    const MagnetCache* cache = magnet_cache(index);
    if (cache == nullptr || !cache->has_magnet_digest) return std::nullopt;
    return cache->magnet_digest;
  }
  std::optional<Digest> parent_digest(NodeIndex index) const {
    const MagnetCache* cache = magnet_cache(index);
    if (cache == nullptr || !cache->has_parent_digest) return std::nullopt;
    return cache->parent_digest;
  }
  // Caches a magnet (a view of text this graph holds) with the digest of its
  // source text when hashed; the parent digest is dropped.
  void cache_magnet(NodeIndex index, std::string_view magnet, std::optional<Digest> digest, bool hashed);
  void cache_parent_digest(NodeIndex index, const Digest& digest);
  // Everything the node carries besides id and label.
  NodeMeta meta(NodeIndex index) const {
    return NodeMeta{floor(index), is_mirror(index), is_virtual(index), extra(index)};
  }
  // Replaces it; the texts inside must be views of texts this graph holds.
  void set_meta(NodeIndex index, const NodeMeta& meta) {
    set_floor(index, meta.floor);
    nodes_[index].is_mirror = meta.is_mirror;
    nodes_[index].is_virtual = meta.is_virtual;
    store_extra(index, meta.extra);
    write_label(index);
  }
  // The id of the input node that `index` stands for: its source_id when it was
  // derived from another node, else its own id.
  std::string_view source_id(NodeIndex index) const {
    std::uint32_t at = nodes_[index].cold;
    return at != kEndMarker && colds_[at].has_source_id ? colds_[at].source_id : id(index);
  }

  // Edge records. Every accessor but edge_occupied requires a live edge.
  bool edge_occupied(EdgeIndex index) const {
    return index < edges_.size() && edges_[index].ends[0] != kEndMarker;
  }
  std::string_view edge_id(EdgeIndex index) const { return edges_[index].id; }
  std::string_view modality(EdgeIndex index) const { return edges_[index].modality; }
  EdgeData edge(EdgeIndex index) const { return EdgeData{edges_[index].id, edges_[index].modality}; }
  // (first endpoint, second endpoint) in the order the edge was added.
  std::optional<std::pair<NodeIndex, NodeIndex>> endpoints(EdgeIndex index) const {
    if (!edge_occupied(index)) return std::nullopt;
    return std::pair{edges_[index].ends[0], edges_[index].ends[1]};
  }
  NodeIndex first_end(EdgeIndex index) const { return edges_[index].ends[0]; }
  NodeIndex second_end(EdgeIndex index) const { return edges_[index].ends[1]; }
  // The endpoint of a live edge that is not `node` (`node` for a self-loop).
  NodeIndex other_end(EdgeIndex index, NodeIndex node) const {
    const EdgeSlot& slot = edges_[index];
    return slot.ends[0] == node ? slot.ends[1] : slot.ends[0];
  }

  std::optional<NodeIndex> find(std::string_view id) const;
  bool id_map_empty() const { return id_map_.empty(); }

  std::uint64_t node_count() const { return node_count_; }
  std::uint64_t edge_count() const { return edge_count_; }
  std::uint64_t edge_counter() const { return edge_counter_; }
  // Number of slots, occupied or vacant; every index is below it.
  std::size_t node_slot_count() const { return nodes_.size(); }
  std::size_t edge_slot_count() const { return edges_.size(); }

  // Indices of occupied slots, ascending.
  std::vector<NodeIndex> node_indices() const;
  std::vector<EdgeIndex> edge_indices() const;

  // Calls f(NodeIndex) for every occupied node slot, ascending.
  template <typename F>
  void for_each_node(F&& f) const {
    for (NodeIndex i = 0; i < nodes_.size(); ++i)
      if (nodes_[i].occupied) f(i);
  }

  // Calls f(EdgeIndex, NodeIndex other_endpoint) for every edge of `node`
  // in the store's visiting order (see the header comment).
  template <typename F>
  void for_each_incident(NodeIndex node, F&& f) const {
    if (node >= nodes_.size()) return;
    const NodeSlot& slot = nodes_[node];
    if (!slot.occupied) return;
    for (EdgeIndex e = slot.heads[0]; e != kEndMarker; e = edges_[e].next[0])
      f(e, edges_[e].ends[1]);
    for (EdgeIndex e = slot.heads[1]; e != kEndMarker; e = edges_[e].next[1])
      if (edges_[e].ends[0] != node) f(e, edges_[e].ends[0]);
  }

  std::vector<NodeIndex> neighbors(NodeIndex node) const;
  std::vector<std::pair<EdgeIndex, NodeIndex>> incident_edges(NodeIndex node) const;
  // Entries of the visiting order: parallel edges count each, a self-loop once.
  std::size_t degree(NodeIndex node) const;

  // Room for this many edges in all, taken at once (a reader that knows how
  // many edges are coming avoids growing the slots step by step).
  void reserve_edges(std::size_t count) { edges_.reserve(count); }

  // Room for a copy of `source` and then `nodes` more nodes (with their
  // records) and `edges` more edges without reallocating. Taken before the
  // copy is assigned, so the assignment fills the room in place; a rewrite's
  // copy takes it once instead of growing its slot vectors as its mirror
  // nodes arrive one by one. The id table is left to grow on demand:
  // rehashing it ahead costs more than it saves.
  void reserve_for_copy(const GraphWrap& source, std::size_t nodes, std::size_t edges);

  // Asks memory for a node's edge list heads ahead of an edge insertion
  // (a reader's hint on large graphs); changes nothing.
  void prefetch_node(NodeIndex index) const {
    if (index < nodes_.size()) __builtin_prefetch(&nodes_[index].heads);
  }
  // Asks memory for the first edge of each of a live node's edge lists, for a
  // search that will visit its neighbours soon (best after prefetch_node).
  void prefetch_first_edges(NodeIndex index) const {
    const NodeSlot& slot = nodes_[index];
    if (slot.heads[0] != kEndMarker) __builtin_prefetch(&edges_[slot.heads[0]]);
    if (slot.heads[1] != kEndMarker) __builtin_prefetch(&edges_[slot.heads[1]]);
  }

  // Resets every live node's floor, and the magnet caches of every node.
  void clear_floors_and_magnets();

  // Copy classes: a number the DAG rewrite gives the nodes it copies, so that
  // walks may treat nodes of one class as writing one text (see
  // dag_rewrite.cpp and tree_walk.h). The store only keeps it: a node's class
  // lives and dies with the node, and a reused slot starts without one. The
  // classes describe the graph as the rewrite left it; whoever changes the
  // graph's edges or labels afterwards must forget them first.
  static constexpr std::uint32_t kNotACopy = kEndMarker;
  // A copy whose text no other node is known to share.
  static constexpr std::uint32_t kLoneCopy = kEndMarker - 1;
  std::uint32_t copy_class(NodeIndex index) const {
    return index < copy_classes_.size() ? copy_classes_[index] : kNotACopy;
  }
  void set_copy_class(NodeIndex index, std::uint32_t copy_class);
  // The class of `node`, which becomes the first node of a new class when it
  // has none.
  std::uint32_t class_for_copies_of(NodeIndex node);
  // How many classes have been made; classes are numbered from 0.
  std::uint32_t copy_class_count() const { return copy_class_count_; }
  void forget_copy_classes() {
    copy_classes_.clear();
    copy_class_count_ = 0;
  }

 private:
  // The id of a later-named copy whose id is not spelled out yet: an empty
  // view of this mark (no stored text has its address).
  static constexpr char kNamedLater = '\0';
  struct NodeSlot {
    // Mutable for the ids of later-named copies, spelled out when first read.
    mutable std::string_view id;
    std::string_view label;
    // Occupied: heads of the first- and second-endpoint edge lists.
    // Vacant: forward and backward links of the free-node list.
    NodeIndex heads[2] = {kEndMarker, kEndMarker};
    std::int32_t floor = 0;
    std::uint32_t cold = kEndMarker;          // position in colds_, or none
    std::uint32_t magnet_cache = kEndMarker;  // position in magnet_caches_, or none
    bool occupied = false;
    bool has_floor = false;
    bool is_mirror = false;
    bool is_virtual = false;
  };
  // An expanded DAG holds millions of slots: they stay this small.
  static_assert(sizeof(NodeSlot) <= 56);
  struct EdgeSlot {
    std::string_view id;
    std::string_view modality;
    // A vacant slot has end markers here.
    NodeIndex ends[2] = {kEndMarker, kEndMarker};
    // next[0]: the next edge in ends[0]'s first-endpoint list (also the
    // free-edge link of a vacant slot); next[1]: in ends[1]'s second-endpoint list.
    EdgeIndex next[2] = {kEndMarker, kEndMarker};
  };

  // Back links of the edge lists (two per edge slot: the previous edge in
  // each list), so that removing an edge from a long list takes constant
  // time. A graph that never removes a deep edge never needs them: they are
  // made on the first such removal and kept from then on. They change no order.
  static constexpr std::size_t kShortWalk = 16;
  EdgeIndex& prev(EdgeIndex edge, int side) { return prev_[2 * std::size_t{edge} + side]; }
  void make_back_links();
  bool unlink_by_walking(NodeIndex node, int side, EdgeIndex edge);

  // The cold fields of mirrors, virtual leaves and copies (NodeExtra less
  // the magnet caches). Made with the node. A copy of a node that has one
  // reads the same fields, so it names its original's record instead of a
  // copy of it (an expanded DAG's millions of copies then hold a few records);
  // a shared record is copied before it is changed.
  struct ColdRecord {
    std::string_view origin_key;
    std::string_view source_id;
    std::string_view written_label;
    std::uint64_t mirror_count = 0;
    bool has_mirror_count = false;
    bool has_origin_key = false;
    bool has_source_id = false;
    bool shared = false;  // named by more than one node slot
  };
  // A node's magnet caches, made when its magnet (or parent digest) is first
  // computed and dropped with the floors.
  struct MagnetCache {
    std::string_view magnet;
    Digest magnet_digest{};
    Digest parent_digest{};
    bool has_magnet = false;
    bool has_magnet_digest = false;
    bool has_parent_digest = false;
    bool hashed = false;
  };

  const MagnetCache* magnet_cache(NodeIndex index) const {
    std::uint32_t at = nodes_[index].magnet_cache;
    return at == kEndMarker ? nullptr : &magnet_caches_[at];
  }
  MagnetCache& magnet_cache_mut(NodeIndex index);
  ColdRecord& cold_mut(NodeIndex index);
  // Writes `extra` into the node's records, making those it needs.
  void store_extra(NodeIndex index, const NodeExtra& extra);

  NodeIndex insert_node(std::string_view id, std::string_view label, const NodeMeta& meta);
  // Stores `id` and enters it in the index as naming the slot the next new
  // node takes; the stored id, or nothing (and no entry) when it is taken.
  std::optional<std::string_view> claim_id(std::string_view id, std::uint64_t id_hash);
  // The next free slot, made live and blank.
  NodeIndex take_slot();
  // A new node standing for `original` of `from`, under an id already stored.
  NodeIndex make_copy(std::string_view stored_id, const GraphWrap& from, NodeIndex original,
                      std::optional<std::int32_t> floor, bool keep_magnet_caches);
  // Files the unfiled ids before `id` is entered or removed, should it be one
  // of theirs.
  void file_before(std::string_view id) {
    if (!unfiled_.empty() && holds_at(id)) file_unfiled_ids();
  }
  void write_label(NodeIndex index);
  std::string_view store_written_label(std::string_view label, bool is_mirror, std::uint64_t mirror_count,
                                       std::string_view origin);
  EdgeIndex insert_edge(NodeIndex a, NodeIndex b, std::string_view id, std::string_view modality);
  void unlink_from_list(NodeIndex node, int side, EdgeIndex edge);
  std::string_view numbered_edge_id();

  // Slot tables that grow to millions of records in an expanded DAG.
  PodVector<NodeSlot> nodes_;
  PodVector<EdgeSlot> edges_;
  PodVector<EdgeIndex> prev_;  // empty until make_back_links
  PodVector<ColdRecord> colds_;
  PodVector<MagnetCache> magnet_caches_;
  PodVector<std::uint32_t> copy_classes_;  // empty until the first class is set
  PodVector<NodeIndex> unfiled_;            // add_copy_unfiled's nodes, not in id_map_
  // What a later-named copy's id is made of, by slot; empty until the first.
  struct LaterName {
    NodeIndex original;
    std::uint32_t suffix;  // position in name_suffixes_
  };
  PodVector<LaterName> later_names_;
  PodVector<std::string_view> name_suffixes_;
  // Spells out the id of later-named `index` (and of its originals), returns it.
  std::string_view spell_later_names(NodeIndex index) const;
  void spell_every_later_name();
  std::uint32_t copy_class_count_ = 0;
  std::uint64_t node_count_ = 0;
  std::uint64_t edge_count_ = 0;
  NodeIndex free_node_head_ = kEndMarker;
  EdgeIndex free_edge_head_ = kEndMarker;
  auto id_reader() const {
    return [this](NodeIndex index) { return id(index); };
  }

  IdIndex id_map_;
  std::uint64_t edge_counter_ = 0;
  // Mutable for the ids of later-named copies, spelled out when first read:
  // texts are only ever added.
  mutable TextStore texts_;
};

}  // namespace tolva
