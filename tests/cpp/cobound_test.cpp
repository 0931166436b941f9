#include "dag/cobound.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"
#include "graph/floors.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::Incident;
using test_support::node_named;

CoboundEntry entry(std::string lo, std::string modality, std::string hi, std::string key_lo = "a",
                   std::string key_hi = "b") {
  return CoboundEntry{CoboundScore{lo, hi, modality, key_lo, key_hi, std::nullopt, std::nullopt}, 0, 1};
}

CoboundEntry with_digests(CoboundEntry e, std::uint8_t lo, std::uint8_t hi) {
  e.score.digest_lo = Digest{lo};
  e.score.digest_hi = Digest{hi};
  return e;
}

struct RankCase {
  std::string name;
  CoboundEntry first;  // ranks before `second`
  CoboundEntry second;
};

class CoboundRank : public ::testing::TestWithParam<RankCase> {};

TEST_P(CoboundRank, FirstRanksBeforeSecond) {
  const RankCase& c = GetParam();
  EXPECT_LT(cmp_cobound_entry(c.first, c.second), 0);
  EXPECT_GT(cmp_cobound_entry(c.second, c.first), 0);
  EXPECT_EQ(cmp_cobound_entry(c.first, c.first), 0);
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
        RankCase{"DigestsDecideWhenBothHaveThem", with_digests(entry("_a_", "1", "_a_"), 9, 0),
                 with_digests(entry("_z_", "1", "_a_"), 1, 0)},
        RankCase{"HighDigestsDecideAfterModality", with_digests(entry("_a_", "1", "_a_"), 1, 9),
                 with_digests(entry("_a_", "1", "_z_"), 1, 1)},
        RankCase{"TextDecidesWhenOnlyOneHasADigest", entry("_z_", "1", "_a_"),
                 with_digests(entry("_a_", "1", "_a_"), 9, 9)}),
    [](const auto& info) { return info.param.name; });

// r on floor 0 with its children a and b on floor 1.
GraphWrap floored(const std::vector<EdgeSpec>& edges) {
  GraphWrap graph = test_support::graph_of({{"r", "R"}, {"a", "A"}, {"b", "B"}}, edges);
  EXPECT_TRUE(compute_floors(graph, "r", IdSet{}).has_value());
  return graph;
}

std::vector<CoboundCandidate> candidates_on_floor_1(const GraphWrap& graph) {
  std::vector<CoboundCandidate> out;
  for (EdgeIndex edge : graph.edge_indices()) {
    auto [a, b] = *graph.endpoints(edge);
    if (graph.node(a)->meta.floor == 1 && graph.node(b)->meta.floor == 1) out.push_back(CoboundCandidate{edge, 1});
  }
  return out;
}

TEST(SelectCobound, ParallelEqualEdgesGiveTheLowerEdgeIndex) {
  for (bool allow_hashes : {false, true}) {
    GraphWrap graph = floored({{"r", "a"}, {"r", "b"}, {"b", "a"}, {"a", "b"}});
    auto choice = select_cobound(graph, candidates_on_floor_1(graph), 1, allow_hashes);
    ASSERT_TRUE(choice.has_value() && choice->has_value());
    EXPECT_EQ(graph.edge((*choice)->edge)->id, "e3");
  }
}

TEST(SelectCobound, TraceKeepsTheFiveBestOfSevenBestFirst) {
  std::vector<EdgeSpec> edges{{"r", "a"}, {"r", "b"}};
  for (const char* modality : {"4", "1", "7", "2", "6", "3", "5"}) edges.push_back({"a", "b", modality});
  GraphWrap graph = floored(edges);
  test_support::CapturedTrace trace;
  auto choice = select_cobound(graph, candidates_on_floor_1(graph), 1, false);
  std::vector<std::string> lines = trace.finish();
  ASSERT_TRUE(choice.has_value() && choice->has_value());
  EXPECT_EQ(graph.edge((*choice)->edge)->modality, "7");
  auto score = [](const char* m) { return "[\"_()A_-" + std::string(m) + "-_()B_\",[\"a\",\"b\"]]"; };
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "TRACE dag_cobound_scores floor=1 scores=[" + score("7") + "," + score("6") + "," +
                           score("5") + "," + score("4") + "," + score("3") + "]",
                       "TRACE dag_choice choice=[\"a\",\"b\"] floor=1 score=\"_()A_-7-_()B_\" type=\"cobound\""}));
}

// The leaves hang one floor lower, the first (*v<counter>) under the first
// endpoint; their key holds the magnets in text order. A taken id gets an
// apostrophe, and the counter still advances by two.
TEST(FixCobound, CutsTheEdgeIntoTwoVirtualLeaves) {
  GraphWrap graph = floored({{"r", "a"}, {"r", "b"}, {"b", "a", "x"}, {"r", "*v0"}});
  std::uint64_t counter = 0;
  ASSERT_TRUE(fix_cobound(graph, 2, 1, counter, false).has_value());
  EXPECT_EQ(counter, 2u);
  EXPECT_FALSE(node_named(graph, "*v0").meta.is_virtual);
  EXPECT_EQ(test_support::edges_of(graph, "*v0'"), (Incident{{"*e3_a", "b", "x"}}));
  EXPECT_EQ(test_support::edges_of(graph, "*v1"), (Incident{{"*e3_b", "a", "x"}}));
  for (const char* id : {"*v0'", "*v1"}) {
    const NodeData& leaf = node_named(graph, id);
    EXPECT_EQ(leaf.label, "");
    EXPECT_EQ(leaf.meta.floor, 2);
    EXPECT_TRUE(leaf.meta.is_virtual && !leaf.meta.is_mirror);
    EXPECT_EQ(leaf.meta.origin_key, "_()A_-x-_()B_");
  }
  EXPECT_EQ(graph.edge_count(), 5u);
}

}  // namespace
}  // namespace tolva
