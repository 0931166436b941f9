#include "canonize/pruning.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::Ids;

struct PruneCase {
  std::string name;
  test_support::Edges edges;
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
        PruneCase{"PathBetweenTwoCandidates", {{"c1", "a"}, {"a", "b"}, {"b", "c2"}}, {"c1", "c2"},
                  {"a", "b"}},
        PruneCase{"SearchStopsAtAnotherCandidate", {{"c1", "a"}, {"a", "c2"}, {"c2", "b"}, {"b", "c"}},
                  {"c1", "c2"}, {"a"}},
        PruneCase{"LoopsAndParallelEdgesChangeNothing",
                  {{"c1", "a"}, {"a", "a"}, {"a", "b"}, {"a", "b", "2"}, {"b", "c2"}, {"a", "l"},
                   {"c1", "c1"}, {"c3", "z"}, {"z", "z"}},
                  {"c1", "c2", "c3"}, {"a", "b", "l"}}),
    test_support::kCaseName);

}  // namespace
}  // namespace tolva
