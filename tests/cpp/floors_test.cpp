#include "graph/floors.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tolva {
namespace {

using Edges = std::vector<std::pair<std::string, std::string>>;
using IdFloors = std::vector<std::vector<std::string>>;

GraphWrap graph_of(const Edges& edges) {
  GraphWrap graph;
  for (const auto& [a, b] : edges) graph.add_edge_with_modality(a, b, "1");
  return graph;
}

IdFloors floor_ids(const GraphWrap& graph, const FloorMap& floors) {
  IdFloors out;
  for (const auto& floor : floors) {
    out.emplace_back();
    for (NodeIndex node : floor) out.back().push_back(graph.node(node)->id);
  }
  return out;
}

std::optional<std::int32_t> floor_of(const GraphWrap& graph, std::string_view id) {
  return graph.node(*graph.find(id))->meta.floor;
}

struct LayeringCase {
  std::string name;
  Edges edges;
  std::string root;
  IdSet blocked;
  IdFloors expected;
};

class Layering : public ::testing::TestWithParam<LayeringCase> {};

TEST_P(Layering, ListsEachFloorInSearchOrderAndWritesTheFloors) {
  const LayeringCase& c = GetParam();
  GraphWrap graph = graph_of(c.edges);
  auto floors = compute_floors(graph, c.root, c.blocked);
  ASSERT_TRUE(floors.has_value()) << floors.error();
  EXPECT_EQ(floor_ids(graph, *floors), c.expected);
  for (std::size_t f = 0; f < c.expected.size(); ++f)
    for (const std::string& id : c.expected[f])
      EXPECT_EQ(floor_of(graph, id), static_cast<std::int32_t>(f)) << id;
}

INSTANTIATE_TEST_SUITE_P(
    Floors, Layering,
    ::testing::Values(
        LayeringCase{"PathFromItsEnd", {{"a", "b"}, {"b", "c"}}, "a", {}, {{"a"}, {"b"}, {"c"}}},
        // b sees its first-endpoint edge (to c) before its second-endpoint edge (from a).
        LayeringCase{"PathFromItsMiddle", {{"a", "b"}, {"b", "c"}}, "b", {}, {{"b"}, {"c", "a"}}},
        LayeringCase{"NewestEdgeFirst", {{"a", "b"}, {"a", "c"}}, "a", {}, {{"a"}, {"c", "b"}}},
        LayeringCase{"FloorFollowsTheFloorAbove",
                     {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "d"}},
                     "r",
                     {},
                     {{"r"}, {"b", "a"}, {"d", "c"}}},
        LayeringCase{"ParallelEdgesAndSelfLoopsChangeNothing",
                     {{"a", "b"}, {"a", "b"}, {"b", "b"}, {"b", "c"}},
                     "a",
                     {},
                     {{"a"}, {"b"}, {"c"}}},
        LayeringCase{"ShortestOfTwoPaths",
                     {{"a", "b"}, {"b", "c"}, {"c", "d"}, {"a", "d"}},
                     "a",
                     {},
                     {{"a"}, {"d", "b"}, {"c"}}},
        LayeringCase{"BlockedNodeCutsThePath", {{"a", "b"}, {"b", "c"}}, "a", {"b"}, {{"a"}}},
        // c is reached around the blocked b, one floor further down.
        LayeringCase{"BlockedNodeForcesTheLongerWay",
                     {{"a", "b"}, {"b", "c"}, {"a", "d"}, {"d", "e"}, {"e", "c"}},
                     "a",
                     {"b"},
                     {{"a"}, {"d"}, {"e"}, {"c"}}},
        // x is offered by b and by c and skipped both times.
        LayeringCase{"BlockedNodeOfferedTwiceStaysOut",
                     {{"a", "b"}, {"a", "c"}, {"b", "x"}, {"c", "x"}, {"x", "y"}},
                     "a",
                     {"x"},
                     {{"a"}, {"c", "b"}}},
        LayeringCase{"BlockedRootStillLayers",
                     {{"a", "b"}, {"b", "c"}},
                     "a",
                     {"a", "c"},
                     {{"a"}, {"b"}}},
        LayeringCase{"UnknownBlockedIdsAreIgnored", {{"a", "b"}}, "a", {"zz"}, {{"a"}, {"b"}}},
        LayeringCase{"OtherComponentStaysOut",
                     {{"a", "b"}, {"c", "d"}},
                     "a",
                     {},
                     {{"a"}, {"b"}}}),
    [](const auto& info) { return info.param.name; });

TEST(Floors, UnreachedAndBlockedNodesHaveNoFloor) {
  GraphWrap graph = graph_of({{"a", "b"}, {"b", "c"}, {"x", "y"}});
  ASSERT_TRUE(compute_floors(graph, "a", IdSet{"b"}).has_value());
  EXPECT_EQ(floor_of(graph, "a"), 0);
  for (const char* id : {"b", "c", "x", "y"}) EXPECT_FALSE(floor_of(graph, id).has_value()) << id;
}

void fill_magnet_caches(GraphWrap& graph) {
  graph.for_each_node([](NodeIndex, NodeData& node) {
    node.meta.floor = 7;
    node.meta.magnet = "_cached_";
    node.meta.magnet_digest = Digest{1};
    node.meta.parent_digest = Digest{2};
    node.meta.magnet_hashed = true;
  });
}

TEST(Floors, ResetsTheMagnetCachesOfEveryNode) {
  GraphWrap graph = graph_of({{"a", "b"}, {"x", "y"}});
  fill_magnet_caches(graph);
  ASSERT_TRUE(compute_floors(graph, "a", IdSet{}).has_value());
  graph.for_each_node([](NodeIndex, const NodeData& node) {
    EXPECT_FALSE(node.meta.magnet.has_value()) << node.id;
    EXPECT_FALSE(node.meta.magnet_digest.has_value()) << node.id;
    EXPECT_FALSE(node.meta.parent_digest.has_value()) << node.id;
    EXPECT_FALSE(node.meta.magnet_hashed) << node.id;
  });
  EXPECT_FALSE(floor_of(graph, "x").has_value());
}

TEST(Floors, SecondCallReplacesTheFirstLayering) {
  GraphWrap graph = graph_of({{"a", "b"}, {"b", "c"}, {"c", "d"}});
  ASSERT_TRUE(compute_floors(graph, "a", IdSet{}).has_value());
  auto floors = compute_floors(graph, "c", IdSet{"b"});
  ASSERT_TRUE(floors.has_value());
  EXPECT_EQ(floor_ids(graph, *floors), (IdFloors{{"c"}, {"d"}}));
  EXPECT_EQ(floor_of(graph, "c"), 0);
  EXPECT_EQ(floor_of(graph, "d"), 1);
  EXPECT_FALSE(floor_of(graph, "a").has_value());
  EXPECT_FALSE(floor_of(graph, "b").has_value());
}

TEST(Floors, UnknownRootFailsAndLeavesTheGraphUnchanged) {
  GraphWrap graph = graph_of({{"a", "b"}});
  fill_magnet_caches(graph);
  auto floors = compute_floors(graph, "x", IdSet{});
  ASSERT_FALSE(floors.has_value());
  EXPECT_EQ(floors.error(), "unknown root id 'x'");
  graph.for_each_node([](NodeIndex, const NodeData& node) {
    EXPECT_EQ(node.meta.floor, 7) << node.id;
    EXPECT_EQ(node.meta.magnet, "_cached_") << node.id;
    EXPECT_TRUE(node.meta.magnet_digest.has_value()) << node.id;
    EXPECT_TRUE(node.meta.parent_digest.has_value()) << node.id;
    EXPECT_TRUE(node.meta.magnet_hashed) << node.id;
  });
}

TEST(Floors, EmptyGraphAndRemovedRootAreUnknown) {
  GraphWrap empty;
  auto none = compute_floors(empty, "x", IdSet{});
  ASSERT_FALSE(none.has_value());
  EXPECT_EQ(none.error(), "unknown root id 'x'");

  GraphWrap graph = graph_of({{"a", "b"}});
  ASSERT_TRUE(graph.remove_node("a"));
  auto removed = compute_floors(graph, "a", IdSet{});
  ASSERT_FALSE(removed.has_value());
  EXPECT_EQ(removed.error(), "unknown root id 'a'");
}

TEST(Floors, BlockedSlotsNeverBlockTheRoot) {
  GraphWrap graph = graph_of({{"a", "b"}, {"b", "c"}});
  std::vector<bool> slots(graph.node_slot_count(), false);
  slots[*graph.find("a")] = true;
  slots[*graph.find("c")] = true;
  auto floors = compute_floors(graph, "a", BlockedNodes::from_slots(std::move(slots)));
  ASSERT_TRUE(floors.has_value());
  EXPECT_EQ(floor_ids(graph, *floors), (IdFloors{{"a"}, {"b"}}));
}

}  // namespace
}  // namespace tolva
