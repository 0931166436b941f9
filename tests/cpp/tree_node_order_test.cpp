#include "tree/tree_node_order.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tolva {
namespace {

using Ids = std::vector<std::string>;

struct Node {
  std::string id;
  std::string label;
  bool is_mirror = false;
  bool is_virtual = false;
  std::optional<std::string> source_id = {};
};
struct Edge {
  std::string a;
  std::string b;
  std::string modality = "1";
};

GraphWrap graph_of(const std::vector<Node>& nodes, const std::vector<Edge>& edges) {
  GraphWrap graph;
  for (const Node& node : nodes) {
    NodeMeta meta;
    meta.is_mirror = node.is_mirror;
    meta.is_virtual = node.is_virtual;
    meta.source_id = node.source_id;
    graph.add_node_with_meta(node.id, node.label, meta);
  }
  for (const Edge& edge : edges) graph.add_edge_with_modality(edge.a, edge.b, edge.modality);
  return graph;
}

struct OrderCase {
  std::string name;
  std::vector<Node> nodes;
  std::vector<Edge> edges;
  std::string root;
  IdSet blocked;
  Ids expected;
};

class TreeNodeOrderOf : public ::testing::TestWithParam<OrderCase> {};

TEST_P(TreeNodeOrderOf, ListsTheNodesInTreeStringOrder) {
  const OrderCase& c = GetParam();
  GraphWrap graph = graph_of(c.nodes, c.edges);
  auto order = to_tree_node_order(graph, c.root, c.blocked);
  ASSERT_TRUE(order.has_value()) << order.error();
  EXPECT_EQ(*order, c.expected);
}

const std::vector<Node> kRABC = {{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}};

INSTANTIATE_TEST_SUITE_P(
    TreeNodeOrder, TreeNodeOrderOf,
    ::testing::Values(
        // Tree string "(B:1, (C:2)A:1)R".
        OrderCase{"WorkedExample", kRABC, {{"r", "a"}, {"r", "b"}, {"a", "c", "2"}}, "r", {},
                  {"r", "b", "a", "c"}},
        // Tree string "(()A:1, (()A:1)B:1)R": a is read twice, reported once.
        OrderCase{"TriangleReportsTheSharedNodeOnce", kRABC,
                  {{"r", "a"}, {"r", "b"}, {"a", "b"}}, "r", {}, {"r", "a", "b"}},
        OrderCase{"RootAlone", {{"r", "R"}}, {}, "r", {}, {"r"}},
        OrderCase{"MirrorRootAloneReportsItsSource", {{"r", "R", true, false, "s"}}, {}, "r", {},
                  {"s"}},
        OrderCase{"VirtualRootAlone", {{"r", "R", false, true}}, {}, "r", {}, {}},
        // r sees x before y; the modality key (always on here) puts y first.
        OrderCase{"ChildOrderUsesTheModality", {{"r", "R"}, {"x", "X"}, {"y", "Y"}},
                  {{"r", "y", "1"}, {"r", "x", "2"}}, "r", {}, {"r", "y", "x"}},
        // Equal children in r's neighbour order: newest edge first.
        OrderCase{"EqualChildrenKeepNeighbourOrder",
                  {{"r", "R"}, {"x", "L"}, {"y", "L"}, {"z", "L"}},
                  {{"r", "x"}, {"r", "y"}, {"r", "z"}}, "r", {}, {"r", "z", "y", "x"}},
        // Input ids are reported whole, at signs included.
        OrderCase{"IdsWithAtSignsStayWhole", {{"r@x@y", "R"}, {"@a", "A"}}, {{"r@x@y", "@a"}},
                  "r@x@y", {}, {"r@x@y", "@a"}},
        // Two copies of c (and c itself) stand for one input node: one entry, at the first.
        OrderCase{"CopiesOfANodeGiveOneEntry",
                  {{"r", "R"},
                   {"c@#m0_0", "C", false, false, "c"},
                   {"c@#m1_0", "C", false, false, "c"},
                   {"c", "C"},
                   {"d", "DD"}},
                  {{"r", "c"}, {"r", "c@#m0_0"}, {"r", "c@#m1_0"}, {"r", "d"}}, "r", {},
                  {"r", "c", "d"}},
        // Tree string "((C:1)M#0{}:1, V*{}:1)R": the mirror reports the node it
        // stands for, the virtual leaf nothing, and the child below the mirror is read.
        OrderCase{"MirrorReportsItsSourceVirtualNothingAndTheirChildrenAreRead",
                  {{"r", "R"}, {"#m0_0", "M", true, false, "m"}, {"c", "C"}, {"v", "V", false, true}},
                  {{"r", "#m0_0"}, {"#m0_0", "c"}, {"r", "v"}}, "r", {}, {"r", "m", "c"}},
        OrderCase{"VirtualNodeWithChildren",
                  {{"r", "R"}, {"v", "V", false, true}, {"c", "C"}},
                  {{"r", "v"}, {"v", "c"}}, "r", {}, {"r", "c"}},
        OrderCase{"UnreachableNodesAreNotReported", kRABC, {{"r", "a"}, {"b", "c"}}, "r", {},
                  {"r", "a"}},
        OrderCase{"BlockedNodesAndWhatIsBehindThemAreNotReported", kRABC,
                  {{"r", "a"}, {"a", "c"}, {"r", "b"}}, "r", {"a"}, {"r", "b"}},
        OrderCase{"BlockedRootIsReported", kRABC, {{"r", "a"}}, "r", {"r"}, {"r", "a"}}),
    [](const auto& info) { return info.param.name; });

TEST(TreeNodeOrder, UnknownRootFails) {
  GraphWrap empty;
  auto none = to_tree_node_order(empty, "x", IdSet{});
  ASSERT_FALSE(none.has_value());
  EXPECT_EQ(none.error(), "unknown root id 'x'");

  GraphWrap graph = graph_of(kRABC, {{"r", "a"}});
  auto missing = to_tree_node_order(graph, "q", IdSet{});
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error(), "unknown root id 'q'");
}

}  // namespace
}  // namespace tolva
