#include "canonize/node_order.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"
#include "canonize/first_pass.h"

namespace tolva {
namespace {

// Every mode gives the order; allow_hashes changes none of the cases here.
void expect_order(const GraphWrap& graph, bool compact, const test_support::Ids& expected) {
  for (bool allow_hashes : {false, true}) {
    auto ids = canonical_node_order(graph, kDefaultCandidateRule, kDefaultBranchRule, allow_hashes, compact);
    ASSERT_TRUE(ids.has_value()) << ids.error().display();
    EXPECT_EQ(*ids, expected) << "allow_hashes " << allow_hashes << " compact " << compact;
  }
}

// The square r-a-c-b-r with a leaf d on c (e and f make r the root): c is
// split, and c and d are listed in both modes; in expanded mode the mirror
// reports c just before the copy of c would.
TEST(NodeOrder, SplitNodeIsListedInBothModes) {
  GraphWrap graph = test_support::graph_of(
      {}, {{"r", "a"}, {"a", "c"}, {"c", "b"}, {"b", "r"}, {"c", "d"}, {"r", "e"}, {"r", "f"}});
  expect_order(graph, false, {"r", "f", "e", "a", "c", "d", "b"});
  expect_order(graph, true, {"r", "f", "e", "a", "c", "b", "d"});
}

}  // namespace
}  // namespace tolva
