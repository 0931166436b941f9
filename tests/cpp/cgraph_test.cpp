#include "canonize/cgraph.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"
#include "canonize/first_pass.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::graph_of;
using test_support::Nodes;

struct ExampleCase {
  std::string name;
  Nodes nodes;
  std::vector<EdgeSpec> edges;
  std::string expected;
};

class CGraphExample : public ::testing::TestWithParam<ExampleCase> {};

// Trees come back as they are, so every option gives the same string.
TEST_P(CGraphExample, GivesTheSameStringUnderEveryOption) {
  const ExampleCase& c = GetParam();
  GraphWrap graph = graph_of(c.nodes, c.edges);
  for (int options = 0; options < 8; ++options) {
    auto text = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, options & 1, options & 2, options & 4);
    ASSERT_TRUE(text.has_value()) << text.error().display();
    EXPECT_EQ(*text, c.expected) << "options " << options;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Worked, CGraphExample,
    ::testing::Values(
        ExampleCase{"TwoNodesTheGreaterFirstPassStringWins", {{"a", "A"}, {"b", "B"}}, {{"a", "b", "m"}}, "(B:m)A"},
        ExampleCase{"TwoNodesOrderedTheOtherWay", {{"b", "B"}, {"a", "A"}}, {{"b", "a", "m"}}, "(B:m)A"},
        ExampleCase{"IsolatedNodesTheGreaterStringWins", {{"b", "B"}, {"a", "A"}}, {}, "()B"},
        ExampleCase{"TwoDisjointStarsAreOneStar",
                    {{"s", "S"}, {"a", "A"}, {"b", "B"}, {"c", "C"}, {"t", "S"}, {"x", "A"}, {"y", "B"}, {"z", "C"}},
                    {{"s", "a"}, {"s", "b"}, {"s", "c"}, {"t", "x"}, {"t", "y"}, {"t", "z"}}, "(A:1, B:1, C:1)S"},
        // Without m, h1's own tree is the taller one; with m, h2's would be.
        ExampleCase{"TwoHubsTheFirstPassLeavesTheMiddleOut",
                    {{"h1", "H"}, {"h2", "H"}, {"m", "M"}, {"a", "A"}, {"a2", "E"}, {"b", "B"}, {"c", "C"}, {"d", "D"}},
                    {{"h1", "a"}, {"h1", "b"}, {"h1", "m"}, {"h2", "m"}, {"h2", "c"}, {"h2", "d"}, {"a", "a2"}},
                    "(B:1, (E:1)A:1, ((C:1, D:1)H:1)M:1)H"},
        // Equal first-pass trees; the second pass keeps the smaller full tree.
        ExampleCase{"TwoHubsTheSecondPassKeepsTheSmallestString",
                    {{"h1", "H"}, {"h2", "H"}, {"m1", "P"}, {"m2", "Q"}, {"a", "A"}, {"b", "B"}, {"c", "A"}, {"d", "B"}},
                    {{"h1", "a"}, {"h1", "b"}, {"h1", "m1"}, {"m1", "m2"}, {"h2", "m2"}, {"h2", "c"}, {"h2", "d"}},
                    "(A:1, B:1, (((A:1, B:1)H:1)P:1)Q:1)H"}),
    [](const auto& info) { return info.param.name; });

TEST(CGraph, EmptyGraphAcceptsAnyRuleOthersOnlyTheExactDegreeRule) {
  for (const char* rule : {"$degree", "nonsense"}) EXPECT_EQ(to_cgraph(GraphWrap{}, rule, "", true, true, false), "");
  auto text = to_cgraph(graph_of({{"a", "A"}}, {}), "$degree ", kDefaultBranchRule, true, true, false);
  ASSERT_FALSE(text.has_value());
  EXPECT_EQ(text.error().display(), "unsupported: candidate rule '$degree ' not implemented");
}

}  // namespace
}  // namespace tolva
