#include "canonize/node_order.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "canon_test_support.h"
#include "canonize/cgraph.h"
#include "canonize/first_pass.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::graph_of;
using Ids = std::vector<std::string>;
using Nodes = std::vector<std::pair<std::string, std::string>>;

Ids order(const GraphWrap& graph, bool allow_hashes, bool compact) {
  auto ids = canonical_node_order(graph, kDefaultCandidateRule, kDefaultBranchRule, allow_hashes, compact);
  EXPECT_TRUE(ids.has_value()) << ids.error().display();
  return ids.value_or(Ids{"<error>"});
}

struct OrderCase {
  std::string name;
  Nodes nodes;
  std::vector<EdgeSpec> edges;
  Ids expanded;
  Ids compact;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

class NodeOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(NodeOrder, ListsTheReachedInputNodesInTheOrderOfTheString) {
  const OrderCase& c = GetParam();
  GraphWrap graph = graph_of(c.nodes, c.edges);
  for (bool allow_hashes : {false, true}) {
    EXPECT_EQ(order(graph, allow_hashes, false), c.expanded) << allow_hashes;
    EXPECT_EQ(order(graph, allow_hashes, true), c.compact) << allow_hashes;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeOrder,
    ::testing::Values(
        OrderCase{"Star", {{"s", "S"}, {"a", "A"}, {"b", "B"}, {"c", "C"}},
                  {{"s", "a", "1"}, {"s", "b", "1"}, {"s", "c", "1"}}, {"s", "a", "b", "c"}, {"s", "a", "b", "c"}},
        OrderCase{"Path", {{"a", "A"}, {"b", "B"}, {"c", "C"}}, {{"a", "b", "1"}, {"b", "c", "1"}},
                  {"b", "a", "c"}, {"b", "a", "c"}},
        OrderCase{"TwoNodes", {{"a", "A"}, {"b", "B"}}, {{"a", "b", "1"}}, {"a", "b"}, {"a", "b"}},
        OrderCase{"TwoEqualNodesTheEarlierWinnerStays", {{"b", "A"}, {"a", "A"}}, {{"a", "b", "1"}}, {"b", "a"}, {"b", "a"}},
        OrderCase{"TwinStarsTheEarlierWinnerStays",
                  {{"t", "S"}, {"x", "A"}, {"y", "B"}, {"s", "S"}, {"a", "A"}, {"b", "B"}},
                  {{"s", "a", "1"}, {"s", "b", "1"}, {"t", "x", "1"}, {"t", "y", "1"}}, {"t", "x", "y"}, {"t", "x", "y"}},
        OrderCase{"SecondPassOrderBelongsToTheSmallestString",
                  {{"h1", "H"}, {"h2", "H"}, {"m1", "P"}, {"m2", "Q"}, {"a", "A"}, {"b", "B"}, {"c", "A"}, {"d", "B"}},
                  {{"h1", "a", "1"}, {"h1", "b", "1"}, {"h1", "m1", "1"}, {"m1", "m2", "1"}, {"h2", "m2", "1"},
                   {"h2", "c", "1"}, {"h2", "d", "1"}},
                  {"h2", "c", "d", "m2", "m1", "h1", "a", "b"}, {"h2", "c", "d", "m2", "m1", "h1", "a", "b"}},
        OrderCase{"IdsWithAtSignsStayWhole",
                  {{"s", "S"}, {"x@1", "X"}, {"x@2", "X"}, {"@x", "Y"}, {"x", "Z"}},
                  {{"s", "x@1", "1"}, {"s", "x@2", "1"}, {"s", "@x", "1"}, {"s", "x", "1"}},
                  {"s", "x@2", "x@1", "@x", "x"}, {"s", "x@2", "x@1", "@x", "x"}},
        // c (split) and d (below it) are listed in both modes; in expanded
        // mode the mirror reports c just before the copy of c would.
        OrderCase{"SplitNodeIsListedInBothModes", {},
                  {{"r", "a", "1"}, {"a", "c", "1"}, {"c", "b", "1"}, {"b", "r", "1"}, {"c", "d", "1"},
                   {"r", "e", "1"}, {"r", "f", "1"}},
                  {"r", "f", "e", "a", "c", "d", "b"}, {"r", "f", "e", "a", "c", "b", "d"}},
        OrderCase{"SplitNodeWithAtSigns", {{"r", "R"}, {"a", "A"}, {"c@1", "C"}, {"b", "B"}, {"d@x", "D"}},
                  {{"r", "a", "1"}, {"a", "c@1", "1"}, {"c@1", "b", "1"}, {"b", "r", "1"}, {"c@1", "d@x", "1"}},
                  {"c@1", "d@x", "a", "r", "b"}, {"c@1", "d@x", "a", "r", "b"}},
        OrderCase{"LeavesNamedLikeGeneratedIds", {{"r", "R"}, {"a", "A"}, {"b", "B"}},
                  {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "b", "1"}, {"r", "*v0", "1"}, {"r", "*v1", "1"}},
                  {"r", "*v1", "*v0", "a", "b"}, {"r", "*v1", "*v0", "a", "b"}}),
    [](const auto& info) { return info.param.name; });

TEST(NodeOrder, EmptyGraphAndUnknownRule) {
  GraphWrap empty;
  auto none = canonical_node_order(empty, "nonsense", "", true, false);
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
  GraphWrap graph = graph_of({{"a", "A"}}, {});
  auto rejected = canonical_node_order(graph, "$degree ", kDefaultBranchRule, true, false);
  ASSERT_FALSE(rejected.has_value());
  EXPECT_EQ(rejected.error().display(), "unsupported: candidate rule '$degree ' not implemented");
}

TEST(NodeOrder, CallersGraphIsNotChanged) {
  GraphWrap graph = graph_of({}, {{"r", "a", "1"}, {"a", "c", "1"}, {"c", "b", "1"}, {"b", "r", "1"}, {"r", "e", "1"}});
  order(graph, true, true);
  order(graph, false, false);
  EXPECT_EQ(graph.node_count(), 5u);
  graph.for_each_node([](NodeIndex, const NodeData& node) {
    EXPECT_FALSE(node.meta.floor.has_value());
    EXPECT_TRUE(node.meta.reached_by.empty());
  });
}

}  // namespace
}  // namespace tolva
