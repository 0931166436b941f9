#include "dag/magnet.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"
#include "dag/md5_digest.h"

namespace tolva {
namespace {

using test_support::meta_of;

// MD5 of the five bytes "_()R_", computed outside tolva (md5sum).
const std::string kLoneRHashed = "_817b84af2dbec466f33f360ab1fac249_";

// One node per letter of `ids`, labelled with the letter in upper case; floors from r.
GraphWrap floored(std::string_view ids, const test_support::Edges& edges, const IdSet& blocked = {}) {
  test_support::Nodes nodes;
  for (char id : ids) nodes.emplace_back(std::string(1, id), std::string(1, std::toupper(id)));
  return test_support::floored_from_r(nodes, edges, blocked);
}

std::string magnet_of(GraphWrap& graph, std::string_view id, bool allow_hashes) {
  CallControls controls;
  RewriteScratch scratch;
  RewriteContext context(controls, scratch);
  auto magnet = get_magnet(graph, *graph.find(id), allow_hashes, context);
  return magnet ? std::string(*magnet) : "error: " + magnet.error().display();
}

struct MagnetCase {
  std::string name;
  std::string ids;
  test_support::Edges edges;
  std::string node;
  std::string magnet;
  IdSet blocked = {};  // for the floors
};

class MagnetOf : public ::testing::TestWithParam<MagnetCase> {};

TEST_P(MagnetOf, WritesThePartBelowTheNode) {
  const MagnetCase& c = GetParam();
  GraphWrap graph = floored(c.ids, c.edges, c.blocked);
  EXPECT_EQ(magnet_of(graph, c.node, false), c.magnet);
  EXPECT_EQ(magnet_of(graph, c.node, true), "_" + hex_digest(*md5_digest(c.magnet)) + "_");
}

INSTANTIATE_TEST_SUITE_P(
    Magnet, MagnetOf,
    ::testing::Values(
        // c's edge to b (same floor as a) is blocked but still makes c no leaf.
        MagnetCase{"SameFloorNodesAreBlocked", "rabc", {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "c"}}, "a",
                   "_(()C:1)A_"},
        // d is on floor 2, below a's floor, so it is walked though b's branch reached it.
        MagnetCase{"DeeperNodesOfOtherBranchesAreWalked", "rabcd",
                   {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "d"}, {"c", "d"}}, "a", "_((()D:1)C:1)A_"},
        // b has no floor (blocked for the floors) and hangs below a: it is walked.
        MagnetCase{"UnflooredNodesBelowAreWalked", "rab", {{"r", "a"}, {"a", "b"}}, "a", "_(B:1)A_", {"b"}},
        MagnetCase{"ChildrenOrderedWithoutModality", "rxy", {{"r", "y", "1"}, {"r", "x", "2"}}, "r",
                   "_(X:2, Y:1)R_"}),
    test_support::kCaseName);

// The hashed magnet is "_" + the MD5 digest of the plain magnet in hex + "_";
// the digest is kept with it.
TEST(Magnet, LoneNodePlainAndHashed) {
  GraphWrap graph = floored("r", {});
  EXPECT_EQ(magnet_of(graph, "r", false), "_()R_");
  EXPECT_EQ(magnet_of(graph, "r", true), kLoneRHashed);
  ASSERT_TRUE(meta_of(graph, "r").extra.magnet_digest.has_value());
  EXPECT_EQ("_" + hex_digest(*meta_of(graph, "r").extra.magnet_digest) + "_", kLoneRHashed);
}

// Two calls with the same setting compute once, so there is one record at most,
// and only when both switches are exactly "1".
TEST(Magnet, TraceWritesOneRecordWithBothSwitchesOn) {
  using Setting = std::optional<std::string>;
  const std::string record = "TRACE magnet magnet=\"_()R_\" node=\"r\"\n";
  for (const auto& [trace, magnets, written] : std::vector<std::tuple<Setting, Setting, std::string>>{
           {"1", "1", record}, {std::nullopt, "1", ""}, {"1", std::nullopt, ""}, {"1", "true", ""}}) {
    GraphWrap graph = floored("r", {});
    test_support::ScopedEnv trace_switch("TOLVA_TRACE", trace);
    test_support::ScopedEnv magnet_switch("TOLVA_TRACE_MAGNET", magnets);
    test_support::StdoutCapture out;
    magnet_of(graph, "r", false);
    magnet_of(graph, "r", false);
    EXPECT_EQ(out.finish(), written) << trace.value_or("unset") << " " << magnets.value_or("unset");
  }
}

}  // namespace
}  // namespace tolva
