#include "dag/cobound.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "canon_test_support.h"
#include "graph/floors.h"

namespace tolva {
namespace {

using test_support::CapturedTrace;
using test_support::edges_of;
using test_support::graph_of;
using test_support::index_of;
using test_support::node_named;

CoboundEntry entry(std::string lo, std::string modality, std::string hi, std::string key_lo = "a",
                   std::string key_hi = "b") {
  return CoboundEntry{CoboundScore{lo, hi, modality, key_lo, key_hi, std::nullopt, std::nullopt}, 0, 1};
}

Digest digest_of(std::uint8_t first) {
  Digest digest{};
  digest[0] = first;
  return digest;
}

struct RankCase {
  std::string name;
  CoboundEntry first;   // ranks before `second`
  CoboundEntry second;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const RankCase& c, std::ostream* os) { *os << c.name; }

class CoboundRank : public ::testing::TestWithParam<RankCase> {};

TEST_P(CoboundRank, FirstRanksBeforeSecond) {
  const RankCase& c = GetParam();
  EXPECT_LT(cmp_cobound_entry(c.first, c.second), 0);
  EXPECT_GT(cmp_cobound_entry(c.second, c.first), 0);
}

CoboundEntry with_digests(CoboundEntry e, std::uint8_t lo, std::uint8_t hi) {
  e.score.digest_lo = digest_of(lo);
  e.score.digest_hi = digest_of(hi);
  return e;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CoboundRank,
    ::testing::Values(
        RankCase{"GreaterLowMagnetBeatsModalityAndHighMagnet", entry("_b_", "1", "_b_"), entry("_a_", "9", "_z_")},
        RankCase{"LongerMagnetAfterEqualPrefix", entry("_ab", "1", "_z_"), entry("_a", "1", "_z_")},
        RankCase{"MagnetBytesAreUnsigned", entry("\xc3\xa9", "1", "_"), entry("z", "1", "_")},
        RankCase{"GreaterModalityBeatsHighMagnet", entry("_a_", "2", "_a_"), entry("_a_", "10", "_z_")},
        RankCase{"GreaterHighMagnet", entry("_a_", "1", "_c_"), entry("_a_", "1", "_b_")},
        RankCase{"SmallerLowKey", entry("_a_", "1", "_a_", "a", "z"), entry("_a_", "1", "_a_", "b", "c")},
        RankCase{"SmallerHighKey", entry("_a_", "1", "_a_", "a", "b"), entry("_a_", "1", "_a_", "a", "c")},
        RankCase{"DigestsDecideWhenBothHaveThem",
                 with_digests(entry("_a_", "1", "_a_"), 9, 0), with_digests(entry("_z_", "1", "_a_"), 1, 0)},
        RankCase{"HighDigestsDecideAfterModality",
                 with_digests(entry("_a_", "1", "_a_"), 1, 9), with_digests(entry("_a_", "1", "_z_"), 1, 1)},
        RankCase{"TextDecidesWhenOnlyOneHasADigest",
                 entry("_z_", "1", "_a_"), with_digests(entry("_a_", "1", "_a_"), 9, 9)}),
    [](const auto& info) { return info.param.name; });

TEST(CoboundRank, EqualScoresCompareEqual) {
  EXPECT_EQ(cmp_cobound_entry(entry("_a_", "1", "_b_"), entry("_a_", "1", "_b_")), 0);
  EXPECT_EQ(cmp_cobound_entry(with_digests(entry("_x_", "1", "_y_"), 3, 4),
                              with_digests(entry("_q_", "1", "_w_"), 3, 4)),
            0);
}

TEST(EdgeKey, OrdersIdsBytewise) {
  GraphWrap graph = graph_of({}, {{"b", "a", "1"}, {"z", "\xc3\xa9", "1"}, {"q", "q", "1"}});
  using Key = std::pair<std::string, std::string>;
  EXPECT_EQ(edge_key(graph, index_of(graph, "b"), index_of(graph, "a")), Key("a", "b"));
  EXPECT_EQ(edge_key(graph, index_of(graph, "a"), index_of(graph, "b")), Key("a", "b"));
  EXPECT_EQ(edge_key(graph, index_of(graph, "\xc3\xa9"), index_of(graph, "z")).first, "z");
  EXPECT_EQ(to_json(edge_repr(graph, 0)), "[\"a\",\"b\"]");
  EXPECT_EQ(to_json(edge_repr(graph, 2)), "[\"q\",\"q\"]");
  graph.remove_edge(0);
  EXPECT_EQ(to_json(edge_repr(graph, 0)), "[]");
  EXPECT_EQ(to_json(edge_repr(graph, 99)), "[]");
}

// r on floor 0 with its children on floor 1; the graph's other edges follow.
GraphWrap floored(const std::vector<std::pair<std::string, std::string>>& nodes,
                  const std::vector<test_support::EdgeSpec>& edges) {
  GraphWrap graph = graph_of(nodes, edges);
  EXPECT_TRUE(compute_floors(graph, "r", IdSet{}).has_value());
  return graph;
}

std::vector<CoboundCandidate> candidates_on(const GraphWrap& graph, std::int32_t floor) {
  std::vector<CoboundCandidate> out;
  for (EdgeIndex edge : graph.edge_indices()) {
    auto [a, b] = *graph.endpoints(edge);
    if (graph.node(a)->meta.floor == floor && graph.node(b)->meta.floor == floor)
      out.push_back(CoboundCandidate{edge, floor});
  }
  return out;
}

std::string chosen_edge(GraphWrap& graph, bool allow_hashes) {
  auto choice = select_cobound(graph, candidates_on(graph, 1), 1, allow_hashes);
  EXPECT_TRUE(choice.has_value());
  if (!choice || !*choice) return "<none>";
  EXPECT_EQ((*choice)->floor, 1);
  return graph.edge((*choice)->edge)->id;
}

TEST(SelectCobound, ParallelEqualEdgesGiveTheLowerEdgeIndex) {
  for (bool allow_hashes : {false, true}) {
    GraphWrap graph = floored({{"r", "R"}, {"a", "A"}, {"b", "B"}},
                              {{"r", "a", "1"}, {"r", "b", "1"}, {"b", "a", "1"}, {"a", "b", "1"}});
    EXPECT_EQ(chosen_edge(graph, allow_hashes), "e3");
  }
}

TEST(SelectCobound, GreaterModalityWins) {
  GraphWrap graph = floored({{"r", "R"}, {"a", "A"}, {"b", "B"}},
                            {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "b", "1"}, {"a", "b", "2"}, {"a", "b", "10"}});
  EXPECT_EQ(chosen_edge(graph, false), "e4");
}

TEST(SelectCobound, GreatestSmallerMagnetWinsWhateverTheIds) {
  // Edge e3 joins a(A) and b(B); edge e4 joins y(Y) and z(Z): y-z has the
  // greater smaller magnet although its ids and its index are greater.
  GraphWrap graph = floored({{"r", "R"}, {"a", "A"}, {"b", "B"}, {"y", "Y"}, {"z", "Z"}},
                            {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "b", "9"}, {"y", "z", "1"},
                             {"r", "y", "1"}, {"r", "z", "1"}});
  EXPECT_EQ(chosen_edge(graph, false), "e4");
}

TEST(SelectCobound, SelfLoopIsACandidate) {
  GraphWrap graph = floored({{"r", "R"}, {"a", "A"}}, {{"r", "a", "1"}, {"a", "a", "x"}});
  EXPECT_EQ(chosen_edge(graph, true), "e2");
}

TEST(SelectCobound, NoCandidatesNoChoice) {
  GraphWrap graph = floored({{"r", "R"}}, {});
  auto choice = select_cobound(graph, {}, 0, true);
  ASSERT_TRUE(choice.has_value());
  EXPECT_FALSE(choice->has_value());
}

TEST(SelectCobound, FailuresAreReported) {
  GraphWrap graph = floored({{"r", "R"}, {"a", "A"}, {"b", "B"}},
                            {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "b", "1"}});
  std::vector<CoboundCandidate> vacant{{2, 1}};
  graph.remove_edge(2);
  auto missing = select_cobound(graph, vacant, 1, true);
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error(), TolvaError(ErrorKind::Parse, "cobound endpoints missing"));
  std::uint64_t counter = 0;
  EXPECT_EQ(fix_cobound(graph, 2, 1, counter, true).error(),
            TolvaError(ErrorKind::Parse, "cobound endpoints missing"));

  // A node without a floor has no magnet.
  EdgeIndex loose = graph.add_edge_with_modality("x", "y", "1");
  auto unfloored = select_cobound(graph, {{loose, 1}}, 1, false);
  ASSERT_FALSE(unfloored.has_value());
  EXPECT_EQ(unfloored.error(), TolvaError(ErrorKind::Parse, "magnet requires floored graph"));
}

TEST(SelectCobound, TraceKeepsTheFiveBestOfSevenBestFirst) {
  // Seven parallel a-b edges whose modalities arrive in a mixed order.
  std::vector<test_support::EdgeSpec> edges{{"r", "a", "1"}, {"r", "b", "1"}};
  for (const char* modality : {"4", "1", "7", "2", "6", "3", "5"}) edges.push_back({"a", "b", modality});
  GraphWrap graph = floored({{"r", "R"}, {"a", "A"}, {"b", "B"}}, edges);
  CapturedTrace trace;
  auto choice = select_cobound(graph, candidates_on(graph, 1), 1, false);
  std::vector<std::string> lines = trace.finish();
  ASSERT_TRUE(choice.has_value() && choice->has_value());
  EXPECT_EQ(graph.edge((*choice)->edge)->modality, "7");
  auto score = [](const char* m) { return "[\"_()A_-" + std::string(m) + "-_()B_\",[\"a\",\"b\"]]"; };
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "TRACE dag_cobound_scores floor=1 scores=[" + score("7") + "," + score("6") + "," +
                           score("5") + "," + score("4") + "," + score("3") + "]",
                       "TRACE dag_choice choice=[\"a\",\"b\"] floor=1 score=\"_()A_-7-_()B_\" type=\"cobound\""}));
}

TEST(SelectCobound, EqualMagnetsAndModalitiesFallBackToTheIds) {
  GraphWrap graph = floored({{"r", "R"}, {"a", "A"}, {"b", "A"}, {"c", "A"}},
                            {{"r", "a", "1"}, {"r", "b", "1"}, {"r", "c", "1"}, {"c", "b", "1"}, {"b", "a", "1"}});
  CapturedTrace trace;
  auto choice = select_cobound(graph, candidates_on(graph, 1), 1, false);
  std::vector<std::string> lines = trace.finish();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "TRACE dag_cobound_scores floor=1 scores=[[\"_()A_-1-_()A_\",[\"a\",\"b\"]],"
                      "[\"_()A_-1-_()A_\",[\"b\",\"c\"]]]");
  EXPECT_EQ(graph.edge((*choice)->edge)->id, "e5");
}

TEST(FixCobound, CutsTheEdgeIntoTwoVirtualLeavesOneFloorLower) {
  GraphWrap graph = floored({{"r", "R"}, {"b", "B"}, {"a", "A"}},
                            {{"r", "a", "1"}, {"r", "b", "1"}, {"b", "a", "x"}});
  std::uint64_t counter = 4;
  ASSERT_TRUE(fix_cobound(graph, 2, 1, counter, false).has_value());
  EXPECT_EQ(counter, 6u);
  EXPECT_EQ(graph.edge_count(), 4u);
  using Edges = std::vector<std::tuple<std::string, std::string, std::string>>;
  EXPECT_EQ(edges_of(graph, "*v4"), (Edges{{"*e3_a", "b", "x"}}));
  EXPECT_EQ(edges_of(graph, "*v5"), (Edges{{"*e3_b", "a", "x"}}));
  for (const char* id : {"*v4", "*v5"}) {
    const NodeData& leaf = node_named(graph, id);
    EXPECT_EQ(leaf.label, "");
    EXPECT_EQ(leaf.meta.floor, 2);
    EXPECT_TRUE(leaf.meta.is_virtual);
    EXPECT_FALSE(leaf.meta.is_mirror);
    // The magnets in text order, whichever endpoint comes first.
    EXPECT_EQ(leaf.meta.origin_key, "_()A_-x-_()B_");
    EXPECT_FALSE(leaf.meta.magnet.has_value());
  }
}

TEST(FixCobound, SelfLoopHangsBothLeavesUnderItsNode) {
  GraphWrap graph = floored({{"r", "R"}, {"a", "A"}}, {{"r", "a", "1"}, {"a", "a", "1"}});
  std::uint64_t counter = 0;
  ASSERT_TRUE(fix_cobound(graph, 1, 1, counter, true).has_value());
  const std::string& key = *node_named(graph, "*v0").meta.origin_key;
  EXPECT_EQ(key.size(), 2 * 34 + 3);
  EXPECT_EQ(key.substr(0, 34), key.substr(37));
  EXPECT_EQ(key.substr(34, 3), "-1-");
  EXPECT_EQ(node_named(graph, "*v1").meta.origin_key, key);
  using Edges = std::vector<std::tuple<std::string, std::string, std::string>>;
  EXPECT_EQ(edges_of(graph, "*v0"), (Edges{{"*e2_a", "a", "1"}}));
  EXPECT_EQ(edges_of(graph, "*v1"), (Edges{{"*e2_b", "a", "1"}}));
}

TEST(FixCobound, TakenIdsGetApostrophesAndTheCounterStillAdvancesByTwo) {
  GraphWrap graph = floored({{"r", "R"}, {"a", "A"}, {"b", "B"}},
                            {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "b", "1"}, {"r", "*v0", "1"}, {"r", "*v0'", "1"}});
  NodeIndex taken = index_of(graph, "*v0");
  std::uint64_t counter = 0;
  ASSERT_TRUE(fix_cobound(graph, 2, 1, counter, false).has_value());
  EXPECT_EQ(counter, 2u);
  EXPECT_FALSE(graph.node(taken)->meta.is_virtual);
  EXPECT_EQ(graph.node(taken)->label, ".");
  EXPECT_TRUE(node_named(graph, "*v0''").meta.is_virtual);
  EXPECT_TRUE(node_named(graph, "*v1").meta.is_virtual);
  EXPECT_EQ(graph.node_count(), 7u);
}

}  // namespace
}  // namespace tolva
