#include "canonize/candidate_rules.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tolva
