// NodeIdCache: a compact map from node id text to node index that a reader
// keeps beside the graph store while it builds the graph.
//
// Every mention of a node in a DOT file needs its index. The store's own
// lookup compares the id stored in the node's record, a second cache miss
// per lookup on a large graph; here ids of up to 16 bytes sit inside the
// table entry, so a lookup touches one 32-byte entry. Longer ids are copied
// into one growing buffer. Used for lookups only: nothing depends on the
// order of the table.
//
//   NodeIdCache cache;
//   if (auto node = cache.find("a")) ...;   // nothing yet
//   cache.insert("a", 0);
//   cache.find("a");                         // 0
#pragma once

#include <cstdint>
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

 private:
  static constexpr std::size_t kInline = 16;
  struct Entry {
    std::uint64_t hash = 0;
    NodeIndex node = kEndMarker;  // kEndMarker: an empty entry
    std::uint32_t length = 0;
    union {
      char inline_text[kInline];
      std::uint64_t offset;  // into long_ids_, when length > kInline
    };
    Entry() : inline_text{} {}
  };

  bool holds(const Entry& entry, std::uint64_t hash, std::string_view id) const;
  void place(const Entry& entry);
  void grow();

  std::vector<Entry> entries_;
  std::size_t size_ = 0;
  std::string long_ids_;
};

}  // namespace tolva
