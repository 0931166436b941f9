#include "graph/index_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace tolva {
namespace {

// Lists on both sides of the radix threshold, with small and full-width keys
// (one to three counting passes), repeats and already sorted or reversed
// runs: the result is std::sort's, and the scratch left over does not leak
// into the next sort.
TEST(IndexSort, SortsAsStdSort) {
  std::mt19937 random(11);
  std::vector<std::uint32_t> scratch;
  for (std::size_t size : {0u, 1u, 2047u, 2048u, 5000u, 70000u}) {
    for (std::uint32_t largest : {1u, 2047u, 2048u, 1u << 22, 0xFFFFFFFFu}) {
      for (int shape = 0; shape < 3; ++shape) {
        std::uniform_int_distribution<std::uint32_t> key(0, largest);
        std::vector<std::uint32_t> values(size);
        for (std::uint32_t& value : values) value = key(random);
        if (shape == 1) std::sort(values.begin(), values.end());
        if (shape == 2) std::sort(values.rbegin(), values.rend());
        std::vector<std::uint32_t> expected = values;
        std::sort(expected.begin(), expected.end());
        sort_indices(values, scratch);
        ASSERT_EQ(values, expected) << size << " values up to " << largest << ", shape " << shape;
      }
    }
  }
}

}  // namespace
}  // namespace tolva
