#include "dag/cobound.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"

namespace tolva {
namespace {

// The score holds views: the texts are literals, which outlive the entry.
CoboundEntry entry(std::string_view lo, std::string_view modality, std::string_view hi,
                   std::string_view key_lo = "a", std::string_view key_hi = "b") {
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

TEST(CoboundRank, FirstRanksBeforeSecond) {
  for (const RankCase& c : std::vector<RankCase>{
           {"GreaterLowMagnetBeatsModalityAndHighMagnet", entry("_b_", "1", "_b_"), entry("_a_", "9", "_z_")},
           {"LongerMagnetAfterEqualPrefix", entry("_ab", "1", "_z_"), entry("_a", "1", "_z_")},
           {"MagnetBytesAreUnsigned", entry("\xc3\xa9", "1", "_"), entry("z", "1", "_")},
           {"GreaterModalityBeatsHighMagnet", entry("_a_", "2", "_a_"), entry("_a_", "10", "_z_")},
           {"GreaterHighMagnet", entry("_a_", "1", "_c_"), entry("_a_", "1", "_b_")},
           {"SmallerLowKey", entry("_a_", "1", "_a_", "a", "z"), entry("_a_", "1", "_a_", "b", "c")},
           {"SmallerHighKey", entry("_a_", "1", "_a_", "a", "b"), entry("_a_", "1", "_a_", "a", "c")},
           {"DigestsDecideWhenBothHaveThem", with_digests(entry("_a_", "1", "_a_"), 9, 0),
            with_digests(entry("_z_", "1", "_a_"), 1, 0)},
           {"HighDigestsDecideAfterModality", with_digests(entry("_a_", "1", "_a_"), 1, 9),
            with_digests(entry("_a_", "1", "_z_"), 1, 1)},
           {"TextDecidesWhenOnlyOneHasADigest", entry("_z_", "1", "_a_"),
            with_digests(entry("_a_", "1", "_a_"), 9, 9)}}) {
    EXPECT_LT(cmp_cobound_entry(c.first, c.second), 0) << c.name;
    EXPECT_GT(cmp_cobound_entry(c.second, c.first), 0) << c.name;
    EXPECT_EQ(cmp_cobound_entry(c.first, c.first), 0) << c.name;
  }
}

// r on floor 0 with its children a and b on floor 1.
GraphWrap floored(const test_support::Edges& edges) {
  return test_support::floored_from_r({{"r", "R"}, {"a", "A"}, {"b", "B"}}, edges);
}

// The edge select_cobound picks among the edges between floor-1 nodes.
EdgeData choice_on_floor_1(GraphWrap& graph, bool allow_hashes) {
  std::vector<CoboundCandidate> candidates;
  for (EdgeIndex edge : graph.edge_indices()) {
    auto [a, b] = *graph.endpoints(edge);
    if (graph.floor(a) == 1 && graph.floor(b) == 1) candidates.push_back({edge, 1});
  }
  CallControls controls;
  RewriteScratch scratch;
  RewriteContext context(controls, scratch);
  auto choice = select_cobound(graph, candidates, 1, allow_hashes, context);
  EXPECT_TRUE(choice.has_value() && choice->has_value());
  return choice && *choice ? graph.edge((*choice)->edge) : EdgeData{"<none>", ""};
}

TEST(SelectCobound, ParallelEqualEdgesGiveTheLowerEdgeIndex) {
  for (bool allow_hashes : {false, true}) {
    GraphWrap graph = floored({{"r", "a"}, {"r", "b"}, {"b", "a"}, {"a", "b"}});
    EXPECT_EQ(choice_on_floor_1(graph, allow_hashes).id, "e3");
  }
}

TEST(SelectCobound, TraceKeepsTheFiveBestOfSevenBestFirst) {
  test_support::Edges edges{{"r", "a"}, {"r", "b"}};
  for (const char* modality : {"4", "1", "7", "2", "6", "3", "5"}) edges.push_back({"a", "b", modality});
  GraphWrap graph = floored(edges);
  test_support::CapturedTrace trace;
  EXPECT_EQ(choice_on_floor_1(graph, false).modality, "7");
  std::string scores;
  for (const char* m : {"7", "6", "5", "4", "3"})
    scores += std::string(scores.empty() ? "" : ",") + "[\"_()A_-" + m + "-_()B_\",[\"a\",\"b\"]]";
  EXPECT_EQ(trace.finish(), (std::vector<std::string>{
                                "TRACE dag_cobound_scores floor=1 scores=[" + scores + "]",
                                "TRACE dag_choice choice=[\"a\",\"b\"] floor=1 score=\"_()A_-7-_()B_\" "
                                "type=\"cobound\""}));
}

// The leaves hang one floor lower, the first (*v<counter>) under the first
// endpoint; their key holds the magnets in text order. A taken id gets an
// apostrophe, and the counter still advances by two.
TEST(FixCobound, CutsTheEdgeIntoTwoVirtualLeaves) {
  GraphWrap graph = floored({{"r", "a"}, {"r", "b"}, {"b", "a", "x"}, {"r", "*v0"}});
  std::uint64_t counter = 0;
  CallControls controls;
  RewriteScratch scratch;
  RewriteContext context(controls, scratch);
  ASSERT_TRUE(fix_cobound(graph, 2, 1, counter, false, context).has_value());
  EXPECT_EQ(counter, 2u);
  EXPECT_EQ(test_support::described(graph, "*v0"), ".@1: e4>r:1");
  EXPECT_EQ(test_support::described(graph, "*v0'"), "@2*{_()A_-x-_()B_}: *e3_a>b:x");
  EXPECT_EQ(test_support::described(graph, "*v1"), "@2*{_()A_-x-_()B_}: *e3_b>a:x");
  EXPECT_EQ(graph.edge_count(), 5u);
}

}  // namespace
}  // namespace tolva
