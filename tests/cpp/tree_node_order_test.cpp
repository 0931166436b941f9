#include "tree/tree_node_order.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::Ids;
using test_support::Nodes;

struct OrderCase {
  std::string name;
  Nodes nodes;
  test_support::Edges edges;
  Ids expected;
  IdSet blocked = {};
};

class TreeNodeOrderOf : public ::testing::TestWithParam<OrderCase> {};

// Ids starting with "m" are mirrors standing for the id without the "m",
// ids starting with "v" virtual leaves.
TEST_P(TreeNodeOrderOf, ListsTheNodesInTreeStringOrder) {
  const OrderCase& c = GetParam();
  GraphWrap graph = test_support::graph_of(c.nodes, c.edges);
  for (const auto& [id, label] : c.nodes) {
    NodeIndex node = *graph.find(id);
    if (id[0] == 'm')
      graph.set_meta(node, NodeMeta{.is_mirror = true, .extra = {.source_id = graph.store_text(id.substr(1))}});
    if (id[0] == 'v') graph.set_meta(node, NodeMeta{.is_virtual = true});
  }
  auto order = to_tree_node_order(graph, "r", c.blocked);
  ASSERT_TRUE(order.has_value()) << order.error();
  EXPECT_EQ(*order, c.expected);
}

const Nodes kOrderRABC = {{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}};

INSTANTIATE_TEST_SUITE_P(
    TreeNodeOrder, TreeNodeOrderOf,
    ::testing::Values(
        // Tree string "(B:1, (C:2)A:1)R".
        OrderCase{"WorkedExample", kOrderRABC, {{"r", "a"}, {"r", "b"}, {"a", "c", "2"}}, {"r", "b", "a", "c"}},
        // Tree string "(()A:1, (()A:1)B:1)R": a is read twice, reported once.
        OrderCase{"TriangleReportsTheSharedNodeOnce", kOrderRABC, {{"r", "a"}, {"r", "b"}, {"a", "b"}},
                  {"r", "a", "b"}},
        // Tree string "(V*{}:1, (C:1)M#0{}:1, (D:1)W*{}:1)R": the mirror reports the
        // node it stands for, virtual leaves nothing; the children below both are read.
        OrderCase{"MirrorsReportTheirSourceVirtualLeavesNothing",
                  {{"r", "R"}, {"mq", "M"}, {"c", "C"}, {"v", "V"}, {"vw", "W"}, {"d", "D"}},
                  {{"r", "mq"}, {"mq", "c"}, {"r", "v"}, {"r", "vw"}, {"vw", "d"}}, {"r", "q", "c", "d"}},
        // Two mirrors of c (and c itself) stand for one input node: one entry, at the first.
        OrderCase{"CopiesOfANodeGiveOneEntry", {{"r", "R"}, {"mc", "C"}, {"c", "C"}, {"d", "DD"}},
                  {{"r", "c"}, {"r", "mc"}, {"r", "d"}}, {"r", "c", "d"}},
        OrderCase{"BlockedAndUnreachedNodesAreNotReported", kOrderRABC,
                  {{"r", "a"}, {"a", "c"}, {"r", "b"}, {"q", "z"}}, {"r", "b"}, {"a"}}),
    test_support::kCaseName);

}  // namespace
}  // namespace tolva
