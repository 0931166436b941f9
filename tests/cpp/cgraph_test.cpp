#include "canonize/cgraph.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "canon_test_support.h"
#include "canonize/first_pass.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::graph_of;
using Nodes = std::vector<std::pair<std::string, std::string>>;

std::string cgraph(const GraphWrap& graph, bool allow_hashes = true, bool compress = true, bool compact = false) {
  auto text = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, allow_hashes, compress, compact);
  EXPECT_TRUE(text.has_value()) << text.error().display();
  return text.value_or("<error>");
}

struct ExampleCase {
  std::string name;
  Nodes nodes;
  std::vector<EdgeSpec> edges;
  std::string expected;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const ExampleCase& c, std::ostream* os) { *os << c.name; }

class CGraphExample : public ::testing::TestWithParam<ExampleCase> {};

// Trees come back as they are, so every option gives the same string.
TEST_P(CGraphExample, GivesTheSameStringUnderEveryOption) {
  const ExampleCase& c = GetParam();
  GraphWrap graph = graph_of(c.nodes, c.edges);
  for (bool allow_hashes : {false, true})
    for (bool compress : {false, true})
      for (bool compact : {false, true})
        EXPECT_EQ(cgraph(graph, allow_hashes, compress, compact), c.expected)
            << allow_hashes << compress << compact;
}

INSTANTIATE_TEST_SUITE_P(
    Worked, CGraphExample,
    ::testing::Values(
        ExampleCase{"Star", {{"s", "S"}, {"a", "A"}, {"b", "B"}, {"c", "C"}},
                    {{"s", "a", "1"}, {"s", "b", "1"}, {"s", "c", "1"}}, "(A:1, B:1, C:1)S"},
        ExampleCase{"Path", {{"a", "A"}, {"b", "B"}, {"c", "C"}}, {{"a", "b", "1"}, {"b", "c", "1"}}, "(A:1, C:1)B"},
        ExampleCase{"TwoNodesTheGreaterFirstPassStringWins", {{"a", "A"}, {"b", "B"}}, {{"a", "b", "m"}}, "(B:m)A"},
        ExampleCase{"TwoNodesOrderedTheOtherWay", {{"b", "B"}, {"a", "A"}}, {{"b", "a", "m"}}, "(B:m)A"},
        ExampleCase{"TwoEqualNodes", {{"a", "A"}, {"b", "A"}}, {{"a", "b", "m"}}, "(A:m)A"},
        ExampleCase{"SingleNode", {{"a", "A"}}, {}, "()A"},
        ExampleCase{"IsolatedNodesTheGreaterStringWins", {{"b", "B"}, {"a", "A"}}, {}, "()B"},
        ExampleCase{"TwoDisjointStarsAreOneStar",
                    {{"s", "S"}, {"a", "A"}, {"b", "B"}, {"c", "C"}, {"t", "S"}, {"x", "A"}, {"y", "B"}, {"z", "C"}},
                    {{"s", "a", "1"}, {"s", "b", "1"}, {"s", "c", "1"}, {"t", "x", "1"}, {"t", "y", "1"}, {"t", "z", "1"}},
                    "(A:1, B:1, C:1)S"},
        ExampleCase{"TwoHubsTheContestedMiddleIsWrittenInTheEnd",
                    {{"h1", "H"}, {"h2", "H"}, {"m", "M"}, {"a", "A"}, {"b", "B"}, {"c", "C"}, {"d", "D"}},
                    {{"h1", "a", "1"}, {"h1", "b", "1"}, {"h1", "m", "1"}, {"h2", "m", "1"}, {"h2", "c", "1"}, {"h2", "d", "1"}},
                    "(C:1, D:1, ((A:1, B:1)H:1)M:1)H"},
        // Without m, h1's own tree is the taller one; with m, h2's would be.
        ExampleCase{"TwoHubsTheFirstPassLeavesTheMiddleOut",
                    {{"h1", "H"}, {"h2", "H"}, {"m", "M"}, {"a", "A"}, {"a2", "E"}, {"b", "B"}, {"c", "C"}, {"d", "D"}},
                    {{"h1", "a", "1"}, {"h1", "b", "1"}, {"h1", "m", "1"}, {"h2", "m", "1"}, {"h2", "c", "1"},
                     {"h2", "d", "1"}, {"a", "a2", "1"}},
                    "(B:1, (E:1)A:1, ((C:1, D:1)H:1)M:1)H"},
        // Equal first-pass trees; the second pass keeps the smaller full tree.
        ExampleCase{"TwoHubsTheSecondPassKeepsTheSmallestString",
                    {{"h1", "H"}, {"h2", "H"}, {"m1", "P"}, {"m2", "Q"}, {"a", "A"}, {"b", "B"}, {"c", "A"}, {"d", "B"}},
                    {{"h1", "a", "1"}, {"h1", "b", "1"}, {"h1", "m1", "1"}, {"m1", "m2", "1"}, {"h2", "m2", "1"},
                     {"h2", "c", "1"}, {"h2", "d", "1"}},
                    "(A:1, B:1, (((A:1, B:1)H:1)P:1)Q:1)H"},
        ExampleCase{"LabelledBraceIsNotAGroupWhenLeftOpen", {{"s", "S"}, {"a", "{"}, {"b", "B"}, {"c", "C"}},
                    {{"s", "a", "1"}, {"s", "b", "1"}, {"s", "c", "1"}}, "(B:1, C:1, {:1)S"}),
    [](const auto& info) { return info.param.name; });

TEST(CGraph, EmptyGraphGivesTheEmptyStringForAnyRule) {
  GraphWrap empty;
  for (const char* rule : {"$degree", "nonsense"})
    for (bool compress : {false, true}) {
      auto text = to_cgraph(empty, rule, "", true, compress, false);
      ASSERT_TRUE(text.has_value());
      EXPECT_EQ(*text, "");
    }
}

TEST(CGraph, UnknownCandidateRuleIsUnsupported) {
  GraphWrap graph = graph_of({{"a", "A"}}, {});
  auto text = to_cgraph(graph, "$degree ", kDefaultBranchRule, true, true, false);
  ASSERT_FALSE(text.has_value());
  EXPECT_EQ(text.error().display(), "unsupported: candidate rule '$degree ' not implemented");
}

TEST(CGraph, BranchRuleIsNotConsulted) {
  GraphWrap graph = graph_of({}, {{"r", "a", "1"}, {"a", "b", "2"}, {"b", "r", "3"}, {"r", "c", "1"}});
  std::string expected = cgraph(graph);
  for (const char* rule : {"", "$lexic", "nonsense"})
    EXPECT_EQ(*to_cgraph(graph, kDefaultCandidateRule, rule, true, true, false), expected);
}

// The square r-a-c-b-r below a leaf-heavy r: c is split into two mirrors.
GraphWrap square_graph() {
  return graph_of({{"r", "R"}, {"a", "A"}, {"c", "C"}, {"b", "B"}, {"l", "L"}},
                  {{"r", "a", "1"}, {"a", "c", "1"}, {"c", "b", "1"}, {"b", "r", "1"}, {"r", "l", "1"}});
}

TEST(CGraph, CompressionOnlyReplacesTheBracedTexts) {
  GraphWrap graph = square_graph();
  EXPECT_EQ(cgraph(graph, false, false, false), "(L:1, ((C:1).#2{_()C_}:1)A:1, ((C:1).#2{_()C_}:1)B:1)R");
  EXPECT_EQ(cgraph(graph, false, true, false), "(L:1, ((C:1).#2{$1}:1)A:1, ((C:1).#2{$1}:1)B:1)R");
  EXPECT_EQ(cgraph(graph, false, false, true), "(L:1, (C#2{_()C_}:1)A:1, (C#2{_()C_}:1)B:1)R");
}

TEST(CGraph, GeneratedIdsDoNotCaptureInputNodes) {
  // Leaves named like generated ids give the string that a plain leaf gives.
  const std::vector<EdgeSpec> triangle{{"r", "a", "1"}, {"r", "b", "1"}, {"a", "b", "1"}};
  const std::vector<EdgeSpec> square{{"r", "a", "1"}, {"a", "c", "1"}, {"c", "b", "1"}, {"b", "r", "1"}};
  for (const auto& [base, leaf] : std::vector<std::pair<std::vector<EdgeSpec>, std::string>>{
           {triangle, "*v0"}, {triangle, "*v1"}, {square, "#m0_0"}, {square, "c@#m0_0"}, {square, "#m0_1"}}) {
    std::vector<EdgeSpec> with_leaf = base, with_plain = base;
    with_leaf.push_back({"r", leaf, "1"});
    with_plain.push_back({"r", "zz", "1"});
    Nodes nodes{{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}};
    for (bool allow_hashes : {false, true})
      for (bool compact : {false, true})
        EXPECT_EQ(cgraph(graph_of(nodes, with_leaf), allow_hashes, false, compact),
                  cgraph(graph_of(nodes, with_plain), allow_hashes, false, compact))
            << leaf << allow_hashes << compact;
  }
}

TEST(CGraph, TheCallersGraphIsNotChanged) {
  GraphWrap graph = square_graph();
  cgraph(graph, true, true, true);
  cgraph(graph, false, false, false);
  EXPECT_EQ(graph.node_count(), 5u);
  EXPECT_EQ(graph.edge_count(), 5u);
  graph.for_each_node([](NodeIndex, const NodeData& node) {
    EXPECT_FALSE(node.meta.floor.has_value());
    EXPECT_TRUE(node.meta.reached_by.empty());
    EXPECT_FALSE(node.meta.magnet.has_value());
  });
}

}  // namespace
}  // namespace tolva
