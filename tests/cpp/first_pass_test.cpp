#include "canonize/first_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolva {
namespace {

using Ids = std::vector<std::string>;

// Records are (id, height, tree string).
TEST(FirstPassWinners, TallestThenGreatestStringWithTiesKept) {
  EXPECT_EQ(pick_first_pass_winners({}), Ids{});
  EXPECT_EQ(pick_first_pass_winners({{"a", 2, "z"}, {"b", 3, "a"}, {"c", 1, "zz"}}), Ids{"b"});
  EXPECT_EQ(pick_first_pass_winners({{"a", 2, "ab"}, {"b", 2, "a"}}), Ids{"a"});
  EXPECT_EQ(pick_first_pass_winners({{"a", 2, "x"}, {"b", 2, "x"}, {"c", 2, "w"}, {"d", 2, "x"}}),
            (Ids{"a", "b", "d"}));
  // A taller record resets the ties; bytes compare unsigned.
  EXPECT_EQ(pick_first_pass_winners({{"a", 1, "x"}, {"b", 1, "x"}, {"c", 2, "\xc3"}, {"d", 2, "z"}}), Ids{"c"});
}

}  // namespace
}  // namespace tolva
