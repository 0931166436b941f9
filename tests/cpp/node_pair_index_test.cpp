#include "dot/node_pair_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>

namespace tolva {
namespace {

// Against a standard map: ordered pairs (a, b) and (b, a) are different,
// index 0 and large indices included, enough pairs to grow the table.
TEST(NodePairIndex, AgreesWithAStandardMap) {
  std::mt19937 random(5);
  std::map<std::pair<NodeIndex, NodeIndex>, std::uint32_t> expected;
  NodePairIndex index;
  for (std::uint32_t step = 0; step < 30000; ++step) {
    NodeIndex a = random() % 2 ? random() % 200 : 0xFFFFFFF0u + random() % 15;
    NodeIndex b = random() % 200;
    auto [known, is_new_expected] = expected.try_emplace({a, b}, step);
    auto [value, is_new] = index.try_add(a, b, step);
    ASSERT_EQ(is_new, is_new_expected) << a << "-" << b;
    ASSERT_EQ(value, known->second) << a << "-" << b;
  }
}

}  // namespace
}  // namespace tolva
