#include "canonize/pruning.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::Ids;
using test_support::node_named;

struct PruneCase {
  std::string name;
  std::vector<EdgeSpec> edges;
  Ids candidates;
  IdSet pruned;
};

class Pruning : public ::testing::TestWithParam<PruneCase> {};

TEST_P(Pruning, FindsTheNodesOfSeveralTerritories) {
  const PruneCase& c = GetParam();
  GraphWrap graph = test_support::graph_of({}, c.edges);
  EXPECT_EQ(prune_graph(graph, c.candidates), c.pruned);
  // The set does not depend on the order of the candidates.
  EXPECT_EQ(prune_graph(graph, Ids(c.candidates.rbegin(), c.candidates.rend())), c.pruned);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Pruning,
    ::testing::Values(
        PruneCase{"PathBetweenTwoCandidates", {{"c1", "a"}, {"a", "b"}, {"b", "c2"}}, {"c1", "c2"}, {"a", "b"}},
        PruneCase{"MissingCandidateIsSkipped", {{"c1", "a"}, {"a", "c2"}}, {"zz", "c1", "c2"}, {"a"}},
        PruneCase{"SingleCandidate", {{"c1", "a"}, {"a", "b"}, {"b", "c1"}}, {"c1"}, {}},
        PruneCase{"SearchStopsAtAnotherCandidate", {{"c1", "a"}, {"a", "c2"}, {"c2", "b"}, {"b", "c"}},
                  {"c1", "c2"}, {"a"}},
        PruneCase{"LoopsAndParallelEdgesChangeNothing",
                  {{"c1", "a"}, {"a", "a"}, {"a", "b"}, {"a", "b", "2"}, {"b", "c2"}, {"a", "l"}, {"c1", "c1"},
                   {"c3", "z"}, {"z", "z"}},
                  {"c1", "c2", "c3"}, {"a", "b", "l"}}),
    [](const auto& info) { return info.param.name; });

// Marks list the reaching candidates in candidate order and are reset by every call.
TEST(Pruning, MarksListTheReachingCandidates) {
  GraphWrap graph = test_support::graph_of({}, {{"c1", "a"}, {"a", "b"}, {"b", "c2"}, {"c2", "d"}});
  test_support::meta_of(graph, "c1").sole_root = "old";
  prune_graph(graph, {"c2", "c1"});
  EXPECT_EQ(node_named(graph, "a").meta.reached_by, (Ids{"c2", "c1"}));
  EXPECT_FALSE(node_named(graph, "a").meta.sole_root.has_value());
  EXPECT_EQ(node_named(graph, "d").meta.sole_root, "c2");
  EXPECT_FALSE(node_named(graph, "c1").meta.sole_root.has_value());
  prune_graph(graph, {});
  EXPECT_TRUE(node_named(graph, "a").meta.reached_by.empty());
}

}  // namespace
}  // namespace tolva
