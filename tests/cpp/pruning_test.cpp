#include "canonize/pruning.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::graph_of;
using test_support::index_of;
using test_support::node_named;
using Ids = std::vector<std::string>;

GraphWrap edges_only(const std::vector<EdgeSpec>& edges) { return graph_of({}, edges); }

struct PruneCase {
  std::string name;
  std::vector<EdgeSpec> edges;
  Ids candidates;
  IdSet pruned;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const PruneCase& c, std::ostream* os) { *os << c.name; }

class Pruning : public ::testing::TestWithParam<PruneCase> {};

TEST_P(Pruning, FindsTheNodesOfSeveralTerritories) {
  const PruneCase& c = GetParam();
  GraphWrap graph = edges_only(c.edges);
  EXPECT_EQ(prune_graph(graph, c.candidates), c.pruned);
  // The set does not depend on the order of the candidates.
  Ids reversed(c.candidates.rbegin(), c.candidates.rend());
  EXPECT_EQ(prune_graph(graph, reversed), c.pruned);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Pruning,
    ::testing::Values(
        PruneCase{"PathBetweenTwoCandidates", {{"c1", "a", "1"}, {"a", "b", "1"}, {"b", "c2", "1"}}, {"c1", "c2"}, {"a", "b"}},
        PruneCase{"NoCandidates", {{"c1", "a", "1"}, {"a", "c2", "1"}}, {}, {}},
        PruneCase{"MissingCandidateIsSkipped", {{"c1", "a", "1"}, {"a", "c2", "1"}}, {"zz", "c1", "c2"}, {"a"}},
        PruneCase{"SingleCandidate", {{"c1", "a", "1"}, {"a", "b", "1"}, {"b", "c1", "1"}}, {"c1"}, {}},
        PruneCase{"NeighbouringCandidates", {{"c1", "c2", "1"}, {"c1", "x", "1"}, {"c2", "y", "1"}}, {"c1", "c2"}, {}},
        PruneCase{"SearchStopsAtAnotherCandidate",
                  {{"c1", "a", "1"}, {"a", "c2", "1"}, {"c2", "b", "1"}, {"b", "c", "1"}}, {"c1", "c2"}, {"a"}},
        PruneCase{"LoopsAndParallelEdgesChangeNothing",
                  {{"c1", "a", "1"}, {"a", "a", "1"}, {"a", "b", "1"}, {"a", "b", "2"}, {"b", "c2", "1"},
                   {"a", "l", "1"}, {"c1", "c1", "1"}, {"c3", "z", "1"}, {"z", "z", "1"}},
                  {"c1", "c2", "c3"}, {"a", "b", "l"}}),
    [](const auto& info) { return info.param.name; });

TEST(Pruning, MarksListTheReachingCandidatesInCandidateOrder) {
  GraphWrap graph = edges_only({{"c1", "a", "1"}, {"a", "b", "1"}, {"b", "c2", "1"}, {"c2", "d", "1"}});
  prune_graph(graph, {"c2", "c1"});
  EXPECT_EQ(node_named(graph, "a").meta.reached_by, (Ids{"c2", "c1"}));
  EXPECT_FALSE(node_named(graph, "a").meta.sole_root.has_value());
  EXPECT_EQ(node_named(graph, "d").meta.sole_root, "c2");
  EXPECT_EQ(node_named(graph, "d").meta.reached_by, Ids{"c2"});
  // Candidates are never entered, so their own marks stay reset.
  EXPECT_TRUE(node_named(graph, "c1").meta.reached_by.empty());
  EXPECT_FALSE(node_named(graph, "c2").meta.sole_root.has_value());
}

TEST(Pruning, EveryCallResetsTheMarks) {
  GraphWrap graph = edges_only({{"c1", "a", "1"}, {"a", "c2", "1"}});
  prune_graph(graph, {"c1", "c2"});
  NodeMeta& stale = graph.node(index_of(graph, "c1"))->meta;
  stale.sole_root = "old";
  stale.reached_by = {"old"};
  EXPECT_TRUE(prune_graph(graph, {}).empty());
  for (const char* id : {"c1", "a", "c2"}) {
    EXPECT_TRUE(node_named(graph, id).meta.reached_by.empty()) << id;
    EXPECT_FALSE(node_named(graph, id).meta.sole_root.has_value()) << id;
  }
}

TEST(Pruning, AnIsolatedCandidateReachesNothing) {
  GraphWrap graph = graph_of({{"c1", "C"}}, {{"c2", "a", "1"}});
  EXPECT_TRUE(prune_graph(graph, {"c1", "c2"}).empty());
  EXPECT_EQ(node_named(graph, "a").meta.reached_by, Ids{"c2"});
}

}  // namespace
}  // namespace tolva
