// A path of a million nodes walked from one end: every walk (floors, tree
// string, node order, magnet) must use explicit stacks, and the shared
// subtree texts must be written and released without recursing once per level.
#include <gtest/gtest.h>

#include <string>

#include "dag/magnet.h"
#include "dag/md5_digest.h"
#include "graph/floors.h"
#include "tree/tree_node_order.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

constexpr std::size_t kLength = 1'000'000;

std::string node_id(std::size_t i) { return "n" + std::to_string(i); }

// n0 - n1 - ... - n(kLength-1), every node labelled "L", every edge modality "1".
// Seen from n0 the text is "(" * (kLength-1) + "L" + (":1)L" * (kLength-1)).
class DeepPath : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    graph_ = new GraphWrap;
    for (std::size_t i = 0; i < kLength; ++i) graph_->ensure_node(node_id(i), "L");
    for (std::size_t i = 0; i + 1 < kLength; ++i) graph_->add_edge_with_modality(node_id(i), node_id(i + 1), "1");
  }
  static void TearDownTestSuite() { delete graph_; }
  static GraphWrap* graph_;
};
GraphWrap* DeepPath::graph_ = nullptr;

TEST_F(DeepPath, FloorsGiveOneNodePerFloor) {
  auto floors = compute_floors(*graph_, "n0", IdSet{});
  ASSERT_TRUE(floors.has_value()) << floors.error();
  ASSERT_EQ(floors->size(), kLength);
  EXPECT_EQ(graph_->node(floors->back().at(0))->id, node_id(kLength - 1));
}

TEST_F(DeepPath, TreeStringNestsEveryNode) {
  auto tree = to_tree_string_with_depth_order(*graph_, "n0", IdSet{}, true);
  ASSERT_TRUE(tree.has_value()) << tree.error();
  EXPECT_EQ(tree->height, static_cast<std::int32_t>(kLength));
  const std::size_t opens = kLength - 1;
  ASSERT_EQ(tree->text.size(), opens + 1 + 4 * opens);
  EXPECT_EQ(tree->text.find_first_not_of('('), opens);
  EXPECT_EQ(tree->text.rfind('('), opens - 1);
  EXPECT_EQ(tree->text.substr(opens, 9), "L:1)L:1)L");
}

TEST_F(DeepPath, NodeOrderFollowsThePath) {
  auto order = to_tree_node_order(*graph_, "n0", IdSet{});
  ASSERT_TRUE(order.has_value()) << order.error();
  ASSERT_EQ(order->size(), kLength);
  EXPECT_EQ((*order)[kLength / 2], node_id(kLength / 2));
  EXPECT_EQ(order->back(), node_id(kLength - 1));
}

// The hashed magnet streams the unwritten text into MD5; it must agree with the
// digest of the written text.
TEST_F(DeepPath, MagnetOfTheFirstNodeCoversThePath) {
  ASSERT_TRUE(compute_floors(*graph_, "n0", IdSet{}).has_value());
  NodeIndex first = *graph_->find("n0");
  auto plain = get_magnet(*graph_, first, false);
  ASSERT_TRUE(plain.has_value()) << plain.error().display();
  EXPECT_EQ(plain->size(), 2 + (kLength - 1) * 5 + 1);
  EXPECT_EQ(plain->substr(plain->size() - 5), ":1)L_");
  auto hashed = get_magnet(*graph_, first, true);
  ASSERT_TRUE(hashed.has_value()) << hashed.error().display();
  EXPECT_EQ(*hashed, "_" + hex_digest(*md5_digest(*plain)) + "_");
}

}  // namespace
}  // namespace tolva
