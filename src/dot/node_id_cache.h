// NodeIdCache: a compact map from node id text to node index that a reader
// keeps beside the graph store while it builds the graph.
//
// Every mention of a node in a DOT file needs its index, and on a large file
// each lookup is a cache miss. The store's own lookup compares the id kept in
// the node's record, a second miss; here an entry is 16 bytes holding the id
// itself when it has at most 7 bytes (compared as one 64-bit word), else the
// place of its copy in one growing buffer. Small entries keep more of the
// table in the caches. Used for lookups only: nothing depends on the order
// of the table.
//
//   NodeIdCache cache;
//   if (auto node = cache.find("a")) ...;   // nothing yet
//   cache.insert("a", 0);
//   cache.find("a");                         // 0
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graph/node_data.h"

namespace tolva {

class NodeIdCache {
 public:
  std::optional<NodeIndex> find(std::string_view id) const;
  // `id` must not be in the cache yet.
  void insert(std::string_view id, NodeIndex node);
  // Asks memory for the entry where a lookup of `id` starts, so that a
  // lookup soon after does not wait for it; changes nothing.
  void prefetch(std::string_view id) const {
    if (!entries_.empty()) __builtin_prefetch(&entries_[home(tag_of(hash_of(id)))]);
  }

 private:
  static constexpr std::size_t kInline = 7;
  // The top byte of `text` for an id kept in long_ids_.
  static constexpr std::uint64_t kLongMark = std::uint64_t{0xFF} << 56;
  struct Entry {
    // The hash's upper half; its top bits are also the entry's home
    // position, so the table grows without hashing the ids again.
    std::uint32_t tag = 0;
    NodeIndex node = kEndMarker;  // kEndMarker: an empty entry
    // A short id: its bytes, then zeros, its length in the top byte. A long
    // one: kLongMark | offset of its length-prefixed copy in long_ids_.
    std::uint64_t text = 0;
  };

  // Short ids, the common case, hash by mixing their packed word, which is
  // much cheaper than hashing the bytes.
  static std::uint64_t hash_of(std::string_view id) {
    if (id.size() > kInline) return std::hash<std::string_view>{}(id);
    std::uint64_t x = packed(id);
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
  }
  static std::uint32_t tag_of(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }
  // A short id as one word (see Entry::text).
  static std::uint64_t packed(std::string_view id) {
    std::uint64_t word = std::uint64_t{id.size()} << 56;
    for (std::size_t i = 0; i < id.size(); ++i)
      word |= std::uint64_t{static_cast<unsigned char>(id[i])} << (8 * i);
    return word;
  }
  std::size_t home(std::uint32_t tag) const { return tag >> shift_; }
  bool holds_long(const Entry& entry, std::string_view id) const;
  void place(const Entry& entry);
  void grow();

  std::vector<Entry> entries_;
  std::size_t size_ = 0;
  unsigned shift_ = 32;  // 32 - log2(entries_.size())
  std::string long_ids_;
};

}  // namespace tolva
