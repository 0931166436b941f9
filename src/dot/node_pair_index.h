// NodePairIndex: a flat map from a pair of node indices to a 32-bit number,
// for a strict graph's "one edge per pair" (which edge a pair already has).
//
// One table of 16-byte entries with linear probing: no allocation per pair,
// which a node-based map would make for each of a million edges (and free
// again, one by one, at the end). Used for lookups only.
//
//   NodePairIndex index;
//   index.try_add(3, 5, 0);   // {0, true}: new
//   index.try_add(3, 5, 1);   // {0, false}: the pair has 0
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "graph/node_data.h"

namespace tolva {

class NodePairIndex {
 public:
  // The number of the pair (a, b): `value` when the pair is new (then
  // entered with it), else the number it had.
  std::pair<std::uint32_t, bool> try_add(NodeIndex a, NodeIndex b, std::uint32_t value);

 private:
  struct Entry {
    std::uint64_t key = 0;
    std::uint32_t value = kEndMarker;  // kEndMarker: an empty entry
  };

  static std::uint64_t key_of(NodeIndex a, NodeIndex b) { return (std::uint64_t{a} << 32) | b; }
  static std::uint64_t mixed(std::uint64_t key) {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return key;
  }
  void place(const Entry& entry);
  void grow();

  std::vector<Entry> entries_;
  std::size_t size_ = 0;
};

}  // namespace tolva
