#include "canonize/candidate_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::graph_of;
using Ids = std::vector<std::string>;
using Vector = std::vector<std::int32_t>;

std::vector<std::pair<std::string, Vector>> scores_of(const GraphWrap& graph) {
  auto scores = score_candidates(graph, "$degree");
  EXPECT_TRUE(scores.has_value());
  std::vector<std::pair<std::string, Vector>> out;
  if (scores)
    for (const RuleScore& s : *scores) out.emplace_back(s.id, s.score);
  return out;
}

TEST(ScoreCandidates, DegreeCountsParallelEdgesEachAndALoopOnce) {
  GraphWrap graph = graph_of({{"lone", "L"}}, {{"s", "a", "1"}, {"s", "b", "1"}, {"s", "c", "1"}, {"a", "a", "1"},
                                               {"b", "p", "1"}, {"b", "p", "2"}});
  std::vector<std::pair<std::string, Vector>> expected{
      {"lone", {0}}, {"s", {3}}, {"a", {2}}, {"b", {3}}, {"c", {1}}, {"p", {2}}};
  EXPECT_EQ(scores_of(graph), expected);
}

TEST(ScoreCandidates, OnlyTheExactDegreeRuleIsKnown) {
  GraphWrap graph = graph_of({{"a", "A"}}, {});
  for (const char* rule : {"$degree ", " $degree", "$Degree", "degree", "", "$depth"}) {
    auto scores = score_candidates(graph, rule);
    ASSERT_FALSE(scores.has_value()) << rule;
    EXPECT_EQ(scores.error(),
              TolvaError(ErrorKind::Unsupported, "candidate rule '" + std::string(rule) + "' not implemented"));
  }
  GraphWrap empty;
  for (const char* rule : {"$degree ", "anything"}) {
    auto scores = score_candidates(empty, rule);
    ASSERT_TRUE(scores.has_value()) << rule;
    EXPECT_TRUE(scores->empty());
  }
}

std::vector<RuleScore> records(const std::vector<Vector>& vectors) {
  std::vector<RuleScore> out;
  for (std::size_t i = 0; i < vectors.size(); ++i) out.push_back(RuleScore{"n" + std::to_string(i), vectors[i]});
  return out;
}

TEST(SelectCandidates, KeepsEveryNodeOfTheGreatestVectorInOrder) {
  EXPECT_EQ(select_candidates({}), Ids{});
  EXPECT_EQ(select_candidates(records({{1}, {3}, {2}, {3}, {0}})), (Ids{"n1", "n3"}));
  EXPECT_EQ(select_candidates(records({{2}, {2}, {2}})), (Ids{"n0", "n1", "n2"}));
  EXPECT_EQ(select_candidates(records({{-1}, {-5}})), Ids{"n0"});
  // Lexicographic: a proper prefix is smaller, the first difference decides.
  EXPECT_EQ(select_candidates(records({{2}, {2, 0}})), Ids{"n1"});
  EXPECT_EQ(select_candidates(records({{2, 0}, {2}})), Ids{"n0"});
  EXPECT_EQ(select_candidates(records({{2, 9}, {3}})), Ids{"n1"});
  EXPECT_EQ(select_candidates(records({{3}, {2, 9}})), Ids{"n0"});
}

TEST(CollectCandidateScores, WritesEachCandidateTreeWithoutTheExcludedNodes) {
  // Two hubs of degree 3 with two leaves each, joined through m.
  GraphWrap graph = graph_of({{"h1", "H"}, {"h2", "H"}, {"m", "M"}, {"a", "A"}, {"b", "B"}, {"c", "C"}, {"d", "D"}},
                             {{"h1", "a", "1"}, {"h1", "b", "1"}, {"h1", "m", "1"}, {"h2", "m", "1"},
                              {"h2", "c", "1"}, {"h2", "d", "2"}});
  for (bool compact : {false, true}) {
    auto scores = collect_candidate_scores(graph, {"h1", "h2"}, IdSet{"m"}, compact, true);
    ASSERT_TRUE(scores.has_value());
    ASSERT_EQ(scores->size(), 2u);
    EXPECT_EQ((*scores)[0].id, "h1");
    EXPECT_EQ((*scores)[0].height, 2);
    EXPECT_EQ((*scores)[0].tree, "(A:1, B:1)H");
    EXPECT_EQ((*scores)[1].id, "h2");
    EXPECT_EQ((*scores)[1].tree, "(C:1, D:2)H");
  }
  auto full = collect_candidate_scores(graph, {"h1"}, IdSet{}, false, true);
  ASSERT_TRUE(full.has_value());
  EXPECT_EQ((*full)[0].height, 4);
  EXPECT_EQ((*full)[0].tree, "(A:1, B:1, ((C:1, D:2)H:1)M:1)H");
  // The caller's graph gets no floors.
  EXPECT_FALSE(graph.node(*graph.find("h1"))->meta.floor.has_value());
}

TEST(CollectCandidateScores, AnUnknownCandidateFailsAsParse) {
  GraphWrap graph = graph_of({{"a", "A"}}, {});
  auto scores = collect_candidate_scores(graph, {"a", "zz"}, IdSet{}, false, true);
  ASSERT_FALSE(scores.has_value());
  EXPECT_EQ(scores.error(), TolvaError(ErrorKind::Parse, "unknown root id 'zz'"));
}

}  // namespace
}  // namespace tolva
