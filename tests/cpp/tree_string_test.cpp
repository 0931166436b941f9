#include "tree/tree_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"
#include "tree/tree_walk.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::graph_of;
using test_support::Nodes;

struct TreeCase {
  std::string name;
  Nodes nodes;
  std::vector<EdgeSpec> edges;
  std::string text;
  std::int32_t height;
  bool use_parent_modality = true;
  IdSet blocked = {};
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

const Nodes kRABC = {{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}};
const Nodes kRXY = {{"r", "R"}, {"x", "X"}, {"y", "Y"}};

INSTANTIATE_TEST_SUITE_P(
    TreeString, TreeStringOf,
    ::testing::Values(
        // r sees b before a; b comes first by height.
        TreeCase{"WorkedExample", kRABC, {{"r", "a"}, {"r", "b"}, {"a", "c", "2"}}, "(B:1, (C:2)A:1)R", 3},
        // b is entered first and takes a; a is written ()A (its other edge leads to
        // the entered r), and r still lists a, which it collected before a was entered.
        TreeCase{"Triangle", kRABC, {{"r", "a"}, {"r", "b"}, {"a", "b"}}, "(()A:1, (()A:1)B:1)R", 3},
        TreeCase{"RootAlone", {{"r", "R"}}, {}, "()R", 1},
        TreeCase{"SelfLoopMakesNoLeaf", kRABC, {{"r", "a"}, {"a", "a", "5"}, {"r", "r"}}, "(()A:1)R", 2},
        TreeCase{"BlockedNeighbourMakesNoLeaf", kRABC, {{"r", "a"}, {"a", "b"}, {"b", "c"}}, "(()A:1)R", 2,
                 true, {"b"}},
        TreeCase{"BlockedRootIsWalked", kRABC, {{"r", "a"}, {"a", "b"}, {"d", "c"}}, "((B:1)A:1)R", 3, true, {"r"}},
        // r sees x before y: the modality key puts y first, the text key x.
        TreeCase{"ModalityKeyOn", kRXY, {{"r", "y", "1"}, {"r", "x", "2"}}, "(Y:1, X:2)R", 2},
        TreeCase{"ModalityKeyOff", kRXY, {{"r", "y", "1"}, {"r", "x", "2"}}, "(X:2, Y:1)R", 2, false},
        TreeCase{"ModalityComparesBytewise", kRXY, {{"r", "x", "10"}, {"r", "y", "9"}}, "(X:10, Y:9)R", 2},
        TreeCase{"HeightBeforeModality", kRABC, {{"r", "a"}, {"a", "c"}, {"r", "b", "9"}}, "(B:9, (C:1)A:1)R", 3},
        // Unsigned bytes, a proper prefix first.
        TreeCase{"TextComparesUnsignedBytes", {{"r", "R"}, {"x", "\xc3\xa9"}, {"y", "AB"}, {"z", "A"}},
                 {{"r", "x"}, {"r", "y"}, {"r", "z"}}, "(A:1, AB:1, \xc3\xa9:1)R", 2},
        // Without the modality key, equal texts keep r's neighbour order (newest edge first).
        TreeCase{"EqualChildrenKeepNeighbourOrder", {{"r", "R"}, {"x", "L"}, {"y", "L"}},
                 {{"r", "x", "1"}, {"r", "y", "2"}}, "(L:2, L:1)R", 2, false},
        // Both links take the modality of the first edge in the neighbour order (the newest).
        TreeCase{"ParallelEdgesGiveTwoLinks", kRABC, {{"r", "a", "1"}, {"r", "a", "2"}}, "(()A:2, ()A:2)R", 2},
        TreeCase{"ParallelEdgesBelowTheRoot", kRABC, {{"r", "a"}, {"a", "b", "7"}, {"b", "a", "3"}},
                 "((()B:7, ()B:7)A:1)R", 3}),
    [](const auto& info) { return info.param.name; });

TEST(TreeString, MirrorAndVirtualNodesUseTheirFormattedLabels) {
  GraphWrap graph;
  graph.ensure_node("r", "R");
  graph.add_node_with_meta("m", "C", NodeMeta{.mirror_count = 2, .origin_key = "_k_", .is_mirror = true});
  NodeIndex v = graph.add_node_with_meta("v", "", NodeMeta{.origin_key = "sig", .is_virtual = true});
  graph.add_edge_with_modality("r", "m", "1");
  graph.add_edge_custom(*graph.find("r"), v, EdgeData{"", "2"});  // keeps the empty label
  graph.add_edge_with_modality("m", "c", "1");
  graph.node(*graph.find("c"))->label = "D";
  auto tree = to_tree_string_with_depth_order(graph, "r", IdSet{}, true);
  ASSERT_TRUE(tree.has_value()) << tree.error();
  EXPECT_EQ(tree->text, "(*{sig}:2, (D:1)C#2{_k_}:1)R");
}

TEST(TreeString, FormatLabel) {
  struct Case {
    NodeMeta meta;
    std::string label, expected;
  };
  for (const Case& c : std::vector<Case>{
           {NodeMeta{.mirror_count = 3, .origin_key = "k"}, "C", "C"},
           {NodeMeta{.mirror_count = UINT64_MAX, .origin_key = "_ab_", .is_mirror = true}, "C",
            "C#18446744073709551615{_ab_}"},
           {NodeMeta{.is_mirror = true}, "C", "C#0{}"},
           {NodeMeta{.origin_key = "sig", .is_virtual = true}, "", "*{sig}"},
           {NodeMeta{.mirror_count = 4, .is_virtual = true}, "V", "V*{}"},
           {NodeMeta{.mirror_count = 1, .origin_key = "k", .is_mirror = true, .is_virtual = true}, "C", "C#1{k}"}})
    EXPECT_EQ(format_label(NodeData{c.meta, "id", c.label}), c.expected);
}

TEST(TreeString, UnknownRootFails) {
  GraphWrap graph = graph_of(kRABC, {{"r", "a"}});
  ASSERT_TRUE(graph.remove_node("a"));
  for (const char* root : {"q", "a"}) {
    auto tree = to_tree_string_with_depth_order(graph, root, IdSet{}, true);
    ASSERT_FALSE(tree.has_value());
    EXPECT_EQ(tree.error(), "unknown root id '" + std::string(root) + "'");
  }
}

}  // namespace
}  // namespace tolva
