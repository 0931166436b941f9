// A path of a million nodes walked from one end: the floors, the tree string
// and the node order must use explicit stacks, and the shared subtree texts
// must be written and released without recursing once per level.
#include <gtest/gtest.h>

#include <string>

#include "graph/floors.h"
#include "tree/tree_node_order.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

std::string node_id(std::size_t i) { return "n" + std::to_string(i); }

TEST(DeepPath, FloorsTreeStringAndNodeOrderWalkAMillionLevels) {
  // n0 - n1 - ... - n(length-1), every node labelled "L", every edge modality "1".
  constexpr std::size_t length = 1'000'000;
  GraphWrap graph;
  for (std::size_t i = 0; i < length; ++i) graph.ensure_node(node_id(i), "L");
  for (std::size_t i = 0; i + 1 < length; ++i) graph.add_edge_with_modality(node_id(i), node_id(i + 1), "1");

  auto floors = compute_floors(graph, "n0", IdSet{});
  ASSERT_TRUE(floors.has_value()) << floors.error();
  ASSERT_EQ(floors->size(), length);
  EXPECT_EQ(graph.id(floors->back()[0]), node_id(length - 1));

  // The text is "(" * (length-1) + "L" + (":1)L" * (length-1)).
  auto tree = to_tree_string_with_depth_order(graph, "n0", IdSet{}, true);
  ASSERT_TRUE(tree.has_value()) << tree.error();
  EXPECT_EQ(tree->height, static_cast<std::int32_t>(length));
  const std::size_t opens = length - 1;
  ASSERT_EQ(tree->text.size(), opens + 1 + 4 * opens);
  EXPECT_EQ(tree->text.find_first_not_of('('), opens);
  EXPECT_EQ(tree->text.rfind('('), opens - 1);
  EXPECT_EQ(tree->text.substr(opens, 9), "L:1)L:1)L");

  auto order = to_tree_node_order(graph, "n0", IdSet{});
  ASSERT_TRUE(order.has_value()) << order.error();
  ASSERT_EQ(order->size(), length);
  EXPECT_EQ((*order)[length / 2], node_id(length / 2));
  EXPECT_EQ(order->back(), node_id(length - 1));
}

}  // namespace
}  // namespace tolva
