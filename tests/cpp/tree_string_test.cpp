#include "tree/tree_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tree/tree_walk.h"

namespace tolva {
namespace {

struct Node {
  std::string id;
  std::string label;
};
struct Edge {
  std::string a;
  std::string b;
  std::string modality;
};

// Nodes first (in the given order), then edges in the given order.
GraphWrap graph_of(const std::vector<Node>& nodes, const std::vector<Edge>& edges) {
  GraphWrap graph;
  for (const Node& node : nodes) graph.ensure_node(node.id, node.label);
  for (const Edge& edge : edges) graph.add_edge_with_modality(edge.a, edge.b, edge.modality);
  return graph;
}

struct TreeCase {
  std::string name;
  std::vector<Node> nodes;
  std::vector<Edge> edges;
  IdSet blocked;
  bool use_parent_modality;
  std::string text;
  std::int32_t height;
};

class TreeStringOf : public ::testing::TestWithParam<TreeCase> {};

TEST_P(TreeStringOf, WritesTheTreeFromR) {
  const TreeCase& c = GetParam();
  GraphWrap graph = graph_of(c.nodes, c.edges);
  auto tree = to_tree_string_with_depth_order(graph, "r", c.blocked, c.use_parent_modality);
  ASSERT_TRUE(tree.has_value()) << tree.error();
  EXPECT_EQ(tree->text, c.text);
  EXPECT_EQ(tree->height, c.height);
}

const std::vector<Node> kRABC = {{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}};

INSTANTIATE_TEST_SUITE_P(
    TreeString, TreeStringOf,
    ::testing::Values(
        // r sees b before a; b comes first by height.
        TreeCase{"WorkedExample", kRABC, {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "c", "2"}}, {},
                 true, "(B:1, (C:2)A:1)R", 3},
        // b is entered first and takes a; a is written ()A (its other edge leads to
        // the entered r), and r still lists a, which it collected before a was entered.
        TreeCase{"Triangle", kRABC, {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "b", "1"}}, {}, true,
                 "(()A:1, (()A:1)B:1)R", 3},
        TreeCase{"RootAlone", {{"r", "R"}}, {}, {}, true, "()R", 1},
        TreeCase{"RootWithOneNeighbourKeepsParentheses", kRABC, {{"r", "a", "m"}}, {}, true,
                 "(A:m)R", 2},
        TreeCase{"SelfLoopMakesTwoEdges", kRABC, {{"r", "a", "1"}, {"a", "a", "5"}}, {}, true,
                 "(()A:1)R", 2},
        TreeCase{"RootSelfLoopIsNoChild", kRABC, {{"r", "r", "1"}}, {}, true, "()R", 1},
        TreeCase{"BlockedNeighbourStillCountsAsAnEdge", kRABC,
                 {{"r", "a", "1"}, {"a", "b", "1"}, {"b", "c", "1"}}, {"b"}, true, "(()A:1)R", 2},
        TreeCase{"BlockedRootIsWalked", kRABC, {{"r", "a", "1"}, {"a", "b", "1"}}, {"r"}, true,
                 "((B:1)A:1)R", 3},
        TreeCase{"BlockedRootAndChild", kRABC, {{"r", "a", "1"}, {"r", "b", "1"}}, {"r", "a"},
                 true, "(B:1)R", 2},
        TreeCase{"UnreachableNodesAreLeftOut", kRABC, {{"r", "a", "1"}, {"b", "c", "1"}}, {}, true,
                 "(A:1)R", 2},
        // r sees x (ordinal 0) before y: the modality key puts y first, the text key x.
        TreeCase{"ModalityKeyOn", {{"r", "R"}, {"x", "X"}, {"y", "Y"}},
                 {{"r", "y", "1"}, {"r", "x", "2"}}, {}, true, "(Y:1, X:2)R", 2},
        TreeCase{"ModalityKeyOff", {{"r", "R"}, {"x", "X"}, {"y", "Y"}},
                 {{"r", "y", "1"}, {"r", "x", "2"}}, {}, false, "(X:2, Y:1)R", 2},
        TreeCase{"HeightBeforeModality", kRABC,
                 {{"r", "a", "1"}, {"a", "c", "1"}, {"r", "b", "9"}}, {}, true,
                 "(B:9, (C:1)A:1)R", 3},
        TreeCase{"ModalityComparesBytewise", {{"r", "R"}, {"x", "X"}, {"y", "Y"}},
                 {{"r", "x", "10"}, {"r", "y", "9"}}, {}, true, "(X:10, Y:9)R", 2},
        // Without the modality key, equal texts fall back to the neighbour order
        // (r sees y, then x).
        TreeCase{"EqualChildrenKeepNeighbourOrder", {{"r", "R"}, {"x", "L"}, {"y", "L"}},
                 {{"r", "x", "1"}, {"r", "y", "2"}}, {}, false, "(L:2, L:1)R", 2},
        TreeCase{"EqualChildrenKeepNeighbourOrderReversed", {{"r", "R"}, {"x", "L"}, {"y", "L"}},
                 {{"r", "y", "2"}, {"r", "x", "1"}}, {}, false, "(L:1, L:2)R", 2},
        TreeCase{"TextIsAProperPrefixFirst", {{"r", "R"}, {"x", "AB"}, {"y", "A"}},
                 {{"r", "y", "1"}, {"r", "x", "1"}}, {}, true, "(A:1, AB:1)R", 2},
        TreeCase{"TextComparesUnsignedBytes", {{"r", "R"}, {"x", "\xc3\xa9"}, {"y", "z"}},
                 {{"r", "y", "1"}, {"r", "x", "1"}}, {}, true, "(z:1, \xc3\xa9:1)R", 2},
        TreeCase{"LabelsAreNotEscaped", {{"r", "R#1"}, {"x", "a(b"}, {"y", "c,d:e)"}},
                 {{"r", "y", "1"}, {"r", "x", "1"}}, {}, true, "(a(b:1, c,d:e):1)R#1", 2},
        // Both links take the modality of the first edge in r's neighbour order (the newest).
        TreeCase{"ParallelEdgesGiveTwoLinks", kRABC, {{"r", "a", "1"}, {"r", "a", "2"}}, {}, true,
                 "(()A:2, ()A:2)R", 2},
        TreeCase{"ParallelEdgesBelowTheRoot", kRABC,
                 {{"r", "a", "1"}, {"a", "b", "7"}, {"b", "a", "3"}}, {}, true,
                 "((()B:7, ()B:7)A:1)R", 3}),
    [](const auto& info) { return info.param.name; });

TEST(TreeString, MirrorAndVirtualNodesUseTheirFormattedLabels) {
  GraphWrap graph;
  graph.ensure_node("r", "R");
  NodeMeta mirror;
  mirror.is_mirror = true;
  mirror.mirror_count = 2;
  mirror.origin_key = "_k_";
  graph.add_node_with_meta("m", "C", mirror);
  NodeMeta leaf;
  leaf.is_virtual = true;
  leaf.origin_key = "sig";
  NodeIndex v = graph.add_node_with_meta("v", "", leaf);
  graph.add_edge_with_modality("r", "m", "1");
  graph.add_edge_custom(*graph.find("r"), v, EdgeData{"", "2"});  // keeps the empty label
  graph.add_edge_with_modality("m", "c", "1");
  graph.node(*graph.find("c"))->label = "D";
  auto tree = to_tree_string_with_depth_order(graph, "r", IdSet{}, true);
  ASSERT_TRUE(tree.has_value()) << tree.error();
  EXPECT_EQ(tree->text, "(*{sig}:2, (D:1)C#2{_k_}:1)R");
}

struct LabelCase {
  std::string name;
  std::string label;
  bool is_mirror;
  bool is_virtual;
  std::optional<std::uint64_t> mirror_count;
  std::optional<std::string> origin_key;
  std::string expected;
};

class FormatLabel : public ::testing::TestWithParam<LabelCase> {};

TEST_P(FormatLabel, WritesTheNodeText) {
  const LabelCase& c = GetParam();
  NodeData node;
  node.label = c.label;
  node.meta.is_mirror = c.is_mirror;
  node.meta.is_virtual = c.is_virtual;
  node.meta.mirror_count = c.mirror_count;
  node.meta.origin_key = c.origin_key;
  EXPECT_EQ(format_label(node), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TreeString, FormatLabel,
    ::testing::Values(LabelCase{"Plain", "C", false, false, 3, "k", "C"},
                      LabelCase{"Mirror", "C", true, false, 12, "_ab_", "C#12{_ab_}"},
                      LabelCase{"MirrorWithoutCountOrOrigin", "C", true, false, {}, {}, "C#0{}"},
                      LabelCase{"Virtual", "", false, true, {}, "sig", "*{sig}"},
                      LabelCase{"VirtualWithoutOrigin", "V", false, true, 4, {}, "V*{}"},
                      LabelCase{"BothFlagsWriteAMirror", "C", true, true, 1, "k", "C#1{k}"},
                      LabelCase{"LargestCount", "C", true, false, UINT64_MAX, "",
                                "C#18446744073709551615{}"}),
    [](const auto& info) { return info.param.name; });

TEST(TreeString, UnknownRootFails) {
  GraphWrap empty;
  auto none = to_tree_string_with_depth_order(empty, "x", IdSet{}, true);
  ASSERT_FALSE(none.has_value());
  EXPECT_EQ(none.error(), "unknown root id 'x'");

  GraphWrap graph = graph_of(kRABC, {{"r", "a", "1"}});
  auto missing = to_tree_string_with_depth_order(graph, "q", IdSet{}, true);
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error(), "unknown root id 'q'");

  ASSERT_TRUE(graph.remove_node("a"));
  auto removed = to_tree_string_with_depth_order(graph, "a", IdSet{}, true);
  ASSERT_FALSE(removed.has_value());
  EXPECT_EQ(removed.error(), "unknown root id 'a'");
}

TEST(TreeString, TextFromASlotMatchesTheTextFromAnId) {
  GraphWrap graph = graph_of(kRABC, {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "c", "2"}});
  auto tree = tree_text_from(graph, *graph.find("a"), BlockedNodes{}, true);
  ASSERT_TRUE(tree.has_value()) << tree.error();
  EXPECT_EQ(tree->text.str(), "(C:2, (B:1)R:1)A");
  EXPECT_EQ(tree->height, 3);
  EXPECT_EQ(to_tree_string_with_depth_order(graph, "a", IdSet{}, true)->text, tree->text.str());
}

struct NodeStringCase {
  std::string name;
  std::string label;
  std::vector<BranchText> entries;
  std::string expected;
};

class BuildNodeString : public ::testing::TestWithParam<NodeStringCase> {};

TEST_P(BuildNodeString, JoinsEntriesAndAppendsTheLabel) {
  const NodeStringCase& c = GetParam();
  EXPECT_EQ(build_node_string(c.label, c.entries), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TreeString, BuildNodeString,
    ::testing::Values(NodeStringCase{"NoEntries", "L", {}, "()L"},
                      NodeStringCase{"NoEntriesNoLabel", "", {}, "()"},
                      NodeStringCase{"OneEntry", "L", {{"a", "1"}}, "(a:1)L"},
                      NodeStringCase{"ThreeEntries", "L", {{"a", "1"}, {"(b:2)B", "2"}, {"c", "x"}},
                                     "(a:1, (b:2)B:2, c:x)L"},
                      NodeStringCase{"EmptyTextAndModality", "", {{"", ""}, {"", ""}}, "(:, :)"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tolva
