// The records held in the slots of a GraphWrap: NodeData with its NodeMeta
// working state, and EdgeData.
//
// NodeMeta carries the per-node state of the canonisation pipeline. Every
// field starts absent, empty or false; the pipeline stage that owns a field
// says when it is written:
//   floors           floor, and the reset of the magnet caches
//   pruning          reached_by, sole_root
//   magnet           magnet, magnet_digest, magnet_hashed (and clears parent_digest)
//   inbound scoring  parent_digest
//   DAG rewrite      is_mirror, is_virtual, mirror_count, origin_key, source_id
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolva {

using NodeIndex = std::uint32_t;
using EdgeIndex = std::uint32_t;

// All bits set: "no node", "no edge", "end of list". Real indices are smaller.
inline constexpr std::uint32_t kEndMarker = 0xFFFFFFFFu;

// An MD5 digest, compared bytewise.
using Digest = std::array<std::uint8_t, 16>;

struct NodeMeta {
  // On a mirror: how many mirrors were made from the same split node.
  std::optional<std::uint64_t> mirror_count;
  // Candidate roots whose search reached the node, in arrival order.
  std::vector<std::string> reached_by;
  // Mirror: magnet of the node it stands for. Virtual leaf: the cut edge's signature.
  std::optional<std::string> origin_key;
  // Cached magnet text (plain or hashed, see magnet_hashed).
  std::optional<std::string> magnet;
  // The one candidate that has reached the node, while there is exactly one.
  std::optional<std::string> sole_root;
  // Breadth-first distance from the current root; absent when not reached.
  std::optional<std::int32_t> floor;
  bool is_mirror = false;
  bool is_virtual = false;
  // MD5 of the cached magnet's source text; present only for a hashed magnet.
  std::optional<Digest> magnet_digest;
  // MD5 of the magnet text, cached for the node's use as a parent in inbound scoring.
  std::optional<Digest> parent_digest;
  // The allow_hashes value the cached magnet was computed with.
  bool magnet_hashed = false;
  // On a mirror or a sub-DAG copy: the id of the input node it stands for.
  // Absent on input nodes (they stand for themselves) and on virtual leaves.
  std::optional<std::string> source_id;
};

struct NodeData {
  NodeMeta meta;
  std::string id;
  std::string label;
};

// The id of the input node that `node` stands for: its source_id when it was
// derived from another node, else its own id.
inline const std::string& source_id_of(const NodeData& node) {
  return node.meta.source_id ? *node.meta.source_id : node.id;
}

struct EdgeData {
  std::string id;
  std::string modality;
};

}  // namespace tolva
