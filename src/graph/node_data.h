// The records of a GraphWrap beside its topology: what the canonisation
// pipeline keeps about a node, and the types of indices and digests.
//
// Texts are string_views into the graph's TextStore (see text_store.h), so
// every record here is plain data. The pipeline stage that owns a field says
// when it is written:
//   floors           floor, and the reset of the magnet caches
//   magnet           magnet, magnet_digest, magnet_hashed (and clears parent_digest)
//   inbound scoring  parent_digest
//   DAG rewrite      is_mirror, is_virtual, mirror_count, origin_key, source_id
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tolva {

using NodeIndex = std::uint32_t;
using EdgeIndex = std::uint32_t;

// All bits set: "no node", "no edge", "end of list". Real indices are smaller.
inline constexpr std::uint32_t kEndMarker = 0xFFFFFFFFu;

// An MD5 digest, compared bytewise.
using Digest = std::array<std::uint8_t, 16>;

// The fields most nodes never need (input nodes carry none of them); a graph
// keeps them apart from its node slots, in two records made on first write:
// a derived node's own fields, and the magnet caches, which only nodes whose
// magnet was computed need.
struct NodeExtra {
  // On a mirror: how many mirrors were made from the same split node.
  std::optional<std::uint64_t> mirror_count;
  // Mirror: magnet of the node it stands for. Virtual leaf: the cut edge's signature.
  std::optional<std::string_view> origin_key;
  // On a mirror or a sub-DAG copy: the id of the input node it stands for.
  // Absent on input nodes (they stand for themselves) and on virtual leaves.
  std::optional<std::string_view> source_id;
  // Cached magnet text (plain or hashed, see magnet_hashed).
  std::optional<std::string_view> magnet;
  // MD5 of the cached magnet's source text; present only for a hashed magnet.
  std::optional<Digest> magnet_digest;
  // MD5 of the magnet text, cached for the node's use as a parent in inbound scoring.
  std::optional<Digest> parent_digest;
  // The allow_hashes value the cached magnet was computed with.
  bool magnet_hashed = false;
  // A mirror's or virtual leaf's text as tree strings write it (label, count
  // and origin key, see GraphWrap::written_label); made with the node.
  std::string_view written_label;

  // Empties the magnet caches, which hold only for one layering into floors.
  void clear_magnet_caches() {
    magnet.reset();
    magnet_digest.reset();
    parent_digest.reset();
    magnet_hashed = false;
  }
};

// Everything a new node carries besides its id and label.
struct NodeMeta {
  // Breadth-first distance from the current root; absent when not reached.
  std::optional<std::int32_t> floor;
  bool is_mirror = false;
  bool is_virtual = false;
  NodeExtra extra;
};

// One edge's payload as its builder gives it.
struct EdgeData {
  std::string_view id;
  std::string_view modality;
};

}  // namespace tolva
