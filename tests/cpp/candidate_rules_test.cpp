#include "canonize/candidate_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::Ids;
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
  for (const char* rule : {"$degree ", " $degree", "$Degree", "degree", ""}) {
    auto scores = score_candidates(graph, rule);
    ASSERT_FALSE(scores.has_value()) << rule;
    EXPECT_EQ(scores.error().display(), "unsupported: candidate rule '" + std::string(rule) + "' not implemented");
    auto none = score_candidates(GraphWrap{}, rule);
    EXPECT_TRUE(none.has_value() && none->empty()) << rule;
  }
}

TEST(SelectCandidates, KeepsEveryNodeOfTheGreatestVectorInOrder) {
  auto select = [](const std::vector<Vector>& vectors) {
    std::vector<RuleScore> records;
    for (std::size_t i = 0; i < vectors.size(); ++i) records.push_back(RuleScore{"n" + std::to_string(i), vectors[i]});
    return select_candidates(records);
  };
  EXPECT_EQ(select({}), Ids{});
  EXPECT_EQ(select({{1}, {3}, {2}, {3}, {0}}), (Ids{"n1", "n3"}));
  EXPECT_EQ(select({{-1}, {-5}}), Ids{"n0"});
  // Lexicographic: a proper prefix is smaller, the first difference decides.
  EXPECT_EQ(select({{2}, {2, 0}}), Ids{"n1"});
  EXPECT_EQ(select({{3}, {2, 9}}), Ids{"n0"});
}

}  // namespace
}  // namespace tolva
