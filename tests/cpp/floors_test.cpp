#include "graph/floors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::graph_of;
using IdFloors = std::vector<std::vector<std::string>>;

IdFloors floor_ids(const GraphWrap& graph, const FloorMap& floors) {
  IdFloors out;
  for (const auto& floor : floors) {
    out.emplace_back();
    for (NodeIndex node : floor) out.back().push_back(graph.node(node)->id);
  }
  return out;
}

struct LayeringCase {
  std::string name;
  std::vector<EdgeSpec> edges;
  IdSet blocked;
  IdFloors expected;
  std::string root = "a";
};

class Layering : public ::testing::TestWithParam<LayeringCase> {};

// Every listed node gets its floor; blocked and unreached nodes get none.
TEST_P(Layering, ListsEachFloorInSearchOrderAndWritesTheFloors) {
  const LayeringCase& c = GetParam();
  GraphWrap graph = graph_of({}, c.edges);
  auto floors = compute_floors(graph, c.root, c.blocked);
  ASSERT_TRUE(floors.has_value()) << floors.error();
  EXPECT_EQ(floor_ids(graph, *floors), c.expected);
  graph.for_each_node([&](NodeIndex, const NodeData& node) {
    std::optional<std::int32_t> listed;
    for (std::size_t f = 0; f < c.expected.size(); ++f)
      if (std::ranges::count(c.expected[f], node.id)) listed = static_cast<std::int32_t>(f);
    EXPECT_EQ(node.meta.floor, listed) << node.id;
  });
}

INSTANTIATE_TEST_SUITE_P(
    Floors, Layering,
    ::testing::Values(
        // b sees its first-endpoint edge (to c) before its second-endpoint edge (from a).
        LayeringCase{"WorkedExampleFromB", {{"a", "b"}, {"b", "c"}}, {}, {{"b"}, {"c", "a"}}, "b"},
        // Floor 2 follows the order of floor 1.
        LayeringCase{"FromTheMiddle", {{"b", "a"}, {"a", "c"}, {"c", "x"}, {"b", "y"}}, {}, {{"a"}, {"c", "b"}, {"x", "y"}}},
        LayeringCase{"ShortestOfTwoPathsAndParallelEdges", {{"a", "b"}, {"a", "b"}, {"b", "b"}, {"b", "c"},
                     {"c", "d"}, {"a", "d"}, {"x", "y"}}, {}, {{"a"}, {"d", "b"}, {"c"}}},
        // c is reached around the blocked b, one floor further down.
        LayeringCase{"BlockedNodeForcesTheLongerWay", {{"a", "b"}, {"b", "c"}, {"a", "d"}, {"d", "e"}, {"e", "c"}},
                     {"b", "zz"}, {{"a"}, {"d"}, {"e"}, {"c"}}},
        LayeringCase{"BlockedRootStillLayers", {{"a", "b"}, {"b", "c"}}, {"a", "c"}, {{"a"}, {"b"}}}),
    [](const auto& info) { return info.param.name; });

void fill_magnet_caches(GraphWrap& graph) {
  graph.for_each_node([](NodeIndex, NodeData& node) {
    node.meta.floor = 7;
    node.meta.magnet = "_cached_";
    node.meta.magnet_digest = Digest{1};
    node.meta.parent_digest = Digest{2};
    node.meta.magnet_hashed = true;
  });
}

TEST(Floors, ResetsTheFloorsAndMagnetCachesOfEveryNode) {
  GraphWrap graph = graph_of({}, {{"a", "b"}, {"x", "y"}});
  fill_magnet_caches(graph);
  ASSERT_TRUE(compute_floors(graph, "a", IdSet{}).has_value());
  graph.for_each_node([](NodeIndex, const NodeData& node) {
    EXPECT_NE(node.meta.floor, 7) << node.id;
    EXPECT_FALSE(node.meta.magnet || node.meta.magnet_digest || node.meta.parent_digest) << node.id;
    EXPECT_FALSE(node.meta.magnet_hashed) << node.id;
  });
}

TEST(Floors, UnknownRootFailsAndLeavesTheGraphUnchanged) {
  GraphWrap graph = graph_of({}, {{"a", "b"}, {"x", "y"}});
  ASSERT_TRUE(graph.remove_node("x"));
  fill_magnet_caches(graph);
  for (const char* root : {"q", "x"}) {
    auto floors = compute_floors(graph, root, IdSet{});
    ASSERT_FALSE(floors.has_value());
    EXPECT_EQ(floors.error(), "unknown root id '" + std::string(root) + "'");
  }
  graph.for_each_node([](NodeIndex, const NodeData& node) {
    EXPECT_EQ(node.meta.floor, 7) << node.id;
    EXPECT_EQ(node.meta.magnet, "_cached_") << node.id;
    EXPECT_TRUE(node.meta.magnet_digest && node.meta.parent_digest && node.meta.magnet_hashed) << node.id;
  });
}

}  // namespace
}  // namespace tolva
