#include "graph/graph_wrap.h"

#include <gtest/gtest.h>

#include "graph/edge_list.h"

namespace tolva {
namespace {

std::vector<std::string> neighbor_ids(const GraphWrap& g, std::string_view id) {
  std::vector<std::string> out;
  for (NodeIndex n : g.neighbors(*g.find(id))) out.push_back(g.node(n)->id);
  return out;
}

TEST(GraphWrap, EnsureNodeKeepsFirstNonEmptyLabel) {
  GraphWrap g;
  NodeIndex a = g.ensure_node("a", "");
  EXPECT_EQ(g.ensure_node("a", "A"), a);
  EXPECT_EQ(g.ensure_node("a", "B"), a);
  EXPECT_EQ(g.node(a)->label, "A");
  EXPECT_EQ(g.node_count(), 1u);
}

TEST(GraphWrap, AddNodeWithMetaNeverChangesAnExistingNode) {
  GraphWrap g;
  NodeIndex a = g.ensure_node("a", "");
  NodeMeta meta;
  meta.is_mirror = true;
  EXPECT_EQ(g.add_node_with_meta("a", "X", meta), a);
  EXPECT_EQ(g.node(a)->label, "");
  EXPECT_FALSE(g.node(a)->meta.is_mirror);
}

TEST(GraphWrap, EdgesCreateEndpointsAndAreNamedByCounter) {
  GraphWrap g;
  EdgeIndex e1 = g.add_edge_with_modality("x", "y", "");
  EdgeIndex e2 = g.add_edge_with_modality("x", "y", "");
  EXPECT_EQ(g.edge(e1)->id, "e1");
  EXPECT_EQ(g.edge(e2)->id, "e2");
  EXPECT_EQ(g.node(*g.find("x"))->label, ".");
  EXPECT_EQ(g.node_count(), 2u);
  EXPECT_EQ(g.edge_count(), 2u);
  EXPECT_EQ(g.degree(*g.find("x")), 2u);
}

TEST(GraphWrap, EdgeToEmptyLabelledNodeGivesItADot) {
  GraphWrap g;
  g.ensure_node("a", "");
  g.add_edge_with_modality("a", "b", "1");
  EXPECT_EQ(g.node(*g.find("a"))->label, ".");
}

TEST(GraphWrap, AddEdgeCustomAlwaysAdvancesTheCounter) {
  GraphWrap g;
  for (int i = 0; i < 4; ++i) g.add_edge_with_modality("a", "b", "1");
  NodeIndex a = *g.find("a"), b = *g.find("b");
  EXPECT_EQ(g.edge(g.add_edge_custom(a, b, EdgeData{"", "m"}))->id, "e5");
  EXPECT_EQ(g.edge(g.add_edge_custom(a, b, EdgeData{"mine", "m"}))->id, "mine");
  EXPECT_EQ(g.edge(g.add_edge_custom(a, b, EdgeData{"", "m"}))->id, "e7");
}

TEST(GraphWrap, VisitsNewestFirstEndpointEdgesThenSecondEndpointEdges) {
  GraphWrap g;
  g.add_edge_with_modality("a", "b", "1");
  g.add_edge_with_modality("a", "c", "1");
  g.add_edge_with_modality("d", "a", "1");
  EXPECT_EQ(neighbor_ids(g, "a"), (std::vector<std::string>{"c", "b", "d"}));
  auto incident = g.incident_edges(*g.find("a"));
  ASSERT_EQ(incident.size(), 3u);
  EXPECT_EQ(g.edge(incident[0].first)->id, "e2");
  EXPECT_EQ(g.edge(incident[2].first)->id, "e3");
}

TEST(GraphWrap, SelfLoopIsSeenOnce) {
  GraphWrap g;
  g.add_edge_with_modality("a", "a", "x");
  g.add_edge_with_modality("a", "b", "1");
  EXPECT_EQ(neighbor_ids(g, "a"), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(g.degree(*g.find("a")), 2u);
}

TEST(GraphWrap, FreedNodeSlotsAreReusedLastFreedFirst) {
  GraphWrap g;
  for (const char* id : {"n0", "n1", "n2", "n3", "n4"}) g.ensure_node(id, ".");
  ASSERT_TRUE(g.remove_node("n1"));
  ASSERT_TRUE(g.remove_node("n3"));
  EXPECT_EQ(g.ensure_node("x", "."), 3u);
  EXPECT_EQ(g.ensure_node("y", "."), 1u);
  EXPECT_EQ(g.ensure_node("z", "."), 5u);
}

TEST(GraphWrap, FreedEdgeSlotsAreReusedLastFreedFirst) {
  GraphWrap g;
  for (int i = 0; i < 4; ++i) g.add_edge_with_modality("a", "b", std::to_string(i));
  ASSERT_TRUE(g.remove_edge(0).has_value());
  ASSERT_TRUE(g.remove_edge(2).has_value());
  EXPECT_FALSE(g.remove_edge(2).has_value());
  EXPECT_FALSE(g.remove_edge(99).has_value());
  NodeIndex a = *g.find("a"), b = *g.find("b");
  EXPECT_EQ(g.add_edge_custom(a, b, EdgeData{}), 2u);
  EXPECT_EQ(g.add_edge_custom(a, b, EdgeData{}), 0u);
  EXPECT_EQ(g.add_edge_custom(a, b, EdgeData{}), 4u);
}

TEST(GraphWrap, RemovingANodeRemovesItsEdgesAndKeepsOtherListsIntact) {
  GraphWrap g;
  g.add_edge_with_modality("a", "b", "1");
  g.add_edge_with_modality("c", "a", "1");
  g.add_edge_with_modality("a", "a", "1");
  g.add_edge_with_modality("b", "c", "1");
  EXPECT_FALSE(g.remove_node("zz"));
  EXPECT_EQ(g.node_count(), 3u);
  ASSERT_TRUE(g.remove_node("a"));
  EXPECT_EQ(g.node_count(), 2u);
  EXPECT_EQ(g.edge_count(), 1u);
  EXPECT_FALSE(g.find("a").has_value());
  EXPECT_EQ(neighbor_ids(g, "b"), std::vector<std::string>{"c"});
  EXPECT_EQ(neighbor_ids(g, "c"), std::vector<std::string>{"b"});
}

TEST(GraphWrap, RemovingAnEdgeInTheMiddleOfAListKeepsTheOrder) {
  GraphWrap g;
  g.add_edge_with_modality("a", "b", "1");
  g.add_edge_with_modality("a", "c", "1");
  g.add_edge_with_modality("a", "d", "1");
  g.remove_edge(1);
  EXPECT_EQ(neighbor_ids(g, "a"), (std::vector<std::string>{"d", "b"}));
}

TEST(GraphWrap, CopyKeepsIndicesAndFreeLists) {
  GraphWrap g;
  for (const char* id : {"n0", "n1", "n2", "n3"}) g.ensure_node(id, ".");
  g.add_edge_with_modality("n0", "n2", "1");
  g.add_edge_with_modality("n2", "n3", "1");
  g.remove_node("n1");
  g.remove_edge(0);
  GraphWrap copy = g;
  EXPECT_EQ(*copy.find("n3"), 3u);
  EXPECT_EQ(copy.node_indices(), g.node_indices());
  EXPECT_EQ(copy.edge_indices(), g.edge_indices());
  EXPECT_EQ(copy.ensure_node("new", "."), 1u);
  EXPECT_EQ(copy.add_edge_with_modality("n0", "n3", "1"), 0u);
  EXPECT_EQ(copy.edge(0)->id, "e3");
  // The original is untouched by changes to the copy.
  EXPECT_FALSE(g.find("new").has_value());
  EXPECT_EQ(g.edge_count(), 1u);
}

TEST(GraphFromLists, ListedNodesComeFirstThenEdgeEndpointsInMentionOrder) {
  std::vector<NodeItem> nodes = {{"a", ""}, {"a", "A"}, {"z", "Z"}};
  std::vector<EdgeItem> edges = {{"q", "p", "1"}, {"a", "a", ""}, {"q", "p", "1"}};
  GraphWrap g = graph_from_lists(nodes, edges);
  std::vector<std::string> ids;
  for (NodeIndex n : g.node_indices()) ids.push_back(g.node(n)->id);
  EXPECT_EQ(ids, (std::vector<std::string>{"a", "z", "q", "p"}));
  EXPECT_EQ(g.node(*g.find("a"))->label, "A");
  EXPECT_EQ(g.edge_count(), 3u);
  EXPECT_EQ(g.edge(2)->id, "e3");
}

}  // namespace
}  // namespace tolva
