#include "graph/graph_wrap.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace tolva {

NodeIndex GraphWrap::ensure_node(std::string_view id, std::string_view label) {
  file_before(id);
  if (auto found = id_map_.find(id, id_reader())) {
    NodeSlot& slot = nodes_[*found];
    if (!label.empty() && slot.label.empty()) slot.label = texts_.store(label);
    return *found;
  }
  NodeIndex index = insert_node(texts_.store(id), texts_.store(label), NodeMeta{});
  id_map_.insert(nodes_[index].id, index);
  return index;
}

void GraphWrap::index_ids_from(NodeIndex first) {
  id_map_.reserve(node_count_);
  for (NodeIndex index = first; index < nodes_.size(); ++index)
    if (nodes_[index].occupied) id_map_.insert(id(index), index);
}

NodeIndex GraphWrap::add_node_with_meta(std::string_view id, std::string_view label, const NodeMeta& meta) {
  file_before(id);
  if (auto found = id_map_.find(id, id_reader())) return *found;
  NodeIndex index = insert_node(texts_.store(id), texts_.store(label), meta);
  id_map_.insert(nodes_[index].id, index);
  return index;
}

std::optional<std::string_view> GraphWrap::claim_id(std::string_view id, std::uint64_t id_hash) {
  file_before(id);
  // The slot the node will take, so its id can be entered before it exists.
  NodeIndex next = free_node_head_ != kEndMarker ? free_node_head_ : static_cast<NodeIndex>(nodes_.size());
  std::string_view stored = texts_.store(id);
  auto id_of = [&](NodeIndex index) { return index == next ? stored : nodes_[index].id; };
  if (id_map_.find_or_insert_hashed(stored, id_hash, next, id_of) != next) return std::nullopt;
  return stored;
}

NodeIndex GraphWrap::add_node_if_new(std::string_view id, std::uint64_t id_hash, std::string_view label,
                                     const NodeMeta& meta) {
  auto stored = claim_id(id, id_hash);
  return stored ? insert_node(*stored, label, meta) : kEndMarker;
}

NodeIndex GraphWrap::add_copy_if_new(std::string_view id, std::uint64_t id_hash, const GraphWrap& from,
                                     NodeIndex original, std::optional<std::int32_t> floor,
                                     bool keep_magnet_caches) {
  auto stored = claim_id(id, id_hash);
  return stored ? make_copy(*stored, from, original, floor, keep_magnet_caches) : kEndMarker;
}

NodeIndex GraphWrap::add_copy_unfiled(std::string_view id, const GraphWrap& from, NodeIndex original,
                                      std::optional<std::int32_t> floor, bool keep_magnet_caches) {
  if (!holds_at(id)) return add_copy_if_new(id, IdIndex::hash_of(id), from, original, floor, keep_magnet_caches);
  NodeIndex index = make_copy(texts_.store(id), from, original, floor, keep_magnet_caches);
  unfiled_.emplace_back() = index;
  return index;
}

bool GraphWrap::file_unfiled_ids() {
  spell_every_later_name();
  bool filed = true;
  for (NodeIndex index : unfiled_) {
    std::string_view id = nodes_[index].id;
    auto id_of = [&](NodeIndex other) { return nodes_[other].id; };
    if (id_map_.find_or_insert(id, index, id_of) != index) filed = false;
  }
  unfiled_.clear();
  return filed;
}

NodeIndex GraphWrap::add_copy_named_later(NodeIndex original, std::uint32_t suffix, std::optional<std::int32_t> floor,
                                          bool keep_magnet_caches) {
  NodeIndex index = make_copy(std::string_view(&kNamedLater, 0), *this, original, floor, keep_magnet_caches);
  if (later_names_.size() <= index) later_names_.resize(std::max<std::size_t>(nodes_.size(), index + 1), LaterName{});
  later_names_[index] = LaterName{original, suffix};
  unfiled_.emplace_back() = index;
  return index;
}

std::uint32_t GraphWrap::add_name_suffix(std::string_view suffix) {
  name_suffixes_.emplace_back() = texts_.store(suffix);
  return static_cast<std::uint32_t>(name_suffixes_.size() - 1);
}

std::string_view GraphWrap::spell_later_names(NodeIndex index) const {
  // The originals down to the first one spelled out, then each id from there
  // up: an original's id followed by the suffix.
  std::vector<NodeIndex> chain;
  for (NodeIndex at = index; nodes_[at].id.data() == &kNamedLater; at = later_names_[at].original)
    chain.push_back(at);
  for (auto node = chain.rbegin(); node != chain.rend(); ++node) {
    const LaterName& name = later_names_[*node];
    std::string_view prefix = nodes_[name.original].id;
    std::string_view suffix = name_suffixes_[name.suffix];
    char* out = texts_.reserve(prefix.size() + suffix.size());
    std::memcpy(out, prefix.data(), prefix.size());
    std::memcpy(out + prefix.size(), suffix.data(), suffix.size());
    nodes_[*node].id = std::string_view(out, prefix.size() + suffix.size());
  }
  return nodes_[index].id;
}

void GraphWrap::spell_every_later_name() {
  if (later_names_.empty()) return;
  for (NodeIndex index : unfiled_) id(index);
  later_names_.clear();
  name_suffixes_.clear();
}

NodeIndex GraphWrap::make_copy(std::string_view stored_id, const GraphWrap& from, NodeIndex original,
                               std::optional<std::int32_t> floor, bool keep_magnet_caches) {
  const NodeSlot& source = from.nodes_[original];
  ColdRecord cold = source.cold != kEndMarker ? from.colds_[source.cold] : ColdRecord{};
  // A record the copy would hold unchanged is shared (a mirror's or virtual
  // leaf's has its written label already).
  std::uint32_t shared_cold = kEndMarker;
  if (&from == this && source.cold != kEndMarker && (source.is_virtual || cold.has_source_id) &&
      (!(source.is_mirror || source.is_virtual) || !cold.written_label.empty()))
    shared_cold = source.cold;
  if (!source.is_virtual && !cold.has_source_id) {
    cold.has_source_id = true;
    cold.source_id = from.id(original);
  }
  // A record whose every field is absent reads as no record.
  const MagnetCache* magnets = keep_magnet_caches ? from.magnet_cache(original) : nullptr;
  if (magnets != nullptr && !magnets->has_magnet && !magnets->has_magnet_digest && !magnets->has_parent_digest &&
      !magnets->hashed)
    magnets = nullptr;
  // Read before the slot is taken: `from` may be this graph, whose table may move.
  std::string_view label = source.label;
  bool is_mirror = source.is_mirror, is_virtual = source.is_virtual;
  NodeIndex index = take_slot();
  NodeSlot& slot = nodes_[index];
  slot.id = stored_id;
  slot.label = label;
  slot.has_floor = floor.has_value();
  slot.floor = floor.value_or(0);
  slot.is_mirror = is_mirror;
  slot.is_virtual = is_virtual;
  if (shared_cold != kEndMarker) {
    slot.cold = shared_cold;
    colds_[shared_cold].shared = true;
  } else if (is_mirror || is_virtual || cold.has_mirror_count || cold.has_origin_key || cold.has_source_id ||
             !cold.written_label.empty()) {
    cold.shared = false;
    slot.cold = static_cast<std::uint32_t>(colds_.size());
    colds_.emplace_back() = cold;
  }
  if (magnets != nullptr) {
    MagnetCache kept = *magnets;
    slot.magnet_cache = static_cast<std::uint32_t>(magnet_caches_.size());
    magnet_caches_.emplace_back() = kept;
  }
  if ((is_mirror || is_virtual) && cold.written_label.empty()) write_label(index);
  return index;
}

std::string_view GraphWrap::numbered_edge_id() {
  char digits[24];
  digits[0] = 'e';
  auto end = std::to_chars(digits + 1, digits + sizeof digits, edge_counter_).ptr;
  return texts_.store(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

EdgeIndex GraphWrap::add_edge_with_modality(std::string_view a, std::string_view b,
                                            std::string_view modality) {
  NodeIndex first = ensure_node(a, ".");
  NodeIndex second = ensure_node(b, ".");
  ++edge_counter_;
  return insert_edge(first, second, numbered_edge_id(), texts_.store(modality));
}

EdgeIndex GraphWrap::add_edge_custom(NodeIndex a, NodeIndex b, std::string_view id,
                                     std::string_view modality) {
  ++edge_counter_;
  std::string_view stored_id = id.empty() ? numbered_edge_id() : texts_.store(id);
  return insert_edge(a, b, stored_id, texts_.store(modality));
}

bool GraphWrap::remove_node(std::string_view id) {
  file_before(id);
  // Later-named copies spell their ids from their originals' slots, which
  // removal may hand to other nodes.
  spell_every_later_name();
  std::optional<NodeIndex> found = id_map_.erase(id, id_reader());
  if (!found) return false;
  NodeIndex index = *found;
  if (!nodes_[index].occupied) return true;
  while (nodes_[index].heads[0] != kEndMarker) remove_edge(nodes_[index].heads[0]);
  while (nodes_[index].heads[1] != kEndMarker) remove_edge(nodes_[index].heads[1]);
  NodeSlot& slot = nodes_[index];
  slot = NodeSlot{};
  slot.heads[0] = free_node_head_;
  slot.heads[1] = kEndMarker;
  if (free_node_head_ != kEndMarker) nodes_[free_node_head_].heads[1] = index;
  free_node_head_ = index;
  --node_count_;
  return true;
}

// Walks a short way down the list for the edge; false when it is not that near.
bool GraphWrap::unlink_by_walking(NodeIndex node, int side, EdgeIndex edge) {
  EdgeIndex* link = &nodes_[node].heads[side];
  for (std::size_t steps = 0; *link != kEndMarker && steps < kShortWalk; ++steps) {
    if (*link == edge) {
      *link = edges_[edge].next[side];
      return true;
    }
    link = &edges_[*link].next[side];
  }
  return false;
}

// Walks every list from its head, so an edge already taken out of one of its
// two lists (while the other is being unlinked) gets no stale link.
void GraphWrap::make_back_links() {
  prev_.assign(2 * edges_.size(), kEndMarker);
  for (NodeIndex node = 0; node < nodes_.size(); ++node) {
    if (!nodes_[node].occupied) continue;
    for (int side : {0, 1}) {
      EdgeIndex before = kEndMarker;
      for (EdgeIndex edge = nodes_[node].heads[side]; edge != kEndMarker; edge = edges_[edge].next[side]) {
        prev(edge, side) = before;
        before = edge;
      }
    }
  }
}

void GraphWrap::unlink_from_list(NodeIndex node, int side, EdgeIndex edge) {
  if (prev_.empty()) {
    if (unlink_by_walking(node, side, edge)) return;
    make_back_links();
  }
  EdgeIndex before = prev(edge, side);
  EdgeIndex after = edges_[edge].next[side];
  if (before == kEndMarker)
    nodes_[node].heads[side] = after;
  else
    edges_[before].next[side] = after;
  if (after != kEndMarker) prev(after, side) = before;
}

std::optional<EdgeData> GraphWrap::remove_edge(EdgeIndex edge) {
  if (!edge_occupied(edge)) return std::nullopt;
  EdgeSlot& slot = edges_[edge];
  unlink_from_list(slot.ends[0], 0, edge);
  unlink_from_list(slot.ends[1], 1, edge);
  EdgeData payload{slot.id, slot.modality};
  slot = EdgeSlot{};
  slot.next[0] = free_edge_head_;
  free_edge_head_ = edge;
  --edge_count_;
  return payload;
}

NodeExtra GraphWrap::extra(NodeIndex index) const {
  NodeExtra extra;
  const NodeSlot& slot = nodes_[index];
  if (slot.cold != kEndMarker) {
    const ColdRecord& cold = colds_[slot.cold];
    if (cold.has_mirror_count) extra.mirror_count = cold.mirror_count;
    if (cold.has_origin_key) extra.origin_key = cold.origin_key;
    if (cold.has_source_id) extra.source_id = cold.source_id;
    extra.written_label = cold.written_label;
  }
  if (const MagnetCache* cache = magnet_cache(index)) {
    if (cache->has_magnet) extra.magnet = cache->magnet;
    if (cache->has_magnet_digest) extra.magnet_digest = cache->magnet_digest;
    if (cache->has_parent_digest) extra.parent_digest = cache->parent_digest;
    extra.magnet_hashed = cache->hashed;
  }
  return extra;
}

void GraphWrap::cache_magnet(NodeIndex index, std::string_view magnet, std::optional<Digest> digest, bool hashed) {
  MagnetCache& cache = magnet_cache_mut(index);
  cache.magnet = magnet;
  cache.has_magnet = true;
  cache.has_magnet_digest = digest.has_value();
  cache.magnet_digest = digest.value_or(Digest{});
  cache.has_parent_digest = false;
  cache.hashed = hashed;
}

void GraphWrap::cache_parent_digest(NodeIndex index, const Digest& digest) {
  MagnetCache& cache = magnet_cache_mut(index);
  cache.parent_digest = digest;
  cache.has_parent_digest = true;
}

namespace {

// The record a node's slot names by its position, appended when it has none.
template <typename Record>
Record& record_at(std::uint32_t& position, PodVector<Record>& records) {
  if (position == kEndMarker) {
    position = static_cast<std::uint32_t>(records.size());
    records.emplace_back();
  }
  return records[position];
}

}  // namespace

GraphWrap::MagnetCache& GraphWrap::magnet_cache_mut(NodeIndex index) {
  return record_at(nodes_[index].magnet_cache, magnet_caches_);
}

GraphWrap::ColdRecord& GraphWrap::cold_mut(NodeIndex index) {
  std::uint32_t& position = nodes_[index].cold;
  if (position != kEndMarker && colds_[position].shared) {
    // Read before appending: the table may move.
    ColdRecord own = colds_[position];
    own.shared = false;
    position = static_cast<std::uint32_t>(colds_.size());
    colds_.emplace_back() = own;
  }
  return record_at(position, colds_);
}

void GraphWrap::store_extra(NodeIndex index, const NodeExtra& extra) {
  if (nodes_[index].is_mirror || nodes_[index].is_virtual || extra.mirror_count || extra.origin_key ||
      extra.source_id || !extra.written_label.empty() || nodes_[index].cold != kEndMarker) {
    ColdRecord& cold = cold_mut(index);
    cold.has_mirror_count = extra.mirror_count.has_value();
    cold.mirror_count = extra.mirror_count.value_or(0);
    cold.has_origin_key = extra.origin_key.has_value();
    cold.origin_key = extra.origin_key.value_or(std::string_view());
    cold.has_source_id = extra.source_id.has_value();
    cold.source_id = extra.source_id.value_or(std::string_view());
    cold.written_label = extra.written_label;
  }
  if (extra.magnet || extra.magnet_digest || extra.parent_digest || extra.magnet_hashed ||
      nodes_[index].magnet_cache != kEndMarker) {
    MagnetCache& cache = magnet_cache_mut(index);
    cache.has_magnet = extra.magnet.has_value();
    cache.magnet = extra.magnet.value_or(std::string_view());
    cache.has_magnet_digest = extra.magnet_digest.has_value();
    cache.magnet_digest = extra.magnet_digest.value_or(Digest{});
    cache.has_parent_digest = extra.parent_digest.has_value();
    cache.parent_digest = extra.parent_digest.value_or(Digest{});
    cache.hashed = extra.magnet_hashed;
  }
}

void GraphWrap::reserve_for_copy(const GraphWrap& source, std::size_t nodes, std::size_t edges) {
  nodes_.reserve(source.nodes_.size() + nodes);
  colds_.reserve(source.colds_.size() + nodes);
  magnet_caches_.reserve(source.magnet_caches_.size() + nodes);
  edges_.reserve(source.edges_.size() + edges);
}

NodeIndex GraphWrap::take_slot() {
  NodeIndex index;
  if (free_node_head_ != kEndMarker) {
    index = free_node_head_;
    free_node_head_ = nodes_[index].heads[0];
    if (free_node_head_ != kEndMarker) nodes_[free_node_head_].heads[1] = kEndMarker;
  } else {
    index = static_cast<NodeIndex>(nodes_.size());
    nodes_.emplace_back();
  }
  if (index < copy_classes_.size()) copy_classes_[index] = kNotACopy;
  nodes_[index] = NodeSlot{};
  nodes_[index].occupied = true;
  ++node_count_;
  return index;
}

NodeIndex GraphWrap::insert_node(std::string_view id, std::string_view label, const NodeMeta& meta) {
  NodeIndex index = take_slot();
  NodeSlot& slot = nodes_[index];
  slot.id = id;
  slot.label = label;
  slot.has_floor = meta.floor.has_value();
  slot.floor = meta.floor.value_or(0);
  slot.is_mirror = meta.is_mirror;
  slot.is_virtual = meta.is_virtual;
  store_extra(index, meta.extra);
  // A copy of a node brings the written label along; it reads the same.
  if ((meta.is_mirror || meta.is_virtual) && meta.extra.written_label.empty()) write_label(index);
  return index;
}

void GraphWrap::write_label(NodeIndex index) {
  NodeSlot& slot = nodes_[index];
  if (!slot.is_mirror && !slot.is_virtual) return;
  ColdRecord& cold = cold_mut(index);
  cold.written_label = store_written_label(slot.label, slot.is_mirror, cold.mirror_count, cold.origin_key);
}

std::string_view GraphWrap::store_written_label(std::string_view label, const NodeMeta& meta) {
  return store_written_label(label, meta.is_mirror, meta.extra.mirror_count.value_or(0),
                             meta.extra.origin_key.value_or(std::string_view()));
}

std::string_view GraphWrap::store_written_label(std::string_view label, bool is_mirror, std::uint64_t mirror_count,
                                                std::string_view origin) {
  char count[24];
  std::size_t count_size = 0;
  std::string_view open = "*{";
  if (is_mirror) {
    count[0] = '#';
    count_size = static_cast<std::size_t>(std::to_chars(count + 1, count + sizeof count, mirror_count).ptr - count);
    open = "{";
  }
  std::size_t size = label.size() + count_size + open.size() + origin.size() + 1;
  char* out = texts_.reserve(size);
  char* at = out;
  for (std::string_view piece : {label, std::string_view(count, count_size), open, origin, std::string_view("}")}) {
    std::char_traits<char>::copy(at, piece.data(), piece.size());
    at += piece.size();
  }
  return std::string_view(out, size);
}

EdgeIndex GraphWrap::insert_edge(NodeIndex a, NodeIndex b, std::string_view id, std::string_view modality) {
  EdgeIndex index;
  if (free_edge_head_ != kEndMarker) {
    index = free_edge_head_;
    free_edge_head_ = edges_[index].next[0];
  } else {
    index = static_cast<EdgeIndex>(edges_.size());
    edges_.emplace_back();
  }
  EdgeSlot& slot = edges_[index];
  slot.id = id;
  slot.modality = modality;
  slot.ends[0] = a;
  slot.ends[1] = b;
  // For a self-loop a == b, so this threads the edge through both of a's lists.
  slot.next[0] = nodes_[a].heads[0];
  slot.next[1] = nodes_[b].heads[1];
  if (!prev_.empty()) {
    if (prev_.size() < 2 * edges_.size()) prev_.resize(2 * edges_.size(), kEndMarker);
    prev(index, 0) = prev(index, 1) = kEndMarker;
    if (slot.next[0] != kEndMarker) prev(slot.next[0], 0) = index;
    if (slot.next[1] != kEndMarker) prev(slot.next[1], 1) = index;
  }
  nodes_[a].heads[0] = index;
  nodes_[b].heads[1] = index;
  ++edge_count_;
  return index;
}

std::optional<NodeIndex> GraphWrap::find(std::string_view id) const {
  if (auto found = id_map_.find(id, id_reader())) return found;
  if (!unfiled_.empty() && holds_at(id))
    for (NodeIndex index : unfiled_)
      if (this->id(index) == id) return index;
  return std::nullopt;
}

std::vector<NodeIndex> GraphWrap::node_indices() const {
  std::vector<NodeIndex> out;
  out.reserve(node_count_);
  for_each_node([&](NodeIndex i) { out.push_back(i); });
  return out;
}

std::vector<EdgeIndex> GraphWrap::edge_indices() const {
  std::vector<EdgeIndex> out;
  out.reserve(edge_count_);
  for (EdgeIndex i = 0; i < edges_.size(); ++i)
    if (edge_occupied(i)) out.push_back(i);
  return out;
}

std::vector<NodeIndex> GraphWrap::neighbors(NodeIndex node) const {
  std::vector<NodeIndex> out;
  for_each_incident(node, [&](EdgeIndex, NodeIndex other) { out.push_back(other); });
  return out;
}

std::vector<std::pair<EdgeIndex, NodeIndex>> GraphWrap::incident_edges(NodeIndex node) const {
  std::vector<std::pair<EdgeIndex, NodeIndex>> out;
  for_each_incident(node, [&](EdgeIndex e, NodeIndex other) { out.emplace_back(e, other); });
  return out;
}

std::size_t GraphWrap::degree(NodeIndex node) const {
  std::size_t count = 0;
  for_each_incident(node, [&](EdgeIndex, NodeIndex) { ++count; });
  return count;
}

void GraphWrap::set_copy_class(NodeIndex index, std::uint32_t copy_class) {
  if (copy_classes_.size() <= index) {
    if (copy_class == kNotACopy) return;
    copy_classes_.resize(std::max<std::size_t>(nodes_.size(), index + 1), kNotACopy);
  }
  copy_classes_[index] = copy_class;
}

std::uint32_t GraphWrap::class_for_copies_of(NodeIndex node) {
  std::uint32_t known = copy_class(node);
  if (known != kNotACopy && known != kLoneCopy) return known;
  set_copy_class(node, copy_class_count_);
  return copy_class_count_++;
}

void GraphWrap::clear_floors_and_magnets() {
  for (NodeSlot& slot : nodes_) {
    slot.has_floor = false;
    slot.magnet_cache = kEndMarker;
  }
  magnet_caches_.clear();
}

}  // namespace tolva
