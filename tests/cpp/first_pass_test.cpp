#include "canonize/first_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"

namespace tolva {
namespace {

using Ids = std::vector<std::string>;

TEST(FirstPassWinners, TallestThenGreatestStringWithTiesKept) {
  EXPECT_EQ(pick_first_pass_winners({}), Ids{});
  EXPECT_EQ(pick_first_pass_winners({{"a", 2, "z"}, {"b", 3, "a"}, {"c", 1, "zz"}}), Ids{"b"});
  EXPECT_EQ(pick_first_pass_winners({{"b", 2, "(A:1)B"}, {"a", 2, "(B:1)A"}}), Ids{"a"});
  EXPECT_EQ(pick_first_pass_winners({{"a", 2, "ab"}, {"b", 2, "a"}}), Ids{"a"});
  EXPECT_EQ(pick_first_pass_winners({{"a", 2, "x"}, {"b", 2, "x"}, {"c", 2, "w"}, {"d", 2, "x"}}),
            (Ids{"a", "b", "d"}));
  // A taller record resets the ties; bytes compare unsigned.
  EXPECT_EQ(pick_first_pass_winners({{"a", 1, "x"}, {"b", 1, "x"}, {"c", 2, "\xc3"}, {"d", 2, "z"}}), Ids{"c"});
  EXPECT_EQ(pick_first_pass_winners({{"a", -1, "x"}, {"b", -2, "z"}}), Ids{"a"});
}

TEST(FirstPassWinners, EqualStarsAreAllWinners) {
  GraphWrap graph = test_support::graph_of(
      {{"s", "S"}, {"t", "S"}, {"u", "T"}},
      {{"s", "a", "1"}, {"s", "b", "1"}, {"t", "x", "1"}, {"t", "y", "1"}, {"u", "p", "1"}, {"u", "q", "1"}});
  auto winners = first_pass_winners(graph, "$degree", false, true);
  ASSERT_TRUE(winners.has_value());
  EXPECT_EQ(*winners, (Ids{"u"}));
  GraphWrap twins = test_support::graph_of({{"s", "S"}, {"t", "S"}},
                                           {{"s", "a", "1"}, {"s", "b", "1"}, {"t", "x", "1"}, {"t", "y", "1"}});
  EXPECT_EQ(*first_pass_winners(twins, "$degree", true, false), (Ids{"s", "t"}));
}

}  // namespace
}  // namespace tolva
