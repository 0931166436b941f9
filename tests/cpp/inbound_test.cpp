#include "dag/inbound.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "canon_test_support.h"
#include "dag/md5_digest.h"
#include "graph/floors.h"

namespace tolva {
namespace {

using test_support::CapturedTrace;
using test_support::graph_of;
using test_support::index_of;
using test_support::node_named;

Digest digest_of(std::uint8_t first, std::uint8_t last = 0) {
  Digest digest{};
  digest[0] = first;
  digest[15] = last;
  return digest;
}

InboundEntry entry(std::uint64_t parents, std::string magnet, std::vector<Digest> digests,
                   std::string id = "n", std::vector<std::pair<std::string, std::string>> keys = {}) {
  InboundScore score{std::move(magnet), std::move(digests), std::move(id), std::move(keys), parents, std::nullopt};
  return InboundEntry{std::move(score), InboundCandidate{{}, 2, 0}};
}

InboundEntry with_digest(InboundEntry e, std::uint8_t first) {
  e.score.magnet_digest = digest_of(first);
  return e;
}

struct RankCase {
  std::string name;
  InboundEntry first;  // ranks before `second`
  InboundEntry second;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const RankCase& c, std::ostream* os) { *os << c.name; }

class InboundRank : public ::testing::TestWithParam<RankCase> {};

TEST_P(InboundRank, FirstRanksBeforeSecond) {
  const RankCase& c = GetParam();
  EXPECT_LT(cmp_inbound_entry(c.first, c.second), 0);
  EXPECT_GT(cmp_inbound_entry(c.second, c.first), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, InboundRank,
    ::testing::Values(
        RankCase{"MoreParentsWhateverTheMagnet", entry(3, "_a_", {}, "z"), entry(2, "_z_", {}, "a")},
        RankCase{"GreaterMagnetText", entry(2, "_b_", {digest_of(0)}, "z"), entry(2, "_a_", {digest_of(9)}, "a")},
        RankCase{"MagnetDigestsWhenBothHaveOne",
                 with_digest(entry(2, "_a_", {}), 9), with_digest(entry(2, "_b_", {}), 1)},
        RankCase{"MagnetTextWhenOnlyOneHasADigest", entry(2, "_b_", {}), with_digest(entry(2, "_a_", {}), 9)},
        RankCase{"GreaterParentDigestSequence",
                 entry(2, "_a_", {digest_of(1), digest_of(5)}, "z"), entry(2, "_a_", {digest_of(1), digest_of(3)}, "a")},
        RankCase{"ParentDigestsCompareEveryByte",
                 entry(2, "_a_", {digest_of(1, 2)}, "z"), entry(2, "_a_", {digest_of(1, 1)}, "a")},
        RankCase{"LongerDigestSequenceFirst",
                 entry(2, "_a_", {digest_of(1), digest_of(0)}, "z"), entry(2, "_a_", {digest_of(1)}, "a")},
        RankCase{"SmallerId", entry(2, "_a_", {digest_of(1)}, "a", {{"z", "z"}}),
                 entry(2, "_a_", {digest_of(1)}, "b", {{"a", "a"}})},
        RankCase{"SmallerEdgeKeys", entry(2, "_a_", {}, "n", {{"a", "b"}, {"a", "c"}}),
                 entry(2, "_a_", {}, "n", {{"a", "b"}, {"b", "a"}})},
        RankCase{"ShorterEdgeKeysFirst", entry(2, "_a_", {}, "n", {{"a", "b"}}),
                 entry(2, "_a_", {}, "n", {{"a", "b"}, {"a", "a"}})}),
    [](const auto& info) { return info.param.name; });

TEST(InboundRank, EqualScoresCompareEqual) {
  EXPECT_EQ(cmp_inbound_entry(entry(2, "_a_", {digest_of(1)}, "n", {{"a", "n"}}),
                              entry(2, "_a_", {digest_of(1)}, "n", {{"a", "n"}})),
            0);
}

TEST(InboundTraceValues, ScoreAndReprAsJson) {
  InboundEntry e = entry(2, "_()X_", {digest_of(0x01, 0xab), digest_of(0xf0)}, "x", {{"p1", "x"}, {"p2", "x"}});
  EXPECT_EQ(to_json(inbound_score_value(e)),
            "[2,\"_()X_\",\"010000000000000000000000000000ab f0000000000000000000000000000000\"]");
  EXPECT_EQ(to_json(inbound_repr_from_keys(-3, e)), "[-3,\"x\",[[\"p1\",\"x\"],[\"p2\",\"x\"]]]");
  InboundEntry bare = entry(0, "_\"_", {}, "q\\");
  EXPECT_EQ(to_json(inbound_score_value(bare)), "[0,\"_\\\"_\",\"\"]");
  EXPECT_EQ(to_json(inbound_repr_from_keys(4, bare)), "[4,\"q\\\\\",[]]");
}

// Floor 1: p1 (P), p2 (Q), p3 (S) under r. Floor 2: y and x, both labelled
// X, with the parents p1, p3 (y) and p1, p2 (x). The parent magnets are
//   p1 "_(()X:1, ()X:1)P_"  md5 49308d6d...
//   p2 "_(()X:1)Q_"         md5 bc85fbc4...
//   p3 "_(()X:1)S_"         md5 f0a42965...
// so y's sorted digests are greater than x's although "x" < "y".
GraphWrap two_children() {
  GraphWrap graph = graph_of({{"r", "R"}, {"p1", "P"}, {"p2", "Q"}, {"p3", "S"}, {"y", "X"}, {"x", "X"}},
                             {{"r", "p1", "1"}, {"r", "p2", "1"}, {"r", "p3", "1"}, {"p1", "x", "1"},
                              {"p2", "x", "1"}, {"p1", "y", "1"}, {"p3", "y", "1"}});
  EXPECT_TRUE(compute_floors(graph, "r", IdSet{}).has_value());
  return graph;
}

// The inbound candidates of one floor, as the rewrite lists them.
std::vector<InboundCandidate> inbound_on(const GraphWrap& graph, std::int32_t floor) {
  std::vector<InboundCandidate> out;
  graph.for_each_node([&](NodeIndex node, const NodeData& data) {
    if (data.meta.floor != floor) return;
    std::vector<EdgeIndex> parents;
    graph.for_each_incident(node, [&](EdgeIndex edge, NodeIndex other) {
      if (*graph.node(other)->meta.floor < floor) parents.push_back(edge);
    });
    if (parents.size() >= 2) out.push_back(InboundCandidate{parents, floor, node});
  });
  return out;
}

std::string chosen_node(GraphWrap& graph, bool allow_hashes) {
  auto choice = select_inbound(graph, inbound_on(graph, 2), 2, allow_hashes);
  EXPECT_TRUE(choice.has_value());
  if (!choice || !*choice) return "<none>";
  return graph.node((*choice)->node)->id;
}

Digest digest_from_hex(std::string_view hex) {
  Digest digest{};
  for (std::size_t i = 0; i < 16; ++i) digest[i] = static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(2 * i, 2)), nullptr, 16));
  return digest;
}

TEST(SelectInbound, GreaterParentDigestsWinOverTheSmallerId) {
  GraphWrap graph = two_children();
  EXPECT_EQ(chosen_node(graph, false), "y");
  // Parent digests are MD5 digests of the magnet text even without hashing.
  EXPECT_EQ(node_named(graph, "p1").meta.parent_digest, digest_from_hex("49308d6debafaa9a20b92776e966291e"));
  EXPECT_EQ(node_named(graph, "p3").meta.parent_digest, digest_from_hex("f0a429655025dfd49f35878124465229"));
}

TEST(SelectInbound, WithHashesTheParentDigestIsTheDigestOfTheHashedMagnet) {
  GraphWrap graph = two_children();
  chosen_node(graph, true);
  const NodeMeta& p1 = node_named(graph, "p1").meta;
  ASSERT_TRUE(p1.magnet.has_value());
  EXPECT_EQ(p1.magnet->size(), 34u);
  EXPECT_EQ(p1.parent_digest, md5_digest(*p1.magnet));
}

TEST(SelectInbound, ACachedParentDigestIsUsedAsItIs) {
  GraphWrap graph = two_children();
  Digest top;
  top.fill(0xff);
  graph.node(index_of(graph, "p2"))->meta.parent_digest = top;
  EXPECT_EQ(chosen_node(graph, false), "x");
  EXPECT_EQ(node_named(graph, "p2").meta.parent_digest, top);
}

TEST(SelectInbound, SmallerIdWinsWhenEverythingElseIsEqual) {
  // y is added before x; both hang under p1 and p2.
  GraphWrap graph = graph_of({{"r", "R"}, {"p1", "P"}, {"p2", "Q"}, {"y", "X"}, {"x", "X"}},
                             {{"r", "p1", "1"}, {"r", "p2", "1"}, {"p1", "y", "1"}, {"p2", "y", "1"},
                              {"p1", "x", "1"}, {"p2", "x", "1"}});
  ASSERT_TRUE(compute_floors(graph, "r", IdSet{}).has_value());
  for (bool allow_hashes : {false, true}) EXPECT_EQ(chosen_node(graph, allow_hashes), "x");
}

TEST(SelectInbound, ThreeParentsBeatTwoWhateverTheMagnets) {
  GraphWrap graph = graph_of({{"r", "R"}, {"p1", "P"}, {"p2", "Q"}, {"p3", "S"}, {"z", "Z"}, {"w", "A"}},
                             {{"r", "p1", "1"}, {"r", "p2", "1"}, {"r", "p3", "1"}, {"p1", "z", "1"},
                              {"p2", "z", "1"}, {"p1", "w", "1"}, {"p2", "w", "1"}, {"p3", "w", "1"}});
  ASSERT_TRUE(compute_floors(graph, "r", IdSet{}).has_value());
  EXPECT_EQ(chosen_node(graph, false), "w");
}

TEST(SelectInbound, TraceListsTheScoresAndTheChoice) {
  GraphWrap graph = two_children();
  CapturedTrace trace;
  auto choice = select_inbound(graph, inbound_on(graph, 2), 2, false);
  std::vector<std::string> lines = trace.finish();
  ASSERT_TRUE(choice.has_value() && choice->has_value());
  const std::string y_score = "[2,\"_()X_\",\"49308d6debafaa9a20b92776e966291e f0a429655025dfd49f35878124465229\"]";
  const std::string y_repr = "[2,\"y\",[[\"p1\",\"y\"],[\"p3\",\"y\"]]]";
  const std::string x_score = "[2,\"_()X_\",\"49308d6debafaa9a20b92776e966291e bc85fbc4fc2cfee02d467dc11cb5ee77\"]";
  const std::string x_repr = "[2,\"x\",[[\"p1\",\"x\"],[\"p2\",\"x\"]]]";
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "TRACE dag_inbound_scores floor=2 scores=[[" + y_score + "," + y_repr + "],[" + x_score + "," +
                           x_repr + "]]",
                       "TRACE dag_choice choice=" + y_repr + " floor=2 score=" + y_score + " type=\"inbound\""}));
}

TEST(SelectInbound, NoCandidatesAndVacantEdges) {
  GraphWrap graph = two_children();
  auto none = select_inbound(graph, {}, 2, true);
  ASSERT_TRUE(none.has_value());
  EXPECT_FALSE(none->has_value());

  std::vector<InboundCandidate> candidates = inbound_on(graph, 2);
  graph.remove_edge(candidates[0].parent_edges[1]);
  auto missing = select_inbound(graph, candidates, 2, true);
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error(), TolvaError(ErrorKind::Parse, "inbound endpoints missing"));
}

}  // namespace
}  // namespace tolva
