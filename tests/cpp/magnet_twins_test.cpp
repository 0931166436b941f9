#include "dag/magnet_twins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "canon_test_support.h"
#include "dag/magnet.h"
#include "graph/floors.h"

namespace tolva {
namespace {

// The magnet of `node` walked afresh, in a copy of the graph without caches.
std::string fresh_magnet(const GraphWrap& graph, NodeIndex node, bool allow_hashes) {
  GraphWrap copy = graph;
  CallControls controls;
  RewriteScratch scratch;
  RewriteContext context(controls, scratch);
  auto magnet = get_magnet(copy, node, allow_hashes, context);
  return magnet ? std::string(*magnet) : "error: " + magnet.error().display();
}

// A random multigraph where some nodes get a twin: a new node with the same
// label and edges of the same modalities to the same neighbours, entered so
// that it visits them in the same order (or, now and then, in another order).
GraphWrap graph_with_twins(std::mt19937& random) {
  GraphWrap graph = test_support::random_multigraph(random);
  std::vector<NodeIndex> originals;
  graph.for_each_node([&](NodeIndex node) { originals.push_back(node); });
  int twin_count = 0;
  for (NodeIndex original : originals) {
    if (random() % 2) continue;
    std::vector<std::pair<NodeIndex, std::string>> entries;
    graph.for_each_incident(original, [&](EdgeIndex edge, NodeIndex other) {
      if (other != original) entries.emplace_back(other, std::string(graph.modality(edge)));
    });
    if (random() % 4 == 0) std::shuffle(entries.begin(), entries.end(), random);
    std::string twin = "t" + std::to_string(twin_count++);
    graph.ensure_node(twin, graph.label(original));
    // A node visits its own first-endpoint edges newest first.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
      graph.add_edge_with_modality(twin, graph.id(it->first), it->second);
  }
  return graph;
}

// Whenever two nodes are held twins, their magnets walked afresh are the same
// text, plain and hashed, from every root of many random graphs with twins.
// Enough pairs with children are met for the check to mean something.
TEST(MagnetTwins, TwinsWriteTheSameMagnet) {
  std::mt19937 random(41);
  int twins_with_children = 0;
  for (int round = 0; round < 400; ++round) {
    GraphWrap base = graph_with_twins(random);
    std::vector<NodeIndex> nodes;
    base.for_each_node([&](NodeIndex node) { nodes.push_back(node); });
    for (NodeIndex root : nodes) {
      GraphWrap graph = base;
      ASSERT_TRUE(compute_floors(graph, graph.id(root), IdSet{}).has_value());
      for (NodeIndex a : nodes)
        for (NodeIndex b : nodes) {
          if (a == b || !graph.floor(a) || !writes_same_below(graph, a, b)) continue;
          SCOPED_TRACE("round " + std::to_string(round) + ", " + std::string(graph.id(a)) + " and " +
                       std::string(graph.id(b)));
          std::string magnet = fresh_magnet(graph, a, false);
          ASSERT_EQ(fresh_magnet(graph, b, false), magnet);
          ASSERT_EQ(fresh_magnet(graph, b, true), fresh_magnet(graph, a, true));
          if (magnet.find('(') != std::string::npos) ++twins_with_children;
        }
    }
  }
  EXPECT_GT(twins_with_children, 1000);
}

// What is not a twin: other floors, other labels, another modality or order
// of the children, a node without a floor, the node itself.
TEST(MagnetTwins, DifferencesBelowOrAtTheNodeAreSeen) {
  using test_support::floored_from_r;
  auto twins = [](const GraphWrap& graph, std::string_view a, std::string_view b) {
    return writes_same_below(graph, *graph.find(a), *graph.find(b));
  };
  test_support::Nodes nodes = {{"r", "R"}, {"a", "A"}, {"b", "A"}, {"c", "B"}, {"x", "C"}, {"y", "C"}};
  GraphWrap alike = floored_from_r(nodes, {{"r", "a"}, {"r", "b"}, {"r", "c"}, {"a", "x"}, {"b", "x"}, {"c", "x"},
                                           {"a", "y"}, {"b", "y"}, {"a", "b"}});
  EXPECT_TRUE(twins(alike, "a", "b"));
  EXPECT_FALSE(twins(alike, "a", "c"));  // label
  EXPECT_FALSE(twins(alike, "a", "a"));
  EXPECT_FALSE(twins(alike, "r", "x"));  // floor
  GraphWrap modality = floored_from_r(nodes, {{"r", "a"}, {"r", "b"}, {"a", "x"}, {"b", "x", "2"}});
  EXPECT_FALSE(twins(modality, "a", "b"));
  GraphWrap order = floored_from_r(nodes, {{"r", "a"}, {"r", "b"}, {"a", "x"}, {"a", "y"}, {"b", "y"}, {"b", "x"}});
  EXPECT_FALSE(twins(order, "a", "b"));
  GraphWrap unreached = test_support::floored_from_r(nodes, {{"r", "a"}, {"b", "x"}, {"a", "x"}}, {"b"});
  EXPECT_FALSE(twins(unreached, "a", "b"));
}

}  // namespace
}  // namespace tolva
