#include "dot/node_id_cache.h"

#include <cstring>
#include <functional>

namespace tolva {
namespace {

std::uint64_t hash_of(std::string_view id) { return std::hash<std::string_view>{}(id); }

}  // namespace

bool NodeIdCache::holds(const Entry& entry, std::uint64_t hash, std::string_view id) const {
  if (entry.hash != hash || entry.length != id.size()) return false;
  const char* text = id.size() <= kInline ? entry.inline_text : long_ids_.data() + entry.offset;
  return std::memcmp(text, id.data(), id.size()) == 0;
}

std::optional<NodeIndex> NodeIdCache::find(std::string_view id) const {
  if (entries_.empty()) return std::nullopt;
  std::uint64_t hash = hash_of(id);
  std::size_t mask = entries_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const Entry& entry = entries_[at];
    if (entry.node == kEndMarker) return std::nullopt;
    if (holds(entry, hash, id)) return entry.node;
  }
}

void NodeIdCache::insert(std::string_view id, NodeIndex node) {
  if ((size_ + 1) * 2 > entries_.size()) grow();
  Entry entry;
  entry.hash = hash_of(id);
  entry.node = node;
  entry.length = static_cast<std::uint32_t>(id.size());
  if (id.size() <= kInline) {
    std::memcpy(entry.inline_text, id.data(), id.size());
  } else {
    entry.offset = long_ids_.size();
    long_ids_.append(id);
  }
  place(entry);
  ++size_;
}

void NodeIdCache::place(const Entry& entry) {
  std::size_t mask = entries_.size() - 1;
  std::size_t at = entry.hash & mask;
  while (entries_[at].node != kEndMarker) at = (at + 1) & mask;
  entries_[at] = entry;
}

void NodeIdCache::grow() {
  std::vector<Entry> old = std::move(entries_);
  entries_.assign(old.empty() ? 64 : old.size() * 2, Entry{});
  for (const Entry& entry : old)
    if (entry.node != kEndMarker) place(entry);
}

}  // namespace tolva
