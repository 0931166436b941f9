#include "canonize/pruning.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

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

// A node is contested when it lies in the territories of two candidates: the
// non-candidate nodes a candidate reaches through non-candidate nodes only.
// Said that plainly, per candidate and with a set per search, it is the
// oracle for random multigraphs and random candidate sets.
IdSet contested_plainly(const GraphWrap& graph, const Ids& candidates) {
  std::set<std::string> is_candidate(candidates.begin(), candidates.end());
  std::map<std::string, int> territories;
  for (const std::string& candidate : candidates) {
    if (!graph.find(candidate)) continue;
    std::set<std::string> seen;
    std::vector<std::string> todo{candidate};
    while (!todo.empty()) {
      std::string id = todo.back();
      todo.pop_back();
      graph.for_each_incident(*graph.find(id), [&](EdgeIndex, NodeIndex next) {
        std::string next_id(graph.id(next));
        if (!is_candidate.count(next_id) && seen.insert(next_id).second) todo.push_back(next_id);
      });
    }
    for (const std::string& id : seen) ++territories[id];
  }
  IdSet contested;
  for (const auto& [id, count] : territories)
    if (count >= 2) contested.insert(id);
  return contested;
}

TEST(PruningProperty, AgreesWithTerritoriesSearchedOneByOne) {
  std::mt19937 rng(99);
  for (int round = 0; round < 2000; ++round) {
    GraphWrap graph = test_support::random_multigraph(rng);
    Ids candidates;
    graph.for_each_node([&](NodeIndex node) {
      if (rng() % 3 == 0) candidates.emplace_back(graph.id(node));
    });
    if (rng() % 4 == 0) candidates.push_back("absent");
    ASSERT_EQ(prune_graph(graph, candidates), contested_plainly(graph, candidates)) << round;
  }
}

}  // namespace
}  // namespace tolva
