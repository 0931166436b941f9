#include "dag/inbound.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"

namespace tolva {
namespace {

Digest digest_of(std::uint8_t first, std::uint8_t last = 0) {
  Digest digest{first};
  digest[15] = last;
  return digest;
}

InboundEntry entry(std::uint64_t parents, std::string_view magnet, std::vector<Digest> digests,
                   std::string_view id = "n", std::vector<std::pair<std::string_view, std::string_view>> keys = {},
                   std::optional<Digest> magnet_digest = std::nullopt) {
  InboundScore score{magnet, digests, id, keys, parents, magnet_digest};
  return InboundEntry{score, InboundCandidate{{}, 2, 0}};
}

struct InboundRankCase {
  std::string name;
  InboundEntry first;  // ranks before `second`
  InboundEntry second;
};

TEST(InboundRank, FirstRanksBeforeSecond) {
  for (const InboundRankCase& c : std::vector<InboundRankCase>{
           {"MoreParentsWhateverTheMagnet", entry(3, "_a_", {}, "z"), entry(2, "_z_", {}, "a")},
           {"GreaterMagnetText", entry(2, "_b_", {digest_of(0)}, "z"), entry(2, "_a_", {digest_of(9)}, "a")},
           {"MagnetDigestsWhenBothHaveOne", entry(2, "_a_", {}, "n", {}, digest_of(9)),
            entry(2, "_b_", {}, "n", {}, digest_of(1))},
           {"MagnetTextWhenOnlyOneHasADigest", entry(2, "_b_", {}),
            entry(2, "_a_", {}, "n", {}, digest_of(9))},
           // Every byte of the digests counts, the last one included.
           {"GreaterParentDigestSequence", entry(2, "_a_", {digest_of(1), digest_of(5, 2)}, "z"),
            entry(2, "_a_", {digest_of(1), digest_of(5, 1)}, "a")},
           {"LongerDigestSequenceFirst", entry(2, "_a_", {digest_of(1), digest_of(0)}, "z"),
            entry(2, "_a_", {digest_of(1)}, "a")},
           {"SmallerId", entry(2, "_a_", {digest_of(1)}, "a", {{"z", "z"}}),
            entry(2, "_a_", {digest_of(1)}, "b", {{"a", "a"}})},
           {"SmallerEdgeKeys", entry(2, "_a_", {}, "n", {{"a", "b"}, {"a", "c"}}),
            entry(2, "_a_", {}, "n", {{"a", "b"}, {"b", "a"}})},
           {"ShorterEdgeKeysFirst", entry(2, "_a_", {}, "n", {{"a", "b"}}),
            entry(2, "_a_", {}, "n", {{"a", "b"}, {"a", "a"}})}}) {
    EXPECT_LT(cmp_inbound_entry(c.first, c.second), 0) << c.name;
    EXPECT_GT(cmp_inbound_entry(c.second, c.first), 0) << c.name;
    EXPECT_EQ(cmp_inbound_entry(c.first, c.first), 0) << c.name;
  }
}

// Floor 1: p1 (P), p2 (Q), p3 (S) under r. Floor 2: y and x, both labelled
// X, with the parents p1, p3 (y) and p1, p2 (x). The parent magnets are
//   p1 "_(()X:1, ()X:1)P_"  md5 49308d6d...
//   p2 "_(()X:1)Q_"         md5 bc85fbc4...
//   p3 "_(()X:1)S_"         md5 f0a42965...
// so y's sorted digests are greater than x's although "x" < "y".
GraphWrap two_children() {
  return test_support::floored_from_r(
      {{"r", "R"}, {"p1", "P"}, {"p2", "Q"}, {"p3", "S"}, {"y", "X"}, {"x", "X"}},
      {{"r", "p1"}, {"r", "p2"}, {"r", "p3"}, {"p1", "x"}, {"p2", "x"}, {"p1", "y"}, {"p3", "y"}});
}

// The inbound candidates of floor 2, as the rewrite lists them, and the lists
// of parent edges they view.
struct FloorTwoDefects {
  std::vector<std::vector<EdgeIndex>> parents;
  std::vector<InboundCandidate> candidates;
};

FloorTwoDefects inbound_on_floor_2(const GraphWrap& graph) {
  FloorTwoDefects out;
  std::vector<NodeIndex> nodes;
  graph.for_each_node([&](NodeIndex node) {
    if (graph.floor(node) != 2) return;
    std::vector<EdgeIndex> parents;
    graph.for_each_incident(node, [&](EdgeIndex edge, NodeIndex other) {
      if (*graph.floor(other) < 2) parents.push_back(edge);
    });
    if (parents.size() < 2) return;
    out.parents.push_back(std::move(parents));
    nodes.push_back(node);
  });
  for (std::size_t i = 0; i < nodes.size(); ++i) out.candidates.push_back(InboundCandidate{out.parents[i], 2, nodes[i]});
  return out;
}

// Parent digests are MD5 digests of the magnet text even without hashing.
TEST(SelectInbound, GreaterParentDigestsWinOverTheSmallerIdAndAreTraced) {
  GraphWrap graph = two_children();
  test_support::CapturedTrace trace;
  CallControls controls;
  RewriteScratch scratch;
  RewriteContext context(controls, scratch);
  FloorTwoDefects defects = inbound_on_floor_2(graph);
  auto choice = select_inbound(graph, defects.candidates, 2, /*allow_hashes=*/false, context);
  std::vector<std::string> lines = trace.finish();
  ASSERT_TRUE(choice.has_value() && choice->has_value());
  EXPECT_EQ(graph.id((*choice)->node), "y");
  const std::string p1 = "49308d6debafaa9a20b92776e966291e";
  const std::string y_score = "[2,\"_()X_\",\"" + p1 + " f0a429655025dfd49f35878124465229\"]";
  const std::string y_repr = "[2,\"y\",[[\"p1\",\"y\"],[\"p3\",\"y\"]]]";
  const std::string x_score = "[2,\"_()X_\",\"" + p1 + " bc85fbc4fc2cfee02d467dc11cb5ee77\"]";
  const std::string x_repr = "[2,\"x\",[[\"p1\",\"x\"],[\"p2\",\"x\"]]]";
  const std::string scores = "[[" + y_score + "," + y_repr + "],[" + x_score + "," + x_repr + "]]";
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "TRACE dag_inbound_scores floor=2 scores=" + scores,
                       "TRACE dag_choice choice=" + y_repr + " floor=2 score=" + y_score +
                           " type=\"inbound\""}));
}

}  // namespace
}  // namespace tolva
