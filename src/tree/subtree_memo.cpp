#include "tree/subtree_memo.h"

#include <algorithm>

namespace tolva {

void SubtreeMemo::make_room(NodeIndex node) {
  if (slots_.size() <= node) {
    std::size_t slots = std::max<std::size_t>(graph_->node_slot_count(), node + 1);
    slots_.resize(slots, kEndMarker);
    entries_.reserve(std::min<std::size_t>(slots, 256));
  }
}

void SubtreeMemo::remember_copy(NodeIndex original, NodeIndex copy) {
  const Entry* entry = find(original);
  if (entry == nullptr) return;
  make_room(copy);
  if (slots_[copy] != kEndMarker) return;
  slots_[copy] = slots_[original];
}

void SubtreeMemo::remember(NodeIndex node, std::string_view text, std::int32_t height) {
  if (text.size() > kLongestText || bytes_ + text.size() > kMostBytes) return;
  make_room(node);
  if (slots_[node] != kEndMarker) return;
  char* kept = texts_.chars(text.size());
  std::copy(text.begin(), text.end(), kept);
  bytes_ += text.size();
  slots_[node] = static_cast<std::uint32_t>(entries_.size());
  entries_.push_back(Entry{std::string_view(kept, text.size()), height});
}

}  // namespace tolva
