#include "graph/index_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <unordered_set>
#include <vector>

namespace tolva {
namespace {

// Distinct values spread over `range` slots from `smallest` on.
std::vector<std::uint32_t> distinct_values(std::mt19937& random, std::size_t count, std::uint32_t smallest,
                                           std::uint64_t range) {
  std::unordered_set<std::uint32_t> seen;
  std::uniform_int_distribution<std::uint64_t> offset(0, range - 1);
  while (seen.size() < count) seen.insert(static_cast<std::uint32_t>(smallest + offset(random)));
  std::vector<std::uint32_t> values(seen.begin(), seen.end());
  std::shuffle(values.begin(), values.end(), random);
  return values;
}

// Lists on both sides of the length threshold, dense in their range (the
// bitmap) and sparse (one to three counting passes), starting anywhere up to
// the largest index, shuffled, sorted or reversed, one room for all: the
// result is std::sort's, and no bit left in the room leaks into the next sort.
TEST(IndexSort, SortsAsStdSort) {
  std::mt19937 random(11);
  IndexSortRoom room;
  for (std::size_t size : {0u, 1u, 2047u, 2048u, 5000u, 70000u}) {
    for (std::uint64_t spread : {1u, 2u, 128u, 129u, 4096u, 1u << 20}) {
      for (std::uint32_t smallest : {0u, 63u, 1u << 22, 0xFFFFFFFFu - 0x7FFFFFFFu}) {
        std::uint64_t range = std::min<std::uint64_t>(std::max<std::uint64_t>(size * spread, 1), 0x7FFFFFFFu);
        std::vector<std::uint32_t> values = distinct_values(random, size, smallest, range);
        int shape = random() % 3;
        if (shape == 1) std::sort(values.begin(), values.end());
        if (shape == 2) std::sort(values.rbegin(), values.rend());
        std::vector<std::uint32_t> expected = values;
        std::sort(expected.begin(), expected.end());
        sort_distinct_indices(values, room);
        ASSERT_EQ(values, expected) << size << " values over " << range << " from " << smallest;
      }
    }
  }
  EXPECT_TRUE(std::all_of(room.bits.begin(), room.bits.end(), [](std::uint64_t word) { return word == 0; }));
}

}  // namespace
}  // namespace tolva
