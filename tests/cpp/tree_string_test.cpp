#include "tree/tree_string.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"
#include "tree/tree_walk.h"

namespace tolva {
namespace {

using test_support::Nodes;

struct TreeCase {
  std::string name;
  Nodes nodes;
  test_support::Edges edges;
  std::string text;
  std::int32_t height;
  bool use_parent_modality = true;
};

class TreeStringOf : public ::testing::TestWithParam<TreeCase> {};

TEST_P(TreeStringOf, WritesTheTreeFromR) {
  const TreeCase& c = GetParam();
  GraphWrap graph = test_support::graph_of(c.nodes, c.edges);
  auto tree = to_tree_string_with_depth_order(graph, "r", IdSet{}, c.use_parent_modality);
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
        // r sees x before y: the modality key (bytewise, "10" < "9") puts y first, the text key x.
        TreeCase{"ModalityKeyOn", kRXY, {{"r", "y", "10"}, {"r", "x", "9"}}, "(Y:10, X:9)R", 2},
        TreeCase{"ModalityKeyOff", kRXY, {{"r", "y", "10"}, {"r", "x", "9"}}, "(X:9, Y:10)R", 2, false},
        // Unsigned bytes, a proper prefix first.
        TreeCase{"TextComparesUnsignedBytes", {{"r", "R"}, {"x", "\xc3\xa9"}, {"y", "AB"}, {"z", "A"}},
                 {{"r", "x"}, {"r", "y"}, {"r", "z"}}, "(A:1, AB:1, \xc3\xa9:1)R", 2},
        // Without the modality key, equal texts keep r's neighbour order (newest edge first).
        TreeCase{"EqualChildrenKeepNeighbourOrder", {{"r", "R"}, {"x", "L"}, {"y", "L"}},
                 {{"r", "x", "1"}, {"r", "y", "2"}}, "(L:2, L:1)R", 2, false},
        // Both links take the modality of the first edge in the neighbour order (the newest).
        TreeCase{"ParallelEdgesGiveTwoLinks", kRABC, {{"r", "a", "1"}, {"r", "a", "2"}}, "(()A:2, ()A:2)R",
                 2}),
    test_support::kCaseName);

TEST(TreeString, FormatLabelWritesMirrorAndVirtualTemplates) {
  auto format = [](NodeMeta meta, std::string label) {
    GraphWrap graph;
    return format_label(graph, graph.add_node_with_meta("id", label, meta));
  };
  EXPECT_EQ(format(NodeMeta{.extra = {.mirror_count = 3, .origin_key = "k"}}, "C"), "C");
  EXPECT_EQ(format(NodeMeta{.is_mirror = true, .extra = {.mirror_count = UINT64_MAX, .origin_key = "_ab_"}}, "C"),
            "C#18446744073709551615{_ab_}");
  EXPECT_EQ(format(NodeMeta{.is_virtual = true, .extra = {.origin_key = "sig"}}, ""), "*{sig}");
  EXPECT_EQ(format(NodeMeta{.is_virtual = true, .extra = {.mirror_count = 4}}, "V"), "V*{}");
}

}  // namespace
}  // namespace tolva
