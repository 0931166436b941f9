#include "dot/node_pair_index.h"

namespace tolva {

std::pair<std::uint32_t, bool> NodePairIndex::try_add(NodeIndex a, NodeIndex b, std::uint32_t value) {
  if ((size_ + 1) * 2 > entries_.size()) grow();
  std::uint64_t key = key_of(a, b);
  std::size_t mask = entries_.size() - 1;
  for (std::size_t at = mixed(key) & mask;; at = (at + 1) & mask) {
    Entry& entry = entries_[at];
    if (entry.value == kEndMarker) {
      entry = Entry{key, value};
      ++size_;
      return {value, true};
    }
    if (entry.key == key) return {entry.value, false};
  }
}

void NodePairIndex::place(const Entry& entry) {
  std::size_t mask = entries_.size() - 1;
  std::size_t at = mixed(entry.key) & mask;
  while (entries_[at].value != kEndMarker) at = (at + 1) & mask;
  entries_[at] = entry;
}

void NodePairIndex::grow() {
  std::vector<Entry> old = std::move(entries_);
  entries_.assign(old.empty() ? 64 : old.size() * 2, Entry{});
  for (const Entry& entry : old)
    if (entry.value != kEndMarker) place(entry);
}

}  // namespace tolva
