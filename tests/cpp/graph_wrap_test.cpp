#include "graph/graph_wrap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::described;

// Newest first-endpoint edges first, then the second-endpoint edges; a
// self-loop once. Removals keep the order of what is left.
TEST(GraphWrap, VisitingOrder) {
  GraphWrap g = test_support::graph_of({}, {{"a", "b"}, {"a", "c"}, {"d", "a"}, {"c", "c", "x"}});
  EXPECT_EQ(described(g, "a"), ".@-: e2>c:1 e1>b:1 e3>d:1");
  EXPECT_EQ(described(g, "c"), ".@-: e4>c:x e2>a:1");
  EXPECT_EQ(g.degree(*g.find("c")), 2u);
  for (const char* id : {"e", "f", "g"}) g.add_edge_with_modality("a", id, "1");
  ASSERT_TRUE(g.remove_edge(5).has_value());  // a-f, in the middle of a's list
  ASSERT_TRUE(g.remove_node("c") && !g.remove_node("c"));
  EXPECT_EQ(described(g, "a"), ".@-: e7>g:1 e5>e:1 e1>b:1 e3>d:1");
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

// A reader's bulk path: nodes appended without their ids indexed are found
// once indexed, beside nodes added the usual way, and the index keeps growing
// afterwards.
TEST(GraphWrap, UnindexedNodesAreFoundOnceIndexed) {
  GraphWrap g;
  g.ensure_node("first", "F");
  std::vector<NodeIndex> appended;
  for (int i = 0; i < 3000; ++i) appended.push_back(g.append_unindexed_node("n" + std::to_string(i), "L"));
  EXPECT_FALSE(g.find("n5").has_value());
  g.index_ids_from(appended.front());
  EXPECT_EQ(g.find("first"), 0u);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(g.find("n" + std::to_string(i)), appended[i]);
  EXPECT_EQ(g.label(appended[7]), "L");
  NodeIndex later = g.ensure_node("later", ".");
  EXPECT_EQ(g.find("later"), later);
  EXPECT_EQ(g.ensure_node("n9", "."), appended[9]);
  EXPECT_EQ(g.node_count(), 3002u);
}

TEST(GraphWrap, CopyKeepsIndicesAndFreeLists) {
  GraphWrap g = test_support::graph_of({{"n0", "."}, {"n1", "."}, {"n2", "."}, {"n3", "."}},
                                       {{"n0", "n2"}, {"n2", "n3"}});
  g.remove_node("n1");
  g.remove_edge(0);
  GraphWrap copy = g;
  EXPECT_EQ(*copy.find("n3"), 3u);
  EXPECT_EQ(copy.node_indices(), g.node_indices());
  EXPECT_EQ(copy.edge_indices(), g.edge_indices());
  EXPECT_EQ(copy.ensure_node("new", "."), 1u);
  EXPECT_EQ(copy.add_edge_with_modality("n0", "n3", "1"), 0u);
  EXPECT_EQ(copy.edge_id(0), "e3");
  EXPECT_FALSE(g.find("new").has_value());
  EXPECT_EQ(g.edge_count(), 1u);
}

}  // namespace
}  // namespace tolva
