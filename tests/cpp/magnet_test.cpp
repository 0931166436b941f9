#include "dag/magnet.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "dag/md5_digest.h"
#include "graph/floors.h"
#include "stdout_capture.h"

namespace tolva {
namespace {

using test_support::ScopedEnv;
using test_support::StdoutCapture;

// MD5 of the five bytes "_()R_", computed outside tolva (md5sum).
constexpr char kLoneRDigest[] = "817b84af2dbec466f33f360ab1fac249";

struct Edge {
  std::string a;
  std::string b;
  std::string modality = "1";
};

// Labels are the ids in upper case; edges in list order.
GraphWrap graph_of(const std::vector<std::string>& ids, const std::vector<Edge>& edges) {
  GraphWrap graph;
  for (const std::string& id : ids) {
    std::string label = id;
    for (char& c : label) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    graph.ensure_node(id, label);
  }
  for (const Edge& edge : edges) graph.add_edge_with_modality(edge.a, edge.b, edge.modality);
  return graph;
}

GraphWrap floored(GraphWrap graph, std::string_view root, const IdSet& blocked = {}) {
  EXPECT_TRUE(compute_floors(graph, root, blocked).has_value());
  return graph;
}

NodeMeta& meta_of(GraphWrap& graph, std::string_view id) { return graph.node(*graph.find(id))->meta; }

std::string magnet_of(GraphWrap& graph, std::string_view id, bool allow_hashes) {
  auto magnet = get_magnet(graph, *graph.find(id), allow_hashes);
  EXPECT_TRUE(magnet.has_value()) << magnet.error().display();
  return magnet.value_or("");
}

TEST(Magnet, LoneNodePlainAndHashed) {
  GraphWrap graph = floored(graph_of({"r"}, {}), "r");
  EXPECT_EQ(magnet_of(graph, "r", false), "_()R_");
  EXPECT_EQ(magnet_of(graph, "r", true), std::string("_") + kLoneRDigest + "_");
  const NodeMeta& meta = meta_of(graph, "r");
  ASSERT_TRUE(meta.magnet_digest.has_value());
  EXPECT_EQ(hex_digest(*meta.magnet_digest), kLoneRDigest);
}

struct MagnetCase {
  std::string name;
  std::vector<std::string> ids;
  std::vector<Edge> edges;
  std::string root;
  IdSet blocked;  // for the floors
  std::string node;
  std::string magnet;
};

class MagnetOf : public ::testing::TestWithParam<MagnetCase> {};

TEST_P(MagnetOf, WritesThePartBelowTheNode) {
  const MagnetCase& c = GetParam();
  GraphWrap graph = floored(graph_of(c.ids, c.edges), c.root, c.blocked);
  EXPECT_EQ(magnet_of(graph, c.node, false), c.magnet);
  std::string hashed = magnet_of(graph, c.node, true);
  EXPECT_EQ(hashed.size(), 34u);
  EXPECT_EQ(hashed, "_" + hex_digest(*md5_digest(c.magnet)) + "_");
}

INSTANTIATE_TEST_SUITE_P(
    Magnet, MagnetOf,
    ::testing::Values(
        MagnetCase{"OnlyUpwardNeighbours", {"r", "a", "b"}, {{"r", "a"}, {"r", "b"}, {"a", "b"}},
                   "r", {}, "a", "_()A_"},
        // c's edge to b (same floor as a) is blocked but still makes c no leaf.
        MagnetCase{"SameFloorNodesAreBlocked", {"r", "a", "b", "c"},
                   {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "c"}}, "r", {}, "a", "_(()C:1)A_"},
        MagnetCase{"RootSeesEverything", {"r", "a", "b", "c"},
                   {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "c"}}, "r", {}, "r",
                   "_(()A:1, ((()A:1)C:1)B:1)R_"},
        // d is on floor 2, below a's floor, so it is walked though b's branch reached it.
        MagnetCase{"DeeperNodesOfOtherBranchesAreWalked", {"r", "a", "b", "c", "d"},
                   {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "d"}, {"c", "d"}}, "r", {}, "a",
                   "_((()D:1)C:1)A_"},
        // b has no floor (blocked for the floors) and hangs below a: it is walked.
        MagnetCase{"UnflooredNodesBelowAreWalked", {"r", "a", "b"}, {{"r", "a"}, {"a", "b"}}, "r",
                   {"b"}, "a", "_(B:1)A_"},
        // Children are ordered without the modality key.
        MagnetCase{"ChildrenOrderedWithoutModality", {"r", "x", "y"},
                   {{"r", "y", "1"}, {"r", "x", "2"}}, "r", {}, "r", "_(X:2, Y:1)R_"}),
    [](const auto& info) { return info.param.name; });

TEST(Magnet, MirrorLabelIsWrittenInFull) {
  GraphWrap graph = graph_of({"r"}, {});
  NodeMeta meta;
  meta.is_mirror = true;
  meta.mirror_count = 2;
  meta.origin_key = "_k_";
  graph.add_node_with_meta("m", "C", meta);
  graph.add_edge_with_modality("r", "m", "1");
  ASSERT_TRUE(compute_floors(graph, "r", IdSet{}).has_value());
  EXPECT_EQ(magnet_of(graph, "m", false), "_()C#2{_k_}_");
}

TEST(Magnet, CacheHitReturnsTheStoredTextAndChangesNothing) {
  GraphWrap graph = floored(graph_of({"r"}, {}), "r");
  ASSERT_EQ(magnet_of(graph, "r", false), "_()R_");
  NodeMeta& meta = meta_of(graph, "r");
  meta.magnet = "_stale_";
  meta.parent_digest = Digest{9};
  ScopedEnv trace("TOLVA_TRACE", "1");
  ScopedEnv magnets("TOLVA_TRACE_MAGNET", "1");
  StdoutCapture out;
  EXPECT_EQ(magnet_of(graph, "r", false), "_stale_");
  EXPECT_EQ(out.finish(), "");
  EXPECT_EQ(meta.parent_digest, Digest{9});
  EXPECT_FALSE(meta.magnet_digest.has_value());
}

TEST(Magnet, OtherHashSettingRecomputesAndReplacesTheCache) {
  GraphWrap graph = floored(graph_of({"r"}, {}), "r");
  NodeMeta& meta = meta_of(graph, "r");
  ASSERT_EQ(magnet_of(graph, "r", false), "_()R_");
  EXPECT_FALSE(meta.magnet_digest.has_value());
  EXPECT_FALSE(meta.magnet_hashed);

  meta.parent_digest = Digest{9};
  EXPECT_EQ(magnet_of(graph, "r", true), std::string("_") + kLoneRDigest + "_");
  EXPECT_EQ(meta.magnet, std::string("_") + kLoneRDigest + "_");
  ASSERT_TRUE(meta.magnet_digest.has_value());
  EXPECT_EQ(hex_digest(*meta.magnet_digest), kLoneRDigest);
  EXPECT_FALSE(meta.parent_digest.has_value());
  EXPECT_TRUE(meta.magnet_hashed);

  meta.parent_digest = Digest{9};
  EXPECT_EQ(magnet_of(graph, "r", false), "_()R_");
  EXPECT_EQ(meta.magnet, "_()R_");
  EXPECT_FALSE(meta.magnet_digest.has_value());
  EXPECT_FALSE(meta.parent_digest.has_value());
  EXPECT_FALSE(meta.magnet_hashed);
}

TEST(Magnet, CacheOutlivesGraphChangesUntilTheNextFloors) {
  GraphWrap graph = floored(graph_of({"r", "a"}, {{"r", "a"}}), "r");
  ASSERT_EQ(magnet_of(graph, "a", false), "_()A_");
  graph.add_edge_with_modality("a", "b", "1");
  EXPECT_EQ(magnet_of(graph, "a", false), "_()A_");
  ASSERT_TRUE(compute_floors(graph, "r", IdSet{}).has_value());
  EXPECT_EQ(magnet_of(graph, "a", false), "_(.:1)A_");
}

TEST(Magnet, RequiresAFloor) {
  GraphWrap graph = graph_of({"r", "x"}, {});
  NodeMeta& unfloored = meta_of(graph, "r");
  unfloored.parent_digest = Digest{9};
  auto never_floored = get_magnet(graph, *graph.find("r"), false);
  ASSERT_FALSE(never_floored.has_value());
  EXPECT_EQ(never_floored.error().kind(), ErrorKind::Parse);
  EXPECT_EQ(never_floored.error().message(), "magnet requires floored graph");
  EXPECT_EQ(never_floored.error().display(), "parse error: magnet requires floored graph");
  EXPECT_FALSE(unfloored.magnet.has_value());
  EXPECT_EQ(unfloored.parent_digest, Digest{9});

  ASSERT_TRUE(compute_floors(graph, "r", IdSet{}).has_value());
  auto unreached = get_magnet(graph, *graph.find("x"), true);
  ASSERT_FALSE(unreached.has_value());
  EXPECT_EQ(unreached.error(), TolvaError(ErrorKind::Parse, "magnet requires floored graph"));
  EXPECT_FALSE(meta_of(graph, "x").magnet.has_value());
}

struct TraceCase {
  std::string name;
  std::optional<std::string> trace;
  std::optional<std::string> trace_magnet;
  bool written;
};

class MagnetTrace : public ::testing::TestWithParam<TraceCase> {};

// Two calls with the same setting compute once, so at most one record.
TEST_P(MagnetTrace, OneRecordOnlyWithBothSwitchesOn) {
  GraphWrap graph = floored(graph_of({"r"}, {}), "r");
  ScopedEnv trace("TOLVA_TRACE", GetParam().trace);
  ScopedEnv magnets("TOLVA_TRACE_MAGNET", GetParam().trace_magnet);
  StdoutCapture out;
  EXPECT_EQ(magnet_of(graph, "r", false), "_()R_");
  EXPECT_EQ(magnet_of(graph, "r", false), "_()R_");
  EXPECT_EQ(out.finish(), GetParam().written ? "TRACE magnet magnet=\"_()R_\" node=\"r\"\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Magnet, MagnetTrace,
    ::testing::Values(TraceCase{"BothOn", "1", "1", true},
                      TraceCase{"TraceOff", std::nullopt, "1", false},
                      TraceCase{"TraceNotExactlyOne", "true", "1", false},
                      TraceCase{"MagnetSwitchUnset", "1", std::nullopt, false},
                      TraceCase{"MagnetSwitchTrue", "1", "true", false},
                      TraceCase{"MagnetSwitchLeadingZero", "1", "01", false}),
    [](const auto& info) { return info.param.name; });

TEST(Magnet, HashedRecordCarriesTheDigest) {
  GraphWrap graph = floored(graph_of({"r"}, {}), "r");
  ScopedEnv trace("TOLVA_TRACE", "1");
  ScopedEnv magnets("TOLVA_TRACE_MAGNET", "1");
  StdoutCapture out;
  magnet_of(graph, "r", true);
  EXPECT_EQ(out.finish(), std::string("TRACE magnet magnet=\"_") + kLoneRDigest + "_\" node=\"r\"\n");
}

}  // namespace
}  // namespace tolva
