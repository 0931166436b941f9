#include "graph/floors.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "canon_test_support.h"

namespace tolva {
namespace {

using IdFloors = std::vector<std::vector<std::string>>;

struct LayeringCase {
  std::string name;
  test_support::Edges edges;
  IdSet blocked;
  IdFloors expected;
  std::string root = "a";
};

class Layering : public ::testing::TestWithParam<LayeringCase> {};

// Every listed node gets its floor; blocked and unreached nodes get none.
TEST_P(Layering, ListsEachFloorInSearchOrderAndWritesTheFloors) {
  const LayeringCase& c = GetParam();
  GraphWrap graph = test_support::graph_of({}, c.edges);
  auto floors = compute_floors(graph, c.root, c.blocked);
  ASSERT_TRUE(floors.has_value()) << floors.error();
  IdFloors ids;
  for (const auto& floor : *floors) {
    ids.emplace_back();
    for (NodeIndex node : floor) ids.back().push_back(std::string(graph.id(node)));
  }
  EXPECT_EQ(ids, c.expected);
  graph.for_each_node([&](NodeIndex node) {
    std::optional<std::int32_t> listed;
    for (std::size_t f = 0; f < ids.size(); ++f)
      if (std::ranges::count(ids[f], graph.id(node))) listed = static_cast<std::int32_t>(f);
    EXPECT_EQ(graph.floor(node), listed) << graph.id(node);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Floors, Layering,
    ::testing::Values(
        // b sees its first-endpoint edge (to c) before its second-endpoint edge (from a).
        LayeringCase{"WorkedExampleFromB", {{"a", "b"}, {"b", "c"}}, {}, {{"b"}, {"c", "a"}}, "b"},
        LayeringCase{"ShortestOfTwoPathsAndParallelEdges",
                     {{"a", "b"}, {"a", "b"}, {"b", "b"}, {"b", "c"}, {"c", "d"}, {"a", "d"}, {"x", "y"}}, {},
                     {{"a"}, {"d", "b"}, {"c"}}},
        // c is reached around the blocked b, one floor further down; a blocked root still layers.
        LayeringCase{"BlockedNodeForcesTheLongerWay",
                     {{"a", "b"}, {"b", "c"}, {"a", "d"}, {"d", "e"}, {"e", "c"}}, {"b", "zz"},
                     {{"a"}, {"d"}, {"e"}, {"c"}}},
        LayeringCase{"BlockedRootStillLayers", {{"a", "b"}, {"b", "c"}}, {"a", "c"}, {{"a"}, {"b"}}}),
    test_support::kCaseName);

TEST(Floors, UnknownRootFails) {
  GraphWrap graph = test_support::graph_of({}, {{"a", "b"}, {"x", "y"}});
  ASSERT_TRUE(graph.remove_node("x"));
  for (const char* root : {"q", "x"})
    EXPECT_EQ(compute_floors(graph, root, IdSet{}).error(), "unknown root id '" + std::string(root) + "'");
}

}  // namespace
}  // namespace tolva
