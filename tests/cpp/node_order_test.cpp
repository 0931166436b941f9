#include "canonize/node_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"
#include "canonize/first_pass.h"

namespace tolva {
namespace {

using test_support::Ids;

Ids order(const GraphWrap& graph, bool allow_hashes, bool compact) {
  auto ids = canonical_node_order(graph, kDefaultCandidateRule, kDefaultBranchRule, allow_hashes, compact);
  EXPECT_TRUE(ids.has_value()) << ids.error().display();
  return ids.value_or(Ids{"<error>"});
}

TEST(NodeOrder, TwinStarsTheEarlierWinnerStays) {
  GraphWrap graph = test_support::graph_of({{"t", "S"}, {"x", "A"}, {"y", "B"}, {"s", "S"}, {"a", "A"}, {"b", "B"}},
                                           {{"s", "a"}, {"s", "b"}, {"t", "x"}, {"t", "y"}});
  for (bool allow_hashes : {false, true})
    for (bool compact : {false, true}) EXPECT_EQ(order(graph, allow_hashes, compact), (Ids{"t", "x", "y"}));
}

// c (split) and d (below it) are listed in both modes; in expanded mode the
// mirror reports c just before the copy of c would.
TEST(NodeOrder, SplitNodeIsListedInBothModes) {
  GraphWrap graph = test_support::graph_of(
      {}, {{"r", "a"}, {"a", "c"}, {"c", "b"}, {"b", "r"}, {"c", "d"}, {"r", "e"}, {"r", "f"}});
  for (bool allow_hashes : {false, true}) {
    EXPECT_EQ(order(graph, allow_hashes, false), (Ids{"r", "f", "e", "a", "c", "d", "b"}));
    EXPECT_EQ(order(graph, allow_hashes, true), (Ids{"r", "f", "e", "a", "c", "b", "d"}));
  }
}

}  // namespace
}  // namespace tolva
