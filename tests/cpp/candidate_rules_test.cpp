#include "canonize/candidate_rules.h"

#include <gtest/gtest.h>

#include <random>

#include "canon_test_support.h"

namespace tolva {
namespace {

using Vector = std::vector<std::int32_t>;

TEST(ScoreCandidates, DegreeCountsParallelEdgesEachAndALoopOnce) {
  GraphWrap graph = test_support::graph_of(
      {{"lone", "L"}}, {{"s", "a"}, {"s", "b"}, {"s", "c"}, {"a", "a"}, {"b", "p"}, {"b", "p", "2"}});
  auto scores = score_candidates(graph, "$degree");
  ASSERT_TRUE(scores.has_value());
  std::vector<std::pair<std::string, Vector>> seen;
  for (const RuleScore& s : *scores) seen.emplace_back(s.id, s.score);
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, Vector>>{
                      {"lone", {0}}, {"s", {3}}, {"a", {2}}, {"b", {3}}, {"c", {1}}, {"p", {2}}}));
}

TEST(ScoreCandidates, OnlyTheExactDegreeRuleIsKnownButAnEmptyGraphTakesAny) {
  GraphWrap graph = test_support::graph_of({{"a", "A"}}, {});
  for (std::string rule : {"$degree ", " $degree", "$Degree", "degree", ""}) {
    auto scores = score_candidates(graph, rule);
    ASSERT_FALSE(scores.has_value()) << rule;
    EXPECT_EQ(scores.error().display(), "unsupported: candidate rule '" + rule + "' not implemented");
    auto none = score_candidates(GraphWrap{}, rule);
    EXPECT_TRUE(none.has_value() && none->empty()) << rule;
  }
}

// The one-sweep selection every call uses must pick what scoring every node
// and selecting the best picks: same ids, same order, same errors, also once
// nodes were removed (freed slots) and with loops and parallel edges.
TEST(RuleCandidates, AgreeWithScoringThenSelecting) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    GraphWrap graph;
    int nodes = static_cast<int>(random() % 12);
    for (int i = 0; i < nodes; ++i) graph.ensure_node("n" + std::to_string(i), "L");
    for (int e = 0, edges = nodes ? static_cast<int>(random() % 20) : 0; e < edges; ++e)
      graph.add_edge_with_modality("n" + std::to_string(random() % nodes), "n" + std::to_string(random() % nodes), "1");
    for (int i = 0; i < nodes; ++i)
      if (random() % 5 == 0) graph.remove_node("n" + std::to_string(i));
    for (std::string rule : {"$degree", "degree"}) {
      auto scores = score_candidates(graph, rule);
      auto picked = rule_candidates(graph, rule);
      ASSERT_EQ(scores.has_value(), picked.has_value()) << round << rule;
      if (!scores) {
        EXPECT_EQ(picked.error().display(), scores.error().display());
        continue;
      }
      EXPECT_EQ(*picked, select_candidates(*scores)) << round;
    }
  }
}

}  // namespace
}  // namespace tolva
