#include "canonize/graph_components.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"
#include "canonize/cgraph.h"
#include "canonize/first_pass.h"
#include "canonize/key_escape.h"

namespace tolva {
namespace {

using test_support::graph_of;

std::vector<std::string> ids(const GraphWrap& graph, const std::vector<NodeIndex>& nodes) {
  std::vector<std::string> out;
  for (NodeIndex node : nodes) out.emplace_back(graph.id(node));
  return out;
}

TEST(GraphComponents, OrderedByFirstNodeWithIsolatedNodesAlone) {
  GraphWrap g = graph_of({{"z", "Z"}, {"a", "A"}}, {{"b", "c"}, {"a", "d"}, {"c", "e"}, {"d", "a"}});
  auto parts = connected_components(g);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(ids(g, parts[0].nodes), (std::vector<std::string>{"z"}));
  EXPECT_EQ(ids(g, parts[1].nodes), (std::vector<std::string>{"a", "d"}));
  EXPECT_EQ(ids(g, parts[2].nodes), (std::vector<std::string>{"b", "c", "e"}));
  EXPECT_EQ(parts[0].edges.size(), 0u);
  EXPECT_EQ(parts[1].edges.size(), 2u);  // the parallel pair a-d
  EXPECT_TRUE(connected_components(GraphWrap{}).empty());
}

// The copy of a connected graph canonises exactly as the graph itself, in
// every mode: same visiting order, ids and edge ids.
TEST(GraphComponents, CopyOfTheWholeGraphCanonisesAlike) {
  GraphWrap g = graph_of({{"r", "R"}}, {{"r", "a"}, {"a", "b"}, {"b", "r"}, {"b", "c", "2"}, {"c", "a"},
                                        {"c", "d"}, {"d", "r"}, {"d", "d"}});
  auto parts = connected_components(g);
  ASSERT_EQ(parts.size(), 1u);
  std::vector<NodeIndex> slots(g.node_slot_count(), kEndMarker);
  GraphWrap copy = component_graph(g, parts[0], nullptr, slots);
  EXPECT_EQ(copy.edge_indices().size(), g.edge_indices().size());
  for (int options = 0; options < 8; ++options) {
    auto whole = to_cgraph(g, kDefaultCandidateRule, kDefaultBranchRule, options & 1, options & 2, options & 4);
    auto part = to_cgraph(copy, kDefaultCandidateRule, kDefaultBranchRule, options & 1, options & 2, options & 4);
    ASSERT_TRUE(whole && part);
    EXPECT_EQ(*whole, *part) << "options " << options;
  }
}

TEST(GraphComponents, CopyRewritesTextsAndKeepsEmptyLabels) {
  GraphWrap g;
  g.ensure_node("x", "");
  g.ensure_node("y", "a b");
  g.add_edge_with_modality("x", "y", "m:1");  // x takes the label "."
  g.ensure_node("lone", "");
  auto parts = connected_components(g);
  std::vector<NodeIndex> slots(g.node_slot_count(), kEndMarker);
  GraphWrap first = component_graph(g, parts[0], append_escaped, slots);
  EXPECT_EQ(first.label(*first.find("y")), "a%20b");
  EXPECT_EQ(first.modality(first.edge_indices()[0]), "m%3A1");
  GraphWrap lone = component_graph(g, parts[1], append_escaped, slots);
  EXPECT_EQ(lone.label(*lone.find("lone")), "");
}

}  // namespace
}  // namespace tolva
