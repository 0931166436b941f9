// IdIndex: a map from text to a 32-bit slot as one flat table; the store's
// map from node id to node slot (the tree walk's intern table uses it too).
//
// The table holds only (hash, slot) pairs, eight bytes each: the low 32 bits
// of the id's hash, which place the entry and tell most ids in its probe run
// apart, and the slot. The texts themselves stay where the caller keeps them
// (the node records), and the caller says how to read a slot's text. A graph copy is
// therefore one block copy instead of one allocation per node, which matters
// because the pipeline copies graphs all the time. Linear probing with
// backward-shift deletion keeps lookups short without tombstones.
//
//   IdIndex index;
//   auto id_of = [&](NodeIndex n) -> std::string_view { return ids[n]; };
//   index.insert("a", 0);
//   index.find("a", id_of);   // 0
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "graph/huge_page_allocator.h"
#include "graph/node_data.h"
#include "graph/text_hash.h"

namespace tolva {

class IdIndex {
 public:
  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }

  template <typename IdOf>
  std::optional<NodeIndex> find(std::string_view id, IdOf&& id_of) const {
    if (entries_.empty()) return std::nullopt;
    std::uint64_t hash = hash_of(id);
    for (std::size_t at = home(hash);; at = next(at)) {
      const Entry& entry = entries_[at];
      if (entry.node == kEndMarker) return std::nullopt;
      if (entry.hash == static_cast<std::uint32_t>(hash) && id_of(entry.node) == id) return entry.node;
    }
  }

  // Room for `count` ids in all without growing.
  void reserve(std::size_t count) {
    std::size_t size = entries_.empty() ? 16 : entries_.size();
    while (count * 2 > size) size *= 2;
    if (size > entries_.size()) rehash(size);
  }

  // `id` must not be in the index yet.
  void insert(std::string_view id, NodeIndex node) {
    if ((size_ + 1) * 2 > entries_.size()) grow();
    place(Entry{static_cast<std::uint32_t>(hash_of(id)), node});
    ++size_;
  }

  // The slot `id` names; when it is absent, enters it as naming `node` and
  // returns `node` (one hash, one probe either way).
  template <typename IdOf>
  NodeIndex find_or_insert(std::string_view id, NodeIndex node, IdOf&& id_of) {
    return find_or_insert_hashed(id, hash_of(id), node, id_of);
  }

  // The hash an id is filed under. A caller entering many ids in a row hashes
  // each a few ids ahead and prefetches its entry, so that the entry's cache
  // miss overlaps the work in between; the hash stays valid across growth.
  static std::uint64_t hash_of(std::string_view id) { return text_hash(id); }
  void prefetch(std::uint64_t hash) const {
    if (!entries_.empty()) __builtin_prefetch(&entries_[home(hash)]);
  }

  // find_or_insert with the id's hash_of given.
  template <typename IdOf>
  NodeIndex find_or_insert_hashed(std::string_view id, std::uint64_t hash, NodeIndex node, IdOf&& id_of) {
    if ((size_ + 1) * 2 > entries_.size()) grow();
    std::size_t at = home(hash);
    for (;; at = next(at)) {
      const Entry& entry = entries_[at];
      if (entry.node == kEndMarker) break;
      if (entry.hash == static_cast<std::uint32_t>(hash) && id_of(entry.node) == id) return entry.node;
    }
    entries_[at] = Entry{static_cast<std::uint32_t>(hash), node};
    ++size_;
    return node;
  }

  // Removes `id`; returns the slot it named, or nothing when absent.
  template <typename IdOf>
  std::optional<NodeIndex> erase(std::string_view id, IdOf&& id_of) {
    if (entries_.empty()) return std::nullopt;
    std::uint64_t hash = hash_of(id);
    std::size_t at = home(hash);
    while (true) {
      const Entry& entry = entries_[at];
      if (entry.node == kEndMarker) return std::nullopt;
      if (entry.hash == static_cast<std::uint32_t>(hash) && id_of(entry.node) == id) break;
      at = next(at);
    }
    NodeIndex found = entries_[at].node;
    close_gap(at);
    --size_;
    return found;
  }

 private:
  struct Entry {
    std::uint32_t hash = 0;       // the low bits of hash_of
    NodeIndex node = kEndMarker;  // kEndMarker: empty entry
  };

  std::size_t home(std::uint64_t hash) const { return static_cast<std::uint32_t>(hash) & (entries_.size() - 1); }
  std::size_t next(std::size_t at) const { return (at + 1) & (entries_.size() - 1); }

  void place(Entry entry) {
    std::size_t at = home(entry.hash);
    while (entries_[at].node != kEndMarker) at = next(at);
    entries_[at] = entry;
  }

  void grow() { rehash(entries_.empty() ? 16 : entries_.size() * 2); }

  void rehash(std::size_t size) {
    std::vector<Entry, HugePageAllocator<Entry>> old = std::move(entries_);
    entries_.assign(size, Entry{});
    for (const Entry& entry : old)
      if (entry.node != kEndMarker) place(entry);
  }

  // Backward-shift deletion: pull later entries of the probe run into the gap
  // when their home position allows it.
  void close_gap(std::size_t gap) {
    std::size_t mask = entries_.size() - 1;
    for (std::size_t at = next(gap);; at = next(at)) {
      Entry& entry = entries_[at];
      if (entry.node == kEndMarker) break;
      std::size_t distance_from_home = (at - home(entry.hash)) & mask;
      std::size_t distance_to_gap = (at - gap) & mask;
      if (distance_from_home >= distance_to_gap) {
        entries_[gap] = entry;
        gap = at;
      }
    }
    entries_[gap] = Entry{};
  }

  // Tables of more than 2^32 entries place by those 32 bits alone: still
  // correct, only slower.
  // Read at random: in huge pages when large.
  std::vector<Entry, HugePageAllocator<Entry>> entries_;
  std::size_t size_ = 0;
};

}  // namespace tolva
