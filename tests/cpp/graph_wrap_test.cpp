#include "graph/graph_wrap.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::Ids;

Ids neighbor_ids(const GraphWrap& g, std::string_view id) {
  Ids out;
  for (NodeIndex n : g.neighbors(*g.find(id))) out.push_back(g.node(n)->id);
  return out;
}

TEST(GraphWrap, FirstNonEmptyLabelStaysAndEdgesGiveBareEndpointsADot) {
  GraphWrap g;
  NodeIndex a = g.ensure_node("a", "");
  EXPECT_EQ(g.ensure_node("a", "A"), a);
  EXPECT_EQ(g.add_node_with_meta("a", "X", NodeMeta{.is_mirror = true}), a);
  EXPECT_EQ(g.node(a)->label, "A");
  EXPECT_FALSE(g.node(a)->meta.is_mirror);
  g.ensure_node("b", "");
  g.add_edge_with_modality("b", "c", "1");
  EXPECT_EQ(test_support::node_named(g, "b").label + test_support::node_named(g, "c").label, "..");
}

TEST(GraphWrap, AddEdgeCustomAlwaysAdvancesTheCounter) {
  GraphWrap g;
  for (int i = 0; i < 4; ++i) g.add_edge_with_modality("a", "b", "1");
  NodeIndex a = *g.find("a"), b = *g.find("b");
  EXPECT_EQ(g.edge(g.add_edge_custom(a, b, EdgeData{"", "m"}))->id, "e5");
  EXPECT_EQ(g.edge(g.add_edge_custom(a, b, EdgeData{"mine", "m"}))->id, "mine");
  EXPECT_EQ(g.edge(g.add_edge_custom(a, b, EdgeData{"", "m"}))->id, "e7");
}

// Newest first-endpoint edges first, then the second-endpoint edges; a self-loop once.
TEST(GraphWrap, VisitingOrder) {
  GraphWrap g = test_support::graph_of({}, {{"a", "b"}, {"a", "c"}, {"d", "a"}});
  EXPECT_EQ(neighbor_ids(g, "a"), (Ids{"c", "b", "d"}));
  EXPECT_EQ(test_support::edges_of(g, "a")[2], std::make_tuple("e3", "d", "1"));
  g.add_edge_with_modality("c", "c", "x");
  EXPECT_EQ(neighbor_ids(g, "c"), (Ids{"c", "a"}));
  EXPECT_EQ(g.degree(*g.find("c")), 2u);
}

TEST(GraphWrap, FreedSlotsAreReusedLastFreedFirst) {
  GraphWrap g;
  for (const char* id : {"n0", "n1", "n2", "n3", "n4"}) g.ensure_node(id, ".");
  ASSERT_TRUE(g.remove_node("n1") && g.remove_node("n3"));
  EXPECT_EQ(g.ensure_node("x", "."), 3u);
  EXPECT_EQ(g.ensure_node("y", "."), 1u);
  EXPECT_EQ(g.ensure_node("z", "."), 5u);

  for (int i = 0; i < 4; ++i) g.add_edge_with_modality("a", "b", std::to_string(i));
  ASSERT_TRUE(g.remove_edge(0) && g.remove_edge(2));
  EXPECT_FALSE(g.remove_edge(2) || g.remove_edge(99));
  NodeIndex a = *g.find("a"), b = *g.find("b");
  EXPECT_EQ(g.add_edge_custom(a, b, EdgeData{}), 2u);
  EXPECT_EQ(g.add_edge_custom(a, b, EdgeData{}), 0u);
  EXPECT_EQ(g.add_edge_custom(a, b, EdgeData{}), 4u);
}

TEST(GraphWrap, RemovalKeepsTheOtherListsAndTheirOrder) {
  GraphWrap g = test_support::graph_of({}, {{"a", "b"}, {"c", "a"}, {"a", "a"}, {"b", "c"}, {"b", "d"}, {"b", "e"}});
  EXPECT_FALSE(g.remove_node("zz"));
  ASSERT_TRUE(g.remove_node("a"));
  EXPECT_EQ(g.edge_count(), 3u);
  EXPECT_FALSE(g.find("a").has_value());
  EXPECT_EQ(neighbor_ids(g, "c"), Ids{"b"});
  ASSERT_TRUE(g.remove_edge(4).has_value());  // b-d, in the middle of b's list
  EXPECT_EQ(neighbor_ids(g, "b"), (Ids{"e", "c"}));
}

TEST(GraphWrap, CopyKeepsIndicesAndFreeLists) {
  GraphWrap g = test_support::graph_of({{"n0", "."}, {"n1", "."}, {"n2", "."}, {"n3", "."}}, {{"n0", "n2"}, {"n2", "n3"}});
  g.remove_node("n1");
  g.remove_edge(0);
  GraphWrap copy = g;
  EXPECT_EQ(*copy.find("n3"), 3u);
  EXPECT_EQ(copy.node_indices(), g.node_indices());
  EXPECT_EQ(copy.edge_indices(), g.edge_indices());
  EXPECT_EQ(copy.ensure_node("new", "."), 1u);
  EXPECT_EQ(copy.add_edge_with_modality("n0", "n3", "1"), 0u);
  EXPECT_EQ(copy.edge(0)->id, "e3");
  EXPECT_FALSE(g.find("new").has_value());
  EXPECT_EQ(g.edge_count(), 1u);
}

}  // namespace
}  // namespace tolva
