#include "dag/magnet.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "canon_test_support.h"
#include "dag/md5_digest.h"
#include "graph/floors.h"

namespace tolva {
namespace {

using test_support::EdgeSpec;
using test_support::meta_of;
using test_support::ScopedEnv;
using test_support::StdoutCapture;

// MD5 of the five bytes "_()R_", computed outside tolva (md5sum).
const std::string kLoneRDigest = "817b84af2dbec466f33f360ab1fac249";

// Labels are the ids in upper case; floors from r.
GraphWrap floored(const std::vector<std::string>& ids, const std::vector<EdgeSpec>& edges, const IdSet& blocked = {}) {
  GraphWrap graph;
  for (const std::string& id : ids) graph.ensure_node(id, std::string(1, static_cast<char>(std::toupper(id[0]))));
  for (const EdgeSpec& edge : edges) graph.add_edge_with_modality(edge.a, edge.b, edge.modality);
  EXPECT_TRUE(compute_floors(graph, "r", blocked).has_value());
  return graph;
}

std::string magnet_of(GraphWrap& graph, std::string_view id, bool allow_hashes) {
  auto magnet = get_magnet(graph, *graph.find(id), allow_hashes);
  EXPECT_TRUE(magnet.has_value()) << magnet.error().display();
  return magnet.value_or("");
}

struct MagnetCase {
  std::string name;
  std::vector<std::string> ids;
  std::vector<EdgeSpec> edges;
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
        MagnetCase{"LoneNode", {"r"}, {}, "r", "_()R_"},
        MagnetCase{"OnlyUpwardNeighbours", {"r", "a", "b"}, {{"r", "a"}, {"r", "b"}, {"a", "b"}}, "a", "_()A_"},
        // c's edge to b (same floor as a) is blocked but still makes c no leaf.
        MagnetCase{"SameFloorNodesAreBlocked", {"r", "a", "b", "c"}, {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "c"}},
                   "a", "_(()C:1)A_"},
        // d is on floor 2, below a's floor, so it is walked though b's branch reached it.
        MagnetCase{"DeeperNodesOfOtherBranchesAreWalked", {"r", "a", "b", "c", "d"},
                   {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "d"}, {"c", "d"}}, "a", "_((()D:1)C:1)A_"},
        // b has no floor (blocked for the floors) and hangs below a: it is walked.
        MagnetCase{"UnflooredNodesBelowAreWalked", {"r", "a", "b"}, {{"r", "a"}, {"a", "b"}}, "a", "_(B:1)A_", {"b"}},
        MagnetCase{"ChildrenOrderedWithoutModality", {"r", "x", "y"}, {{"r", "y", "1"}, {"r", "x", "2"}}, "r",
                   "_(X:2, Y:1)R_"}),
    [](const auto& info) { return info.param.name; });

TEST(Magnet, LoneNodeHashedKeepsItsDigest) {
  GraphWrap graph = floored({"r"}, {});
  EXPECT_EQ(magnet_of(graph, "r", true), "_" + kLoneRDigest + "_");
  ASSERT_TRUE(meta_of(graph, "r").magnet_digest.has_value());
  EXPECT_EQ(hex_digest(*meta_of(graph, "r").magnet_digest), kLoneRDigest);
}

TEST(Magnet, MirrorLabelIsWrittenInFull) {
  GraphWrap graph = floored({"r", "m"}, {{"r", "m"}});
  meta_of(graph, "m") = NodeMeta{.mirror_count = 2, .origin_key = "_k_", .floor = 1, .is_mirror = true};
  EXPECT_EQ(magnet_of(graph, "m", false), "_()M#2{_k_}_");
}

TEST(Magnet, OtherHashSettingRecomputesAndReplacesTheCache) {
  GraphWrap graph = floored({"r"}, {});
  NodeMeta& meta = meta_of(graph, "r");
  ASSERT_EQ(magnet_of(graph, "r", false), "_()R_");
  EXPECT_FALSE(meta.magnet_digest.has_value() || meta.magnet_hashed);

  meta.parent_digest = Digest{9};
  EXPECT_EQ(magnet_of(graph, "r", true), "_" + kLoneRDigest + "_");
  EXPECT_EQ(meta.magnet, "_" + kLoneRDigest + "_");
  EXPECT_TRUE(meta.magnet_digest.has_value() && meta.magnet_hashed);
  EXPECT_FALSE(meta.parent_digest.has_value());

  meta.parent_digest = Digest{9};
  EXPECT_EQ(magnet_of(graph, "r", false), "_()R_");
  EXPECT_EQ(meta.magnet, "_()R_");
  EXPECT_FALSE(meta.magnet_digest.has_value() || meta.parent_digest.has_value() || meta.magnet_hashed);
}

TEST(Magnet, RequiresAFloor) {
  GraphWrap graph = floored({"r"}, {{"x", "y"}});                            // x is never reached
  graph.node(graph.ensure_node("q", "Q"))->meta.parent_digest = Digest{9};  // q comes after the floors
  for (const char* id : {"x", "q"}) {
    auto magnet = get_magnet(graph, *graph.find(id), true);
    ASSERT_FALSE(magnet.has_value());
    EXPECT_EQ(magnet.error().display(), "parse error: magnet requires floored graph");
    EXPECT_FALSE(meta_of(graph, id).magnet.has_value());
  }
  EXPECT_EQ(meta_of(graph, "q").parent_digest, Digest{9});
}

struct TraceCase {
  std::string name;
  std::optional<std::string> trace;
  std::optional<std::string> trace_magnet;
  bool written;
};

class MagnetTrace : public ::testing::TestWithParam<TraceCase> {};

// Two calls with the same setting compute once: at most one record per setting.
TEST_P(MagnetTrace, OneRecordOnlyWithBothSwitchesOn) {
  GraphWrap graph = floored({"r"}, {});
  ScopedEnv trace("TOLVA_TRACE", GetParam().trace);
  ScopedEnv magnets("TOLVA_TRACE_MAGNET", GetParam().trace_magnet);
  StdoutCapture out;
  for (bool allow_hashes : {false, false, true, true}) magnet_of(graph, "r", allow_hashes);
  EXPECT_EQ(out.finish(), GetParam().written ? "TRACE magnet magnet=\"_()R_\" node=\"r\"\n"
                                               "TRACE magnet magnet=\"_" + kLoneRDigest + "_\" node=\"r\"\n"
                                             : "");
}

INSTANTIATE_TEST_SUITE_P(Magnet, MagnetTrace,
                         ::testing::Values(TraceCase{"BothOn", "1", "1", true},
                                           TraceCase{"TraceOff", std::nullopt, "1", false},
                                           TraceCase{"MagnetSwitchUnset", "1", std::nullopt, false},
                                           TraceCase{"MagnetSwitchTrue", "1", "true", false}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tolva
