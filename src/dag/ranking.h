// Small helpers shared by the cobound and inbound rankings.
#pragma once

#include <compare>
#include <cstddef>
#include <vector>

namespace tolva {

// -1, 0 or 1 from a three-way comparison result or a compare() integer.
inline int three_way(std::strong_ordering order) { return order < 0 ? -1 : (order > 0 ? 1 : 0); }
inline int three_way(int order) { return order < 0 ? -1 : (order > 0 ? 1 : 0); }

// The best few entries seen so far, for the trace. A new entry goes before the
// first kept entry it ranks before (so equal entries keep arrival order); the
// entry pushed past the limit is dropped.
template <typename Entry>
class TopRanking {
 public:
  static constexpr std::size_t kLimit = 5;

  template <typename Compare>
  void offer(Entry entry, Compare compare) {
    auto at = entries_.begin();
    while (at != entries_.end() && compare(entry, *at) >= 0) ++at;
    entries_.insert(at, std::move(entry));
    if (entries_.size() > kLimit) entries_.pop_back();
  }

  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

}  // namespace tolva
