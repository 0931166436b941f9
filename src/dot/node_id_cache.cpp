#include "dot/node_id_cache.h"

#include <bit>
#include <cstring>

namespace tolva {

bool NodeIdCache::holds_long(const Entry& entry, std::string_view id) const {
  if ((entry.text & kLongMark) != kLongMark) return false;
  const char* stored = long_ids_.data() + (entry.text & ~kLongMark);
  std::uint32_t length;
  std::memcpy(&length, stored, sizeof length);
  return length == id.size() && std::memcmp(stored + sizeof length, id.data(), id.size()) == 0;
}

std::optional<NodeIndex> NodeIdCache::find(std::string_view id) const {
  if (entries_.empty()) return std::nullopt;
  std::uint32_t tag = tag_of(hash_of(id));
  bool is_short = id.size() <= kInline;
  std::uint64_t text = is_short ? packed(id) : 0;
  std::size_t mask = entries_.size() - 1;
  for (std::size_t at = home(tag);; at = (at + 1) & mask) {
    const Entry& entry = entries_[at];
    if (entry.node == kEndMarker) return std::nullopt;
    if (entry.tag != tag) continue;
    if (is_short ? entry.text == text : holds_long(entry, id)) return entry.node;
  }
}

void NodeIdCache::insert(std::string_view id, NodeIndex node) {
  if ((size_ + 1) * 2 > entries_.size()) grow();
  Entry entry{tag_of(hash_of(id)), node, 0};
  if (id.size() <= kInline) {
    entry.text = packed(id);
  } else {
    entry.text = kLongMark | long_ids_.size();
    auto length = static_cast<std::uint32_t>(id.size());
    long_ids_.append(reinterpret_cast<const char*>(&length), sizeof length);
    long_ids_.append(id);
  }
  place(entry);
  ++size_;
}

void NodeIdCache::place(const Entry& entry) {
  std::size_t mask = entries_.size() - 1;
  std::size_t at = home(entry.tag);
  while (entries_[at].node != kEndMarker) at = (at + 1) & mask;
  entries_[at] = entry;
}

void NodeIdCache::grow() {
  std::vector<Entry> old = std::move(entries_);
  entries_.assign(old.empty() ? 64 : old.size() * 2, Entry{});
  shift_ = 32 - static_cast<unsigned>(std::countr_zero(entries_.size()));
  for (const Entry& entry : old)
    if (entry.node != kEndMarker) place(entry);
}

}  // namespace tolva
